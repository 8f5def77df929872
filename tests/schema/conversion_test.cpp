// The conversion driver with a small grammar of every kind: what is kept,
// what is dropped, which siblings count as duplicates, and allocation failures.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"
#include "support/fault_sweep.h"

namespace qorvcfg::test {
namespace {

const ConstraintRecord kWordBounds{1, 8};
const ConstraintRecord kPortBounds{0, 2147483647};
const ConstraintRecord kShort{0, 3};
char kWordInteger[] = "integer";
char kWordString[] = "string";
KeywordEntry kTypes[2] = {{&kTypes[1], kWordInteger, nullptr}, {nullptr, kWordString, nullptr}};

const ElementDescriptor kKeyed[2] = {
    {&kKeyed[1], "id", ValueKind::kInteger, 0, 1, 0, nullptr},
    {nullptr, "v", ValueKind::kString, 0, 0, 0, nullptr},
};
const ElementDescriptor kPlain[2] = {
    {&kPlain[1], "x", ValueKind::kInteger, 0, 0, 0, nullptr},
    {nullptr, "y", ValueKind::kInteger, 0, 0, 0, nullptr},
};
const ElementDescriptor kRows[14] = {
    {&kRows[1], "n", ValueKind::kName, 0, 0, 0, &kShort},
    {&kRows[2], "i", ValueKind::kInteger, 0, 0, 0, &kPortBounds},
    {&kRows[3], "s", ValueKind::kString, 0, 0, 0, &kShort},
    {&kRows[4], "b", ValueKind::kBoolean, 0, 0, 0, nullptr},
    {&kRows[5], "ip", ValueKind::kIpAddress, 0, 0, 0, nullptr},
    {&kRows[6], "e", ValueKind::kEnumList, 0, 0, 0, &kWordBounds},
    {&kRows[7], "k", ValueKind::kKeyword, 0, 0, 0, kTypes},
    {&kRows[8], "kn", ValueKind::kKeyword, 0, 0, 0, nullptr},
    {&kRows[9], "d", ValueKind::kDefault, 0, 0, 0, nullptr},
    {&kRows[10], "one", ValueKind::kInteger, 1, 0, 0, nullptr},
    {&kRows[11], "st", ValueKind::kNested, 0, 0, 0, kKeyed},
    {&kRows[12], "nk", ValueKind::kNested, 0, 0, 0, kPlain},
    {&kRows[13], "bad", static_cast<ValueKind>(10), 0, 0, 0, nullptr},
    {nullptr, "b", ValueKind::kString, 0, 0, 0, nullptr},  // never reached: the first b wins
};

// name=value for each node: names and keywords bare, strings quoted, lists
// in [], nested lists in {}, anything else '?'.
std::string Dump(const ConvertedNode *node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    const NodeValue &v = node->value;
    out += (out.empty() ? "" : " ") + std::string(node->descriptor->name) + "=";
    if (node->kind == ValueKind::kName || node->kind == ValueKind::kKeyword) {
      out += v.text;
    } else if (node->kind == ValueKind::kString) {
      out += '"' + std::string(v.text) + '"';
    } else if (node->kind == ValueKind::kInteger) {
      out += std::to_string(v.integer);
    } else if (node->kind == ValueKind::kBoolean) {
      out += std::to_string(v.boolean);
    } else if (node->kind == ValueKind::kIpAddress) {
      out += v.ipaddr.host_name ? v.ipaddr.host_name : "v" + std::to_string(v.ipaddr.family);
    } else if (node->kind == ValueKind::kNested) {
      out += '{' + Dump(v.nested) + '}';
    } else if (node->kind == ValueKind::kEnumList) {
      for (const KeywordEntry *e = v.entries; e != nullptr; e = e->next) {
        out += (e == v.entries ? "[" : ",") + std::string(e->keyword) + ":" + e->text;
      }
      out += ']';
    } else {
      out += '?';
    }
  }
  return out;
}

TEST(ConvertElements, KeepsWhatFitsAndDropsTheRest) {
  const struct {
    const char *children, *nodes;
  } rows[] = {
      {"<n>abc</n><n>abcd</n><n>2ab</n><n></n><n>abc</n>", "n=abc"},
      {"<i>0</i><i>-1</i><i>2147483647</i><i>2147483648</i><i>0</i><i/>", "i=0 i=2147483647"},
      {"<s>abc</s><s>abcd</s><s>ab\n</s><s>abc</s><s></s>", "s=\"abc\" s=\"ab\n\""},
      {"<b>TRUE</b><b>false</b><b>true</b><b>yes</b>", "b=1 b=0"},
      {"<ip>Host.example</ip><ip>host.example</ip><ip>Host.example</ip><ip>192.168.0.1</ip>"
       "<ip>192.168.000.001</ip><ip>1.2.3.4</ip><ip>::1</ip><ip>0:0:0:0:0:0:0:1</ip>"
       "<ip>1.2.3.4\n</ip>",
       "ip=Host.example ip=host.example ip=v4 ip=v4 ip=v6"},
      {"<e><abcdefgh>Low speed</abcdefgh><abcdefghi/><high/><abcdefgh>x</abcdefgh><>x</>t</e>"
       "<e>only text</e><e><mid/></e><e><mid/></e>",
       "e=[abcdefgh:Low speed,high:] e=[mid:] e=[mid:]"},
      {"<k>integer</k><k>Integer</k><k>1integer</k><k>string</k><k>integer</k><kn>integer</kn>",
       "k=integer k=string"},
      {"<d>0x10</d><d></d><d>0x10</d>", "d=\"0x10\""},
      {"<one>abc</one><one>5</one><one>6</one>", "one=5"},
      {"<N>abc</N><x>1</x><bad>1</bad><b>word</b>", ""},
      // Order is kept; the first text child counts.
      {"<i><x/>7</i>text<n>a</n><i>8<x/>9</i><i><x>5</x></i>", "i=7 n=a i=8"},
      {"<st><id>1</id><v>a</v></st><st><v>b</v><id>1</id></st><st><v>c</v></st>"
       "<st><v>c</v></st><st><id>2</id></st><st><id>x</id></st><st>t</st>",
       "st={id=1 v=\"a\"} st={v=\"c\"} st={v=\"c\"} st={id=2}"},
      {"<nk><x>1</x><y>2</y></nk><nk><y>2</y><x>1</x></nk><nk><x>1</x></nk>"
       "<nk><x>1</x><y>3</y></nk><nk><y>2</y><x>1</x><x>1</x><x>2</x></nk><nk><z>1</z></nk>",
       "nk={x=1 y=2} nk={x=1} nk={x=1 y=3}"},
      // Each member of the earlier structure meets the first same-named one
      // of the later: a wider earlier sibling keeps a narrower later one.
      {"<nk><x>1</x><x>2</x></nk><nk><x>1</x></nk>", "nk={x=1 x=2} nk={x=1}"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.children);
    const std::int64_t live = platform::LiveAllocations();
    const std::string text = std::string("<r>") + row.children + "</r>";
    ConvertedNode *out = nullptr;
    ASSERT_EQ(ParseMarkup(2, text.c_str(), kRows, &out), Zel_OK);
    EXPECT_EQ(Dump(out), row.nodes);
    ReleaseNodeList(out);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

// Every allocation of a parse, failed in turn: the parse either succeeds with
// part of what it could convert or answers Zel_ENOMEM untouched, and never leaks.
TEST(ConvertElements, AllocationFailures) {
  const char kText[] =
      "<?xml version='1.0'?>\n<config>\n<n>abc</n><i>0x50</i><s>ab\n</s><b>True</b>\n"
      "<ip>host.example</ip><ip>10.0.0.1</ip><ip>::1</ip>\n"
      "<e><low>Low speed</low><high/><low>again</low></e><k>integer</k><one>1</one>\n"
      "<st><id>1</id><v>a</v></st><st><id>1</id><v>b</v></st><st><id>2</id></st>\n"
      "<nk><x>1</x></nk><nk><x>1</x></nk><!-- comment --><d>0x10</d><unknown>1</unknown>\n"
      "</config>";
  ConvertedNode sentinel{};
  ConvertedNode *out = nullptr;
  ASSERT_EQ(ParseMarkup(2, kText, kRows, &out), Zel_OK);
  const std::string full = Dump(out);
  ReleaseNodeList(out);
  for (FailMode fail : {FailMode::kOnlyNth, FailMode::kNthAndAfter}) {
    SCOPED_TRACE(fail == FailMode::kOnlyNth ? "one failure" : "failures from n on");
    bool smaller = false;
    const std::uint64_t made = SweepAllocationFailures(
        [&] {
          out = &sentinel;
          return ParseMarkup(2, kText, kRows, &out);
        },
        [&](ResultCode result, bool injected) {
          if (result != Zel_OK) {
            EXPECT_EQ(result, Zel_ENOMEM);
            EXPECT_TRUE(injected);
            EXPECT_EQ(out, &sentinel);
            return;
          }
          if (out == &sentinel) out = nullptr;  // every element was lost: no tree
          const std::string dump = Dump(out);
          EXPECT_EQ(dump.find('?'), std::string::npos) << dump;
          for (const ConvertedNode *node = out; node != nullptr; node = node->next) {
            EXPECT_EQ(FindDuplicateNode(node, node->next), Zel_OK) << dump;  // none let in
          }
          smaller = smaller || dump.size() < full.size();
          ReleaseNodeList(out);
        },
        fail);
    EXPECT_GT(made, 30u);
    EXPECT_TRUE(smaller) << "some failure should drop an element and go on";
  }
}

}  // namespace
}  // namespace qorvcfg::test
