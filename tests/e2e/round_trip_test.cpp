// Random valid configurations, built through the exported functions, come
// back value for value after writing and reading.
#include <gtest/gtest.h>

#include <random>

#include "e2e/config_helpers.h"

namespace qorvcfg::test {
namespace {

TEST(RoundTrip, WrittenConfigurationsReadBackValueForValue) {
  for (std::uint64_t start = 1; start <= 40; ++start) {
    SCOPED_TRACE(testing::Message() << "generator start value " << start);
    HandlePtr built = OpenConfig();
    ConfigHandle *h = built.get();
    std::mt19937_64 random(start);
    auto between = [&](std::int64_t low, std::int64_t high) {
      return std::uniform_int_distribution<std::int64_t>(low, high)(random);
    };
    auto repeat = [&](int most, auto make) {
      for (std::int64_t n = between(0, most); n > 0; --n) make();
    };
    // An equal value may already be there: it is then left out.
    auto add = [&](const char *item, const void *data, DataRecord *parent = nullptr) {
      const ResultCode added = AddValue(h, item, data, parent);
      EXPECT_TRUE(added == Zel_OK || added == Zel_EEXIST) << item << std::hex << added;
    };
    auto link = [&](DataRecord *parent, DataRecord *record) {
      const ResultCode added = parent ? Zel_DataAddToData(parent, record) : Zel_DataAdd(h, record);
      EXPECT_TRUE(added == Zel_OK || added == Zel_EEXIST) << std::hex << added;
    };
    std::int64_t integer;
    auto number = [&](std::int64_t low, std::int64_t high) {  // the bounds often enough
      const std::int64_t pick = between(0, 9);
      integer = pick == 0 ? low : pick == 1 ? high : between(low, high);
      return &integer;
    };
    std::uint32_t boolean;
    auto flag = [&] { return &(boolean = static_cast<std::uint32_t>(between(0, 1))); };
    // Reading drops leading white space and ends a text at '<'; an empty text
    // has no value. Everything else, bytes above 0x7f included, comes back.
    std::string text;
    auto words = [&](std::int64_t longest) {
      static const std::string first = "abcXYZ019&>\"'=/!~", rest = first + " \t\xc3";
      text.assign(1, first[between(0, first.size() - 1)]);
      for (std::int64_t size = between(1, longest); std::ssize(text) < size;) {
        const char c = rest[between(0, rest.size() - 1)];
        if (c != '\xc3') text += c;
        if (c == '\xc3' && std::ssize(text) + 2 <= size) text += "\xc3\xa9";
      }
      return text.c_str();
    };
    // A host name, or an address whose written form starts with a digit (one
    // starting with a letter would read back as a host name).
    std::string host;
    IpAddressValue address;
    auto ip = [&] {
      const std::int64_t kind = between(0, 2);
      std::vector<int> bytes(kind == 1 ? 4 : 16);
      for (int &b : bytes) b = static_cast<int>(between(0, 255));
      if (kind == 2) bytes[0] = static_cast<int>(between(0, 0x9f));
      address = Ip(bytes);
      if (kind == 0) {
        host.assign(1, static_cast<char>('a' + between(0, 25)));
        for (std::int64_t n = between(0, 12); n > 0; --n) host += "ab-.9z"[between(0, 5)];
        address = Host(host.data());
      }
      return &address;
    };
    static const char *const keywords[] = {"slow", "fast", "off"};

    repeat(3, [&] { add("portnumber", number(INT64_MIN, INT64_MAX)); });
    repeat(3, [&] { add("port", number(1, 65535)); });
    repeat(4, [&] { add("count", number(INT64_MIN, INT64_MAX)); });
    repeat(2, [&] { add("pair", number(-5, 5)); });
    repeat(4, [&] { add("label", words(64)); });
    repeat(1, [&] { add("blob", words(3000)); });
    repeat(2, [&] { add("flag", flag()); });
    repeat(5, [&] { add("host", ip()); });
    repeat(3, [&] { add("mode", keywords[between(0, 2)]); });
    repeat(3, [&] {
      DataRecord *route = Create(h, "route");
      add("id", number(-1000, 1000), route);
      if (between(0, 1)) add("gateway", ip(), route);
      repeat(3, [&] {
        DataRecord *hop = Create(h, "hop", route);
        add("id", number(0, 9), hop);
        if (between(0, 1)) add("note", words(20), hop);
        link(route, hop);
      });
      link(nullptr, route);
    });
    // Structures without identifier children that hold different items would
    // be listed in an order of their own; these always hold both.
    repeat(2, [&] {
      DataRecord *s = Create(h, "s");
      add("a", number(0, 3), s);
      add("b", flag(), s);
      link(nullptr, s);
    });

    const std::string path = TempPath("round_trip_" + std::to_string(start) + ".xml");
    ASSERT_EQ(Zel_ConfigWrite(path.c_str(), h), Zel_OK);
    HandlePtr back = OpenConfig();
    ASSERT_EQ(Zel_ConfigRead(path.c_str(), back.get()), Zel_OK);
    EXPECT_EQ(ConfigText(back.get()), ConfigText(h));
    // Values are read in file order, so the file is written again unchanged.
    EXPECT_EQ(WrittenText(back.get(), "again.xml"), ReadFile(path));
  }
}

}  // namespace
}  // namespace qorvcfg::test
