// Values built from an item's default, their containers, and what both do
// when memory runs out.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "store/store.h"
#include "support/fault_sweep.h"
#include "support/test_files.h"

namespace qorvcfg {
namespace {

class DataContainerTest : public testing::Test {
 protected:
  // s (structure: t string, inner structure: h ipaddr), e enumeration,
  // k enumeration without entries, z without a type.
  void SetUp() override {
    live_ = platform::LiveAllocations();
    const std::string path = test::TempPath("items.xml");
    test::WriteFile(path, R"(<config_define><item><name>s</name><type>structure</type>
      <item><name>t</name><type>string</type><default>spaces</default></item>
      <item><name>inner</name><type>structure</type>
        <item><name>h</name><type>ipaddr</type><default>host</default></item></item></item>
      <item><name>e</name><type>enumeration</type><enum><red>R</red></enum></item>
      <item><name>k</name><type>enumeration</type></item><item><name>z</name></item>
    </config_define>)");
    ASSERT_EQ(Zel_ConfigCreate(path.c_str(), &handle_), Zel_OK);
    s_ = handle_->items;
    e_ = s_->next;
    t_ = s_->children;
    h_ = t_->next->children;
  }
  void TearDown() override {
    Zel_ConfigDestroy(handle_);
    EXPECT_EQ(platform::LiveAllocations(), live_);
  }

  std::int64_t live_ = 0;
  ConfigHandle *handle_ = nullptr;
  ItemDefinition *s_ = nullptr, *e_ = nullptr, *t_ = nullptr, *h_ = nullptr;
};

TEST_F(DataContainerTest, ValuesOwnCopiesOfTheDefaultAndStructuresStartEmpty) {
  DataRecord *r[4] = {};
  ItemDefinition *items[4] = {s_, t_, h_, e_};
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ValueFromDefault(items[i], nullptr, &r[i]), Zel_OK) << i;
  EXPECT_STREQ(r[1]->payload.text, "spaces");
  EXPECT_NE(r[1]->payload.text, t_->default_value.payload.text);
  EXPECT_STREQ(r[2]->payload.ipaddr.host_name, "host");
  EXPECT_NE(r[2]->payload.ipaddr.host_name, h_->default_value.payload.ipaddr.host_name);
  EXPECT_STREQ(r[3]->payload.keyword, "red");
  EXPECT_NE(r[3]->payload.keyword, e_->default_value.payload.keyword);
  // A structure gets one empty index per child, in order, and an empty list.
  const DataContainer &c = r[0]->nested;
  ASSERT_EQ(c.count, 2u);
  EXPECT_TRUE(c.next == &c && c.prev == &c);
  EXPECT_EQ(c.items[1], t_->next);
  EXPECT_EQ(c.indexes[1]->count, 0u);
  for (DataRecord *record : r) {
    EXPECT_FALSE(IsLinked(ValueFromRecord(record)));
    ValueRelease(ValueFromRecord(record));
  }
  // No type, no keyword, an unknown type: no value.
  ItemDefinition unknown = *e_;
  unknown.default_value.type = 9;
  for (ItemDefinition *item : {e_->next, e_->next->next, &unknown}) {
    DataRecord *out = r[0];
    EXPECT_EQ(ValueFromDefault(item, nullptr, &out), Zel_EINVAL) << item->name;
    EXPECT_EQ(out, r[0]);
  }
}

TEST_F(DataContainerTest, MemoryFailureLeavesNothingBehind) {
  for (ItemDefinition *item : {s_, t_, h_, e_}) {
    DataRecord *out = nullptr;
    const std::uint64_t made = test::SweepAllocationFailures(
        [&] { return ValueFromDefault(item, nullptr, &out); },
        [&](ResultCode result, bool injected) {
          EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK) << item->name;
          EXPECT_EQ(out == nullptr, injected) << item->name;
          if (out != nullptr) ValueRelease(ValueFromRecord(out));
          out = nullptr;
        });
    EXPECT_GE(made, 2u) << item->name;
  }
}

}  // namespace
}  // namespace qorvcfg
