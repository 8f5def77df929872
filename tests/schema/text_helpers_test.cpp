// The text helpers: numbers, booleans, the name rule and IP addresses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg::test {
namespace {

TEST(ParseSignedText, ReadsDecimalOctalAndHex) {
  struct Row {
    const char *text;
    ResultCode result;
    std::int64_t value;
  };
  const Row rows[] = {
      {"0", Zel_OK, 0},
      {"07", Zel_OK, 7},
      {"010", Zel_OK, 8},
      {"0012", Zel_OK, 10},
      {"08", Zel_EINVAL, 0},
      {"0x1F", Zel_OK, 31},
      {"0X1f", Zel_OK, 31},
      {"0x 10 ", Zel_OK, 16},
      {"-5", Zel_OK, -5},
      {"- 5", Zel_OK, -5},
      {" \t-5", Zel_OK, -5},
      {"+5", Zel_OK, 5},
      {" 12 \n", Zel_OK, 12},
      {"1 2", Zel_EINVAL, 0},
      {"12abc", Zel_EINVAL, 0},
      {"12.5", Zel_EINVAL, 0},
      {"-0x10", Zel_EINVAL, 0},
      {"+-1", Zel_EINVAL, 0},
      {"0x-1", Zel_EINVAL, 0},
      {"", Zel_OK, 0},
      {"   ", Zel_OK, 0},
      {"-", Zel_OK, 0},
      {"0x", Zel_OK, 0},
      {"9223372036854775807", Zel_OK, INT64_MAX},
      {"9223372036854775808", Zel_ERANGE, 0},
      {"-9223372036854775808", Zel_OK, INT64_MIN},
      {"-9223372036854775809", Zel_ERANGE, 0},
      {"0x7fffffffffffffff", Zel_OK, INT64_MAX},
      {"0x8000000000000000", Zel_ERANGE, 0},
      {"0777777777777777777777", Zel_OK, INT64_MAX},
      {"18446744073709551616", Zel_ERANGE, 0},
      {"99999999999999999999", Zel_ERANGE, 0},
      {"-99999999999999999999", Zel_ERANGE, 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    std::int64_t value = 0;
    EXPECT_EQ(ParseSignedText(row.text, std::strlen(row.text), &value), row.result);
    if (row.result == Zel_OK) {
      EXPECT_EQ(value, row.value);
    }
  }
}

TEST(ParseBooleanWord, AcceptsTrueAndFalseInAnyCase) {
  struct Row {
    const char *text;
    ResultCode result;
    std::uint32_t value;
  };
  const Row rows[] = {
      {"true", Zel_OK, 1},
      {"TRUE", Zel_OK, 1},
      {"tRuE", Zel_OK, 1},
      {"False", Zel_OK, 0},
      {"FALSE", Zel_OK, 0},
      {"yes", Zel_EINVAL, 0},
      {"1", Zel_EINVAL, 0},
      {"true\n", Zel_EINVAL, 0},
      {" true", Zel_EINVAL, 0},
      {"tru", Zel_EINVAL, 0},
      {"falsey", Zel_EINVAL, 0},
      {"", Zel_EINVAL, 0},
      {"\x14r\x15\x05", Zel_EINVAL, 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    std::uint32_t value = 7;
    EXPECT_EQ(ParseBooleanWord(row.text, &value), row.result);
    if (row.result == Zel_OK) {
      EXPECT_EQ(value, row.value);
    }
  }
  std::uint32_t value = 0;
  EXPECT_EQ(ParseBooleanWord(nullptr, &value), Zel_EINVAL);
}

TEST(IsNameText, FirstByteDecides) {
  const struct {
    const char *text;
    ResultCode result;
  } rows[] = {
      {"port_2", Zel_OK},    {"a-b", Zel_OK},  {"a b", Zel_OK},    {"Z.\xC3\xA9", Zel_OK},
      {"_", Zel_OK},         {"__", Zel_OK},   {"_a", Zel_EINVAL}, {"__1", Zel_EINVAL},
      {"2port", Zel_EINVAL}, {"", Zel_EINVAL}, {" a", Zel_EINVAL}, {"\xC3\xA9", Zel_EINVAL},
      {nullptr, Zel_EINVAL},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(IsNameText(row.text), row.result) << (row.text ? row.text : "(null)");
  }
}

std::string Hex(const std::uint8_t *bytes, std::size_t n) {
  std::string out;
  char pair[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    out += pair;
  }
  return out;
}

TEST(ParseIpText, TellsHostNamesAndAddressesApart) {
  struct Row {
    const char *text;
    ResultCode result;
    std::uint16_t family = 0;       // 0: a host name
    const char *address = nullptr;  // the 4 or 16 bytes in hex
  };
  const Row rows[] = {
      {"192.168.0.1", Zel_OK, 4, "c0a80001"},
      {"001.002.003.004", Zel_OK, 4, "01020304"},
      {"255.0.0.255", Zel_OK, 4, "ff0000ff"},
      {"256.1.1.1", Zel_EINVAL},
      {"1.2.3", Zel_EINVAL},
      {"1..2.3", Zel_EINVAL},
      {"1.2.3.", Zel_EINVAL},
      {"1.2.3.4.5", Zel_EINVAL},
      {"1.2.3.4/24", Zel_EINVAL},
      {"1.2.3.4 ", Zel_EINVAL},
      {" 1.2.3.4", Zel_EINVAL},
      {"::1", Zel_OK, 6, "00000000000000000000000000000001"},
      {"::", Zel_OK, 6, "00000000000000000000000000000000"},
      {"1::", Zel_OK, 6, "00010000000000000000000000000000"},
      {"1::2", Zel_OK, 6, "00010000000000000000000000000002"},
      {"2001:db8::1", Zel_OK, 6, "20010db8000000000000000000000001"},
      {"2001:DB8::1", Zel_OK, 6, "20010db8000000000000000000000001"},
      {"1:2:3:4:5:6:7:8", Zel_OK, 6, "00010002000300040005000600070008"},
      {"0:ffff:0:0:0:0:Ab:1", Zel_OK, 6, "0000ffff000000000000000000ab0001"},
      {"2001:0db8:0000:0000:0000:0000:0000:0001", Zel_OK, 6, "20010db8000000000000000000000001"},
      {":1:2:3:4:5:6:7", Zel_OK, 6, "00000001000200030004000500060007"},
      {"1:2:3:4:5:6:7:", Zel_OK, 6, "00010002000300040005000600070000"},
      {"1:2:3:4:5::6", Zel_OK, 6, "00010002000300040005000000000006"},
      {"::1:2:3:4:5", Zel_OK, 6, "00000000000000010002000300040005"},
      {"1:2:3:4:5:6:7", Zel_EINVAL},
      {"1:2:3:4:5:6:7:8:9", Zel_EINVAL},
      {"1:::2", Zel_EINVAL},
      {"1::2::3", Zel_EINVAL},
      {"1abcd::1", Zel_EINVAL},
      {"::ffff:1.2.3.4", Zel_EINVAL},
      {"1:2:3:4:5:6::7", Zel_EINVAL},
      {"::1:2:3:4:5:6", Zel_EINVAL},
      {"1::2%eth0", Zel_EINVAL},
      {"host.example", Zel_OK},
      {"fe80::1", Zel_OK},
      {"fe80:0000:0000:0000:0000:0000:0000:0001", Zel_OK},
      {"a b\n", Zel_OK},
      {"__", Zel_OK},
      {"_h", Zel_EINVAL},
      {"", Zel_EINVAL},
      {"-host", Zel_EINVAL},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    IpAddressValue value{};
    EXPECT_EQ(ParseIpText(row.text, &value), row.result);
    static const std::uint8_t kZero[16] = {};
    EXPECT_EQ(std::memcmp(value.mask, kZero, 16), 0);
    if (row.result != Zel_OK) {
      EXPECT_EQ(value.host_name, nullptr);
      EXPECT_EQ(Hex(value.address, 16), Hex(kZero, 16));
    } else if (row.family == 0) {
      EXPECT_EQ(value.form, Zel_IP_FORM_HOSTNAME);
      EXPECT_EQ(value.family, 0);
      ASSERT_NE(value.host_name, nullptr);
      EXPECT_NE(value.host_name, row.text);
      EXPECT_STREQ(value.host_name, row.text);
      EXPECT_EQ(Hex(value.address, 16), Hex(kZero, 16));
      platform::Free(value.host_name);
    } else {
      EXPECT_EQ(value.form, Zel_IP_FORM_NUMERIC);
      EXPECT_EQ(value.family, row.family);
      EXPECT_EQ(value.host_name, nullptr);
      EXPECT_EQ(Hex(value.address, 16),
                std::string(row.address).append(32 - std::strlen(row.address), '0'));
    }
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
  IpAddressValue value{};
  EXPECT_EQ(ParseIpText(nullptr, &value), Zel_EINVAL);
}

}  // namespace
}  // namespace qorvcfg::test
