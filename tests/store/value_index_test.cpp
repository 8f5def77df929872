// The value index: an AVL tree checked against a std::set after every step,
// and the cases a random walk does not reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

struct Key {
  int v;
};

// stored - other: the left subtree holds what orders above.
std::int32_t CompareKeys(const void *stored, const void *other) {
  return static_cast<const Key *>(stored)->v - static_cast<const Key *>(other)->v;
}

int V(const void *value) { return static_cast<const Key *>(value)->v; }

// Checks heights, balance, parent links and order below node; gives the
// subtree's height and appends its values in walk order.
std::uint32_t CheckSubtree(const ValueIndex *index, const ValueIndexNode *node,
                           const ValueIndexNode *parent, std::vector<int> *walk) {
  if (node == nullptr) return 0;
  EXPECT_EQ(node->parent, parent) << "parent link of " << V(IndexNodeValue(index, node));
  const std::uint32_t left = CheckSubtree(index, node->left, node, walk);
  walk->push_back(V(IndexNodeValue(index, node)));
  const std::uint32_t right = CheckSubtree(index, node->right, node, walk);
  EXPECT_EQ(node->left_height, left) << "left height of " << V(IndexNodeValue(index, node));
  EXPECT_EQ(node->right_height, right) << "right height of " << V(IndexNodeValue(index, node));
  EXPECT_LE(std::abs(static_cast<int>(left) - static_cast<int>(right)), 1)
      << "balance of " << V(IndexNodeValue(index, node));
  return 1 + std::max(left, right);
}

// The tree and a listing of up to capacity values against the model, greatest first.
void ExpectMatches(ValueIndex *index, const std::set<int> &model, std::uint32_t capacity) {
  std::vector<int> walk, listed;
  CheckSubtree(index, index->root, nullptr, &walk);
  ASSERT_EQ(walk, std::vector<int>(model.rbegin(), model.rend()));
  ASSERT_EQ(index->count, model.size());
  std::vector<void *> values(capacity + 1, nullptr);
  std::uint32_t count = capacity;
  ASSERT_EQ(IndexList(index, values.data(), &count), Zel_OK);
  for (std::uint32_t i = 0; i < count; ++i) listed.push_back(V(values[i]));
  walk.resize(std::min<std::size_t>(walk.size(), capacity));
  ASSERT_EQ(listed, walk);
  ASSERT_EQ(values[count], nullptr) << "wrote beyond the count it reported";
}

TEST(ValueIndex, RandomInsertsAndRemovesKeepTheTreeBalancedAndOrdered) {
  Key keys[256];
  for (int v = 0; v < 256; ++v) keys[v].v = v;
  const std::int64_t live = platform::LiveAllocations();
  for (std::uint32_t start : {1u, 7u, 1234u, 99991u}) {
    SCOPED_TRACE(testing::Message() << "generator start value " << start);
    std::mt19937 random(start);
    std::set<int> model;
    ValueIndex *index = nullptr;
    ASSERT_EQ(IndexCreate(&index, CompareKeys), Zel_OK);
    // A growing phase, then a shrinking one, so deep trees lose levels too.
    for (int step = 0; step < 6000 && !HasFailure(); ++step) {
      const int v = static_cast<int>(random() % 256);
      Key probe{v};  // an equal value at another address
      if (random() % 100 < (step < 3000 ? 70u : 30u)) {
        const bool present = model.count(v) != 0;
        EXPECT_EQ(IndexInsert(index, present ? &probe : &keys[v]), present ? Zel_EEXIST : Zel_OK)
            << "insert " << v << " at step " << step;
        model.insert(v);
      } else {
        EXPECT_EQ(IndexRemove(index, &probe), model.erase(v) ? Zel_OK : Zel_ENOENT)
            << "remove " << v << " at step " << step;
      }
      // Every other listing has room for only half of the values.
      ExpectMatches(index, model, static_cast<std::uint32_t>(model.size() >> (step % 2)));
    }
    EXPECT_EQ(IndexClear(index, nullptr), Zel_OK);
    ExpectMatches(index, {}, 2);
    EXPECT_EQ(IndexDestroy(index, nullptr), Zel_OK);
  }
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg
