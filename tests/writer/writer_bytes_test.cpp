// The exact bytes of written data files, and the results of writing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "e2e/config_helpers.h"
#include "platform/platform.h"
#include "support/fault_sweep.h"

namespace qorvcfg::test {
namespace {

// The file of a handle holding one value of item, set from data.
std::string WrittenValue(const char *item, const void *data) {
  HandlePtr config = OpenConfig();
  DataRecord *record = Create(config.get(), nullptr, item);
  EXPECT_EQ(Zel_DataChange(config.get(), record, data), Zel_OK) << item;
  EXPECT_EQ(Zel_DataAdd(config.get(), record), Zel_OK) << item;
  return WrittenText(config.get());
}

TEST(Writer, OneLinePerValueOfEveryType) {
  static const std::int64_t zero = 0, minus_one = -1, big = 2147483648LL, least = INT64_MIN,
                            most = INT64_MAX;
  static const std::uint32_t two = 2, no = 0;
  static const std::uint8_t v6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0,    0,
                                      0,    0,    0,    0,    0, 0, 0x0a, 0x01};
  static const IpAddressValue v4 = V4({192, 168, 0, 1}), v4_zero_mask = V4({10, 0, 0, 9}, {0}),
                              v4_masked = V4({10, 1, 2, 0}, {255, 255, 255, 0}),
                              v4_low_mask = V4({10, 1, 2, 3}, {0, 0, 0, 1}), v6_plain = V6(v6),
                              v6_masked = V6(v6, true), v6_low_mask = [] {
                                IpAddressValue ip = V6(v6);
                                ip.mask[15] = 0x80;
                                return ip;
                              }();
  static char name[] = "gateway.example";
  static const IpAddressValue host = HostName(name);
  const struct {
    const char *item;
    const void *data;
    const char *text;
  } rows[] = {
      {"count", &zero, "0"},
      {"count", &minus_one, "-1"},
      {"count", &big, "2147483648"},
      {"count", &least, "-9223372036854775808"},
      {"count", &most, "9223372036854775807"},
      {"flag", &two, "TRUE"},
      {"flag", &no, "FALSE"},
      {"host", &v4, "192.168.0.1"},
      {"host", &v4_zero_mask, "10.0.0.9"},
      {"host", &v4_masked, "10.1.2.0/255.255.255.0"},
      {"host", &v4_low_mask, "10.1.2.3/0.0.0.1"},
      {"host", &v6_low_mask,
       "2001:0db8:0000:0000:0000:0000:0000:0a01/0000:0000:0000:0000:0000:0000:0000:0080"},
      {"host", &v6_plain, "2001:0db8:0000:0000:0000:0000:0000:0a01"},
      {"host", &v6_masked,
       "2001:0db8:0000:0000:0000:0000:0000:0a01/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
      {"host", &host, "gateway.example"},
      {"label", "a<b & c>d", "a<b & c>d"},
      {"label", " edge ", " edge "},
      {"mode", "off", "off"},
  };
  for (const auto &row : rows) {
    const std::string expected = std::string("<config>\n  <") + row.item + ">" + row.text + "</" +
                                 row.item + ">\n</config>\n";
    EXPECT_EQ(WrittenValue(row.item, row.data), expected);
  }
}

TEST(Writer, EmptyHandleAndEmptyStructure) {
  HandlePtr config = OpenConfig();
  EXPECT_EQ(WrittenText(config.get(), "empty.xml"), "<config>\n</config>\n");
  ASSERT_EQ(Zel_DataAdd(config.get(), Create(config.get(), nullptr, "s")), Zel_OK);
  EXPECT_EQ(WrittenText(config.get(), "s.xml"), "<config>\n  <s>  </s>\n</config>\n");
}

TEST(Writer, StructuresIndentTheirMembers) {
  HandlePtr config = OpenConfig();
  ASSERT_EQ(Zel_ConfigReadFromData("<config><s><a>1</a><b>TRUE</b></s><route><id>5</id>"
                                   "<hop><id>6</id><note>n</note></hop><hop><id>7</id></hop>"
                                   "</route><port>80</port></config>",
                                   config.get()),
            Zel_OK);
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
            "</config>\n");
}

TEST(Writer, WhatReadingMakesOfTheWrittenText) {
  HandlePtr config = OpenConfig();
  static const std::uint8_t letter_first[16] = {0xfe, 0x80, 0, 0, 0, 0, 0, 0,
                                                0,    0,    0, 0, 0, 0, 0, 1};
  const IpAddressValue v6 = V6(letter_first), masked = V4({10, 0, 0, 1}, {255, 0, 0, 0});
  for (const void *data : {static_cast<const void *>(&v6), static_cast<const void *>(&masked)}) {
    DataRecord *record = Create(config.get(), nullptr, "host");
    EXPECT_EQ(Zel_DataChange(config.get(), record, data), Zel_OK);
    EXPECT_EQ(Zel_DataAdd(config.get(), record), Zel_OK);
  }
  for (const char *text : {"  lead", "tail  ", "cut<here"}) {
    DataRecord *record = Create(config.get(), nullptr, "label");
    EXPECT_EQ(Zel_DataChange(config.get(), record, text), Zel_OK);
    EXPECT_EQ(Zel_DataAdd(config.get(), record), Zel_OK);
  }
  const std::string path = TempPath("back.xml");
  ASSERT_EQ(Zel_ConfigWrite(path.c_str(), config.get()), Zel_OK);
  HandlePtr back = OpenConfig();
  ASSERT_EQ(Zel_ConfigRead(path.c_str(), back.get()), Zel_OK);
  // An address with a mask is not read; one starting with a letter is a host name.
  EXPECT_EQ(ConfigText(back.get()),
            "label=\"tail  \" label=\"lead\" label=\"cut\" "
            "host=host:fe80:0000:0000:0000:0000:0000:0000:0001 ");
}

TEST(Writer, OpenFailures) {
  HandlePtr config = OpenConfig();
  ASSERT_EQ(Zel_ConfigReadFromData("<config><port>80</port></config>", config.get()), Zel_OK);
  const std::string missing_dir = TempPath("no_such_dir") + "/out.xml";
  EXPECT_EQ(Zel_ConfigWrite(missing_dir.c_str(), config.get()), Zel_ESYSTEM | 3);
  EXPECT_FALSE(FileExists(missing_dir));

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
  ConfigHandle *h = config.get();
  std::string expected = "<config>\n";
  // One text larger than the buffer, then thousands of short lines.
  std::string blob;
  for (int i = 0; i < 4000; ++i) blob += static_cast<char>('a' + i % 26) + std::to_string(i);
  DataRecord *big = Create(h, nullptr, "blob");
  ASSERT_EQ(Zel_DataChange(h, big, blob.c_str()), Zel_OK);
  ASSERT_EQ(Zel_DataAdd(h, big), Zel_OK);
  expected += "  <blob>" + blob + "</blob>\n";
  for (std::int64_t i = 0; i < 4000; ++i) {
    const std::int64_t value = (i * 7919) % 100003 - 50000;
    DataRecord *record = Create(h, nullptr, "count");
    ASSERT_EQ(Zel_DataChange(h, record, &value), Zel_OK);
    ASSERT_EQ(Zel_DataAdd(h, record), Zel_OK);
    expected += "  <count>" + std::to_string(value) + "</count>\n";
  }
  expected += "</config>\n";
  const std::string path = TempPath("large.xml");
  ASSERT_EQ(Zel_ConfigWrite(path.c_str(), h), Zel_OK);
  EXPECT_EQ(ReadFile(path), expected);

  HandlePtr back = OpenConfig();
  ASSERT_EQ(Zel_ConfigRead(path.c_str(), back.get()), Zel_OK);
  EXPECT_EQ(ConfigText(back.get()), ConfigText(h));
}

TEST(Writer, AllocatesAtMostThePathAndLeaksNothing) {
  HandlePtr config = OpenConfig();
  ASSERT_EQ(Zel_ConfigRead(DataPath("every_type.data.xml").c_str(), config.get()), Zel_OK);
  const std::string expected = WrittenText(config.get(), "expected.xml");
  const std::string path = TempPath("swept.xml");
  SweepAllocationFailures([&] { return Zel_ConfigWrite(path.c_str(), config.get()); },
                          [&](ResultCode result, bool injected) {
                            if (injected) {
                              EXPECT_EQ(result, Zel_ENOMEM);
                            } else {
                              EXPECT_EQ(result, Zel_OK);
                              EXPECT_EQ(ReadFile(path), expected);
                            }
                          });
}

}  // namespace
}  // namespace qorvcfg::test
