// Every allocation of a parse, failed in turn: the parse either succeeds
// with what it could convert or answers Zel_ENOMEM, and never leaks.
#include "support/fault_sweep.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

const ConstraintRecord kNameBounds{1, 0x7FFFFFFE};
char kWordInteger[] = "integer";
KeywordEntry kTypes[1] = {{nullptr, kWordInteger, nullptr}};

extern const ElementDescriptor kMember[2], kRows[10];
const ElementDescriptor kMember[2] = {
    {&kMember[1], "id", ValueKind::kInteger, 0, 1, 0, nullptr},
    {nullptr, "v", ValueKind::kString, 0, 0, 0, nullptr},
};
const ElementDescriptor kRows[10] = {
    {&kRows[1], "n", ValueKind::kName, 0, 0, 0, &kNameBounds},
    {&kRows[2], "i", ValueKind::kInteger, 0, 0, 0, nullptr},
    {&kRows[3], "s", ValueKind::kString, 0, 0, 0, nullptr},
    {&kRows[4], "b", ValueKind::kBoolean, 0, 0, 0, nullptr},
    {&kRows[5], "ip", ValueKind::kIpAddress, 0, 0, 0, nullptr},
    {&kRows[6], "e", ValueKind::kEnumList, 0, 0, 0, &kNameBounds},
    {&kRows[7], "k", ValueKind::kKeyword, 0, 0, 0, kTypes},
    {&kRows[8], "st", ValueKind::kNested, 0, 0, 0, kMember},
    {&kRows[9], "d", ValueKind::kDefault, 0, 0, 0, nullptr},
    {nullptr, "d2", ValueKind::kDefault, 0, 0, 0, nullptr},
};

// Counts every node, nested ones included, and checks that each holds a value.
std::size_t CountNodes(const ConvertedNode *node) {
  std::size_t count = 0;
  for (; node != nullptr; node = node->next) {
    EXPECT_NE(node->descriptor, nullptr);
    EXPECT_NE(node->kind, ValueKind::kNone);
    ++count;
    if (node->kind == ValueKind::kNested) count += CountNodes(node->value.nested);
  }
  return count;
}

const char kText[] =
    "<?xml version='1.0'?>\n<config>\n  <n>port</n><i>0x50</i><s>some text\n</s><b>True</b>\n"
    "  <ip>host.example</ip><ip>10.0.0.1</ip><ip>::1</ip>\n"
    "  <e><low>Low speed</low><high/><low>again</low></e><k>integer</k>\n"
    "  <st><id>1</id><v>a</v></st><st><id>1</id><v>b</v></st><st><id>2</id></st>\n"
    "  <!-- comment --><d>0x10</d><unknown>1</unknown>\n</config>";
constexpr std::size_t kAllNodes = 15;  // 12 at the top, 3 members

void Sweep(std::uint32_t mode, const char *input) {
  for (FailMode fail : {FailMode::kOnlyNth, FailMode::kNthAndAfter}) {
    SCOPED_TRACE(fail == FailMode::kOnlyNth ? "one failure" : "failures from n on");
    ConvertedNode *out = nullptr;
    bool smaller = false;
    const std::uint64_t made = SweepAllocationFailures(
        [&] {
          out = nullptr;
          return ParseMarkup(mode, input, kRows, &out);
        },
        [&](ResultCode result, bool injected) {
          if (result == Zel_OK) {
            const std::size_t count = CountNodes(out);
            if (!injected) {
              EXPECT_EQ(count, kAllNodes);
            }
            smaller = smaller || count < kAllNodes;
            ReleaseNodeList(out);
          } else {
            EXPECT_EQ(result, Zel_ENOMEM);
            EXPECT_TRUE(injected);
            EXPECT_EQ(out, nullptr);
          }
        },
        fail);
    EXPECT_GT(made, 100u);
    EXPECT_TRUE(smaller) << "some failure should drop an element and go on";
  }
}

TEST(ParseMarkupFaults, TextOfEveryKind) { Sweep(2, kText); }

TEST(ParseMarkupFaults, FileOfEveryKind) {
  const std::string path = TempPath("every-kind");
  WriteFile(path, kText);
  Sweep(1, path.c_str());
}

}  // namespace
}  // namespace qorvcfg::test
