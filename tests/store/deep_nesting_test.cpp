// Values nested 100,000 deep are compared and released without taking stack
// in proportion to the depth.
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

constexpr std::size_t kDepth = 100000;

// A chain of structure items, each the only child of the one above, ending
// in an integer item; identifier says whether each child is an identifier.
std::vector<ItemDefinition> ItemChain(bool identifier) {
  std::vector<ItemDefinition> items(kDepth + 1);
  static char name[] = "n";
  for (std::size_t i = 0; i <= kDepth; ++i) {
    items[i].name = name;
    items[i].identifier = identifier ? 1 : 0;
    items[i].type = items[i].default_value.type =
        i < kDepth ? Zel_TYPE_STRUCTURE : Zel_TYPE_INTEGER;
    items[i].children = i < kDepth ? &items[i + 1] : nullptr;
    items[i].minimum = INT64_MIN;
    items[i].maximum = INT64_MAX;
  }
  return items;
}

// One value per level; gives the top one and the innermost integer.
DataRecord *ValueChain(std::vector<ItemDefinition> &items, ValuePool *pool,
                       DataRecord **innermost) {
  DataRecord *top = nullptr;
  EXPECT_EQ(ValueFromDefault(&items[0], pool, &top), Zel_OK);
  DataRecord *parent = top;
  for (std::size_t i = 1; i <= kDepth; ++i) {
    DataRecord *child = nullptr;
    EXPECT_EQ(ValueFromDefault(&items[i], pool, &child), Zel_OK);
    EXPECT_EQ(ContainerAddValue(&parent->nested, child), Zel_OK);
    parent = child;
  }
  *innermost = parent;
  return top;
}

TEST(DeepNesting, ComparesAndReleasesAnyDepth) {
  const std::int64_t live = platform::LiveAllocations();
  for (bool identifier : {false, true}) {
    SCOPED_TRACE(identifier);
    std::vector<ItemDefinition> items = ItemChain(identifier);
    DataRecord *inner_a = nullptr, *inner_b = nullptr;
    ValuePool pool{};
    DataRecord *a = ValueChain(items, &pool, &inner_a);
    DataRecord *b = ValueChain(items, &pool, &inner_b);
    EXPECT_EQ(ValueCompare(ValueFromRecord(a), ValueFromRecord(b)), 0);
    inner_b->payload.integer = 1;  // the innermost values decide
    EXPECT_LT(ValueCompare(ValueFromRecord(a), ValueFromRecord(b)), 0);
    EXPECT_GT(ValueCompare(ValueFromRecord(b), ValueFromRecord(a)), 0);
    ValueRelease(ValueFromRecord(a));  // b goes with the pool, as at destroy
    PoolRelease(&pool);
  }
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg
