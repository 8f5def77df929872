// The grammar of data files, derived from the item definitions: one row per
// item, structures holding the rows of their children.
#include <gtest/gtest.h>

#include <string>

#include "definition/definition.h"
#include "definition/definition_text.h"
#include "platform/platform.h"
#include "support/fault_sweep.h"

namespace qorvcfg {
namespace {

using test::CreateFromText;

const char kDefinition[] = R"(<config_define>
  <item><name>p</name><type>integer</type><number>0</number>
    <minimum>0</minimum><maximum>99</maximum></item>
  <item><name>q</name><type>structure</type><number>2</number>
    <item><name>r</name><type>integer</type><identifier>TRUE</identifier></item>
    <item><name>s</name><type>string</type><maximum>8</maximum><necessity>FALSE</necessity></item>
  </item>
  <item><name>t</name><type>enumeration</type><enum><red>R</red><green>G</green></enum></item>
  <item><name>u</name></item>
  <item><name>v</name><type>boolean</type></item>
  <item><name>w</name><type>ipaddr</type></item>
</config_define>)";

class DataGrammarTest : public testing::Test {
 protected:
  void SetUp() override {
    live_ = platform::LiveAllocations();
    ASSERT_EQ(CreateFromText(kDefinition, &handle_), Zel_OK);
  }
  void TearDown() override {
    Zel_ConfigDestroy(handle_);
    EXPECT_EQ(platform::LiveAllocations(), live_);
  }

  ConfigHandle *handle_ = nullptr;
  std::int64_t live_ = 0;
};

TEST_F(DataGrammarTest, OneRowPerItemBorrowingFromIt) {
  ElementDescriptor *grammar = BuildDataGrammar(handle_->items);
  ASSERT_NE(grammar, nullptr);
  const struct {
    ValueKind kind;
    std::uint64_t limit;
    std::uint32_t identifier, necessity;
  } expected[] = {{ValueKind::kInteger, 0, 0, 1}, {ValueKind::kNested, 2, 0, 1},
                  {ValueKind::kKeyword, 1, 0, 1}, {ValueKind::kNone, 1, 0, 1},
                  {ValueKind::kBoolean, 1, 0, 1}, {ValueKind::kIpAddress, 1, 0, 1}};
  const ElementDescriptor *row = grammar;
  const ItemDefinition *item = handle_->items;
  for (const auto &e : expected) {
    ASSERT_NE(row, nullptr);
    ASSERT_NE(item, nullptr);
    SCOPED_TRACE(item->name);
    EXPECT_EQ(row->name, item->name) << "the item's own text";
    EXPECT_EQ(row->kind, e.kind);
    EXPECT_EQ(row->limit, e.limit);
    EXPECT_EQ(row->identifier, e.identifier);
    EXPECT_EQ(row->necessity, e.necessity);
    row = row->next;
    item = item->next;
  }
  EXPECT_EQ(row, nullptr);

  const ElementDescriptor *p = grammar, *q = p->next, *t = q->next;
  const auto *bounds = static_cast<const ConstraintRecord *>(p->aux);
  EXPECT_EQ(bounds->minimum, 0);
  EXPECT_EQ(bounds->maximum, 99);
  EXPECT_EQ(t->aux, handle_->items->next->next->entries);
  const auto *r = static_cast<const ElementDescriptor *>(q->aux);
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->name, "r");
  EXPECT_EQ(r->kind, ValueKind::kInteger);
  EXPECT_EQ(r->identifier, 1u);
  const ElementDescriptor *s = r->next;
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->name, "s");
  EXPECT_EQ(s->kind, ValueKind::kString);
  EXPECT_EQ(s->necessity, 0u);
  EXPECT_EQ(static_cast<const ConstraintRecord *>(s->aux)->maximum, 8);
  EXPECT_EQ(s->next, nullptr);
  ReleaseDataGrammar(grammar);
}

TEST_F(DataGrammarTest, ReadingFollowsTheRows) {
  ASSERT_EQ(Zel_ConfigReadFromData("<config><p>1</p><p>2</p><p>3</p><p>100</p><u>1</u>"
                                   "<q><r>1</r></q><q><r>1</r><s>dup</s></q><q><r>2</r></q>"
                                   "<q><r>3</r></q><t>green</t><t>blue</t></config>",
                                   handle_),
            Zel_OK);
  for (const auto &[name, count] :
       {std::pair{"p", 3u}, std::pair{"q", 2u}, std::pair{"t", 1u}, std::pair{"u", 0u}}) {
    std::uint32_t n = 0;
    EXPECT_EQ(Zel_DataGet(handle_, name, nullptr, &n), Zel_OK);
    EXPECT_EQ(n, count) << name;
  }
}

TEST_F(DataGrammarTest, MemoryFailureLeavesNoRows) {
  ElementDescriptor *grammar = nullptr;
  test::SweepAllocationFailures(
      [&] {
        grammar = BuildDataGrammar(handle_->items);
        return grammar != nullptr ? Zel_OK : Zel_ENOMEM;
      },
      [&](ResultCode result, bool injected) {
        EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK);
        ReleaseDataGrammar(grammar);
      });
}

TEST(DataGrammar, StructureWithoutChildrenAnywhereMakesEveryReadFail) {
  const std::int64_t live = platform::LiveAllocations();
  const char *definitions[] = {
      "<config_define><item><name>p</name><type>integer</type></item>"
      "<item><name>q</name><type>structure</type><item><name>in</name><type>structure</type>"
      "</item></item></config_define>",
      "<config_define><item><name>q</name><type>structure</type></item></config_define>",
      "<config_define></config_define>",
  };
  for (const char *definition : definitions) {
    SCOPED_TRACE(definition);
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(CreateFromText(definition, &handle), Zel_OK);
    EXPECT_EQ(BuildDataGrammar(handle->items), nullptr);
    EXPECT_EQ(Zel_ConfigReadFromData("<config><p>1</p></config>", handle), Zel_ENOMEM);
    EXPECT_EQ(Zel_ConfigRead(test::TempPath("missing.xml").c_str(), handle), Zel_ENOMEM)
        << "fails before opening its input";
    std::uint32_t count = 5;
    if (handle->items != nullptr) {
      EXPECT_EQ(Zel_DataGet(handle, handle->items->name, nullptr, &count), Zel_OK);
      EXPECT_EQ(count, 0u);
    }
    Zel_ConfigDestroy(handle);
  }
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg
