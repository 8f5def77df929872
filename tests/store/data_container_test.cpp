// Containers and values: setting up and emptying a level, values built from
// an item's default, and what each does when memory runs out.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "store/store.h"
#include "support/fault_sweep.h"

namespace qorvcfg {
namespace {

using test::FailMode;
using test::SweepAllocationFailures;

bool IsEmptyList(const DataContainer &c) { return c.next == &c && c.prev == &c; }

// s (structure: n integer, t string, inner structure: h ipaddr), b boolean,
// e enumeration, z without a type.
struct Items {
  ItemDefinition n{}, t{}, h{}, inner{}, s{}, b{}, e{}, z{};
  char host[5] = "host";
  Items() {
    const std::pair<ItemDefinition *, ItemType> types[] = {
        {&n, Zel_TYPE_INTEGER},       {&t, Zel_TYPE_STRING},    {&h, Zel_TYPE_IPADDR},
        {&inner, Zel_TYPE_STRUCTURE}, {&s, Zel_TYPE_STRUCTURE}, {&b, Zel_TYPE_BOOLEAN},
        {&e, Zel_TYPE_ENUMERATION},   {&z, Zel_TYPE_NONE}};
    const char *names[] = {"n", "t", "h", "inner", "s", "b", "e", "z"};
    for (int i = 0; i < 8; ++i) {
      types[i].first->name = const_cast<char *>(names[i]);
      types[i].first->type = types[i].second;
      types[i].first->default_value.type = types[i].second;
    }
    n.default_value.payload.integer = -42;
    t.default_value.payload.text = const_cast<char *>("spaces");
    h.default_value.payload.ipaddr.form = Zel_IP_FORM_HOSTNAME;
    h.default_value.payload.ipaddr.host_name = host;
    b.default_value.payload.boolean = 1;
    e.default_value.payload.keyword = const_cast<char *>("red");
    inner.children = &h;
    s.children = &n;
    n.next = &t;
    t.next = &inner;
    s.next = &b;
    b.next = &e;
    e.next = &z;
  }
};

class DataContainerTest : public testing::Test {
 protected:
  void SetUp() override { live_ = platform::LiveAllocations(); }
  void TearDown() override { EXPECT_EQ(platform::LiveAllocations(), live_); }

  DataRecord *FromDefault(ItemDefinition *item) {
    DataRecord *record = nullptr;
    EXPECT_EQ(ValueFromDefault(item, nullptr, &record), Zel_OK) << item->name;
    return record;
  }
  // Puts the value into the container's index of its item and its list.
  void Add(DataContainer *container, DataRecord *record) {
    DataValue *value = ValueFromRecord(record);
    const std::int64_t i = FindItemByPointer(container, value->item);
    ASSERT_GE(i, 0);
    ASSERT_EQ(IndexInsert(container->indexes[i], value), Zel_OK);
    LinkValue(container, value);
  }

  Items items_;
  std::int64_t live_ = 0;
};

TEST_F(DataContainerTest, EmptyChainGivesAnEmptyLevel) {
  DataContainer c;
  std::memset(&c, 0xab, sizeof c);
  ASSERT_EQ(ContainerInit(&c, nullptr), Zel_OK);
  EXPECT_TRUE(IsEmptyList(c));
  EXPECT_EQ(c.count, 0u);
  EXPECT_EQ(c.items, nullptr);
  EXPECT_EQ(c.indexes, nullptr);
  EXPECT_EQ(FindItemByName(&c, "n"), -1);
  ContainerClear(&c);
  EXPECT_TRUE(IsEmptyList(c));
}

TEST_F(DataContainerTest, OneEmptyIndexPerItemInChainOrder) {
  DataContainer c;
  ASSERT_EQ(ContainerInit(&c, &items_.b), Zel_OK);
  ASSERT_EQ(c.count, 3u);
  EXPECT_TRUE(IsEmptyList(c));
  const ItemDefinition *expected[] = {&items_.b, &items_.e, &items_.z};
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(c.items[i], expected[i]);
    EXPECT_EQ(c.indexes[i]->tag, kIndexTagLive);
    EXPECT_EQ(c.indexes[i]->count, 0u);
  }
  EXPECT_EQ(FindItemByName(&c, "e"), 1);
  ContainerClear(&c);
  EXPECT_EQ(c.count, 0u);
  EXPECT_EQ(c.items, nullptr);
  EXPECT_EQ(c.indexes, nullptr);
}

TEST_F(DataContainerTest, ValuesCopyTheDefaultOfTheirItem) {
  DataRecord *n = FromDefault(&items_.n), *t = FromDefault(&items_.t), *h = FromDefault(&items_.h),
             *b = FromDefault(&items_.b), *e = FromDefault(&items_.e), *s = FromDefault(&items_.s);
  ASSERT_TRUE(n && t && h && b && e && s);
  EXPECT_EQ(n->payload.integer, -42);
  EXPECT_STREQ(t->payload.text, "spaces");
  EXPECT_NE(t->payload.text, items_.t.default_value.payload.text) << "a private copy";
  EXPECT_EQ(h->payload.ipaddr.form, Zel_IP_FORM_HOSTNAME);
  EXPECT_STREQ(h->payload.ipaddr.host_name, "host");
  EXPECT_NE(h->payload.ipaddr.host_name, items_.host);
  EXPECT_EQ(b->payload.boolean, 1u);
  EXPECT_STREQ(e->payload.keyword, "red");
  EXPECT_NE(e->payload.keyword, items_.e.default_value.payload.keyword);

  // A structure starts with one empty index per child and no child values.
  EXPECT_EQ(s->type, Zel_TYPE_STRUCTURE);
  EXPECT_EQ(s->payload.structure, nullptr);
  ASSERT_EQ(s->nested.count, 3u);
  EXPECT_TRUE(IsEmptyList(s->nested));
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(s->nested.indexes[i]->count, 0u);
  EXPECT_EQ(s->nested.items[2], &items_.inner);
  for (DataRecord *r : {n, t, h, b, e, s}) {
    DataValue *value = ValueFromRecord(r);
    EXPECT_FALSE(IsLinked(value));
    EXPECT_EQ(value->item->type, r->type);
    if (r != s) {
      EXPECT_EQ(r->nested.count, 0u);
    }
    ValueRelease(value);
  }
}

TEST_F(DataContainerTest, DefaultsThatMakeNoValueAreRefused) {
  DataRecord *const kUntouched = reinterpret_cast<DataRecord *>(&items_);
  DataRecord *out = kUntouched;
  EXPECT_EQ(ValueFromDefault(&items_.z, nullptr, &out), Zel_EINVAL) << "no type";
  items_.e.default_value.payload.keyword = nullptr;
  EXPECT_EQ(ValueFromDefault(&items_.e, nullptr, &out), Zel_EINVAL) << "no keyword";
  items_.n.default_value.type = 9;
  EXPECT_EQ(ValueFromDefault(&items_.n, nullptr, &out), Zel_EINVAL) << "unknown type";
  EXPECT_EQ(ValueFromDefault(nullptr, nullptr, &out), Zel_EINVAL);
  EXPECT_EQ(ValueFromDefault(&items_.b, nullptr, nullptr), Zel_EINVAL);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(DataContainerTest, ClearingReleasesValuesAtEveryDepth) {
  DataContainer top;
  ASSERT_EQ(ContainerInit(&top, &items_.s), Zel_OK);  // s, b, e, z
  for (int i = 0; i < 3; ++i) {
    DataRecord *s = FromDefault(&items_.s);
    DataRecord *n = FromDefault(&items_.n);
    ASSERT_TRUE(s && n);
    n->payload.integer = i;  // the structures differ by their only child value
    Add(&s->nested, n);
    Add(&s->nested, FromDefault(&items_.t));
    DataRecord *inner = FromDefault(&items_.inner);
    ASSERT_NE(inner, nullptr);
    Add(&inner->nested, FromDefault(&items_.h));
    Add(&s->nested, inner);
    Add(&top, s);
  }
  Add(&top, FromDefault(&items_.e));
  ASSERT_EQ(top.indexes[0]->count, 3u);
  ASSERT_FALSE(IsEmptyList(top));
  ContainerClear(&top);
  EXPECT_TRUE(IsEmptyList(top));
  EXPECT_EQ(top.count, 0u);
}

TEST_F(DataContainerTest, InitUnderMemoryFailureLeavesTheContainerAlone) {
  DataContainer c;
  std::memset(&c, 0xab, sizeof c);
  DataContainer unchanged = c;
  SweepAllocationFailures([&] { return ContainerInit(&c, &items_.s); },
                          [&](ResultCode result, bool injected) {
                            if (injected) {
                              EXPECT_EQ(result, Zel_ENOMEM);
                              EXPECT_EQ(std::memcmp(&c, &unchanged, sizeof c), 0);
                            } else {
                              ASSERT_EQ(result, Zel_OK);
                              ContainerClear(&c);
                              c = unchanged;
                            }
                          });
}

TEST_F(DataContainerTest, ValueFromDefaultUnderMemoryFailureLeavesNothing) {
  for (ItemDefinition *item : {&items_.s, &items_.t, &items_.h, &items_.e}) {
    SCOPED_TRACE(item->name);
    DataRecord *out = nullptr;
    const std::uint64_t made =
        SweepAllocationFailures([&] { return ValueFromDefault(item, nullptr, &out); },
                                [&](ResultCode result, bool injected) {
                                  if (injected) {
                                    EXPECT_EQ(result, Zel_ENOMEM);
                                    EXPECT_EQ(out, nullptr);
                                  } else {
                                    ASSERT_EQ(result, Zel_OK);
                                    ValueRelease(ValueFromRecord(out));
                                    out = nullptr;
                                  }
                                },
                                FailMode::kOnlyNth);
    EXPECT_GE(made, 2u);
  }
}

}  // namespace
}  // namespace qorvcfg
