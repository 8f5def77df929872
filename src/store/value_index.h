// The value index: an ordered set of value pointers, an AVL tree with parent
// links and its own lock.
//
// What holds between calls:
// - A live index has tag kIndexTagLive; IndexDestroy and IndexRetire leave
//   kIndexTagDead, and every call on a dead index gives Zel_EBADTAG.
// - count is the number of nodes under root. In every node, left_height and
//   right_height are the heights of its subtrees and differ by at most one;
//   a child's parent link points at the node that holds it.
// - Left of a node lies every value that orders above it, right every value
//   that orders below; no two values of one index compare equal.
// - A store index (kIndexNodesInValues) owns nothing: its nodes live inside
//   the values (DataValue::node), which belong to their container. An index
//   made by IndexCreate owns its nodes, not the values they point at.
// - Every call holds the index's lock for its whole length; nothing walks the
//   tree by recursion, and no call but IndexCreate and IndexInsert allocates.
// What a failure leaves: the index as it was.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "qorvcfg.h"

struct ValueIndexNode {
  ValueIndexNode *parent;
  ValueIndexNode *left;   // values that order above this one
  ValueIndexNode *right;  // values that order below this one
  std::uint32_t left_height;
  std::uint32_t right_height;
};

// A node beside a number that orders its value among the index's values
// where two numbers differ, and its place in the input, which tells apart
// values that compare equal: what a caller sorts before IndexLinkAscending.
struct PrefixedNode {
  std::uint64_t prefix;
  ValueIndexNode *node;
  std::uint32_t order;
};

using ValueCompareFn = std::int32_t (*)(const void *stored, const void *other);
using ValueReleaseFn = void (*)(void *value);

// The record of an index. Indexes of the store (kIndexNodesInValues) order
// by ValueCompare; one made by IndexCreate carries its own comparison just
// after the record, so the store's indexes do without that pointer.
struct ValueIndex {
  std::uint32_t tag;
  std::uint32_t flags;  // kIndexNodesInValues
  ValueIndexNode *root;
  std::uint32_t count;
  qorvcfg::platform::Mutex lock;
};

namespace qorvcfg {

inline constexpr std::uint32_t kIndexTagLive = 0x42545245;  // "BTRE"
inline constexpr std::uint32_t kIndexTagDead = 0x45525442;  // "ERTB"
// The index's nodes live inside its values (DataValue::node): inserted with
// IndexInsertNode, taken out with IndexRemoveNode, never freed by the index.
inline constexpr std::uint32_t kIndexNodesInValues = 1;
// Every value of a store index has an order by contents (HasContentOrder),
// and none has changed its order in place, since the index was last empty: a
// value that orders beyond the greatest or least one then goes there
// directly, as a descent would put it.
inline constexpr std::uint32_t kIndexInContentOrder = 2;

[[nodiscard]] ResultCode IndexCreate(ValueIndex **out, ValueCompareFn compare);
ResultCode IndexDestroy(ValueIndex *index, ValueReleaseFn release);
// Sets up an index of the store (nodes in values, ordered by ValueCompare)
// in memory its caller owns (IndexRetire undoes it); the failure of the
// lock's creation is given back.
[[nodiscard]] ResultCode IndexInitInPlace(ValueIndex *index);
// Marks an index made by IndexInitInPlace dead and closes its lock; its
// nodes and values are left alone.
void IndexRetire(ValueIndex *index);
// The value a node of this index stands for.
[[nodiscard]] void *IndexNodeValue(const ValueIndex *index, const ValueIndexNode *node);
ResultCode IndexClear(ValueIndex *index, ValueReleaseFn release);
[[nodiscard]] ResultCode IndexInsert(ValueIndex *index, void *value);
// Removes the node whose value compares equal to key; Zel_ENOENT if none.
ResultCode IndexRemove(ValueIndex *index, const void *key);
// Inserts a node that its caller owns (node->value set); the node's links are
// overwritten. Zel_EEXIST when an equal value is stored; never allocates.
[[nodiscard]] ResultCode IndexInsertNode(ValueIndex *index, ValueIndexNode *node);
// The same without the index's lock, for a caller that no other thread can
// meet at the index: a read, which no other operation on its handle may
// overlap.
[[nodiscard]] ResultCode IndexInsertNodeUnlocked(ValueIndex *index, ValueIndexNode *node);
// Builds an empty store index at once from nodes whose values all order by
// their contents, given from the lowest value to the highest, no two equal:
// a balanced tree, as inserting them one by one would order them. Takes no
// lock and never allocates; for a read only. With images (room for count
// nodes) no node is written: images[k] receives what the node of
// ascending[k] must hold, and the caller copies each image to its node
// before the index is used, in the order of the nodes in memory, say.
void IndexLinkAscending(ValueIndex *index, const PrefixedNode *ascending, std::uint32_t count,
                        ValueIndexNode *images = nullptr);
// Removes exactly this node, which must be in this index, whatever the values
// compare; its links are cleared.
ResultCode IndexRemoveNode(ValueIndex *index, ValueIndexNode *node);
[[nodiscard]] ResultCode IndexList(ValueIndex *index, void **values, std::uint32_t *count);
// Called before the members of a structure value change: while the value is
// in an index its order may change in place, so that index gives up
// placing values by its greatest and least ones until it is next empty.
void IndexMembersChanging(DataRecord *structure);
// True when every value of a store index orders by its contents and none
// has changed its order in place since the index was last empty (an empty
// index too): ValueCompare is then a total order over its values.
[[nodiscard]] bool IndexInContentOrder(const ValueIndex *index);

}  // namespace qorvcfg
