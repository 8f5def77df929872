// An ordered set of value pointers: an AVL tree with parent links, a tag that
// marks it live, and a mutex held for each operation. Walks use parent links
// only: no recursion, no stack, no allocation.
#include "store/value_index.h"

#include "platform/assert.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

using platform::MutexGuard;

ValueIndexNode *RotateRight(ValueIndexNode *x);
ValueIndexNode *RotateLeft(ValueIndexNode *x);

// A node that the index allocates itself, for a value it does not hold.
struct OwnedNode {
  ValueIndexNode node;
  void *value;
};

// An index made by IndexCreate, with the comparison it was made with.
struct ComparingIndex {
  ValueIndex index;
  ValueCompareFn compare;
};

std::int32_t Compare(const ValueIndex *index, const void *stored, const void *other) {
  // Every value of a store index belongs to the index's item.
  if ((index->flags & kIndexNodesInValues) != 0) return ValueCompareSameItem(stored, other);
  return reinterpret_cast<const ComparingIndex *>(index)->compare(stored, other);
}

std::int32_t Height(std::uint32_t h) { return static_cast<std::int32_t>(h); }
std::uint32_t Larger(std::uint32_t a, std::uint32_t b) { return Height(a) > Height(b) ? a : b; }

// The root of the tree that holds node, by its parent links.
const ValueIndexNode *RootAbove(const ValueIndexNode *node) {
  while (node->parent != nullptr) node = node->parent;
  return node;
}

// Puts top where x was under parent (or at the root).
void Replace(ValueIndex *index, ValueIndexNode *parent, ValueIndexNode *x, ValueIndexNode *top) {
  if (parent == nullptr) {
    index->root = top;
  } else if (parent->left == x) {
    parent->left = top;
  } else {
    parent->right = top;
  }
}

// Rotates an unbalanced node; gives the new top of its subtree, linked into
// the node's former parent.
ValueIndexNode *Rebalance(ValueIndex *index, ValueIndexNode *x) {
  ValueIndexNode *parent = x->parent;
  const std::int32_t diff = Height(x->left_height) - Height(x->right_height);
  ValueIndexNode *top = x;
  if (diff > 1) {
    ValueIndexNode *y = x->left;
    if (Height(y->left_height) < Height(y->right_height)) x->left = RotateLeft(y);
    top = RotateRight(x);
  } else if (diff < -1) {
    ValueIndexNode *y = x->right;
    if (Height(y->right_height) < Height(y->left_height)) x->right = RotateRight(y);
    top = RotateLeft(x);
  } else {
    return x;
  }
  Replace(index, parent, x, top);
  return top;
}

ValueIndexNode *Leftmost(ValueIndexNode *node) {
  while (node != nullptr && node->left != nullptr) node = node->left;
  return node;
}

ValueIndexNode *Successor(ValueIndexNode *node) {
  if (node->right != nullptr) return Leftmost(node->right);
  while (node->parent != nullptr && node->parent->right == node) node = node->parent;
  return node->parent;
}

// Releases a node's value and, unless the node lives inside its value, the
// node itself. The node is not touched after the release.
void FreeNode(ValueIndex *index, ValueIndexNode *node, ValueReleaseFn release) {
  const bool owned = (index->flags & kIndexNodesInValues) == 0;
  void *value = IndexNodeValue(index, node);
  if (owned) platform::Free(node);
  if (release != nullptr) release(value);
}

// Post-order walk that frees every node, releasing each value first.
void FreeAllNodes(ValueIndex *index, ValueReleaseFn release) {
  ValueIndexNode *node = Leftmost(index->root);
  while (node != nullptr) {
    if (node->right != nullptr) {
      node = Leftmost(node->right);
      continue;
    }
    while (node->parent != nullptr && node->parent->right == node) {
      ValueIndexNode *parent = node->parent;
      FreeNode(index, node, release);
      node = parent;
    }
    ValueIndexNode *parent = node->parent;
    FreeNode(index, node, release);
    node = parent;
    // The parent's left subtree is gone; what remains is its right subtree.
    if (node != nullptr) node->left = nullptr;
  }
  index->root = nullptr;
  index->count = 0;
}

bool IsLive(const ValueIndex *index) { return index->tag == kIndexTagLive; }

// The sign of the store's order of two values of one item; integers, the
// most common key, are compared here without a call.
std::int32_t CompareInStore(const DataValue *stored, const DataValue *other) {
  if (stored->record.type == Zel_TYPE_INTEGER && other->record.type == Zel_TYPE_INTEGER) {
    const std::int64_t a = stored->record.payload.integer;
    const std::int64_t b = other->record.payload.integer;
    return a == b ? 0 : (a < b ? -1 : 1);
  }
  return ValueCompareSameItem(stored, other);
}

std::int32_t CompareNodeInStore(const ValueIndexNode *stored, const DataValue *other) {
  return CompareInStore(ValueOfNode(stored), other);
}

// Asks for the cache lines of a node and of the record it leads to.
void Prefetch(const ValueIndex *index, const ValueIndexNode *node) {
  if (node == nullptr || (index->flags & kIndexNodesInValues) == 0) return;
  const DataValue *value = ValueOfNode(node);
  __builtin_prefetch(node);
  __builtin_prefetch(&value->record.payload);
}

// Where a new node goes: under parent, on the left when last is negative;
// no parent for the root of an empty tree.
struct Place {
  ValueIndexNode *parent = nullptr;
  std::int32_t last = 0;
  // Placed beyond the end value: the greatest (1) or least (-1) one; 0 for a
  // place found by descent.
  std::int32_t beyond_end = 0;
};

// Descends from the root to the leaf under which a new value belongs;
// Zel_EEXIST when a stored value compares equal.
template <typename CompareFn>
ResultCode FindLeaf(const ValueIndex *index, CompareFn compare, Place *place) {
  for (ValueIndexNode *at = index->root; at != nullptr;) {
    // Both children are fetched while this node is compared: the next step
    // then finds its node and the value it compares in the cache.
    Prefetch(index, at->left);
    Prefetch(index, at->right);
    const std::int32_t r = compare(at);
    if (r == 0) return Zel_EEXIST;
    place->parent = at;
    place->last = r;
    at = r < 0 ? at->left : at->right;
  }
  return Zel_OK;
}

// Whether the way from the root down to node goes left (or right) at every
// step, that is whether node holds the greatest (or least) value.
bool EndsSpine(const ValueIndexNode *node, bool left) {
  for (const ValueIndexNode *p = node->parent; p != nullptr; node = p, p = p->parent) {
    if ((p->left == node) != left) return false;
  }
  return true;
}

// Bits of a store index's flags, beside those of store.h: the last value
// placed became the greatest (or least) of the index. Only a hint of where
// the next one may go; never trusted for the result.
constexpr std::uint32_t kIndexLastAtGreatest = 4;
constexpr std::uint32_t kIndexLastAtLeast = 8;

// The place of a value in a store index. When the last value placed went to
// one end of the order, the value is first compared with the value at that
// end alone: when every value, the new one too, orders by its contents, one
// beyond the end belongs right under it, where a descent would also put it.
// Otherwise a descent from the root finds the place.
ResultCode FindPlaceInStore(const ValueIndex *index, const DataValue *value, bool ordered,
                            Place *place) {
  const auto compare = [value](const ValueIndexNode *at) { return CompareNodeInStore(at, value); };
  const bool greatest = (index->flags & kIndexLastAtGreatest) != 0;
  const bool least = (index->flags & kIndexLastAtLeast) != 0;
  ValueIndexNode *end = index->root;
  if (ordered && end != nullptr && (greatest || least)) {
    if (greatest) {
      while (end->left != nullptr) end = end->left;
    } else {
      while (end->right != nullptr) end = end->right;
    }
    const std::int32_t r = compare(end);
    if (r == 0) return Zel_EEXIST;
    if ((r < 0) == greatest) {
      place->parent = end;
      place->last = r;
      place->beyond_end = greatest ? 1 : -1;
      return Zel_OK;
    }
  }
  return FindLeaf(index, compare, place);
}

// Links a prepared node (links and heights zero) at its place and rebalances.
void Link(ValueIndex *index, ValueIndexNode *node, const Place &place) {
  ValueIndexNode *parent = place.parent;
  node->parent = parent;
  index->count += 1;
  if (parent == nullptr) {
    index->root = node;
    return;
  }
  if (place.last < 0) {
    parent->left = node;
  } else {
    parent->right = node;
  }

  ValueIndexNode *child = node;
  ValueIndexNode *p = parent;
  for (;;) {
    if (p->left == child) {
      p->left_height += 1;
    } else {
      p->right_height += 1;
    }
    child = p;
    p = child->parent;
    const std::int32_t diff = Height(child->left_height) - Height(child->right_height);
    if (p == nullptr || (diff != 1 && diff != -1)) break;
  }
  Rebalance(index, child);
}

// Places a prepared node by its value and rebalances; Zel_EEXIST when a
// stored value compares equal.
ResultCode Attach(ValueIndex *index, ValueIndexNode *node) {
  Place place;
  if ((index->flags & kIndexNodesInValues) == 0) {
    const void *value = IndexNodeValue(index, node);
    const ResultCode found = FindLeaf(
        index,
        [index, value](const ValueIndexNode *at) {
          return Compare(index, IndexNodeValue(index, at), value);
        },
        &place);
    if (found == Zel_OK) Link(index, node, place);
    return found;
  }
  const DataValue *value = ValueOfNode(node);
  if (index->root == nullptr) {
    // The first value is both ends, and the index starts afresh.
    std::uint32_t flags = index->flags & ~kIndexInContentOrder;
    if (value->record.type == Zel_TYPE_INTEGER || HasContentOrder(value)) {
      flags |= kIndexInContentOrder;
    }
    index->root = node;
    index->count += 1;
    index->flags = flags | kIndexLastAtGreatest | kIndexLastAtLeast;
    return Zel_OK;
  }
  const bool was_ordered = IndexInContentOrder(index);
  const bool ordered =
      was_ordered && (value->record.type == Zel_TYPE_INTEGER || HasContentOrder(value));
  const ResultCode found = FindPlaceInStore(index, value, ordered, &place);
  if (found != Zel_OK) return found;
  std::uint32_t flags =
      index->flags & ~(kIndexInContentOrder | kIndexLastAtGreatest | kIndexLastAtLeast);
  if (ordered) flags |= kIndexInContentOrder;
  Link(index, node, place);
  if (place.beyond_end > 0) {
    flags |= kIndexLastAtGreatest;  // and, with a value before it, not the least
  } else if (place.beyond_end < 0) {
    flags |= kIndexLastAtLeast;
  } else {
    // A rotation may have lifted the node above others: it ends the order
    // only with nothing beyond it.
    if (node->left == nullptr && EndsSpine(node, true)) flags |= kIndexLastAtGreatest;
    if (node->right == nullptr && EndsSpine(node, false)) flags |= kIndexLastAtLeast;
  }
  index->flags = flags;
  return Zel_OK;
}

// The height of a tree of count nodes built by halving, as IndexLinkAscending
// builds it: the bits needed to write count.
std::uint32_t HalvedHeight(std::uint32_t count) {
  std::uint32_t height = 0;
  for (; count != 0; count >>= 1) ++height;
  return height;
}

// Takes node d out of the tree and rebalances; d itself is not freed.
void Unhook(ValueIndex *index, ValueIndexNode *d) {
  ValueIndexNode *p = d->parent;
  index->count -= 1;

  ValueIndexNode *start = nullptr;
  if (d->left == nullptr || d->right == nullptr) {
    ValueIndexNode *child = d->left == nullptr ? d->right : d->left;
    if (p != nullptr) {
      if (p->left == d) {
        p->left = child;
        p->left_height -= 1;
      } else {
        p->right = child;
        p->right_height -= 1;
      }
    } else {
      index->root = child;
    }
    if (child != nullptr) child->parent = p;
    start = p;
  } else {
    ValueIndexNode *s = d->left;
    while (s->right != nullptr) s = s->right;
    ValueIndexNode *q = s->parent;
    ValueIndexNode *s_child = s->left;
    if (q->right == s) {
      q->right = s_child;
      q->right_height -= 1;
    } else {
      q->left = s_child;
      q->left_height -= 1;
    }
    if (s_child != nullptr) s_child->parent = q;
    s->parent = p;
    s->left = d->left;
    s->right = d->right;
    s->left_height = d->left_height;
    s->right_height = d->right_height;
    if (s->left != nullptr) s->left->parent = s;
    if (s->right != nullptr) s->right->parent = s;
    Replace(index, p, d, s);
    start = q == d ? s : q;
  }

  ValueIndexNode *x = start;
  while (x != nullptr) {
    while (x->left_height == x->right_height) {
      ValueIndexNode *parent = x->parent;
      if (parent == nullptr) {
        x = nullptr;
        break;
      }
      if (parent->left == x) {
        parent->left_height -= 1;
      } else {
        parent->right_height -= 1;
      }
      x = parent;
    }
    if (x == nullptr) break;
    const std::int32_t diff = Height(x->left_height) - Height(x->right_height);
    if (diff == 1 || diff == -1) break;
    x = Rebalance(index, x);
  }
}

ValueIndexNode *RotateRight(ValueIndexNode *x) {
  ValueIndexNode *y = x->left;
  x->left = y->right;
  x->left_height = y->right_height;
  y->right = x;
  y->right_height = 1 + Larger(y->right_height, x->right_height);
  if (x->left != nullptr) x->left->parent = x;
  y->parent = x->parent;
  x->parent = y;
  return y;
}

ValueIndexNode *RotateLeft(ValueIndexNode *x) {
  ValueIndexNode *y = x->right;
  x->right = y->left;
  x->right_height = y->left_height;
  y->left = x;
  y->left_height = 1 + Larger(y->left_height, x->left_height);
  if (x->right != nullptr) x->right->parent = x;
  y->parent = x->parent;
  x->parent = y;
  return y;
}

}  // namespace

void *IndexNodeValue(const ValueIndex *index, const ValueIndexNode *node) {
  if ((index->flags & kIndexNodesInValues) != 0) return ValueOfNode(node);
  return reinterpret_cast<const OwnedNode *>(node)->value;
}

ResultCode IndexInitInPlace(ValueIndex *index) {
  const ResultCode created = platform::MutexCreate(&index->lock);
  if (created != Zel_OK) {
    index->tag = kIndexTagDead;
    return created;
  }
  index->tag = kIndexTagLive;
  index->flags = kIndexNodesInValues;
  index->root = nullptr;
  index->count = 0;
  return Zel_OK;
}

void IndexRetire(ValueIndex *index) {
  index->tag = kIndexTagDead;
  platform::MutexClose(&index->lock);
}

ResultCode IndexCreate(ValueIndex **out, ValueCompareFn compare) {
  if (out == nullptr || compare == nullptr) return Zel_EINVAL;
  auto *record = static_cast<ComparingIndex *>(platform::AllocateZeroed(sizeof(ComparingIndex)));
  if (record == nullptr) return Zel_ENOMEM;
  ValueIndex *index = &record->index;
  const ResultCode created = platform::MutexCreate(&index->lock);
  if (created != Zel_OK) {
    index->tag = kIndexTagDead;
    platform::Free(index);
    return created;
  }
  index->tag = kIndexTagLive;
  index->root = nullptr;
  index->count = 0;
  record->compare = compare;
  *out = index;
  return Zel_OK;
}

ResultCode IndexDestroy(ValueIndex *index, ValueReleaseFn release) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  platform::MutexWait(&index->lock);
  FreeAllNodes(index, release);
  index->tag = kIndexTagDead;
  platform::MutexRelease(&index->lock);
  platform::MutexClose(&index->lock);
  platform::Free(index);
  return Zel_OK;
}

ResultCode IndexClear(ValueIndex *index, ValueReleaseFn release) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  MutexGuard guard(&index->lock);
  FreeAllNodes(index, release);
  return Zel_OK;
}

ResultCode IndexInsert(ValueIndex *index, void *value) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  if ((index->flags & kIndexNodesInValues) != 0) {
    return IndexInsertNode(index, &static_cast<DataValue *>(value)->node);
  }
  auto *owned = static_cast<OwnedNode *>(platform::AllocateZeroed(sizeof(OwnedNode)));
  if (owned == nullptr) return Zel_ENOMEM;
  owned->value = value;
  MutexGuard guard(&index->lock);
  const ResultCode result = Attach(index, &owned->node);
  if (result != Zel_OK) platform::Free(owned);
  return result;
}

ResultCode IndexInsertNode(ValueIndex *index, ValueIndexNode *node) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  MutexGuard guard(&index->lock);
  return IndexInsertNodeUnlocked(index, node);
}

ResultCode IndexInsertNodeUnlocked(ValueIndex *index, ValueIndexNode *node) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  *node = ValueIndexNode{};
  return Attach(index, node);
}

void IndexLinkAscending(ValueIndex *index, const PrefixedNode *ascending, std::uint32_t count,
                        ValueIndexNode *images) {
  QORVCFG_ASSERT(
      IsLive(index) && index->root == nullptr && (index->flags & kIndexNodesInValues) != 0,
      "an empty store index");
  // The tree of a range is topped by its middle node, with the values above
  // it on its left. Its nodes are visited in order, lowest first, and each is
  // written whole at its visit: its children are the middles of its halves.
  // On data in no order every node is a cache miss; they are fetched ahead
  // (or only their images are written, in order).
  const auto middle = [](std::uint32_t low, std::uint32_t high) { return low + (high - low) / 2; };
  const auto node_at = [ascending](std::uint32_t at) { return ascending[at].node; };
  struct Range {
    std::uint32_t low, high;  // ascending[low..high)
    ValueIndexNode *parent;
  };
  constexpr std::uint32_t kAhead = 16;
  Range stack[40];  // one range a level: a tree of 2^32 nodes has 33
  std::uint32_t depth = 0;
  Range range{0, count, nullptr};
  for (;;) {
    while (range.low < range.high) {
      stack[depth++] = range;
      range =
          Range{range.low, middle(range.low, range.high), node_at(middle(range.low, range.high))};
    }
    if (depth == 0) break;
    const Range top = stack[--depth];
    const std::uint32_t at = middle(top.low, top.high);
    ValueIndexNode *node = images != nullptr ? &images[at] : node_at(at);
    if (images == nullptr && at + kAhead < count) __builtin_prefetch(node_at(at + kAhead), 1);
    node->parent = top.parent;
    node->left = at + 1 < top.high ? node_at(middle(at + 1, top.high)) : nullptr;
    node->right = top.low < at ? node_at(middle(top.low, at)) : nullptr;
    node->left_height = HalvedHeight(top.high - at - 1);
    node->right_height = HalvedHeight(at - top.low);
    range = Range{at + 1, top.high, node_at(at)};
  }
  index->root = count != 0 ? node_at(middle(0, count)) : nullptr;
  index->count = count;
  // In content order; no hint of where the next value goes.
  index->flags =
      (index->flags & ~(kIndexLastAtGreatest | kIndexLastAtLeast)) | kIndexInContentOrder;
}

ResultCode IndexRemove(ValueIndex *index, const void *key) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  MutexGuard guard(&index->lock);
  ValueIndexNode *d = index->root;
  while (d != nullptr) {
    const std::int32_t r = Compare(index, IndexNodeValue(index, d), key);
    if (r == 0) break;
    d = r < 0 ? d->left : d->right;
  }
  if (d == nullptr) return Zel_ENOENT;
  Unhook(index, d);
  if ((index->flags & kIndexNodesInValues) == 0) platform::Free(d);
  return Zel_OK;
}

ResultCode IndexRemoveNode(ValueIndex *index, ValueIndexNode *node) {
  if (index == nullptr) return Zel_EINVAL;
  if (!IsLive(index)) return Zel_EBADTAG;
  MutexGuard guard(&index->lock);
  QORVCFG_ASSERT(RootAbove(node) == index->root, "the node is not in this index");
  Unhook(index, node);
  *node = ValueIndexNode{};
  return Zel_OK;
}

void IndexMembersChanging(DataRecord *structure) {
  const DataValue *value = ValueFromRecord(structure);
  const DataContainer *container = value->container;
  if (container == nullptr) return;
  const std::int64_t position = FindItemByPointer(container, value->item);
  if (position < 0) return;
  ValueIndex *index = container->indexes[position];
  if (!IsLive(index)) return;
  MutexGuard guard(&index->lock);
  index->flags &= ~kIndexInContentOrder;
}

// An empty index starts afresh, however it was emptied.
bool IndexInContentOrder(const ValueIndex *index) {
  return index->root == nullptr || (index->flags & kIndexInContentOrder) != 0;
}

ResultCode IndexList(ValueIndex *index, void **values, std::uint32_t *count) {
  if (!IsLive(index)) return Zel_EBADTAG;
  std::uint32_t written = 0;
  {
    MutexGuard guard(&index->lock);
    if (index->root != nullptr) {
      const std::uint32_t capacity = *count;
      for (ValueIndexNode *node = Leftmost(index->root); node != nullptr && written < capacity;
           node = Successor(node)) {
        values[written++] = IndexNodeValue(index, node);
      }
    }
  }
  *count = written;
  return Zel_OK;
}

}  // namespace qorvcfg
