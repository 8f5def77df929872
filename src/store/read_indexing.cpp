// Indexing the values of a read at its end: a read into an empty container
// links each top-level value at once, noting it with its item's values, and
// then puts each item's values into its index in one go. Sorting them and
// building a balanced tree touches each value a few times; placing them one
// by one would descend through the index for each, and on data in no order
// every step of such a descent is a cache miss. Repeats of items without a
// limit are found here too, where equal values sort side by side.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/assert.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

using SortEntry = PrefixedNode;  // the prefix is ContentOrderPrefix

// A type rather than a function, so that the sort inlines the prefix test.
struct Below {
  bool operator()(const SortEntry &a, const SortEntry &b) const {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const std::int32_t r = ValueCompareSameItem(ValueOfNode(a.node), ValueOfNode(b.node));
    return r != 0 ? r < 0 : a.order < b.order;
  }
};

// Sorts by prefix alone, stable, a byte at a time from the lowest; a byte
// that every entry shares costs one count and no pass. A sort by comparison
// on data in no order mispredicts about every other branch; this one has no
// branch that depends on the data.
void SortByPrefix(SortEntry *entries, SortEntry *spare, std::uint32_t count) {
  constexpr std::uint32_t kBytes = sizeof(std::uint64_t);
  std::uint32_t counts[kBytes][256] = {};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t prefix = entries[i].prefix;
    for (std::uint32_t b = 0; b < kBytes; ++b) ++counts[b][(prefix >> (8 * b)) & 0xFF];
  }
  SortEntry *from = entries;
  SortEntry *to = spare;
  for (std::uint32_t b = 0; b < kBytes; ++b) {
    std::uint32_t *starts = counts[b];
    if (starts[(from[0].prefix >> (8 * b)) & 0xFF] == count) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t d = 0; d < 256; ++d) {
      const std::uint32_t here = starts[d];
      starts[d] = sum;
      sum += here;
    }
    for (std::uint32_t i = 0; i < count; ++i)
      to[starts[(from[i].prefix >> (8 * b)) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != entries) std::memcpy(entries, from, sizeof(SortEntry) * count);
}

// Below this many entries a sort by comparison is as fast.
inline constexpr std::uint32_t kFewToSort = 256;

// Puts the entries, all ordered by their contents, from the lowest value to
// the highest, equal values in the input's order. With spare (room for count
// entries) a long sort goes by prefix first.
void SortAscending(SortEntry *entries, std::uint32_t count, SortEntry *spare) {
  // Data kept in order, or in reverse, is common and needs no sort.
  bool ascending = true;
  bool descending = true;
  for (std::uint32_t i = 1; i < count && (ascending || descending); ++i) {
    ascending = ascending && entries[i - 1].prefix < entries[i].prefix;
    descending = descending && entries[i - 1].prefix > entries[i].prefix;
  }
  if (ascending) return;
  if (descending) {
    std::reverse(entries, entries + count);
    return;
  }
  if (spare == nullptr || count < kFewToSort) {
    std::sort(entries, entries + count, Below{});
  } else {
    // Then each run of one prefix by the values themselves.
    SortByPrefix(entries, spare, count);
    for (std::uint32_t begin = 0, end = 1; end <= count; ++end) {
      if (end < count && entries[end].prefix == entries[begin].prefix) continue;
      if (end - begin > 1) std::sort(entries + begin, entries + end, Below{});
      begin = end;
    }
  }
}

// Takes the repeats out of sorted entries: of values that compare equal the
// first in the input stays and, with drop, the others are unlinked and
// released (and, with origin, the entry origin[order] of each gets a null
// node); without drop a repeat gives false (the index would refuse it).
bool LeaveOutRepeats(SortEntry *entries, std::uint32_t *count, bool drop,
                     SortEntry *origin = nullptr) {
  std::uint32_t kept = *count != 0 ? 1 : 0;
  for (std::uint32_t i = 1; i < *count; ++i) {
    const SortEntry &previous = entries[kept - 1];
    if (entries[i].prefix == previous.prefix &&
        ValueCompareSameItem(ValueOfNode(previous.node), ValueOfNode(entries[i].node)) == 0) {
      if (!drop) return false;
      DataValue *repeat = ValueOfNode(entries[i].node);
      UnlinkValue(repeat);
      ValueRelease(repeat);
      if (origin != nullptr) origin[entries[i].order].node = nullptr;
      continue;
    }
    entries[kept++] = entries[i];
  }
  *count = kept;
  return true;
}

// In a group of values some of which order by their addresses: sorts those
// that order by their contents apart (in apart, with spare for the sort, or
// null) and takes out their repeats, the first in the input staying; the
// entry of each repeat gets a null node.
void LeaveOutRepeatsApart(SortEntry *group, std::uint32_t count, SortEntry *apart,
                          SortEntry *spare) {
  std::uint32_t n = 0;
  for (std::uint32_t j = 0; j < count; ++j) {
    if (PendingOrdersByContents(ValueOfNode(group[j].node))) apart[n++] = group[j];
  }
  SortAscending(apart, n, spare);
  (void)LeaveOutRepeats(apart, &n, true, group);
}

// A group's tree laid out apart from its nodes: images[k] for the node of
// the k-th lowest value, the group's nodes in the input's order (which is
// the order of their slots in memory, mostly), and the rank of each.
struct Layout {
  ValueIndexNode *images;
  ValueIndexNode **in_input;
  std::uint32_t *rank;
};

// One block for a layout of up to count nodes, the record first; null when
// memory ran out.
Layout *LayoutAllocate(std::size_t count) {
  static_assert(alignof(ValueIndexNode) <= alignof(Layout) &&
                sizeof(Layout) % alignof(ValueIndexNode) == 0);
  void *block = platform::Allocate(
      sizeof(Layout) +
      count * (sizeof(ValueIndexNode) + sizeof(ValueIndexNode *) + sizeof(std::uint32_t)));
  if (block == nullptr) return nullptr;
  auto *layout = static_cast<Layout *>(block);
  layout->images = reinterpret_cast<ValueIndexNode *>(layout + 1);
  layout->in_input = reinterpret_cast<ValueIndexNode **>(layout->images + count);
  layout->rank = reinterpret_cast<std::uint32_t *>(layout->in_input + count);
  return layout;
}

// Copies each image to its node, walking the nodes in the input's order.
// entries are the kept count of a group of linked values (their order is
// their place among those); a value left out as a repeat is not written.
void WriteLaidOut(const Layout &layout, const SortEntry *entries, std::uint32_t count,
                  std::uint32_t linked) {
  constexpr std::uint32_t kLeftOut = 0xFFFFFFFF;
  for (std::uint32_t j = 0; j < linked; ++j) layout.rank[j] = kLeftOut;
  for (std::uint32_t k = 0; k < count; ++k) layout.rank[entries[k].order] = k;
  constexpr std::uint32_t kAhead = 16;
  for (std::uint32_t j = 0; j < linked; ++j) {
    if (j + kAhead < linked && layout.rank[j + kAhead] != kLeftOut) {
      __builtin_prefetch(&layout.images[layout.rank[j + kAhead]]);
    }
    if (layout.rank[j] != kLeftOut) *layout.in_input[j] = layout.images[layout.rank[j]];
  }
}

}  // namespace

bool PendingOrdersByContents(const DataValue *value) { return value->node.right_height != 0; }

void PendingDropLast(PendingValues *pending) {
  QORVCFG_ASSERT(pending->groups != nullptr && pending->groups[pending->last].count != 0,
                 "a pending value to drop");
  pending->groups[pending->last].count -= 1;
}

bool PendingAdd(PendingValues *pending, DataValue *value, std::uint32_t position,
                std::uint32_t items) {
  if (pending->groups == nullptr) {
    auto *groups =
        static_cast<PendingGroup *>(platform::AllocateZeroed(sizeof(PendingGroup) * items));
    if (groups == nullptr) return false;
    pending->groups = groups;
    pending->items = items;
  }
  QORVCFG_ASSERT(position < pending->items, "a pending value's item is in the container");
  PendingGroup &group = pending->groups[position];
  if (group.count == group.capacity) {
    const std::uint32_t grown = group.capacity == 0 ? 64 : group.capacity * 2;
    auto *entries = static_cast<PrefixedNode *>(platform::Allocate(grown * sizeof(PrefixedNode)));
    if (entries == nullptr) return false;
    if (group.count != 0) std::memcpy(entries, group.entries, group.count * sizeof(PrefixedNode));
    platform::Free(group.entries);
    group.entries = entries;
    group.capacity = grown;
  }
  // Noted while the value is fresh in the cache.
  std::uint64_t prefix = 0;
  const bool ordered = ContentOrderPrefix(value, &prefix);
  value->node = ValueIndexNode{};
  value->node.right_height = ordered ? 1 : 0;
  if (!ordered) group.unordered = true;
  group.entries[group.count] = PrefixedNode{prefix, &value->node, group.count};
  group.count += 1;
  pending->last = position;
  return true;
}

void PendingRelease(PendingValues *pending) {
  for (std::uint32_t i = 0; i < pending->items; ++i) platform::Free(pending->groups[i].entries);
  platform::Free(pending->groups);
  *pending = PendingValues{};
}

ResultCode ContainerIndexPending(DataContainer *container, PendingValues *pending,
                                 bool drop_repeats) {
  const std::uint32_t items = pending->items;
  QORVCFG_ASSERT(items == 0 || items == container->count, "the pending values are the container's");
  // Room for the largest group's sort by prefix; without it (no memory) the
  // groups are sorted by comparison, to the same order.
  std::uint32_t largest = 0;
  std::uint32_t largest_unordered = 0;
  for (std::uint32_t i = 0; i < items; ++i) {
    const PendingGroup &group = pending->groups[i];
    std::uint32_t &most = group.unordered ? largest_unordered : largest;
    if (group.count > most) most = group.count;
  }
  // Repeats among the values of such a group that order by their contents
  // are found by sorting those apart, in room of their own.
  SortEntry *apart = nullptr;
  if (drop_repeats && largest_unordered != 0) {
    apart = static_cast<SortEntry *>(platform::Allocate(sizeof(SortEntry) * largest_unordered));
    if (apart == nullptr) return Zel_ENOMEM;
    if (largest_unordered > largest) largest = largest_unordered;
  }
  auto *spare = largest < kFewToSort
                    ? nullptr
                    : static_cast<SortEntry *>(platform::Allocate(sizeof(SortEntry) * largest));
  // And room to lay a long group's tree out before its nodes are written in
  // the order they lie in memory; without it the nodes are written in the
  // order of their values, each a cache miss on data in no order.
  auto *layout = largest < kFewToSort ? nullptr : LayoutAllocate(largest);

  ResultCode result = Zel_OK;
  for (std::uint32_t position = 0; position < items && result == Zel_OK; ++position) {
    SortEntry *group = pending->groups[position].entries;
    std::uint32_t count = pending->groups[position].count;
    if (count == 0) continue;
    ValueIndex *index = container->indexes[position];
    if (!pending->groups[position].unordered) {
      const std::uint32_t linked = count;  // in the input's order, each order its place
      if (layout != nullptr) {
        for (std::uint32_t j = 0; j < linked; ++j) layout->in_input[j] = group[j].node;
      }
      SortAscending(group, count, spare);
      if (!LeaveOutRepeats(group, &count, drop_repeats)) {
        result = Zel_EEXIST;
        break;
      }
      if (layout == nullptr || count < kFewToSort) {
        IndexLinkAscending(index, group, count);
      } else {
        IndexLinkAscending(index, group, count, layout->images);
        WriteLaidOut(*layout, group, count, linked);
      }
      continue;
    }
    // Values ordered by their addresses too: one by one, in the input's
    // order. Among such values a descent need not meet an equal one, so the
    // repeats left for the end are taken out first.
    if (apart != nullptr) LeaveOutRepeatsApart(group, count, apart, spare);
    for (std::uint32_t i = 0; i < count && result == Zel_OK; ++i) {
      if (group[i].node != nullptr) result = IndexInsertNodeUnlocked(index, group[i].node);
    }
  }
  platform::Free(apart);
  platform::Free(layout);
  platform::Free(spare);
  return result;
}

}  // namespace qorvcfg
