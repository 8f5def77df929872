// Containers of values per level and values with typed payloads.
#include <cstring>

#include "base/payload_texts.h"
#include "base/text_copy.h"
#include "definition/definition.h"
#include "platform/assert.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {

void ContainerInitEmpty(DataContainer *container) {
  container->next = container;
  container->prev = container;
  container->count = 0;
  container->items = nullptr;
  container->indexes = nullptr;
}

// One heap block per container: the item array, the index array and the
// index records themselves.
ResultCode ContainerInit(DataContainer *container, ItemDefinition *items) {
  std::uint32_t n = 0;
  for (const ItemDefinition *item = items; item != nullptr; item = item->next) ++n;
  if (n == 0) {
    ContainerInitEmpty(container);
    return Zel_OK;
  }
  const std::size_t bytes =
      n * (sizeof(ItemDefinition *) + sizeof(ValueIndex *) + sizeof(ValueIndex));
  void *block = platform::Allocate(bytes);
  if (block == nullptr) return Zel_ENOMEM;
  auto *item_array = static_cast<ItemDefinition **>(block);
  auto *index_array = reinterpret_cast<ValueIndex **>(item_array + n);
  auto *records = reinterpret_cast<ValueIndex *>(index_array + n);
  std::uint32_t created = 0;
  ResultCode result = Zel_OK;
  for (ItemDefinition *item = items; item != nullptr; item = item->next) {
    result = IndexInitInPlace(&records[created]);
    if (result != Zel_OK) break;
    index_array[created] = &records[created];
    item_array[created] = item;
    ++created;
  }
  if (result != Zel_OK) {
    while (created > 0) IndexRetire(&records[--created]);
    platform::Free(block);
    return result;
  }
  container->next = container;
  container->prev = container;
  container->count = n;
  container->items = item_array;
  container->indexes = index_array;
  return Zel_OK;
}

void ContainerReleaseBlock(DataContainer *container) {
  if (container->items == nullptr) return;
  for (std::uint32_t i = 0; i < container->count; ++i) {
    ValueIndex *index = container->indexes[i];
    if (index != nullptr && index->tag == kIndexTagLive) IndexRetire(index);
  }
  platform::Free(container->items);
  container->items = nullptr;
  container->indexes = nullptr;
  container->count = 0;
}

namespace {

// Values waiting to be released, chained through links.next. Releasing a
// structure chains its nested values here instead of recursing, so any
// depth of nesting takes no stack.
class ReleaseQueue {
 public:
  void Push(DataValue *value) {
    value->links.next = LinksOf(pending_);
    pending_ = value;
  }
  // Chains every value of the container's list and frees its block; the
  // container is left empty with no items.
  void TakeContainer(DataContainer *container) {
    TakeValues(container);
    ContainerReleaseBlock(container);
  }
  // Chains every value of the container's list; the list becomes empty.
  void TakeValues(DataContainer *container) {
    ListLinks *head = ListHead(container);
    for (ListLinks *at = head->next; at != head;) {
      DataValue *value = ValueOfLinks(at);
      at = at->next;
      value->container = nullptr;
      value->links.prev = nullptr;
      Push(value);
    }
    head->next = head;
    head->prev = head;
  }
  void ReleaseAll() {
    while (pending_ != nullptr) {
      DataValue *value = pending_;
      pending_ = ValueOfLinks(value->links.next);
      TakeContainer(&value->record.nested);
      ReleasePayloadTexts(value->record.type, &value->record.payload);
      PoolGiveBack(value);
    }
  }

 private:
  DataValue *pending_ = nullptr;
};

}  // namespace

void ContainerRelease(DataContainer *container) {
  ReleaseQueue queue;
  queue.TakeContainer(container);
  queue.ReleaseAll();
}

void ContainerReleaseValues(DataContainer *container) {
  ReleaseQueue queue;
  queue.TakeValues(container);
  for (std::uint32_t i = 0; i < container->count; ++i) {
    ValueIndex *index = container->indexes[i];
    if (index == nullptr || index->tag != kIndexTagLive) continue;
    platform::MutexGuard guard(&index->lock);
    index->root = nullptr;
    index->count = 0;
  }
  queue.ReleaseAll();
}

void ValueRelease(DataValue *value) {
  if (value == nullptr) return;
  ReleaseQueue queue;
  queue.Push(value);
  queue.ReleaseAll();
}

void UnlinkValue(DataValue *value) {
  if (value->container == nullptr) return;
  value->links.prev->next = value->links.next;
  value->links.next->prev = value->links.prev;
  value->links.next = nullptr;
  value->links.prev = nullptr;
  value->container = nullptr;
}

DataValue *NewValue(ItemDefinition *item, ValuePool *pool) {
  DataValue *value = PoolTake(pool);
  if (value == nullptr) return nullptr;
  value->item = item;
  ContainerInitEmpty(&value->record.nested);
  return value;
}

DataValue *NewLoadedValue(ItemDefinition *item, ValuePool *pool) {
  DataValue *value = PoolTakeUnlocked(pool);
  if (value == nullptr) return nullptr;
  value->item = item;
  ContainerInitEmpty(&value->record.nested);
  return value;
}

namespace {

// Room for a text in the payload of a string or enumeration, after its pointer.
constexpr std::size_t kInlineTextBytes = sizeof(DataPayload) - sizeof(char *);

// Moves a short text that the value owns on the heap into its payload. Only
// for values whose text no host has seen yet.
// Copies a text of size bytes, its end included, into the payload after the
// text pointer when it fits there; false when it does not.
// Where a short text sits in a string's or enumeration's payload: right
// after the pointer to it, which then points there.
static_assert(offsetof(DataPayload, text) == 0, "a payload begins with its text pointer");
char *PayloadRoom(DataRecord *record) {
  return reinterpret_cast<char *>(&record->payload) + sizeof(char *);
}

bool KeepInPayload(DataRecord *record, const char *text, std::size_t size) {
  if (size > kInlineTextBytes) return false;
  char *room = PayloadRoom(record);
  std::memcpy(room, text, size);
  record->payload.text = room;
  return true;
}

void MoveTextInline(DataRecord *record) {
  if (record->type != Zel_TYPE_STRING && record->type != Zel_TYPE_ENUMERATION) return;
  char *text = record->payload.text;
  if (text == nullptr || text == PayloadRoom(record)) return;
  if (KeepInPayload(record, text, std::strlen(text) + 1)) platform::Free(text);
}

}  // namespace

ResultCode RecordCopyText(DataRecord *record, const char *text) {
  QORVCFG_ASSERT(record->type == Zel_TYPE_STRING || record->type == Zel_TYPE_ENUMERATION,
                 "only a string or an enumeration keeps one text");
  QORVCFG_ASSERT(text != nullptr, "a text to copy");
  if (KeepInPayload(record, text, std::strlen(text) + 1)) return Zel_OK;
  return DuplicateText(text, &record->payload.text);
}

ResultCode ContainerInsertValue(DataContainer *container, std::uint32_t position,
                                DataValue *value) {
  const ResultCode result = IndexInsertNodeUnlocked(container->indexes[position], &value->node);
  if (result != Zel_OK) return result;
  LinkValue(container, value);
  MoveTextInline(&value->record);
  return Zel_OK;
}

ResultCode ContainerLinkUnindexed(DataContainer *container, std::uint32_t position,
                                  DataValue *value, PendingValues *pending) {
  if (!PendingAdd(pending, value, position, container->count)) return Zel_ENOMEM;
  LinkValue(container, value);
  MoveTextInline(&value->record);
  return Zel_OK;
}

ResultCode ContainerInsertHeldValue(DataContainer *container, std::uint32_t position,
                                    DataValue *value) {
  QORVCFG_ASSERT(position < container->count && container->items[position] == value->item,
                 "the value's item sits at position in the container");
  QORVCFG_ASSERT(!IsLinked(value), "the value is in no container yet");
  const ResultCode result = IndexInsertNode(container->indexes[position], &value->node);
  if (result != Zel_OK) return result;
  LinkValue(container, value);
  return Zel_OK;
}

void LinkValue(DataContainer *container, DataValue *value) {
  QORVCFG_ASSERT(!IsLinked(value), "a value is linked in one container at a time");
  ListLinks *head = ListHead(container);
  value->links.next = head;
  value->links.prev = head->prev;
  head->prev->next = &value->links;
  head->prev = &value->links;
  value->container = container;
}

namespace {

// Builds an unlinked value from the item's default, in the pool.
ResultCode ValueFromDefault(ItemDefinition *item, ValuePool *pool, DataRecord **out) {
  if (item == nullptr || out == nullptr) return Zel_EINVAL;
  DataValue *value = NewValue(item, pool);
  if (value == nullptr) return Zel_ENOMEM;
  const DefaultRecord &def = item->default_value;
  value->record.type = def.type;
  DataPayload &payload = value->record.payload;
  ResultCode result = Zel_OK;
  switch (def.type) {
    case Zel_TYPE_INTEGER:
      payload.integer = def.payload.integer;
      break;
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      result = DuplicateText(def.payload.text, &payload.text);
      break;
    case Zel_TYPE_BOOLEAN:
      payload.boolean = def.payload.boolean;
      break;
    case Zel_TYPE_IPADDR:
      payload.ipaddr = def.payload.ipaddr;
      payload.ipaddr.host_name = nullptr;
      if (def.payload.ipaddr.host_name != nullptr) {
        result = DuplicateText(def.payload.ipaddr.host_name, &payload.ipaddr.host_name);
      }
      break;
    case Zel_TYPE_STRUCTURE:
      result = ContainerInit(&value->record.nested, item->children);
      payload.structure = nullptr;
      break;
    default:
      result = Zel_EINVAL;
      break;
  }
  if (result != Zel_OK) {
    ValueRelease(value);
    return result;
  }
  *out = &value->record;
  return Zel_OK;
}

}  // namespace

ResultCode HandleValueFromDefault(ConfigHandle *handle, ItemDefinition *item, DataRecord **out) {
  return ValueFromDefault(item, &StateOf(handle)->values, out);
}

ResultCode StructureValueFromDefault(DataRecord *structure, ItemDefinition *item,
                                     DataRecord **out) {
  return ValueFromDefault(item, PoolOf(ValueFromRecord(structure)), out);
}

void HandleReleaseValues(ConfigHandle *handle) {
  // Every value at every depth is a slot of the pool: no walk of the tree.
  PoolRelease(&StateOf(handle)->values);
  ContainerReleaseBlock(&handle->data);
}

std::int64_t FindItemByName(const DataContainer *container, const char *name) {
  for (std::uint32_t i = 0; i < container->count; ++i) {
    const char *item_name = container->items[i]->name;
    if (item_name != nullptr && std::strcmp(item_name, name) == 0) return i;
  }
  return -1;
}

std::int64_t FindItemByPointer(const DataContainer *container, const ItemDefinition *item) {
  for (std::uint32_t i = 0; i < container->count; ++i) {
    if (container->items[i] == item) return i;
  }
  return -1;
}

}  // namespace qorvcfg
