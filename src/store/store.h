// The data store: value indexes, containers and values, their ordering,
// loading, queries and changes.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"
#include "qorvcfg.h"
#include "schema/schema.h"

// ---- Value index (an AVL tree with parent links and its own mutex) ---------
struct ValueIndexNode {
  ValueIndexNode *parent;
  ValueIndexNode *left;   // values that order above this one
  ValueIndexNode *right;  // values that order below this one
  std::uint32_t left_height;
  std::uint32_t right_height;
  void *value;
};

using ValueCompareFn = std::int32_t (*)(const void *stored, const void *other);
using ValueReleaseFn = void (*)(void *value);

struct ValueIndex {
  std::uint32_t tag;
  std::uint32_t flags;  // kIndexNodesInValues
  ValueIndexNode *root;
  std::uint32_t count;
  ValueCompareFn compare;
  qorvcfg::platform::Mutex lock;
};

namespace qorvcfg {

inline constexpr std::uint32_t kIndexTagLive = 0x42545245;  // "BTRE"
inline constexpr std::uint32_t kIndexTagDead = 0x45525442;  // "ERTB"
// The index's nodes live inside its values: inserted with IndexInsertNode,
// taken out with IndexRemoveNode, and never freed by the index.
inline constexpr std::uint32_t kIndexNodesInValues = 1;

[[nodiscard]] ResultCode IndexCreate(ValueIndex **out, ValueCompareFn compare);
ResultCode IndexDestroy(ValueIndex *index, ValueReleaseFn release);
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

// Values that are linked nowhere (made from a default, deleted, or dropped by
// a failed change) are remembered by their handle and released with it.
struct OrphanList {
  std::atomic<DataValue *> head;
};

// Where every value is (checked by the tests' store invariant checker):
// - Linked: container is the container whose list holds the value; the
//   value's item is items[i] of that container and node is in indexes[i];
//   the container owns the value. Exactly the linked values of a container
//   are in its list, and exactly those are in its indexes.
// - Unlinked: container, links and node links are null; the value is in its
//   handle's orphan list (when it has a handle) and is released with it.
// Delete and change act only on a value linked in the container they are
// given, and take out exactly the value's own node.
struct DataValue {
  ListLinks links;
  ItemDefinition *item;
  DataRecord record;
  DataContainer *container;  // null while unlinked
  ValueIndexNode node;       // node.value is this value
  OrphanList *orphans;       // the handle's list, for every value of the handle
  DataValue *orphan_next;
  DataValue *orphan_prev;
  std::uint32_t in_orphans;
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

void ContainerMakeEmpty(DataContainer *container);
[[nodiscard]] ResultCode ContainerInit(DataContainer *container, ItemDefinition *items);
void ContainerClear(DataContainer *container);
void ValueRelease(DataValue *value);
void ValueUnlinkRelease(void *value);
// A new unlinked value of the item with an empty nested container and no
// payload, remembered by orphans unless null; null when memory ran out.
[[nodiscard]] DataValue *NewValue(ItemDefinition *item, OrphanList *orphans);
// Inserts the value into indexes[position] and links it at the end of the
// container's list; Zel_EEXIST (nothing changed) when an equal value is
// there. The value leaves its handle's orphan list.
[[nodiscard]] ResultCode ContainerInsertValue(DataContainer *container, std::uint32_t position,
                                              DataValue *value);
// Releases every value of the container and keeps its items and indexes.
void ContainerEmpty(DataContainer *container);
// Appends the value to the container's list (no index is touched).
void LinkValue(DataContainer *container, DataValue *value);
void UnlinkValue(DataValue *value);
// Builds an unlinked value from the item's default and remembers it in orphans.
[[nodiscard]] ResultCode ValueFromDefault(ItemDefinition *item, OrphanList *orphans,
                                          DataRecord **out);

void OrphanPush(DataValue *value);
void OrphanRemove(DataValue *value);
// Releases every remembered value.
void OrphanReleaseAll(OrphanList *orphans);

// Position of an item in the container's item array by exact name; -1 if none.
[[nodiscard]] std::int64_t FindItemByName(const DataContainer *container, const char *name);
[[nodiscard]] std::int64_t FindItemByPointer(const DataContainer *container,
                                             const ItemDefinition *item);

// ---- Ordering -----------------------------------------------------------------
[[nodiscard]] std::int32_t ValueCompare(const void *a, const void *b);
[[nodiscard]] std::int32_t StructureCompare(const DataValue *a, const DataValue *b);

// ---- Loading --------------------------------------------------------------------
[[nodiscard]] ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle);
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

// ---- Handle -------------------------------------------------------------------------
// The handle with what the library keeps beside the fields the host sees.
struct HandleState {
  ConfigHandle handle;
  OrphanList orphans;
};

[[nodiscard]] inline HandleState *StateOf(ConfigHandle *handle) {
  return reinterpret_cast<HandleState *>(handle);
}

}  // namespace qorvcfg
