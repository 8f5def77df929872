// The exact bytes of written data files, and the results of writing.
#include <gtest/gtest.h>

#include <string_view>

#include "e2e/config_helpers.h"
#include "platform/platform.h"
#include "support/definition_text.h"
#include "support/fault_sweep.h"
#include "support/small_stack.h"
#include "writer/output_buffer.h"

namespace qorvcfg::test {
namespace {

// Levels of the deep structure test: deep enough that a walk taking stack
// per level would overflow, shallow enough that the file (two blanks of
// indentation per level on each line) stays near 50 MB.
constexpr int kDeepNesting = 5000;
// The stack of the thread that writes the deep structure: a quarter of the
// 256 KiB the library may count on, so that even kDeepNesting levels would
// overflow it if writing took stack per level.
constexpr std::size_t kSmallStack = 64 * 1024;

// A name longer than the writer copies in one fixed-size piece.
constexpr const char *kLongName = "a_leaf_item_with_a_name_well_over_thirty_two_bytes";

// A definition of structures `n` nested `levels` deep around one integer,
// and data that fills every level once.
struct DeepConfig {
  HandlePtr handle{nullptr, &Zel_ConfigDestroy};
  std::string expected;
};

DeepConfig MakeDeepConfig(int levels) {
  std::string definition = "<config_define><name>deep</name>", data = "<config>";
  for (int i = 0; i < levels; ++i) {
    definition += "<item><name>n</name><type>structure</type>";
    data += "<n>";
  }
  definition += std::string("<item><name>") + kLongName + "</name><type>integer</type></item>";
  data += std::string("<") + kLongName + ">-7</" + kLongName + ">";
  DeepConfig deep;
  deep.expected = "<config>\n";
  for (int i = 1; i <= levels; ++i) deep.expected += std::string(2 * i, ' ') + "<n>";
  deep.expected +=
      std::string(2 * (levels + 1), ' ') + "<" + kLongName + ">-7</" + kLongName + ">\n";
  for (int i = levels; i >= 1; --i) {
    definition += "</item>";
    data += "</n>";
    deep.expected += std::string(2 * i, ' ') + "</n>\n";
  }
  deep.expected += "</config>\n";
  ConfigHandle *handle = nullptr;
  EXPECT_EQ(CreateFromText(definition + "</config_define>", &handle), Zel_OK);
  deep.handle.reset(handle);
  if (handle != nullptr) {
    EXPECT_EQ(Zel_ConfigReadFromData((data + "</config>").c_str(), handle), Zel_OK);
  }
  return deep;
}

TEST(Writer, OneLinePerValueOfEveryType) {
  static const std::int64_t zero = 0, least = INT64_MIN, most = INT64_MAX;
  static const std::uint32_t two = 2, no = 0;
  static const std::vector<int> v6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 1};
  static std::vector<int> low_mask(16);
  low_mask[15] = 0x80;
  static const IpAddressValue v4 = Ip({192, 168, 0, 1}),
                              v4_masked = Ip({10, 1, 2, 0}, {255, 255, 255, 0}),
                              v4_low_mask = Ip({10, 1, 2, 3}, {0, 0, 0, 1}),
                              v4_widths = Ip({0, 9, 10, 255}, {100, 99, 0, 0}), v6_plain = Ip(v6),
                              v6_low_mask = Ip(v6, low_mask);
  static char name[] = "gateway.example";
  static const IpAddressValue host = Host(name);
  const struct {
    const char *item;
    const void *data;
    const char *text;
  } rows[] = {
      {"count", &zero, "0"},
      {"count", &least, "-9223372036854775808"},
      {"count", &most, "9223372036854775807"},
      {"flag", &two, "TRUE"},
      {"flag", &no, "FALSE"},
      {"host", &v4, "192.168.0.1"},
      {"host", &v4_masked, "10.1.2.0/255.255.255.0"},
      {"host", &v4_low_mask, "10.1.2.3/0.0.0.1"},
      {"host", &v4_widths, "0.9.10.255/100.99.0.0"},
      {"host", &v6_plain, "2001:0db8:0000:0000:0000:0000:0000:0a01"},
      {"host", &v6_low_mask,
       "2001:0db8:0000:0000:0000:0000:0000:0a01/0000:0000:0000:0000:0000:0000:0000:0080"},
      {"host", &host, "gateway.example"},
      {"label", "a<b & c>d", "a<b & c>d"},
      {"label", " edge ", " edge "},
      {"label", "a&b>\"'=\xC3\xA9\tz ", "a&b>\"'=\xC3\xA9\tz "},
      {"mode", "off", "off"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    HandlePtr config = OpenConfig();
    EXPECT_EQ(AddValue(config.get(), row.item, row.data), Zel_OK);
    const std::string written = WrittenText(config.get());
    EXPECT_EQ(written, std::string("<config>\n  <") + row.item + ">" + row.text + "</" + row.item +
                           ">\n</config>\n");
    // Read back, the same value, unless reading refuses a mask, drops the
    // leading blank or ends the text at its `<`.
    if (std::string_view(row.text).find_first_of("/<") == std::string_view::npos &&
        row.text[0] != ' ') {
      HandlePtr back = OpenConfig();
      EXPECT_EQ(Zel_ConfigReadFromData(written.c_str(), back.get()), Zel_OK);
      EXPECT_EQ(ConfigText(back.get()), ConfigText(config.get()));
    }
  }
}

TEST(Writer, StructuresIndentTheirMembers) {
  HandlePtr config = OpenConfig();
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

// Texts longer than the output buffer around thousands of short lines, so
// that the buffer fills at every kind of piece.
TEST(Writer, LargeConfigurationCrossesTheBufferWhole) {
  HandlePtr config = OpenConfig();
  ConfigHandle *h = config.get();
  std::string blob;
  for (int i = 0; blob.size() < 2 * writer::kOutputCapacity + 1000; ++i) {
    blob += static_cast<char>('a' + i % 26) + std::to_string(i);
  }
  std::string expected = "<config>\n";
  for (std::int64_t i = 0; i < 4000; ++i) {
    const std::int64_t value = (i * 7919) % 100003 - 50000;
    ASSERT_EQ(AddValue(h, "count", &value), Zel_OK);
    expected += "  <count>" + std::to_string(value) + "</count>\n";
    if (i % 1000 == 0) {
      blob += std::to_string(i);
      ASSERT_EQ(AddValue(h, "blob", blob.c_str()), Zel_OK);
      expected += "  <blob>" + blob + "</blob>\n";
    }
  }
  EXPECT_TRUE(WrittenText(h) == expected + "</config>\n");
}

TEST(Writer, DeepStructuresNeedNoDeepStack) {
  const DeepConfig deep = MakeDeepConfig(kDeepNesting);
  const std::string path = TempPath("deep.xml");
  ResultCode result = Zel_EINVAL;
  RunOnStack(kSmallStack, [&] { result = Zel_ConfigWrite(path.c_str(), deep.handle.get()); });
  EXPECT_EQ(result, Zel_OK);
  EXPECT_TRUE(ReadFile(path) == deep.expected);
}

// When memory runs out the file is left as it was; nothing leaks.
TEST(Writer, RunningOutOfMemoryLeavesTheFileAlone) {
  const DeepConfig deep = MakeDeepConfig(100);
  const HandlePtr loaded = Loaded();
  for (ConfigHandle *handle : {loaded.get(), deep.handle.get()}) {
    const std::string expected = WrittenText(handle, "expected.xml");
    const std::string path = TempPath("swept.xml");
    WriteFile(path, "old");
    SweepAllocationFailures([&] { return Zel_ConfigWrite(path.c_str(), handle); },
                            [&](ResultCode result, bool injected) {
                              EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK);
                              EXPECT_TRUE(ReadFile(path) == (injected ? "old" : expected));
                            });
  }
}

}  // namespace
}  // namespace qorvcfg::test
