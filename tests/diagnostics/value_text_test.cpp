// Converting one value from its text for an item, with the refusal in words:
// the integer, name, boolean and address rules that reading applies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "qorvcfg_diagnostics.h"

namespace qorvcfg::test {
namespace {

struct ItemShape {
  ItemType type;
  std::int64_t minimum, maximum;
};

// "i:31", "s:abc", "b:1", "k:warning", "h:host", "4:c0a80001" (the address bytes in hex).
std::string Describe(ItemType type, const DataPayload &payload) {
  switch (type) {
    case Zel_TYPE_INTEGER:
      return "i:" + std::to_string(payload.integer);
    case Zel_TYPE_STRING:
      return std::string("s:") + payload.text;
    case Zel_TYPE_BOOLEAN:
      return "b:" + std::to_string(payload.boolean);
    case Zel_TYPE_ENUMERATION:
      return std::string("k:") + payload.keyword;
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = payload.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) return std::string("h:") + ip.host_name;
      std::string text = std::to_string(ip.family) + ":";
      for (int i = 0; i < 2 * (ip.family == Zel_IP_FAMILY_V4 ? 4 : 16); ++i) {
        text += "0123456789abcdef"[(ip.address[i / 2] >> (i % 2 ? 0 : 4)) & 15];
      }
      for (std::uint8_t byte : ip.mask) text += byte != 0 ? "/mask" : "";
      return text;
    }
    default:
      return "?";
  }
}

TEST(ValueTextTest, ConvertsAsReadingDoesAndSaysWhyNot) {
  KeywordEntry warning{nullptr, const_cast<char *>("warning"), nullptr};
  KeywordEntry error{&warning, const_cast<char *>("error"), nullptr};
  const ItemShape port{Zel_TYPE_INTEGER, 1, 65535}, any{Zel_TYPE_INTEGER, INT64_MIN, INT64_MAX},
      name{Zel_TYPE_STRING, 1, 3}, flag{Zel_TYPE_BOOLEAN, 0, 0}, ip{Zel_TYPE_IPADDR, 0, 0},
      level{Zel_TYPE_ENUMERATION, 0, 0}, nested{Zel_TYPE_STRUCTURE, 0, 0};
  const char *const kNoInteger = "not an integer (decimal, 0x hexadecimal or 0 octal)";
  const char *const kNoAddress = "not an IPv4 or IPv6 address or a host name";
  const struct {
    ItemShape shape;
    const char *text;
    ResultCode result;
    const char *expected;  // the value described, or the whole refusal
  } rows[] = {
      {port, "0x1F", Zel_OK, "i:31"},
      {port, "010", Zel_OK, "i:8"},
      {port, " 12 ", Zel_OK, "i:12"},
      {port, "08", Zel_EINVAL, kNoInteger},
      {port, "-0x10", Zel_EINVAL, kNoInteger},
      {port, "70000", Zel_ERANGE, "out of bounds 1..65535"},
      {port, "", Zel_ERANGE, "out of bounds 1..65535"},  // no digits read as 0
      {any, "0x 10 ", Zel_OK, "i:16"},
      {any, "- 5", Zel_OK, "i:-5"},
      {any, "0x", Zel_OK, "i:0"},
      {any, "1 2", Zel_EINVAL, kNoInteger},
      {any, "9223372036854775807", Zel_OK, "i:9223372036854775807"},
      {any, "-9223372036854775808", Zel_OK, "i:-9223372036854775808"},
      {any, "9223372036854775808", Zel_ERANGE, "beyond 64 bits"},
      {any, "-9223372036854775809", Zel_ERANGE, "beyond 64 bits"},
      {any, "18446744073709551616", Zel_ERANGE, "beyond 64 bits"},  // the last digit overflows
      {any, "99999999999999999999", Zel_ERANGE, "beyond 64 bits"},  // the multiplication does
      {name, "abc", Zel_OK, "s:abc"},
      {name, "a<b", Zel_OK, "s:a<b"},
      {name, "abcd", Zel_ERANGE, "length 4 out of bounds 1..3"},
      {flag, "tRuE", Zel_OK, "b:1"},
      {flag, "tru", Zel_EINVAL, "not TRUE or FALSE"},
      {flag, "true\n", Zel_EINVAL, "not TRUE or FALSE"},
      {flag, "\x14r\x15\x05", Zel_EINVAL, "not TRUE or FALSE"},  // "true" in the low five bits
      // A host name starts with a letter or is all underscores.
      {ip, "Z.\xC3\xA9 b-", Zel_OK, "h:Z.\xC3\xA9 b-"},
      {ip, "_", Zel_OK, "h:_"},
      {ip, "fe80::1", Zel_OK, "h:fe80::1"},
      {ip, "_a", Zel_EINVAL, kNoAddress},
      {ip, "__1", Zel_EINVAL, kNoAddress},
      {ip, "2port", Zel_EINVAL, kNoAddress},
      {ip, "\xC3\xA9", Zel_EINVAL, kNoAddress},
      {ip, " true", Zel_EINVAL, kNoAddress},
      {ip, "", Zel_EINVAL, kNoAddress},
      {ip, "192.168.0.1", Zel_OK, "4:c0a80001"},
      {ip, "256.1.1.1", Zel_EINVAL, kNoAddress},
      {ip, "1.2.3", Zel_EINVAL, kNoAddress},
      {ip, "1.2.3.4.5", Zel_EINVAL, kNoAddress},
      {ip, "1.2.3.4/24", Zel_EINVAL, kNoAddress},
      {ip, "::1", Zel_OK, "6:00000000000000000000000000000001"},
      {ip, "1::", Zel_OK, "6:00010000000000000000000000000000"},
      {ip, "2001:DB8::1", Zel_OK, "6:20010db8000000000000000000000001"},
      {ip, "2001:0db8:0000:0000:0000:0000:0000:0001", Zel_OK, "6:20010db8000000000000000000000001"},
      {ip, ":1:2:3:4:5:6:7", Zel_OK, "6:00000001000200030004000500060007"},
      {ip, "1:2:3:4:5:6:7:", Zel_OK, "6:00010002000300040005000600070000"},
      {ip, "::1:2:3:4:5", Zel_OK, "6:00000000000000010002000300040005"},
      {ip, "1:2:3:4:5:6:7", Zel_EINVAL, kNoAddress},
      {ip, "1:2:3:4:5:6:7:8:9", Zel_EINVAL, kNoAddress},
      {ip, "1:::2", Zel_EINVAL, kNoAddress},
      {ip, "1::2::3", Zel_EINVAL, kNoAddress},
      {ip, "1abcd::1", Zel_EINVAL, kNoAddress},
      {ip, "::ffff:1.2.3.4", Zel_EINVAL, kNoAddress},
      {ip, "::1:2:3:4:5:6", Zel_EINVAL, kNoAddress},
      {level, "warning", Zel_OK, "k:warning"},
      {level, "Warning", Zel_EINVAL, "not one of error, warning"},
      {nested, "x", Zel_EINVAL, "a structure has no value of its own"},
      {{Zel_TYPE_NONE, 0, 0}, "x", Zel_EINVAL, "the item has no type"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    ItemDefinition item{};
    item.type = row.shape.type;
    item.minimum = row.shape.minimum;
    item.maximum = row.shape.maximum;
    if (item.type == Zel_TYPE_ENUMERATION) item.entries = &error;
    DataPayload payload{};
    payload.integer = -1;
    char why[128] = "unchanged";
    const std::int64_t live = platform::LiveAllocations();
    ASSERT_EQ(Qorvcfg_ValueFromText(&item, row.text, &payload, why, sizeof why), row.result);
    if (row.result == Zel_OK) {
      EXPECT_EQ(Describe(item.type, payload), row.expected);
      EXPECT_STREQ(why, "");
      Qorvcfg_ValueRelease(item.type, &payload);
    } else {
      EXPECT_STREQ(why, row.expected);
      EXPECT_EQ(payload.integer, -1);  // untouched
    }
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

TEST(ValueTextTest, RefusalsFitTheBufferAndMemoryRunsOutCleanly) {
  ItemDefinition item{};
  item.type = Zel_TYPE_ENUMERATION;
  DataPayload payload{};
  char why[8];
  EXPECT_EQ(Qorvcfg_ValueFromText(&item, "x", &payload, why, sizeof why), Zel_EINVAL);
  EXPECT_STREQ(why, "the ite");
  EXPECT_EQ(Qorvcfg_ValueFromText(nullptr, "x", &payload, nullptr, 0), Zel_EINVAL);
  EXPECT_EQ(Qorvcfg_ValueFromText(&item, nullptr, &payload, why, sizeof why), Zel_EINVAL);

  for (ItemType type : {Zel_TYPE_STRING, Zel_TYPE_IPADDR}) {
    item.type = type;
    item.maximum = 100;
    const std::int64_t live = platform::LiveAllocations();
    platform::FailAllocation(1);
    char words[32];
    EXPECT_EQ(Qorvcfg_ValueFromText(&item, "host", &payload, words, sizeof words), Zel_ENOMEM);
    platform::FailAllocation(0);
    EXPECT_STREQ(words, "out of memory");
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
  Qorvcfg_ValueRelease(Zel_TYPE_STRING, nullptr);
}

// Back to text: the writer's form, the short IPv6 form for display, and
// whether reading gives the value back.
TEST(ValueTextTest, WritesTheWritersTextAndSaysWhetherItReadsBack) {
  const struct {
    ItemType type;
    const char *text;
    const char *written;
    const char *shown;  // with QORVCFG_TEXT_SHORT_IPV6
    std::uint32_t read_back;
  } rows[] = {
      {Zel_TYPE_INTEGER, "0x10", "16", "16", QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_BOOLEAN, "true", "TRUE", "TRUE", QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_IPADDR, "10.0.0.1", "10.0.0.1", "10.0.0.1", QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_IPADDR, "::", "0000:0000:0000:0000:0000:0000:0000:0000",
       "::", QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_IPADDR, "::1", "0000:0000:0000:0000:0000:0000:0000:0001", "::1",
       QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_IPADDR, "1:0:0:2:0:0:3:4", "0001:0000:0000:0002:0000:0000:0003:0004",
       "1::2:0:0:3:4", QORVCFG_READ_BACK_SAME},  // the first of equal runs
      {Zel_TYPE_IPADDR, "1:0:0:2:0:0:0:abcd", "0001:0000:0000:0002:0000:0000:0000:abcd",
       "1:0:0:2::abcd", QORVCFG_READ_BACK_SAME},  // the longest run
      {Zel_TYPE_IPADDR, "1:2:3:4:5:6:7:0", "0001:0002:0003:0004:0005:0006:0007:0000",
       "1:2:3:4:5:6:7:0", QORVCFG_READ_BACK_SAME},  // one zero group stays
      {Zel_TYPE_IPADDR, "fe80::zz", "fe80::zz", "fe80::zz", QORVCFG_READ_BACK_SAME},
      {Zel_TYPE_STRING, "a<b", "a<b", "a<b", QORVCFG_READ_BACK_LESS_THAN},
      {Zel_TYPE_STRING, " x", " x", " x", QORVCFG_READ_BACK_LEADING_SPACE},
      {Zel_TYPE_STRING, "\vx", "\vx", "\vx", QORVCFG_READ_BACK_LEADING_SPACE},
      {Zel_TYPE_STRING, "", "", "", QORVCFG_READ_BACK_EMPTY},
      {Zel_TYPE_STRING, "ab\xC3", "ab\xC3", "ab\xC3", QORVCFG_READ_BACK_SPLIT_CHARACTER},
      {Zel_TYPE_STRING, "x\xC3\xA9", "x\xC3\xA9", "x\xC3\xA9", QORVCFG_READ_BACK_SAME},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    ItemDefinition item{};
    item.type = row.type;
    item.minimum = row.type == Zel_TYPE_INTEGER ? INT64_MIN : 0;
    item.maximum = row.type == Zel_TYPE_INTEGER ? INT64_MAX : 100;
    DataPayload payload{};
    ASSERT_EQ(Qorvcfg_ValueFromText(&item, row.text, &payload, nullptr, 0), Zel_OK);
    char written[80], shown[80];
    EXPECT_EQ(Qorvcfg_ValueToText(row.type, &payload, 0, written, sizeof written),
              std::strlen(row.written));
    EXPECT_STREQ(written, row.written);
    Qorvcfg_ValueToText(row.type, &payload, QORVCFG_TEXT_SHORT_IPV6, shown, sizeof shown);
    EXPECT_STREQ(shown, row.shown);
    EXPECT_EQ(Qorvcfg_ValueReadBack(row.type, &payload), row.read_back);
    Qorvcfg_ValueRelease(row.type, &payload);
  }
  DataPayload masked{};
  masked.ipaddr = IpAddressValue{Zel_IP_FORM_NUMERIC, Zel_IP_FAMILY_V4, nullptr, {10}, {255}};
  char cut[8];
  EXPECT_EQ(Qorvcfg_ValueToText(Zel_TYPE_IPADDR, &masked, 0, cut, sizeof cut),
            std::strlen("10.0.0.0/255.0.0.0"));
  EXPECT_STREQ(cut, "10.0.0.");
  EXPECT_EQ(Qorvcfg_ValueReadBack(Zel_TYPE_IPADDR, &masked), QORVCFG_READ_BACK_MASK);
}

}  // namespace
}  // namespace qorvcfg::test
