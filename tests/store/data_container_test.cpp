// Values built from an item's default, their containers, and what both do
// when memory runs out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "definition/definition_text.h"
#include "platform/platform.h"
#include "store/store.h"
#include "support/fault_sweep.h"

namespace qorvcfg {
namespace {

// s (structure: t string, inner structure: h ipaddr), e enumeration,
// k enumeration without entries, z without a type.
TEST(ValueFromDefault, CopiesTheDefaultStartsStructuresEmptyAndFailsCleanly) {
  const std::int64_t live = platform::LiveAllocations();
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(test::CreateFromText(R"(<config_define><item><name>s</name><type>structure</type>
      <item><name>t</name><type>string</type><default>spaces</default></item>
      <item><name>inner</name><type>structure</type>
        <item><name>h</name><type>ipaddr</type><default>host</default></item></item></item>
      <item><name>e</name><type>enumeration</type><enum><red>R</red></enum></item>
      <item><name>k</name><type>enumeration</type></item><item><name>z</name></item>
    </config_define>)",
                                 &handle),
            Zel_OK);
  ItemDefinition *s = handle->items, *e = s->next, *t = s->children, *h = t->next->children;
  ValuePool *pool = &StateOf(handle)->orphans;
  DataRecord *r[4] = {};
  ItemDefinition *items[4] = {s, t, h, e};
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ValueFromDefault(items[i], pool, &r[i]), Zel_OK) << i;
  EXPECT_STREQ(r[1]->payload.text, "spaces");
  EXPECT_NE(r[1]->payload.text, t->default_value.payload.text);
  EXPECT_STREQ(r[2]->payload.ipaddr.host_name, "host");
  EXPECT_NE(r[2]->payload.ipaddr.host_name, h->default_value.payload.ipaddr.host_name);
  EXPECT_STREQ(r[3]->payload.keyword, "red");
  EXPECT_NE(r[3]->payload.keyword, e->default_value.payload.keyword);
  // A structure gets one empty index per child, in order, and an empty list.
  const DataContainer &c = r[0]->nested;
  ASSERT_EQ(c.count, 2u);
  EXPECT_TRUE(c.next == &c && c.prev == &c);
  EXPECT_EQ(c.items[1], t->next);
  EXPECT_EQ(c.indexes[1]->count, 0u);
  for (DataRecord *record : r) {
    EXPECT_FALSE(IsLinked(ValueFromRecord(record)));
    ValueRelease(ValueFromRecord(record));
  }
  // No type, no keyword, an unknown type: no value.
  ItemDefinition unknown = *e;
  unknown.default_value.type = 9;
  for (ItemDefinition *item : {e->next, e->next->next, &unknown}) {
    DataRecord *out = r[0];
    EXPECT_EQ(ValueFromDefault(item, pool, &out), Zel_EINVAL) << item->name;
    EXPECT_EQ(out, r[0]);
  }
  for (ItemDefinition *item : {s, t, h, e}) {
    DataRecord *out = nullptr;
    const std::uint64_t made = test::SweepAllocationFailures(
        [&] { return ValueFromDefault(item, pool, &out); },
        [&](ResultCode result, bool injected) {
          EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK) << item->name;
          EXPECT_EQ(out == nullptr, injected) << item->name;
          if (out != nullptr) ValueRelease(ValueFromRecord(out));
          out = nullptr;
        });
    EXPECT_GE(made, 1u) << item->name;  // the slot may come from the pool's free list
  }
  Zel_ConfigDestroy(handle);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg

namespace qorvcfg {
namespace {

// Texts around the size that still fits in a value's payload: each is read
// back whole, survives a change and a delete, and nothing is left at destroy.
// A value the host added keeps its text where the host saw it.
TEST(ValueTexts, KeepTheirContentsAtEverySizeAndTheHostsPointers) {
  const std::int64_t live = platform::LiveAllocations();
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(test::CreateFromText(R"(<config_define><item><name>s</name><type>string</type>
      <number>0</number><maximum>100</maximum></item></config_define>)",
                                 &handle),
            Zel_OK);
  std::string data = "<config>";
  const std::vector<std::size_t> sizes = {1, 38, 39, 40, 41, 100};
  for (std::size_t size : sizes) data += "<s>" + std::string(size, 'a' + size % 26) + "</s>";
  ASSERT_EQ(Zel_ConfigReadFromData((data + "</config>").c_str(), handle), Zel_OK);
  DataRecord *records[8] = {};
  std::uint32_t count = 8;
  ASSERT_EQ(Zel_DataGet(handle, "s", records, &count), Zel_OK);
  ASSERT_EQ(count, sizes.size());
  std::vector<std::string> seen;
  for (std::uint32_t i = 0; i < count; ++i) seen.emplace_back(records[i]->payload.text);
  for (std::size_t size : sizes) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), std::string(size, 'a' + size % 26)), seen.end())
        << size;
  }
  // A change replaces a text kept in the payload by a longer one and back.
  const std::string longer(60, 'z');
  ASSERT_EQ(Zel_DataChange(handle, records[0], longer.c_str()), Zel_OK);
  EXPECT_EQ(std::string(records[0]->payload.text), longer);
  ASSERT_EQ(Zel_DataChange(handle, records[0], "short"), Zel_OK);
  EXPECT_STREQ(records[0]->payload.text, "short");
  ASSERT_EQ(Zel_DataDel(handle, records[1]), Zel_OK);

  DataRecord *made = nullptr;
  ASSERT_EQ(Zel_DataDefaultCreate(handle, "s", &made), Zel_OK);
  ASSERT_EQ(Zel_DataChange(handle, made, "held"), Zel_OK);
  const char *held = made->payload.text;
  ASSERT_EQ(Zel_DataAdd(handle, made), Zel_OK);
  EXPECT_EQ(made->payload.text, held);
  Zel_ConfigDestroy(handle);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg
