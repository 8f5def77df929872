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
std::uint32_t CheckSubtree(const ValueIndexNode *node, const ValueIndexNode *parent,
                           std::vector<int> *walk) {
  if (node == nullptr) return 0;
  EXPECT_EQ(node->parent, parent) << "parent link of " << V(node->value);
  const std::uint32_t left = CheckSubtree(node->left, node, walk);
  walk->push_back(V(node->value));
  const std::uint32_t right = CheckSubtree(node->right, node, walk);
  EXPECT_EQ(node->left_height, left) << "left height of " << V(node->value);
  EXPECT_EQ(node->right_height, right) << "right height of " << V(node->value);
  EXPECT_LE(std::abs(static_cast<int>(left) - static_cast<int>(right)), 1)
      << "balance of " << V(node->value);
  return 1 + std::max(left, right);
}

std::vector<int> Listing(ValueIndex *index, std::uint32_t capacity) {
  std::vector<void *> values(capacity + 1, nullptr);
  std::uint32_t count = capacity;
  EXPECT_EQ(IndexList(index, values.data(), &count), Zel_OK);
  std::vector<int> out;
  for (std::uint32_t i = 0; i < count; ++i) out.push_back(V(values[i]));
  EXPECT_EQ(values[count], nullptr) << "wrote beyond the count it reported";
  return out;
}

// The tree matches the model: same count, every invariant, greatest first.
void ExpectMatches(ValueIndex *index, const std::set<int> &model) {
  std::vector<int> walk;
  CheckSubtree(index->root, nullptr, &walk);
  const std::vector<int> expected(model.rbegin(), model.rend());
  ASSERT_EQ(walk, expected);
  ASSERT_EQ(index->count, model.size());
  ASSERT_EQ(Listing(index, static_cast<std::uint32_t>(model.size())), expected);
}

class ValueIndexTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int v = 0; v < 256; ++v) keys_[v].v = v;
    live_ = platform::LiveAllocations();
    ASSERT_EQ(IndexCreate(&index_, CompareKeys), Zel_OK);
  }
  void TearDown() override {
    if (index_ != nullptr) {
      EXPECT_EQ(IndexDestroy(index_, nullptr), Zel_OK);
    }
    EXPECT_EQ(platform::LiveAllocations(), live_);
  }
  void Insert(std::initializer_list<int> values) {
    for (int v : values) ASSERT_EQ(IndexInsert(index_, &keys_[v]), Zel_OK) << v;
  }

  std::int64_t live_ = 0;
  ValueIndex *index_ = nullptr;
  Key keys_[256] = {};
};

TEST_F(ValueIndexTest, RandomInsertsAndRemovesKeepTheTreeBalancedAndOrdered) {
  for (std::uint32_t start : {1u, 7u, 1234u, 99991u}) {
    SCOPED_TRACE(testing::Message() << "generator start value " << start);
    std::mt19937 random(start);
    std::set<int> model;
    // A growing phase, then a shrinking one, so deep trees lose levels too.
    for (int step = 0; step < 6000; ++step) {
      const int v = static_cast<int>(random() % 256);
      const bool insert = random() % 100 < (step < 3000 ? 70u : 30u);
      Key probe{v};  // an equal value at another address
      if (insert) {
        const bool present = model.count(v) != 0;
        ASSERT_EQ(IndexInsert(index_, present ? &probe : &keys_[v]), present ? Zel_EEXIST : Zel_OK)
            << "insert " << v << " at step " << step;
        model.insert(v);
      } else {
        ASSERT_EQ(IndexRemove(index_, &probe), model.erase(v) ? Zel_OK : Zel_ENOENT)
            << "remove " << v << " at step " << step;
      }
      ExpectMatches(index_, model);
      if (HasFailure()) return;  // one broken step says enough
    }
    ASSERT_EQ(IndexClear(index_, nullptr), Zel_OK);
    ExpectMatches(index_, {});
  }
}

TEST_F(ValueIndexTest, AscendingInsertsRotateTheMiddleValueToTheRoot) {
  Insert({1});
  EXPECT_EQ(index_->root->value, &keys_[1]);
  EXPECT_EQ(index_->root->left_height + index_->root->right_height, 0u);
  Insert({2, 3});
  ASSERT_NE(index_->root, nullptr);
  EXPECT_EQ(index_->root->value, &keys_[2]);
  EXPECT_EQ(index_->root->left_height, 1u);
  EXPECT_EQ(index_->root->right_height, 1u);
  EXPECT_EQ(Listing(index_, 3), (std::vector<int>{3, 2, 1}));
}

TEST_F(ValueIndexTest, RefusedInsertAndMissingRemoveChangeNothing) {
  Key probe{2};
  EXPECT_EQ(IndexRemove(index_, &probe), Zel_ENOENT);
  EXPECT_EQ(index_->count, 0u);
  Insert({1, 2, 3});
  EXPECT_EQ(IndexInsert(index_, &probe), Zel_EEXIST);
  EXPECT_EQ(IndexInsert(index_, &keys_[3]), Zel_EEXIST);
  probe.v = 9;
  EXPECT_EQ(IndexRemove(index_, &probe), Zel_ENOENT);
  ExpectMatches(index_, {1, 2, 3});
}

TEST_F(ValueIndexTest, ListingStopsAtTheCapacity) {
  void *values[5] = {};
  std::uint32_t count = 7;
  EXPECT_EQ(IndexList(index_, values, &count), Zel_OK);
  EXPECT_EQ(count, 0u) << "empty index";
  Insert({4, 1, 5, 2, 3});
  count = 0;
  EXPECT_EQ(IndexList(index_, values, &count), Zel_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(values[0], nullptr);
  EXPECT_EQ(Listing(index_, 3), (std::vector<int>{5, 4, 3}));
}

TEST_F(ValueIndexTest, RecordWithoutItsTagIsRefused) {
  Key key{1};
  ASSERT_EQ(IndexInsert(index_, &key), Zel_OK);
  index_->tag = kIndexTagDead;
  void *values[1] = {};
  std::uint32_t count = 1;
  EXPECT_EQ(IndexInsert(index_, &key), Zel_EBADTAG);
  EXPECT_EQ(IndexRemove(index_, &key), Zel_EBADTAG);
  EXPECT_EQ(IndexList(index_, values, &count), Zel_EBADTAG);
  EXPECT_EQ(IndexClear(index_, nullptr), Zel_EBADTAG);
  EXPECT_EQ(IndexDestroy(index_, nullptr), Zel_EBADTAG);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(index_->count, 1u);
  index_->tag = kIndexTagLive;

  EXPECT_EQ(IndexInsert(nullptr, &key), Zel_EINVAL);
  EXPECT_EQ(IndexRemove(nullptr, &key), Zel_EINVAL);
  EXPECT_EQ(IndexClear(nullptr, nullptr), Zel_EINVAL);
  EXPECT_EQ(IndexDestroy(nullptr, nullptr), Zel_EINVAL);
  EXPECT_EQ(IndexCreate(nullptr, CompareKeys), Zel_EINVAL);
  ValueIndex *untouched = index_;
  EXPECT_EQ(IndexCreate(&untouched, nullptr), Zel_EINVAL);
  EXPECT_EQ(untouched, index_);
}

TEST_F(ValueIndexTest, ReleaseCallbackDecidesWhetherValuesSurvive) {
  // Values from the library heap, so that the live count shows who freed what.
  const std::int64_t before = platform::LiveAllocations();
  auto fill = [&] {
    for (int v = 0; v < 20; ++v) {
      auto *key = static_cast<Key *>(platform::Allocate(sizeof(Key)));
      ASSERT_NE(key, nullptr);
      key->v = v;
      ASSERT_EQ(IndexInsert(index_, key), Zel_OK);
    }
  };
  fill();
  std::vector<void *> values(20);
  std::uint32_t count = 20;
  ASSERT_EQ(IndexList(index_, values.data(), &count), Zel_OK);
  ASSERT_EQ(IndexDestroy(index_, nullptr), Zel_OK);
  index_ = nullptr;
  EXPECT_EQ(platform::LiveAllocations(), before + 20 - 1) << "only nodes and record freed";
  for (void *value : values) platform::Free(value);

  // Clearing frees each value through the callback, children before parents.
  ASSERT_EQ(IndexCreate(&index_, CompareKeys), Zel_OK);
  fill();
  ASSERT_EQ(IndexClear(index_, [](void *value) { platform::Free(value); }), Zel_OK);
  EXPECT_EQ(platform::LiveAllocations(), before);
  EXPECT_EQ(index_->root, nullptr);
  Key key{3};
  EXPECT_EQ(IndexInsert(index_, &key), Zel_OK) << "usable after clearing";
}

TEST_F(ValueIndexTest, FailedNodeAllocationLeavesTheTreeUntouched) {
  Insert({1, 2, 3, 4});
  const std::int64_t before = platform::LiveAllocations();
  platform::FailAllocation(1);
  EXPECT_EQ(IndexInsert(index_, &keys_[5]), Zel_ENOMEM);
  platform::FailAllocation(0);
  EXPECT_EQ(platform::LiveAllocations(), before);
  ExpectMatches(index_, {1, 2, 3, 4});

  platform::FailAllocation(1);
  ValueIndex *untouched = index_;
  EXPECT_EQ(IndexCreate(&untouched, CompareKeys), Zel_ENOMEM);
  platform::FailAllocation(0);
  EXPECT_EQ(untouched, index_);
}

}  // namespace
}  // namespace qorvcfg
