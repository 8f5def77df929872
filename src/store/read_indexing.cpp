// Indexing the values of a read at its end: a read into an empty container
// links each top-level value at once and tells repeats apart by a table of
// hashes, then puts each item's values into its index in one go. Sorting
// them and building a balanced tree touches each value a few times; placing
// them one by one would descend through the index for each, and on data in
// no order every step of such a descent is a cache miss.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/assert.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

using SortEntry = PrefixedNode;  // the prefix is ContentOrderPrefix

bool Below(const SortEntry &a, const SortEntry &b) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  return ValueCompareSameItem(ValueOfNode(a.node), ValueOfNode(b.node)) < 0;
}

// Puts the entries, all ordered by their contents, from the lowest value to
// the highest; false when two compare equal (the index would refuse one).
bool SortAscending(SortEntry *entries, std::uint32_t count) {
  // Data kept in order, or in reverse, is common and needs no sort.
  bool ascending = true;
  bool descending = true;
  for (std::uint32_t i = 1; i < count && (ascending || descending); ++i) {
    ascending = ascending && entries[i - 1].prefix < entries[i].prefix;
    descending = descending && entries[i - 1].prefix > entries[i].prefix;
  }
  if (ascending) return true;
  if (descending) {
    std::reverse(entries, entries + count);
    return true;
  }
  std::sort(entries, entries + count, Below);
  for (std::uint32_t i = 1; i < count; ++i) {
    if (entries[i - 1].prefix == entries[i].prefix &&
        ValueCompareSameItem(ValueOfNode(entries[i - 1].node), ValueOfNode(entries[i].node)) == 0) {
      return false;
    }
  }
  return true;
}

// While a value waits, its node holds what sorting it needs, noted while the
// value was fresh in the cache: its item's position, whether it orders by
// its contents, and its prefix in the bytes of the parent and left links.
static_assert(offsetof(ValueIndexNode, left) == offsetof(ValueIndexNode, parent) + sizeof(void *) &&
                  2 * sizeof(void *) >= sizeof(std::uint64_t),
              "a prefix fits in a node's parent and left links");
void NotePending(ValueIndexNode *node, std::uint32_t position, const DataValue *value) {
  std::uint64_t prefix = 0;
  const bool ordered = ContentOrderPrefix(value, &prefix);
  *node = ValueIndexNode{};
  std::memcpy(&node->parent, &prefix, sizeof prefix);
  node->left_height = position;
  node->right_height = ordered ? 1 : 0;
}

std::uint64_t PendingPrefix(const ValueIndexNode *node) {
  std::uint64_t prefix = 0;
  std::memcpy(&prefix, &node->parent, sizeof prefix);
  return prefix;
}

}  // namespace

bool PendingAdd(PendingValues *pending, DataValue *value, std::uint32_t position) {
  if (pending->count == pending->capacity) {
    const std::size_t grown = pending->capacity == 0 ? 256 : pending->capacity * 2;
    auto **nodes = static_cast<ValueIndexNode **>(platform::Allocate(grown * sizeof(void *)));
    if (nodes == nullptr) return false;
    if (pending->count != 0) std::memcpy(nodes, pending->nodes, pending->count * sizeof(void *));
    platform::Free(pending->nodes);
    pending->nodes = nodes;
    pending->capacity = grown;
  }
  NotePending(&value->node, position, value);
  pending->nodes[pending->count++] = &value->node;
  return true;
}

void PendingRelease(PendingValues *pending) {
  platform::Free(pending->nodes);
  *pending = PendingValues{};
}

ResultCode ContainerIndexPending(DataContainer *container, const PendingValues &pending) {
  const std::uint32_t items = container->count;
  const std::size_t total = pending.count;
  if (total == 0) return Zel_OK;
  // One block: the entries grouped by item, where each item's group starts,
  // and whether all its values order by their contents.
  const std::size_t bytes =
      sizeof(SortEntry) * total + sizeof(std::size_t) * (items + 1) + sizeof(bool) * items;
  void *block = platform::AllocateZeroed(bytes);
  if (block == nullptr) return Zel_ENOMEM;
  auto *entries = static_cast<SortEntry *>(block);
  auto *starts = reinterpret_cast<std::size_t *>(entries + total);
  auto *unordered = reinterpret_cast<bool *>(starts + items + 1);
  // The nodes lie all over the pool: each is fetched some steps ahead, so
  // that the misses overlap.
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < total; ++i) {
    if (i + kAhead < total) __builtin_prefetch(pending.nodes[i + kAhead]);
    const ValueIndexNode *node = pending.nodes[i];
    QORVCFG_ASSERT(node->left_height < items, "a pending value's item is in the container");
    starts[node->left_height + 1] += 1;
    if (node->right_height == 0) unordered[node->left_height] = true;
  }
  for (std::uint32_t i = 0; i < items; ++i) starts[i + 1] += starts[i];
  // Grouped in the order the values were linked, the input's order.
  for (std::size_t i = 0; i < total; ++i) {
    ValueIndexNode *node = pending.nodes[i];
    entries[starts[node->left_height]++] = SortEntry{PendingPrefix(node), node};
  }

  ResultCode result = Zel_OK;
  std::size_t begin = 0;
  for (std::uint32_t position = 0; position < items && result == Zel_OK; ++position) {
    const std::size_t end = starts[position];  // each start moved to the group's end
    SortEntry *group = entries + begin;
    const auto count = static_cast<std::uint32_t>(end - begin);
    begin = end;
    if (count == 0) continue;
    ValueIndex *index = container->indexes[position];
    if (!unordered[position]) {
      if (!SortAscending(group, count)) {
        result = Zel_EEXIST;
        break;
      }
      IndexLinkAscending(index, group, count);
      continue;
    }
    // Values ordered by their addresses too: one by one, in the input's order.
    for (std::uint32_t i = 0; i < count && result == Zel_OK; ++i) {
      result = IndexInsertNodeUnlocked(index, group[i].node);
    }
  }
  platform::Free(block);
  return result;
}

}  // namespace qorvcfg
