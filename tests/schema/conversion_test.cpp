// The conversion driver with a small grammar of every kind: what is kept,
// what is dropped, and which siblings count as duplicates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg::test {
namespace {

const ConstraintRecord kNameBounds{1, 0x7FFFFFFE};
const ConstraintRecord kPortBounds{0, 2147483647};
const ConstraintRecord kShort{0, 3};
char kWordInteger[] = "integer";
char kWordString[] = "string";
KeywordEntry kTypes[2] = {{&kTypes[1], kWordInteger, nullptr}, {nullptr, kWordString, nullptr}};

extern const ElementDescriptor kKeyed[2], kPlain[2];
const ElementDescriptor kKeyed[2] = {
    {&kKeyed[1], "id", ValueKind::kInteger, 0, 1, 0, nullptr},
    {nullptr, "v", ValueKind::kString, 0, 0, 0, nullptr},
};
const ElementDescriptor kPlain[2] = {
    {&kPlain[1], "x", ValueKind::kInteger, 0, 0, 0, nullptr},
    {nullptr, "y", ValueKind::kInteger, 0, 0, 0, nullptr},
};

ElementDescriptor kRows[] = {
    {nullptr, "n", ValueKind::kName, 0, 0, 0, &kNameBounds},
    {nullptr, "i", ValueKind::kInteger, 0, 0, 0, &kPortBounds},
    {nullptr, "big", ValueKind::kInteger, 0, 0, 0, nullptr},
    {nullptr, "s", ValueKind::kString, 0, 0, 0, &kShort},
    {nullptr, "b", ValueKind::kBoolean, 0, 0, 0, nullptr},
    {nullptr, "ip", ValueKind::kIpAddress, 0, 0, 0, nullptr},
    {nullptr, "e", ValueKind::kEnumList, 0, 0, 0, &kNameBounds},
    {nullptr, "k", ValueKind::kKeyword, 0, 0, 0, kTypes},
    {nullptr, "kn", ValueKind::kKeyword, 0, 0, 0, nullptr},
    {nullptr, "d", ValueKind::kDefault, 0, 0, 0, nullptr},
    {nullptr, "one", ValueKind::kInteger, 1, 0, 0, nullptr},
    {nullptr, "el", ValueKind::kEnumList, 1, 0, 0, nullptr},
    {nullptr, "st", ValueKind::kNested, 0, 0, 0, kKeyed},
    {nullptr, "nk", ValueKind::kNested, 0, 0, 0, kPlain},
    {nullptr, "lst", ValueKind::kNested, 1, 0, 0, kPlain},
    {nullptr, "bad", static_cast<ValueKind>(10), 0, 0, 0, nullptr},
    {nullptr, "zero", ValueKind::kNone, 0, 0, 0, nullptr},
    {nullptr, "b", ValueKind::kString, 0, 0, 0, nullptr},  // never reached: the first b wins
};

const ElementDescriptor *Grammar() {
  const std::size_t n = sizeof kRows / sizeof kRows[0];
  for (std::size_t i = 0; i + 1 < n; ++i) kRows[i].next = &kRows[i + 1];
  return kRows;
}

// name=value for each node: names and keywords bare, strings quoted, lists
// in [], nested lists in {}.
std::string Dump(const ConvertedNode *node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    out += (out.empty() ? "" : " ") + std::string(node->descriptor->name) + "=";
    const NodeValue &v = node->value;
    switch (node->kind) {
      case ValueKind::kName:
      case ValueKind::kKeyword:
        out += v.text;
        break;
      case ValueKind::kString:
        out += '"' + std::string(v.text) + '"';
        break;
      case ValueKind::kInteger:
        out += std::to_string(v.integer);
        break;
      case ValueKind::kBoolean:
        out += std::to_string(v.boolean);
        break;
      case ValueKind::kIpAddress:
        out += v.ipaddr.form == Zel_IP_FORM_HOSTNAME ? std::string(v.ipaddr.host_name)
                                                     : "v" + std::to_string(v.ipaddr.family);
        break;
      case ValueKind::kEnumList:
        out += '[';
        for (const KeywordEntry *e = v.entries; e != nullptr; e = e->next) {
          out += std::string(e == v.entries ? "" : ",") + e->keyword + ":" + e->text;
        }
        out += ']';
        break;
      case ValueKind::kNested:
        out += '{' + Dump(v.nested) + '}';
        break;
      default:
        out += '?';
    }
  }
  return out;
}

TEST(ConvertElements, KeepsWhatFitsAndDropsTheRest) {
  struct Row {
    const char *children;
    const char *nodes;
  };
  const Row rows[] = {
      {"", ""},
      {"just text", ""},
      {"<n>port_2</n><n>2port</n><n></n><n>_x</n><n>__</n><n>a-b</n>", "n=port_2 n=__ n=a-b"},
      {"<i>80</i><i>80</i><i>81</i><i>-1</i><i> 0x1F\n</i><i>08</i><i>2147483648</i><i/>",
       "i=80 i=81 i=31"},
      {"<big>-9223372036854775808</big><big>99999999999999999999</big><big>1e3</big>",
       "big=-9223372036854775808"},
      {"<s>abc</s><s>abcd</s><s>ab\n</s><s>abc</s><s></s>", "s=\"abc\" s=\"ab\n\""},
      {"<b>TRUE</b><b>false</b><b>tRuE</b><b>yes</b><b>true\n</b>", "b=1 b=0"},
      {"<ip>host.example</ip><ip>192.168.0.1</ip><ip>192.168.000.001</ip><ip>1.2.3.4\n</ip>"
       "<ip>Host.example</ip><ip>::1</ip><ip>0:0:0:0:0:0:0:1</ip><ip>1.2.3.4</ip>",
       "ip=host.example ip=v4 ip=Host.example ip=v6 ip=v4"},
      {"<e><low>Low speed</low><high>High</high><low>Other</low><mid/><>x</>text</e>"
       "<e>only text</e><e></e><e><low>L</low></e><e><low>L</low></e>",
       "e=[low:Low speed,high:High,mid:] e=[low:L] e=[low:L]"},
      {"<k>integer</k><k>Integer</k><k>1integer</k><k>string</k><k>integer</k><kn>integer</kn>",
       "k=integer k=string"},
      {"<d>0x10</d><d></d><d> x </d>", "d=\"0x10\" d=\"x \""},
      {"<one>abc</one><one>5</one><one>6</one>", "one=5"},
      {"<el></el><el><a/></el><el><b/></el>", "el=[a:]"},
      {"<N>abc</N><x>1</x><I>5</I><bad>1</bad><zero>1</zero><b>word</b>", ""},
      {"<i>1</i><n>a</n><i>2</i>", "i=1 n=a i=2"},
      {"<i><x/>7</i><i>8<x/>9</i><i><x>5</x></i>", "i=7 i=8"},  // the first text child counts
      {"<st><id>1</id><v>a</v></st><st><v>b</v><id>1</id></st><st><v>c</v></st>"
       "<st><v>c</v></st><st><id>2</id></st><st><id>x</id></st><st>t</st>",
       "st={id=1 v=\"a\"} st={v=\"c\"} st={v=\"c\"} st={id=2}"},
      {"<nk><x>1</x><y>2</y></nk><nk><y>2</y><x>1</x></nk><nk><x>1</x></nk>"
       "<nk><x>1</x><y>3</y></nk><nk><y>2</y><x>1</x><x>1</x><x>2</x></nk><nk><z>1</z></nk>",
       "nk={x=1 y=2} nk={x=1} nk={x=1 y=3} nk={y=2 x=1 x=2}"},
      {"<lst><z>1</z></lst><lst><x>a</x></lst><lst><x>1</x></lst><lst><x>2</x></lst>", "lst={x=1}"},
  };
  const ElementDescriptor *grammar = Grammar();
  for (const Row &row : rows) {
    SCOPED_TRACE(row.children);
    const std::int64_t live = platform::LiveAllocations();
    const std::string text = std::string("<r>") + row.children + "</r>";
    ConvertedNode *out = nullptr;
    ASSERT_EQ(ParseMarkup(2, text.c_str(), grammar, &out), Zel_OK);
    EXPECT_EQ(Dump(out), row.nodes);
    ReleaseNodeList(out);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

TEST(ConvertElements, CounterTableFailureLeavesOutUntouched) {
  ConvertedNode sentinel{};
  ConvertedNode *out = &sentinel;
  platform::FailAllocation(1);
  EXPECT_EQ(ConvertElements(Grammar(), nullptr, &out), Zel_ENOMEM);
  platform::FailAllocation(0);
  EXPECT_EQ(out, &sentinel);
}

TEST(ConvertedNodes, ReleaseLeavesTakenValueAlone) {
  ConvertedNode *out = nullptr;
  ASSERT_EQ(ParseMarkup(2, "<r><s>abc</s><d>1</d></r>", Grammar(), &out), Zel_OK);
  ASSERT_EQ(Dump(out), "s=\"abc\" d=\"1\"");
  EXPECT_EQ(out->next->kind, ValueKind::kString);  // a default row gives a string node
  const std::int64_t live = platform::LiveAllocations();
  char *taken = out->value.text;
  out->kind = ValueKind::kNone;
  ReleaseNodeList(out);
  EXPECT_EQ(platform::LiveAllocations(), live - 3);  // two nodes and one text
  EXPECT_STREQ(taken, "abc");
  platform::Free(taken);
}

TEST(ConvertedNodes, KeywordEntryIsOneBlock) {
  const struct {
    const char *keyword;
    const char *text;
    std::size_t text_offset;  // from the keyword
  } rows[] = {{"low", nullptr, 8}, {"abcdefg", "", 8}, {"abcdefgh", "Low speed", 16}, {"", "x", 8}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.keyword);
    const std::int64_t live = platform::LiveAllocations();
    KeywordEntry *entry = NewKeywordEntry(row.keyword, std::strlen(row.keyword), row.text,
                                          row.text ? std::strlen(row.text) : 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(platform::LiveAllocations(), live + 1);
    EXPECT_EQ(entry->next, nullptr);
    EXPECT_EQ(entry->keyword, reinterpret_cast<char *>(entry + 1));
    EXPECT_EQ(entry->text, entry->keyword + row.text_offset);
    EXPECT_STREQ(entry->keyword, row.keyword);
    EXPECT_STREQ(entry->text, row.text ? row.text : "");
    ReleaseKeywordList(entry);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
  platform::FailAllocation(1);
  EXPECT_EQ(NewKeywordEntry("a", 1, "b", 1), nullptr);
  platform::FailAllocation(0);
}

}  // namespace
}  // namespace qorvcfg::test
