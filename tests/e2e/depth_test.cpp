// Any depth on a small stack: a definition nesting a million items and data
// nesting a hundred thousand structures are created, read, queried, written
// and destroyed on a thread whose stack is 256 KiB, in time and memory
// linear in the depth.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "e2e/config_helpers.h"
#include "qorvcfg.h"
#include "support/definition_text.h"
#include "support/fault_sweep.h"
#include "support/small_stack.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

constexpr std::size_t kSmallStack = 256 * 1024;

// Items a, each holding the next a, depth of them; the deepest holds the
// integer v; the outermost a takes any number of values. With top, an
// integer item top stands before the chain.
std::string ChainDefinition(int depth, bool top) {
  std::string text = "<config_define>";
  if (top) text += "<item><name>top</name><type>integer</type></item>";
  for (int i = 0; i < depth; ++i) {
    text += "<item><name>a</name><type>structure</type>";
    if (i == 0) text += "<number>0</number>";
  }
  text += "<item><name>v</name><type>integer</type></item>";
  for (int i = 0; i < depth; ++i) text += "</item>";
  return text + "</config_define>";
}

TEST(Depth, MillionDeepDefinition) {
  constexpr int kDepth = 1000000;
  const std::string definition = ChainDefinition(kDepth, true);
  const std::string written = TempPath("written");
  RunOnStack(kSmallStack, [&] {
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(CreateFromText(definition, &handle), Zel_OK);
    ContentEntry entries[2];
    std::uint32_t count = 2;
    ASSERT_EQ(Zel_ContentListGet(handle, entries, &count), Zel_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(entries[1].name, "a");
    // Every read derives the million-deep data grammar.
    EXPECT_EQ(Zel_ConfigReadFromData("<config><top>7</top><a><a/></a></config>", handle), Zel_OK);
    EXPECT_EQ(Values(handle, "top").size(), 1u);
    EXPECT_EQ(Zel_ConfigWrite(written.c_str(), handle), Zel_OK);
    Zel_ConfigDestroy(handle);
  });
  EXPECT_EQ(ReadFile(written), "<config>\n  <top>7</top>\n</config>\n");
}

// Read twice, the data compares equal to what is there at every level, which
// fails the second read and empties the handle. A chain built through the
// interface is refused beside the one read until its innermost value
// differs.
TEST(Depth, HundredThousandDeepData) {
  constexpr int kDepth = 100000;
  std::string data = "<config>";
  for (int i = 0; i < kDepth; ++i) data += "<a>";
  data += "<v>42</v>";
  for (int i = 0; i < kDepth; ++i) data += "</a>";
  data += "</config>";
  ConfigHandle *handle = nullptr;
  RunOnStack(kSmallStack, [&] {
    ASSERT_EQ(CreateFromText(ChainDefinition(kDepth, false), &handle), Zel_OK);
    ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), handle), Zel_OK);
    // Down the chain to the leaf.
    std::vector<DataRecord *> level = Values(handle, "a");
    for (int i = 1; i < kDepth && level.size() == 1; ++i) level = Values(handle, "a", level[0]);
    ASSERT_EQ(level.size(), 1u);
    const std::vector<DataRecord *> leaf = Values(handle, "v", level[0]);
    ASSERT_EQ(leaf.size(), 1u);
    EXPECT_EQ(leaf[0]->payload.integer, 42);
    EXPECT_EQ(Zel_ConfigReadFromData(data.c_str(), handle), Zel_EEXIST);
    EXPECT_TRUE(Values(handle, "a").empty());
    ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), handle), Zel_OK);
    DataRecord *built = Create(handle, "a"), *innermost = built;
    for (int i = 1; i < kDepth; ++i) {
      DataRecord *child = Create(handle, "a", innermost);
      ASSERT_EQ(Zel_DataAddToData(innermost, child), Zel_OK);
      innermost = child;
    }
    const std::int64_t same = 42, other = 43;
    ASSERT_EQ(AddValue(handle, "v", &same, innermost), Zel_OK);
    EXPECT_EQ(Zel_DataAdd(handle, built), Zel_EEXIST);
    ASSERT_EQ(Zel_DataChangeToData(innermost, Values(handle, "v", innermost)[0], &other), Zel_OK);
    EXPECT_EQ(Zel_DataAdd(handle, built), Zel_OK);
    EXPECT_EQ(Values(handle, "a").size(), 2u);
  });
  ASSERT_NE(handle, nullptr);
  // Not written: a file of this depth holds two blanks of indentation per
  // level on every line, some ten gigabytes (the writer's own tests write
  // deep structures on a small stack).
  RunOnStack(kSmallStack, [&] { Zel_ConfigDestroy(handle); });
}

// Deeper than the walks keep in place: every allocation of creating the
// handle, failed in turn, answers Zel_ENOMEM with nothing leaked. (Reads of
// data as deep are swept with the other reads.)
TEST(Depth, AllocationFailuresAtDepth) {
  const std::string path = TempPath("definition");
  WriteFile(path, ChainDefinition(40, true));
  ConfigHandle *handle = nullptr;
  for (FailMode fail : {FailMode::kOnlyNth, FailMode::kNthAndAfter}) {
    SweepAllocationFailures([&] { return Zel_ConfigCreate(path.c_str(), &handle); },
                            [&](ResultCode result, bool) {
                              EXPECT_EQ(result == Zel_OK || result == Zel_ENOMEM, true) << result;
                              if (result == Zel_OK) Zel_ConfigDestroy(handle);
                              handle = nullptr;
                            },
                            fail);
  }
}

}  // namespace
}  // namespace qorvcfg::test
