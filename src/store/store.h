// The data store: value indexes, containers and values, their ordering,
// loading, queries and changes.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"
#include "qorvcfg.h"
#include "schema/schema.h"

// ---- Value index (an AVL tree with parent links and its own lock) ---------
struct ValueIndexNode {
  ValueIndexNode *parent;
  ValueIndexNode *left;   // values that order above this one
  ValueIndexNode *right;  // values that order below this one
  std::uint32_t left_height;
  std::uint32_t right_height;
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
ValueIndexNode *RotateRight(ValueIndexNode *x);
ValueIndexNode *RotateLeft(ValueIndexNode *x);

// ---- Containers and values --------------------------------------------------
// Links of the circular value list; a container's first two fields are its
// head, a value's first two fields its links.
struct ListLinks {
  ListLinks *next;
  ListLinks *prev;
};

struct DataValue;
struct ValuePool;
// The loader names the handle's pool by this older name.
using OrphanList = ValuePool;

// Where every value is (checked by the tests' store invariant checker):
// - Linked: container is the container whose list holds the value; the
//   value's item is items[i] of that container and node is in indexes[i];
//   the container owns the value. Exactly the linked values of a container
//   are in its list, and exactly those are in its indexes.
// - Unlinked: container, links and node links are null; the value belongs to
//   whoever holds it, and its handle's pool releases it at destroy.
// Every value lives in a slot of its handle's pool; a free slot's prev link
// points at the pool. Delete and change act only on a value linked in the
// container they are given, and take out exactly the value's own node.
struct DataValue {
  ListLinks links;
  ItemDefinition *item;
  DataContainer *container;  // null while unlinked
  ValueIndexNode node;       // its node in the item's index
  DataRecord record;
};

[[nodiscard]] inline DataValue *ValueFromRecord(DataRecord *record) {
  return reinterpret_cast<DataValue *>(reinterpret_cast<char *>(record) -
                                       offsetof(DataValue, record));
}
[[nodiscard]] inline ListLinks *ListHead(DataContainer *container) {
  return reinterpret_cast<ListLinks *>(container);
}
[[nodiscard]] inline bool IsLinked(const DataValue *value) { return value->container != nullptr; }
// The value whose nested container this is.
[[nodiscard]] inline DataValue *OwnerOfNested(DataContainer *nested) {
  return reinterpret_cast<DataValue *>(reinterpret_cast<char *>(nested) -
                                       offsetof(DataValue, record.nested));
}

[[nodiscard]] inline DataValue *ValueOfNode(const ValueIndexNode *node) {
  return reinterpret_cast<DataValue *>(
      reinterpret_cast<char *>(const_cast<ValueIndexNode *>(node)) - offsetof(DataValue, node));
}

// ---- Value pool -------------------------------------------------------------
// The values of one handle live in slots of aligned blocks that the handle
// owns: a value's block (and so its pool) follows from its address, made
// values are taken from a free list before new slots, and destroy frees the
// blocks whole. Values may be made on several threads at once (default
// creation is a query), so taking and giving back a slot holds the pool's
// small lock.
struct ValuePoolBlock;
struct ValuePool {
  std::atomic<std::uint32_t> lock;
  DataValue *free_slots;    // chained through links.next
  ValuePoolBlock *blocks;   // every block, newest first
  ValuePoolBlock *current;  // the block new slots come from
  std::uint32_t next_run;   // blocks in the next allocation
};

// A zeroed slot of the pool, or null when memory ran out.
[[nodiscard]] DataValue *PoolTake(ValuePool *pool);
// Gives a value's slot back to its pool; the value owns nothing any more.
void PoolGiveBack(DataValue *value);
[[nodiscard]] ValuePool *PoolOf(const DataValue *value);
// Calls visit for every value of the pool (free slots left out).
void PoolVisit(ValuePool *pool, void (*visit)(DataValue *value, void *context), void *context);
// Releases what every value of the pool still owns, then the blocks.
void PoolRelease(ValuePool *pool);

void ContainerMakeEmpty(DataContainer *container);
[[nodiscard]] ResultCode ContainerInit(DataContainer *container, ItemDefinition *items);
void ContainerClear(DataContainer *container);
void ValueRelease(DataValue *value);
void ValueUnlinkRelease(void *value);
// A new unlinked value of the item, from the pool, with an empty nested
// container and no payload; null when memory ran out.
[[nodiscard]] DataValue *NewValue(ItemDefinition *item, ValuePool *pool);
// Inserts a loaded value into indexes[position] and links it at the end of
// the container's list; Zel_EEXIST (nothing changed) when an equal value is
// there. A short text moves into the value's payload: no host has seen it.
[[nodiscard]] ResultCode ContainerInsertValue(DataContainer *container, std::uint32_t position,
                                              DataValue *value);
// The same for a value that a host may hold texts of: nothing moves.
[[nodiscard]] ResultCode ContainerInsertHeldValue(DataContainer *container, std::uint32_t position,
                                                  DataValue *value);
// Releases every value of the container and keeps its items and indexes.
void ContainerEmpty(DataContainer *container);
// Appends the value to the container's list (no index is touched).
void LinkValue(DataContainer *container, DataValue *value);
void UnlinkValue(DataValue *value);
// Builds an unlinked value from the item's default, in the pool.
[[nodiscard]] ResultCode ValueFromDefault(ItemDefinition *item, ValuePool *pool, DataRecord **out);
// Frees a container's own block (items, indexes and their locks); its values
// are not touched.
void ContainerFreeBlock(DataContainer *container);
// Sets a string or enumeration record's text to a copy of text, inside the
// payload when it fits. Only for a value no host has seen.
[[nodiscard]] ResultCode RecordCopyText(DataRecord *record, const char *text);
// Releases the texts a payload of the type owns (a text kept in the payload
// itself is not freed).
void ReleaseOwnedTexts(DataRecord *record);

// Position of an item in the container's item array by exact name; -1 if none.
[[nodiscard]] std::int64_t FindItemByName(const DataContainer *container, const char *name);
[[nodiscard]] std::int64_t FindItemByPointer(const DataContainer *container,
                                             const ItemDefinition *item);

// ---- Ordering -----------------------------------------------------------------
[[nodiscard]] std::int32_t ValueCompare(const void *a, const void *b);
// ValueCompare for two values of one item, as in one index of the store:
// the item names are not looked at.
[[nodiscard]] std::int32_t ValueCompareSameItem(const void *a, const void *b);
[[nodiscard]] std::int32_t StructureCompare(const DataValue *a, const DataValue *b);
// True when ValueCompare orders the value by its contents alone, so that
// among values that all have such an order it is a total order: integers,
// texts, words, booleans, host names and IPv4 or IPv6 addresses, and keyed
// structures whose every identifier child has a first value of those kinds.
[[nodiscard]] bool HasContentOrder(const DataValue *value);

// ---- Loading --------------------------------------------------------------------
[[nodiscard]] ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle);
// ReadConfig with a reporter of what the read leaves out or repairs (none
// when diagnostics is null).
[[nodiscard]] ResultCode ReadConfigReporting(std::uint32_t mode, const char *input,
                                             ConfigHandle *handle, ReadDiagnostics *diagnostics);
[[nodiscard]] ResultCode LoadConvertedNodes(ConvertedNode *nodes, DataContainer *container,
                                            OrphanList *orphans);

// ---- Queries ----------------------------------------------------------------------
[[nodiscard]] ResultCode ContainerGetValues(DataContainer *container, const char *name,
                                            DataRecord **values, std::uint32_t *count);

// ---- Changes ----------------------------------------------------------------------
[[nodiscard]] ResultCode ContainerAddValue(DataContainer *container, DataRecord *record);
[[nodiscard]] ResultCode ContainerChangeValue(DataContainer *container, DataRecord *record,
                                              const void *new_data);
[[nodiscard]] ResultCode ContainerDeleteValue(DataContainer *container, DataRecord *record);
// The same in a structure value's nested container. The structure's own
// index is told first that its members change (IndexMembersChanging).
[[nodiscard]] ResultCode StructureAddValue(DataRecord *structure, DataRecord *record);
[[nodiscard]] ResultCode StructureChangeValue(DataRecord *structure, DataRecord *record,
                                              const void *new_data);
[[nodiscard]] ResultCode StructureDeleteValue(DataRecord *structure, DataRecord *record);

// ---- Handle -------------------------------------------------------------------------
// The handle with what the library keeps beside the fields the host sees.
struct HandleState {
  ConfigHandle handle;
  ValuePool orphans;  // every value of the handle, linked or not
};

[[nodiscard]] inline HandleState *StateOf(ConfigHandle *handle) {
  return reinterpret_cast<HandleState *>(handle);
}

// An unlinked value built from the item's default, in the pool of the
// handle, or of the structure value whose child item it is.
[[nodiscard]] ResultCode HandleValueFromDefault(ConfigHandle *handle, ItemDefinition *item,
                                                DataRecord **out);
[[nodiscard]] ResultCode StructureValueFromDefault(DataRecord *structure, ItemDefinition *item,
                                                   DataRecord **out);
// Releases every value of the handle, linked or not, and the block of its
// top-level container; the items stay.
void HandleReleaseValues(ConfigHandle *handle);

}  // namespace qorvcfg
