// The exact bytes of written data files, and the results of writing.
#include <gtest/gtest.h>

#include "e2e/config_helpers.h"
#include "platform/platform.h"
#include "support/fault_sweep.h"

namespace qorvcfg::test {
namespace {

TEST(Writer, OneLinePerValueOfEveryType) {
  static const std::int64_t zero = 0, minus_one = -1, big = 2147483648LL, least = INT64_MIN;
  static const std::uint32_t two = 2, no = 0;
  static const std::vector<int> v6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 1};
  static std::vector<int> low_mask(16);
  low_mask[15] = 0x80;
  static const IpAddressValue v4 = Ip({192, 168, 0, 1}),
                              v4_masked = Ip({10, 1, 2, 0}, {255, 255, 255, 0}),
                              v4_low_mask = Ip({10, 1, 2, 3}, {0, 0, 0, 1}), v6_plain = Ip(v6),
                              v6_low_mask = Ip(v6, low_mask);
  static char name[] = "gateway.example";
  static const IpAddressValue host = Host(name);
  const struct {
    const char *item;
    const void *data;
    const char *text;
  } rows[] = {
      {"count", &zero, "0"},
      {"count", &minus_one, "-1"},
      {"count", &big, "2147483648"},
      {"count", &least, "-9223372036854775808"},
      {"flag", &two, "TRUE"},
      {"flag", &no, "FALSE"},
      {"host", &v4, "192.168.0.1"},
      {"host", &v4_masked, "10.1.2.0/255.255.255.0"},
      {"host", &v4_low_mask, "10.1.2.3/0.0.0.1"},
      {"host", &v6_plain, "2001:0db8:0000:0000:0000:0000:0000:0a01"},
      {"host", &v6_low_mask,
       "2001:0db8:0000:0000:0000:0000:0000:0a01/0000:0000:0000:0000:0000:0000:0000:0080"},
      {"host", &host, "gateway.example"},
      {"label", "a<b & c>d", "a<b & c>d"},
      {"label", " edge ", " edge "},
      {"mode", "off", "off"},
  };
  for (const auto &row : rows) {
    HandlePtr config = OpenConfig();
    EXPECT_EQ(AddValue(config.get(), row.item, row.data), Zel_OK);
    EXPECT_EQ(WrittenText(config.get()), std::string("<config>\n  <") + row.item + ">" + row.text +
                                             "</" + row.item + ">\n</config>\n");
  }
}

TEST(Writer, StructuresIndentTheirMembers) {
  HandlePtr config = OpenConfig();
  EXPECT_EQ(WrittenText(config.get(), "empty.xml"), "<config>\n</config>\n");
  ASSERT_EQ(Zel_ConfigReadFromData("<config><s><a>1</a><b>TRUE</b></s><route><id>5</id>"
                                   "<hop><id>6</id><note>n</note></hop><hop><id>7</id></hop>"
                                   "</route><port>80</port></config>",
                                   config.get()),
            Zel_OK);
  ASSERT_EQ(AddValue(config.get(), "s", nullptr), Zel_OK);
  EXPECT_EQ(WrittenText(config.get()),
            "<config>\n"
            "  <s>    <a>1</a>\n"
            "    <b>TRUE</b>\n"
            "  </s>\n"
            "  <route>    <id>5</id>\n"
            "    <hop>      <id>6</id>\n"
            "      <note>n</note>\n"
            "    </hop>\n"
            "    <hop>      <id>7</id>\n"
            "    </hop>\n"
            "  </route>\n"
            "  <port>80</port>\n"
            "  <s>  </s>\n"
            "</config>\n");
}

TEST(Writer, ABusyFileKeepsItsContents) {
  HandlePtr config = OpenConfig();
  ASSERT_EQ(Zel_ConfigReadFromData("<config><port>80</port></config>", config.get()), Zel_OK);
  const std::string held = TempPath("held.xml");
  WriteFile(held, "old contents");
  platform::FileHandle reader = platform::kInvalidFile;
  ASSERT_EQ(platform::OpenForReading(held.c_str(), &reader), Zel_OK);
  EXPECT_EQ(Zel_ConfigWrite(held.c_str(), config.get()), Zel_EBUSY | 32);
  platform::Close(reader);
  EXPECT_EQ(ReadFile(held), "old contents");
  EXPECT_EQ(Zel_ConfigWrite(held.c_str(), config.get()), Zel_OK);
  EXPECT_EQ(ReadFile(held), "<config>\n  <port>80</port>\n</config>\n");
}

TEST(Writer, LargeConfigurationCrossesTheBufferWhole) {
  HandlePtr config = OpenConfig();
  ConfigHandle *h =
      config.get();  // one text larger than the buffer, then thousands of short lines.
  std::string blob;
  for (int i = 0; i < 4000; ++i) blob += static_cast<char>('a' + i % 26) + std::to_string(i);
  ASSERT_EQ(AddValue(h, "blob", blob.c_str()), Zel_OK);
  std::string expected = "<config>\n  <blob>" + blob + "</blob>\n";
  for (std::int64_t i = 0; i < 4000; ++i) {
    const std::int64_t value = (i * 7919) % 100003 - 50000;
    ASSERT_EQ(AddValue(h, "count", &value), Zel_OK);
    expected += "  <count>" + std::to_string(value) + "</count>\n";
  }
  EXPECT_EQ(WrittenText(h), expected + "</config>\n");
}

TEST(Writer, AllocatesAtMostThePathAndLeaksNothing) {
  HandlePtr config = Loaded();
  const std::string expected = WrittenText(config.get(), "expected.xml");
  const std::string path = TempPath("swept.xml");
  SweepAllocationFailures([&] { return Zel_ConfigWrite(path.c_str(), config.get()); },
                          [&](ResultCode result, bool injected) {
                            EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK);
                            EXPECT_TRUE(injected || ReadFile(path) == expected);
                          });
}

}  // namespace
}  // namespace qorvcfg::test
