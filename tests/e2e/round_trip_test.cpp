// Random valid configurations, built through the exported functions, come
// back value for value after writing and reading.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "e2e/config_helpers.h"

namespace qorvcfg::test {
namespace {

class RandomConfig {
 public:
  RandomConfig(std::uint64_t start, ConfigHandle *handle) : random_(start), handle_(handle) {}

  void Build() {
    Repeat(3, [&] { Add(nullptr, "portnumber", Integer(INT64_MIN, INT64_MAX)); });
    Repeat(3, [&] { Add(nullptr, "port", Integer(1, 65535)); });
    Repeat(4, [&] { Add(nullptr, "count", Integer(INT64_MIN, INT64_MAX)); });
    Repeat(2, [&] { Add(nullptr, "pair", Integer(-5, 5)); });
    Repeat(4, [&] { Add(nullptr, "label", Text(64).c_str()); });
    Repeat(1, [&] { Add(nullptr, "blob", Text(3000).c_str()); });
    Repeat(2, [&] { Add(nullptr, "flag", Boolean()); });
    Repeat(5, [&] { Add(nullptr, "host", Address()); });
    Repeat(3, [&] { Add(nullptr, "mode", Keyword()); });
    Repeat(3, [&] {
      DataRecord *route = Create(handle_, nullptr, "route");
      Add(route, "id", Integer(-1000, 1000));
      if (Between(0, 1)) Add(route, "gateway", Address());
      Repeat(3, [&] {
        DataRecord *hop = Create(handle_, route, "hop");
        Add(hop, "id", Integer(0, 9));
        if (Between(0, 1)) Add(hop, "note", Text(20).c_str());
        Link(route, hop);
      });
      Link(nullptr, route);
    });
    // Without identifier children, structures holding different items would
    // be listed in an order of their own; these always hold both.
    Repeat(2, [&] {
      DataRecord *s = Create(handle_, nullptr, "s");
      Add(s, "a", Integer(0, 3));
      Add(s, "b", Boolean());
      Link(nullptr, s);
    });
  }

 private:
  template <typename F>
  void Repeat(int most, F make) {
    for (std::int64_t n = Between(0, most); n > 0; --n) make();
  }
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
  }
  const std::int64_t *Integer(std::int64_t low, std::int64_t high) {
    // The bounds themselves often enough.
    const std::int64_t pick = Between(0, 9);
    integer_ = pick == 0 ? low : pick == 1 ? high : Between(low, high);
    return &integer_;
  }
  const std::uint32_t *Boolean() {
    boolean_ = static_cast<std::uint32_t>(Between(0, 1));
    return &boolean_;
  }
  // Reading drops leading white space and ends a text at '<'; an empty text
  // has no value. Everything else, bytes above 0x7f included, comes back.
  std::string Text(std::int64_t longest) {
    static const std::string first = "abcXYZ019&>\"'=/!~";
    static const std::string rest = first + " \t\xc3\xa9";
    std::string text(1, first[Between(0, first.size() - 1)]);
    for (std::int64_t n = Between(0, longest - 1); n > 0; --n) {
      const char c = rest[Between(0, rest.size() - 1)];
      if (c == '\xc3') {
        if (static_cast<std::int64_t>(text.size()) + 2 > longest) break;
        text += "\xc3\xa9";
      } else if (c != '\xa9') {
        text += c;
      }
    }
    return text;
  }
  // A host name, or an address whose written form starts with a digit (one
  // starting with a letter would read back as a host name).
  const IpAddressValue *Address() {
    address_ = IpAddressValue{};
    switch (Between(0, 2)) {
      case 0: {
        host_ = std::string(1, static_cast<char>('a' + Between(0, 25)));
        for (std::int64_t n = Between(0, 12); n > 0; --n) host_ += "ab-.9z"[Between(0, 5)];
        address_ = HostName(host_.data());
        break;
      }
      case 1:
        address_ = V4({0, 0, 0, 0});
        for (int i = 0; i < 4; ++i)
          address_.address[i] = static_cast<std::uint8_t>(Between(0, 255));
        break;
      default: {
        std::uint8_t bytes[16];
        for (auto &b : bytes) b = static_cast<std::uint8_t>(Between(0, 255));
        bytes[0] = static_cast<std::uint8_t>(Between(0, 0x9f));
        address_ = V6(bytes);
      }
    }
    return &address_;
  }
  const char *Keyword() {
    static const char *const keywords[] = {"slow", "fast", "off"};
    return keywords[Between(0, 2)];
  }

  // A new value of item at the level of parent (null: top level), with data.
  // An equal value may already be there: it is then left out.
  void Add(DataRecord *parent, const char *item, const void *data) {
    DataRecord *record = Create(handle_, parent, item);
    if (parent != nullptr) {
      ASSERT_EQ(Zel_DataChangeToData(parent, record, data), Zel_OK) << item;
    } else {
      ASSERT_EQ(Zel_DataChange(handle_, record, data), Zel_OK) << item;
    }
    Link(parent, record);
  }
  void Link(DataRecord *parent, DataRecord *record) {
    const ResultCode added =
        parent != nullptr ? Zel_DataAddToData(parent, record) : Zel_DataAdd(handle_, record);
    EXPECT_TRUE(added == Zel_OK || added == Zel_EEXIST) << std::hex << added;
  }

  std::mt19937_64 random_;
  ConfigHandle *handle_;
  std::int64_t integer_ = 0;
  std::uint32_t boolean_ = 0;
  std::string host_;
  IpAddressValue address_{};
};

TEST(RoundTrip, WrittenConfigurationsReadBackValueForValue) {
  for (std::uint64_t start = 1; start <= 40; ++start) {
    SCOPED_TRACE(testing::Message() << "generator start value " << start);
    HandlePtr built = OpenConfig();
    RandomConfig(start, built.get()).Build();
    const std::string path = TempPath("round_trip_" + std::to_string(start) + ".xml");
    ASSERT_EQ(Zel_ConfigWrite(path.c_str(), built.get()), Zel_OK);

    HandlePtr back = OpenConfig();
    ASSERT_EQ(Zel_ConfigRead(path.c_str(), back.get()), Zel_OK);
    EXPECT_EQ(ConfigText(back.get()), ConfigText(built.get()));
    // Values are read in file order, so the file is written again unchanged.
    EXPECT_EQ(WrittenText(back.get(), "again.xml"), ReadFile(path));
  }
}

}  // namespace
}  // namespace qorvcfg::test
