// The text helpers: the name rule, booleans and IP addresses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg::test {
namespace {

// A name starts with a letter or is all underscores; a boolean is true or
// false in any case, and a failed one leaves the value alone.
TEST(WordRules, NamesAndBooleans) {
  const struct {
    const char *text;
    ResultCode name;
    std::uint32_t boolean;  // 7: not a boolean
  } rows[] = {
      {"tRuE", Zel_OK, 1},
      {"FALSE", Zel_OK, 0},
      {"tru", Zel_OK, 7},
      {"true\n", Zel_OK, 7},
      {" true", Zel_EINVAL, 7},
      {"\x14r\x15\x05", Zel_EINVAL, 7},  // equal to "true" in the low five bits
      {"Z.\xC3\xA9 b-", Zel_OK, 7},
      {"_", Zel_OK, 7},
      {"_a", Zel_EINVAL, 7},
      {"__1", Zel_EINVAL, 7},
      {"2port", Zel_EINVAL, 7},
      {"\xC3\xA9", Zel_EINVAL, 7},
      {"", Zel_EINVAL, 7},
      {nullptr, Zel_EINVAL, 7},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text ? row.text : "(null)");
    EXPECT_EQ(IsNameText(row.text), row.name);
    std::uint32_t value = 7;
    EXPECT_EQ(ParseBooleanWord(row.text, &value), row.boolean == 7 ? Zel_EINVAL : Zel_OK);
    EXPECT_EQ(value, row.boolean);
  }
}

std::string Hex(const std::uint8_t *bytes) {
  std::string out;
  for (int i = 0; i < 32; ++i) out += "0123456789abcdef"[(bytes[i / 2] >> (i % 2 ? 0 : 4)) & 15];
  return out;
}

TEST(ParseIpText, TellsHostNamesAndAddressesApart) {
  const struct {
    const char *text;
    ResultCode result;
    std::uint16_t family = 0;  // 0: a host name
    const char *address = "";  // the leading address bytes in hex
  } rows[] = {
      {"192.168.0.1", Zel_OK, 4, "c0a80001"},
      {"255.0.0.001", Zel_OK, 4, "ff000001"},
      {"256.1.1.1", Zel_EINVAL},
      {"1.2.3", Zel_EINVAL},
      {"1.2.3.4.5", Zel_EINVAL},
      {"::1", Zel_OK, 6, "00000000000000000000000000000001"},
      {"1::", Zel_OK, 6, "0001"},
      {"2001:DB8::1", Zel_OK, 6, "20010db8000000000000000000000001"},
      {"2001:0db8:0000:0000:0000:0000:0000:0001", Zel_OK, 6, "20010db8000000000000000000000001"},
      {":1:2:3:4:5:6:7", Zel_OK, 6, "00000001000200030004000500060007"},
      {"1:2:3:4:5:6:7:", Zel_OK, 6, "00010002000300040005000600070000"},
      {"::1:2:3:4:5", Zel_OK, 6, "00000000000000010002000300040005"},
      {"1:2:3:4:5:6:7", Zel_EINVAL},
      {"1:2:3:4:5:6:7:8:9", Zel_EINVAL},
      {"1:::2", Zel_EINVAL},
      {"1::2::3", Zel_EINVAL},
      {"1abcd::1", Zel_EINVAL},
      {"::ffff:1.2.3.4", Zel_EINVAL},
      {"::1:2:3:4:5:6", Zel_EINVAL},
      {"host.example", Zel_OK},
      {"fe80::1", Zel_OK},  // starts like a name
      {"", Zel_EINVAL},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    IpAddressValue value{};
    EXPECT_EQ(ParseIpText(row.text, &value), row.result);
    EXPECT_EQ(Hex(value.address), row.address + std::string(32 - std::strlen(row.address), '0'));
    EXPECT_EQ(Hex(value.mask), std::string(32, '0'));
    EXPECT_EQ(value.family, row.family);
    const bool host = row.result == Zel_OK && row.family == 0;
    EXPECT_EQ(value.form, row.result != Zel_OK ? 0u
                          : host               ? Zel_IP_FORM_HOSTNAME
                                               : Zel_IP_FORM_NUMERIC);
    EXPECT_STREQ(value.host_name, host ? row.text : nullptr);  // a copy: freed below
    platform::Free(value.host_name);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

}  // namespace
}  // namespace qorvcfg::test
