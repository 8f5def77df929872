// Containers of values per level, values with typed payloads, and the list
// of values that belong to no container.
#include <cstring>

#include "api/text_copy.h"
#include "definition/definition.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {

void ContainerMakeEmpty(DataContainer *container) {
  container->next = container;
  container->prev = container;
  container->count = 0;
  container->items = nullptr;
  container->indexes = nullptr;
}

ResultCode ContainerInit(DataContainer *container, ItemDefinition *items) {
  std::uint32_t n = 0;
  for (const ItemDefinition *item = items; item != nullptr; item = item->next) ++n;
  if (n == 0) {
    ContainerMakeEmpty(container);
    return Zel_OK;
  }
  auto *item_array =
      static_cast<ItemDefinition **>(platform::Allocate(n * sizeof(ItemDefinition *)));
  auto *index_array = static_cast<ValueIndex **>(platform::Allocate(n * sizeof(ValueIndex *)));
  if (item_array == nullptr || index_array == nullptr) {
    platform::Free(item_array);
    platform::Free(index_array);
    return Zel_ENOMEM;
  }
  std::uint32_t created = 0;
  ResultCode result = Zel_OK;
  for (ItemDefinition *item = items; item != nullptr; item = item->next) {
    result = IndexCreate(&index_array[created], ValueCompare);
    if (result != Zel_OK) break;
    index_array[created]->flags = kIndexNodesInValues;
    item_array[created] = item;
    ++created;
  }
  if (result != Zel_OK) {
    while (created > 0) (void)IndexDestroy(index_array[--created], nullptr);
    platform::Free(item_array);
    platform::Free(index_array);
    return result;
  }
  container->next = container;
  container->prev = container;
  container->count = n;
  container->items = item_array;
  container->indexes = index_array;
  return Zel_OK;
}

namespace {

// Values waiting to be released, chained through links.next. Releasing a
// structure chains its nested values here instead of recursing, so any
// depth of nesting takes no stack.
class ReleaseQueue {
 public:
  void Push(DataValue *value) {
    value->links.next = reinterpret_cast<ListLinks *>(pending_);  // links come first
    pending_ = value;
  }
  // Chains every value of the container's list and frees its indexes and
  // arrays; the container is left empty with no items.
  void TakeContainer(DataContainer *container) {
    TakeValues(container);
    for (std::uint32_t i = 0; i < container->count; ++i) {
      ValueIndex *index = container->indexes[i];
      if (index == nullptr || index->tag != kIndexTagLive) continue;
      index->root = nullptr;  // its values are chained here
      index->count = 0;
      (void)IndexDestroy(index, nullptr);
    }
    platform::Free(container->items);
    platform::Free(container->indexes);
    container->items = nullptr;
    container->indexes = nullptr;
    container->count = 0;
  }
  // Chains every value of the container's list; the list becomes empty.
  void TakeValues(DataContainer *container) {
    ListLinks *head = ListHead(container);
    for (ListLinks *at = head->next; at != head;) {
      auto *value = reinterpret_cast<DataValue *>(at);
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
      pending_ = reinterpret_cast<DataValue *>(value->links.next);
      if (value->record.type == Zel_TYPE_STRUCTURE) TakeContainer(&value->record.nested);
      ReleasePayloadTexts(value->record.type, &value->record.payload);
      platform::Free(value);
    }
  }

 private:
  DataValue *pending_ = nullptr;
};

}  // namespace

void ContainerClear(DataContainer *container) {
  ReleaseQueue queue;
  queue.TakeContainer(container);
  queue.ReleaseAll();
}

void ContainerEmpty(DataContainer *container) {
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

void ValueUnlinkRelease(void *value) {
  auto *v = static_cast<DataValue *>(value);
  UnlinkValue(v);
  ValueRelease(v);
}

DataValue *NewValue(ItemDefinition *item, OrphanList *orphans) {
  auto *value = static_cast<DataValue *>(platform::AllocateZeroed(sizeof(DataValue)));
  if (value == nullptr) return nullptr;
  value->item = item;
  value->orphans = orphans;
  value->node.value = value;
  ContainerMakeEmpty(&value->record.nested);
  return value;
}

ResultCode ContainerInsertValue(DataContainer *container, std::uint32_t position,
                                DataValue *value) {
  const ResultCode result = IndexInsertNode(container->indexes[position], &value->node);
  if (result != Zel_OK) return result;
  OrphanRemove(value);
  LinkValue(container, value);
  return Zel_OK;
}

void LinkValue(DataContainer *container, DataValue *value) {
  ListLinks *head = ListHead(container);
  value->links.next = head;
  value->links.prev = head->prev;
  head->prev->next = &value->links;
  head->prev = &value->links;
  value->container = container;
}

ResultCode ValueFromDefault(ItemDefinition *item, OrphanList *orphans, DataRecord **out) {
  if (item == nullptr || out == nullptr) return Zel_EINVAL;
  DataValue *value = NewValue(item, orphans);
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
  OrphanPush(value);
  *out = &value->record;
  return Zel_OK;
}

// ---- Values that belong to no container -------------------------------------
// Pushing may happen on several threads at once (default creation is a
// query); removal and release happen only in calls that own the handle.
void OrphanPush(DataValue *value) {
  if (value->orphans == nullptr || value->in_orphans != 0) return;
  value->in_orphans = 1;
  value->orphan_prev = nullptr;
  DataValue *old = value->orphans->head.load(std::memory_order_acquire);
  do {
    value->orphan_next = old;
  } while (!value->orphans->head.compare_exchange_weak(old, value, std::memory_order_acq_rel,
                                                       std::memory_order_acquire));
  if (old != nullptr) old->orphan_prev = value;
}

void OrphanRemove(DataValue *value) {
  if (value->in_orphans == 0) return;
  if (value->orphan_prev != nullptr) {
    value->orphan_prev->orphan_next = value->orphan_next;
  } else {
    value->orphans->head.store(value->orphan_next, std::memory_order_release);
  }
  if (value->orphan_next != nullptr) value->orphan_next->orphan_prev = value->orphan_prev;
  value->orphan_next = nullptr;
  value->orphan_prev = nullptr;
  value->in_orphans = 0;
}

void OrphanReleaseAll(OrphanList *orphans) {
  DataValue *value = orphans->head.exchange(nullptr, std::memory_order_acq_rel);
  while (value != nullptr) {
    DataValue *next = value->orphan_next;
    ValueRelease(value);
    value = next;
  }
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
