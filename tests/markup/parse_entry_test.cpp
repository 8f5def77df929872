// ParseMarkup: opening, the end-of-input rules, what reaches conversion, and
// a document far deeper than any stack.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

// v: any integer; a: nested, with this grammar again inside.
extern const ElementDescriptor kGrammar[2];
const ElementDescriptor kGrammar[2] = {
    {&kGrammar[1], "v", ValueKind::kInteger, 0, 0, 0, nullptr},
    {nullptr, "a", ValueKind::kNested, 0, 0, 0, &kGrammar[0]},
};

std::string Values(const ConvertedNode *node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (!out.empty()) out += ' ';
    out += node->kind == ValueKind::kInteger ? std::to_string(node->value.integer)
                                             : "a{" + Values(node->value.nested) + "}";
  }
  return out;
}

ConvertedNode kSentinel{};
ConvertedNode *const kUntouched = &kSentinel;  // what out holds until written

struct Parsed {
  ResultCode result;
  ConvertedNode *out;
};

Parsed Parse(std::uint32_t mode, const char *input) {
  Parsed parsed{Zel_OK, kUntouched};
  parsed.result = ParseMarkup(mode, input, kGrammar, &parsed.out);
  return parsed;
}

TEST(ParseMarkup, ConvertsChildrenOfFirstTopLevelElementFromTextAndFile) {
  struct Row {
    const char *text;
    ResultCode result;
    const char *values;  // null: out stays untouched
  };
  const Row rows[] = {
      {"<config><v>1</v><a><v>2</v></a></config>", Zel_OK, "1 a{2}"},
      {"<?xml?>\n<foo><v>1</v>text<x>9</x></foo><config><v>2</v></config>", Zel_OK, "1"},
      {"<config></config>", Zel_OK, ""},
      {"<config>text only</config>", Zel_OK, ""},
      {"", Zel_OK, nullptr},
      {" \r\n\t", Zel_OK, nullptr},
      {"<!-- c --><?x?>text", Zel_OK, nullptr},
      {"<config><v>1</v></config><", Zel_EINVAL, nullptr},
      {"<config><v>1</v></config", Zel_EINVAL, nullptr},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    const std::string path = TempPath("input");
    WriteFile(path, row.text);
    for (std::uint32_t mode : {1u, 2u}) {
      SCOPED_TRACE(mode);
      const std::int64_t live = platform::LiveAllocations();
      const Parsed parsed = Parse(mode, mode == 1 ? path.c_str() : row.text);
      EXPECT_EQ(parsed.result, row.result);
      if (row.values == nullptr) {
        EXPECT_EQ(parsed.out, kUntouched);
      } else {
        EXPECT_EQ(Values(parsed.out), row.values);
        ReleaseNodeList(parsed.out);
      }
      EXPECT_EQ(platform::LiveAllocations(), live);
    }
  }
}

TEST(ParseMarkup, ReportsOpenFailuresAndBadModes) {
  const std::string missing_dir = TempPath("no-such-dir") + "/file";
  const std::string busy = TempPath("busy");
  platform::FileHandle writer = platform::kInvalidFile;
  ASSERT_EQ(platform::OpenForWriting(busy.c_str(), &writer), Zel_OK);
  const std::string missing = TempPath("missing");
  const std::int64_t live = platform::LiveAllocations();
  EXPECT_EQ(Parse(1, missing.c_str()).result, Zel_ESYSTEM | 2);
  EXPECT_EQ(Parse(1, missing_dir.c_str()).result, Zel_ESYSTEM | 3);
  EXPECT_EQ(Parse(1, busy.c_str()).result, Zel_EBUSY | 32);
  platform::Close(writer);
  EXPECT_EQ(Parse(1, busy.c_str()).result, Zel_OK);  // an empty file once released
  for (std::uint32_t mode : {0u, 3u}) {
    const Parsed parsed = Parse(mode, "<config><v>1</v></config>");
    EXPECT_EQ(parsed.result, Zel_EINVAL);
    EXPECT_EQ(parsed.out, kUntouched);
  }
  EXPECT_EQ(Parse(2, nullptr).result, Zel_EINVAL);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

// A million open elements: the tree is built and freed without recursion,
// and conversion stops following the nesting at its depth limit.
TEST(ParseMarkup, MillionDeepDocument) {
  constexpr int kDepth = 1000000;
  constexpr int kWithValue = 1500;
  std::string text = "<config>";
  text.reserve(kWithValue * 13 + kDepth * 3 + 64);
  for (int i = 0; i < kWithValue; ++i) text += "<a><v>1</v>";
  for (int i = kWithValue; i < kDepth; ++i) text += "<a>";
  text += "deepest text";

  const std::int64_t live = platform::LiveAllocations();
  ConvertedNode *out = nullptr;
  ASSERT_EQ(ParseMarkup(2, text.c_str(), kGrammar, &out), Zel_OK);
  std::uint32_t levels = 0;  // nested nodes along the chain
  std::uint32_t values = 0;
  for (const ConvertedNode *list = out; list != nullptr;) {
    const ConvertedNode *inner = nullptr;
    for (const ConvertedNode *node = list; node != nullptr; node = node->next) {
      if (node->kind == ValueKind::kNested) {
        inner = node;
      } else {
        values += node->kind == ValueKind::kInteger && node->value.integer == 1;
      }
    }
    if (inner == nullptr) break;
    ++levels;
    list = inner->value.nested;
  }
  EXPECT_EQ(levels, kMaxNestingDepth);
  EXPECT_EQ(values, kMaxNestingDepth);
  ReleaseNodeList(out);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg::test
