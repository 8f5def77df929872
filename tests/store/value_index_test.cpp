// The value index: an AVL tree checked against a std::set after every step,
// and the cases a random walk does not reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
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

// The walk order of a tree with each node's depth: equal for two trees
// exactly when they have the same shape over the same values.
void Shape(const ValueIndex *index, const ValueIndexNode *node, int depth,
           std::vector<std::pair<const void *, int>> *out) {
  if (node == nullptr) return;
  Shape(index, node->left, depth + 1, out);
  out->emplace_back(IndexNodeValue(index, node), depth);
  Shape(index, node->right, depth + 1, out);
}

// A store index against an index that always descends with the same order:
// every answer and the tree after every step must be the same. A step k > 0
// inserts a new value with key k, k < 0 removes the value stored with key
// -k, and 0 inserts a structure that lacks its key (ordered by address).
TEST(ValueIndex, StoreIndexPlacesValuesExactlyAsADescentWould) {
  ItemDefinition number{}, id{}, note{}, keyed{};
  number.name = const_cast<char *>("n");
  id.name = const_cast<char *>("id");
  id.identifier = 1;
  note.name = const_cast<char *>("note");
  note.next = &id;
  keyed.name = const_cast<char *>("k");
  keyed.children = &note;
  std::vector<int> runs;  // ascending runs broken by jumps back
  for (int run = 0; run < 6; ++run) {
    for (int k = 1; k <= 12; ++k) runs.push_back(run * 7 + k);
  }
  // Booleans are words that compare by a difference, which wraps for words
  // half the range apart.
  struct Row {
    const char *name;
    ItemType scalar;
    bool structures;
    std::vector<int> steps;
  };
  const std::vector<int> wrapping = {1, 4, 8, 12, 15, 2, 9, 13, 1, 15, 8, 3, 10, 5, 14, 12};
  const Row rows[] = {
      {"ascending", Zel_TYPE_INTEGER, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"descending", Zel_TYPE_INTEGER, false, {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
      {"zigzag", Zel_TYPE_INTEGER, false, {10, 11, 9, 12, 8, 13, 7, 14, 6, 15, 5, 16, 4}},
      {"equal to either end", Zel_TYPE_INTEGER, false, {5, 6, 7, 7, 6, 5, 4, 3, 3, 8, 3, 8}},
      {"runs with jumps back", Zel_TYPE_INTEGER, false, runs},
      {"ends removed, then inserts",
       Zel_TYPE_INTEGER,
       false,
       {1, 2, 3, 4, 5, 6, -6, 6, 7, -1, 1, 8, -8, -7, 7}},
      {"emptied, then ascending", Zel_TYPE_INTEGER, false, {2, 1, -1, -2, 1, 2, 3, 4}},
      {"booleans", Zel_TYPE_BOOLEAN, false, wrapping},
      {"keyed structures", Zel_TYPE_INTEGER, true, {1, 2, 3, 4, 5, 6, 7, 3, 8, 9, 10, 11}},
      {"a keyless structure at the end", Zel_TYPE_INTEGER, true, {5, 0, 5, 6, 7, 6, 8, 0, 9, 9, 4}},
      {"structures keyed by booleans", Zel_TYPE_BOOLEAN, true, wrapping},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<DataValue> values;
    values.reserve(2 * row.steps.size());  // addresses rise in step order
    auto make = [&](ItemDefinition *item, DataPayload payload) {
      DataValue &v = values.emplace_back();
      v.item = item;
      v.record.type = item->type;
      v.record.payload = payload;
      ContainerInitEmpty(&v.record.nested);
      return &v;
    };
    ValueIndex store{};
    ASSERT_EQ(IndexInitInPlace(&store), Zel_OK);
    ValueIndex *reference = nullptr;
    ASSERT_EQ(IndexCreate(&reference, ValueCompare), Zel_OK);
    std::map<int, DataValue *> stored;
    for (std::size_t at = 0; at < row.steps.size() && !HasFailure(); ++at) {
      const int k = row.steps[at];
      if (k < 0) {
        EXPECT_EQ(IndexRemove(reference, stored[-k]), Zel_OK) << "step " << at;
        EXPECT_EQ(IndexRemoveNode(&store, &stored[-k]->node), Zel_OK);
        stored.erase(-k);
      } else {
        ItemDefinition *item = row.structures ? &id : &number;
        item->type = row.scalar;
        DataPayload payload{.integer = k};
        if (row.scalar == Zel_TYPE_BOOLEAN) payload = {.boolean = k * 0x10000000u};
        DataValue *v = k != 0 ? make(item, payload) : make(&note, {});
        if (row.structures) {
          keyed.type = Zel_TYPE_STRUCTURE;
          DataValue *member = v;
          v = make(&keyed, {});
          LinkValue(&v->record.nested, member);
        }
        const ResultCode expected = IndexInsert(reference, v);
        EXPECT_EQ(IndexInsertNode(&store, &v->node), expected) << "step " << at << ": " << k;
        if (expected == Zel_OK && k != 0) stored[k] = v;
      }
      std::vector<std::pair<const void *, int>> want, got;
      Shape(reference, reference->root, 0, &want);
      Shape(&store, store.root, 0, &got);
      EXPECT_EQ(got, want) << "after step " << at << ": " << k;
      EXPECT_EQ(store.count, reference->count);
    }
    EXPECT_EQ(IndexDestroy(reference, nullptr), Zel_OK);
    IndexRetire(&store);
  }
}

}  // namespace
}  // namespace qorvcfg
