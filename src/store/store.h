// The data store: containers and values, their ordering, loading, queries
// and changes. Indexes and the pool have headers of their own.
//
// Who owns what:
// - A handle (HandleState) owns its top-level container and its pool; the
//   pool owns every value of the handle at every depth.
// - A container owns one heap block (its item array, index array and index
//   records) and its linked values; the items belong to the definition.
// - A value owns the texts of its payload (a short text may sit inside the
//   payload itself) and its nested container.
// Where every value is (checked by the tests' store invariant checker):
// - Linked: container is the container whose list holds the value; the
//   value's item is items[i] of that container and node is in indexes[i].
//   Exactly the linked values of a container are in its list, and exactly
//   those are in its indexes.
// - Unlinked: container, links and node links are null; the value belongs to
//   whoever holds it, and its handle's pool releases it at destroy.
// Delete and change act only on a value linked in the container they are
// given, and take out exactly the value's own node.
// What a failure leaves: an add, change or delete that fails leaves the
// container as it was, except a change whose new contents equal a sibling's,
// which takes the value out (it then belongs to the caller). A read whose
// input cannot be read or parsed leaves the values held before it; one that
// fails while loading (no memory) leaves the container empty.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorvcfg.h"
#include "schema/schema.h"
#include "store/value_index.h"
#include "store/value_pool.h"

namespace qorvcfg {

// ---- Containers and values --------------------------------------------------
// Links of the circular value list; a container's first two fields are its
// head, a value's first two fields its links.
struct ListLinks {
  ListLinks *next;
  ListLinks *prev;
};

struct DataValue {
  ListLinks links;
  ItemDefinition *item;
  DataContainer *container;  // null while unlinked
  ValueIndexNode node;       // its node in the item's index
  DataRecord record;
};

// ---- Layout helpers: the one place each layout trick lives ----
// The value whose record the host holds.
[[nodiscard]] inline DataValue *ValueFromRecord(DataRecord *record) {
  return reinterpret_cast<DataValue *>(reinterpret_cast<char *>(record) -
                                       offsetof(DataValue, record));
}

// A value's links are its first field, so a link of a value list (or of the
// pool's free list) is the value itself; null stays null.
static_assert(offsetof(DataValue, links) == 0, "a value begins with its links");
[[nodiscard]] inline DataValue *ValueOfLinks(ListLinks *links) {
  return reinterpret_cast<DataValue *>(links);
}
[[nodiscard]] inline const DataValue *ValueOfLinks(const ListLinks *links) {
  return reinterpret_cast<const DataValue *>(links);
}
[[nodiscard]] inline ListLinks *LinksOf(DataValue *value) {
  return reinterpret_cast<ListLinks *>(value);
}

// A container's first two fields, next and prev, are the head of its list.
static_assert(offsetof(DataContainer, next) == offsetof(ListLinks, next) &&
                  offsetof(DataContainer, prev) == offsetof(ListLinks, prev) &&
                  sizeof(DataContainer::next) == sizeof(ListLinks *) &&
                  sizeof(DataContainer::prev) == sizeof(ListLinks *),
              "a container begins with the head of its list");
[[nodiscard]] inline ListLinks *ListHead(DataContainer *container) {
  return reinterpret_cast<ListLinks *>(container);
}
[[nodiscard]] inline const ListLinks *ListHead(const DataContainer *container) {
  return reinterpret_cast<const ListLinks *>(container);
}

// The value whose nested container this is.
[[nodiscard]] inline DataValue *OwnerOfNested(DataContainer *nested) {
  return reinterpret_cast<DataValue *>(reinterpret_cast<char *>(nested) -
                                       offsetof(DataValue, record.nested));
}

[[nodiscard]] inline bool IsLinked(const DataValue *value) { return value->container != nullptr; }

[[nodiscard]] inline DataValue *ValueOfNode(const ValueIndexNode *node) {
  return reinterpret_cast<DataValue *>(
      reinterpret_cast<char *>(const_cast<ValueIndexNode *>(node)) - offsetof(DataValue, node));
}

void ContainerInitEmpty(DataContainer *container);
[[nodiscard]] ResultCode ContainerInit(DataContainer *container, ItemDefinition *items);
void ContainerRelease(DataContainer *container);
void ValueRelease(DataValue *value);
// A new unlinked value of the item, from the pool, with an empty nested
// container and no payload; null when memory ran out.
[[nodiscard]] DataValue *NewValue(ItemDefinition *item, ValuePool *pool);
// The same for a read, taking no lock (PoolTakeUnlocked).
[[nodiscard]] DataValue *NewLoadedValue(ItemDefinition *item, ValuePool *pool);
// Inserts a loaded value into indexes[position] and links it at the end of
// the container's list; Zel_EEXIST (nothing changed) when an equal value is
// there. A short text moves into the value's payload: no host has seen it.
// For a read only: it takes no index lock (IndexInsertNodeUnlocked).
[[nodiscard]] ResultCode ContainerInsertValue(DataContainer *container, std::uint32_t position,
                                              DataValue *value);
// The values a read linked without their index, by item, each item's in the
// order they were linked (an entry's order is its place there), with the
// prefix that sorts them. Owns its arrays, 24 bytes a value: a read into an
// empty handle holds them beside its input.
struct PendingGroup {
  PrefixedNode *entries = nullptr;
  std::uint32_t count = 0;
  std::uint32_t capacity = 0;
  bool unordered = false;  // some value orders by its address
};
struct PendingValues {
  PendingGroup *groups = nullptr;  // one per item of the container, from the first value on
  std::uint32_t items = 0;
  std::uint32_t last = 0;  // the group of the value added last
};
// Adds a value of the top level, whose container has items items; false
// (nothing added) when an array could not grow.
[[nodiscard]] bool PendingAdd(PendingValues *pending, DataValue *value, std::uint32_t position,
                              std::uint32_t items);
void PendingRelease(PendingValues *pending);
// Takes back the value added last, which its caller then releases.
void PendingDropLast(PendingValues *pending);
// Whether a value added to pending orders by its contents (HasContentOrder,
// noted when it was added).
[[nodiscard]] bool PendingOrdersByContents(const DataValue *value);
// Links a loaded value at the end of the container's list and adds it to
// pending instead of its index, for a read that indexes its values at its
// end. Zel_ENOMEM when pending could not grow: the value is left unlinked,
// for its caller to release.
[[nodiscard]] ResultCode ContainerLinkUnindexed(DataContainer *container, std::uint32_t position,
                                                DataValue *value, PendingValues *pending);
// Puts every pending value into its item's index, all of which were empty:
// the values of an item that all order by their contents are sorted and
// linked at once, others are inserted one by one in the order they were
// linked. Of values that compare equal the first linked goes in; with
// drop_repeats the others are unlinked and released (repeats that the read
// left for the end to find), else Zel_EEXIST. Zel_ENOMEM when the repeats
// of an item that has values ordered by their addresses too found no room
// to be sorted. A failure leaves some values out of their indexes: the read
// then empties the container.
[[nodiscard]] ResultCode ContainerIndexPending(DataContainer *container, PendingValues *pending,
                                               bool drop_repeats);
// The same for a value that a host may hold texts of: nothing moves.
[[nodiscard]] ResultCode ContainerInsertHeldValue(DataContainer *container, std::uint32_t position,
                                                  DataValue *value);
// Releases every value of the container and keeps its items and indexes.
void ContainerReleaseValues(DataContainer *container);
// Appends the value to the container's list (no index is touched).
void LinkValue(DataContainer *container, DataValue *value);
void UnlinkValue(DataValue *value);
// Frees a container's own block (items, indexes and their locks); its values
// are not touched.
void ContainerReleaseBlock(DataContainer *container);
// Sets a string or enumeration record's text to a copy of text, inside the
// payload when it fits. Only for a value no host has seen.
[[nodiscard]] ResultCode RecordCopyText(DataRecord *record, const char *text);

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
// HasContentOrder, and then in *prefix a number for sorting: of two values
// of one item that both order by their contents, the one with the smaller
// prefix orders below the other; equal prefixes say nothing.
[[nodiscard]] bool ContentOrderPrefix(const DataValue *value, std::uint64_t *prefix);

// ---- Loading --------------------------------------------------------------------
[[nodiscard]] ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle);
// ReadConfig with a reporter of what the read leaves out or repairs (none
// when diagnostics is null).
[[nodiscard]] ResultCode ReadConfigReporting(std::uint32_t mode, const char *input,
                                             ConfigHandle *handle, ReadDiagnostics *diagnostics);
[[nodiscard]] ResultCode LoadConvertedNodes(ConvertedNode *nodes, DataContainer *container,
                                            ValuePool *pool);

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
  ValuePool values;  // every value of the handle, linked or not
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
