// Adding, changing and deleting values, each checked against its item.
#include <cstring>

#include "api/text_copy.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

bool LengthOutside(const char *text, const ItemDefinition *item) {
  const auto length = static_cast<std::int64_t>(static_cast<std::uint32_t>(std::strlen(text)));
  return length < item->minimum || length > item->maximum;
}

// Zel_OK when text is one of the item's words; Zel_EINVAL otherwise.
ResultCode CheckKeyword(const char *text, const ItemDefinition *item) {
  if (item->entries == nullptr || text == nullptr) return Zel_EINVAL;
  for (const KeywordEntry *e = item->entries; e != nullptr; e = e->next) {
    if (std::strcmp(e->keyword, text) == 0) return Zel_OK;
  }
  return Zel_EINVAL;
}

bool IsValueType(ItemType type) { return type >= Zel_TYPE_INTEGER && type <= Zel_TYPE_STRUCTURE; }

}  // namespace

ResultCode ContainerAddValue(DataContainer *container, DataRecord *record) {
  if (container == nullptr || record == nullptr) return Zel_EINVAL;
  DataValue *value = ValueFromRecord(record);
  const ItemDefinition *item = value->item;
  const std::int64_t position = FindItemByPointer(container, item);
  if (position < 0) return Zel_EFOREIGN;
  if (!IsValueType(record->type)) return Zel_EINVAL;
  switch (record->type) {
    case Zel_TYPE_INTEGER:
      if (record->payload.integer < item->minimum || record->payload.integer > item->maximum) {
        return Zel_ERANGE;
      }
      break;
    case Zel_TYPE_STRING:
      if (record->payload.text == nullptr) return Zel_EINVAL;
      if (LengthOutside(record->payload.text, item)) return Zel_ERANGE;
      break;
    case Zel_TYPE_ENUMERATION:
      if (CheckKeyword(record->payload.keyword, item) != Zel_OK) return Zel_EINVAL;
      break;
    default:
      break;
  }
  ValueIndex *index = container->indexes[position];
  const std::uint32_t present =
      (index != nullptr && index->tag == kIndexTagLive) ? index->count : 0;
  if (item->number != 0 && present >= item->number) return Zel_ERANGE;
  // A value linked here already compares equal to itself; one linked in
  // another container of the same items must not be taken from there.
  if (IsLinked(value)) return Zel_EEXIST;
  const ResultCode inserted = IndexInsert(index, value);
  if (inserted != Zel_OK) return inserted;
  OrphanRemove(value);
  LinkValue(container, value);
  return Zel_OK;
}

ResultCode ContainerChangeValue(DataContainer *container, DataRecord *record,
                                const void *new_data) {
  if (container == nullptr || record == nullptr) return Zel_EINVAL;
  DataValue *value = ValueFromRecord(record);
  const ItemDefinition *item = value->item;
  const std::int64_t position = FindItemByPointer(container, item);
  if (position < 0) return Zel_EFOREIGN;
  if (!IsValueType(record->type)) return Zel_EINVAL;
  if (new_data == nullptr && record->type != Zel_TYPE_STRUCTURE) return Zel_EINVAL;

  // Check and copy first: up to the swap nothing changes.
  DataPayload fresh{};
  switch (record->type) {
    case Zel_TYPE_INTEGER:
      std::memcpy(&fresh.integer, new_data, sizeof(std::int64_t));
      if (fresh.integer < item->minimum || fresh.integer > item->maximum) return Zel_ERANGE;
      break;
    case Zel_TYPE_STRING: {
      const auto *text = static_cast<const char *>(new_data);
      if (LengthOutside(text, item)) return Zel_ERANGE;
      if (DuplicateText(text, &fresh.text) != Zel_OK) return Zel_ENOMEM;
      break;
    }
    case Zel_TYPE_BOOLEAN:
      std::memcpy(&fresh.boolean, new_data, sizeof(std::uint32_t));
      break;
    case Zel_TYPE_IPADDR: {
      std::memcpy(&fresh.ipaddr, new_data, sizeof(IpAddressValue));
      const char *host = fresh.ipaddr.host_name;
      fresh.ipaddr.host_name = nullptr;
      if (host != nullptr && DuplicateText(host, &fresh.ipaddr.host_name) != Zel_OK) {
        return Zel_ENOMEM;
      }
      break;
    }
    case Zel_TYPE_ENUMERATION: {
      const auto *text = static_cast<const char *>(new_data);
      if (CheckKeyword(text, item) != Zel_OK) return Zel_EINVAL;
      if (DuplicateText(text, &fresh.keyword) != Zel_OK) return Zel_ENOMEM;
      break;
    }
    case Zel_TYPE_STRUCTURE:
      fresh.structure = const_cast<void *>(new_data);
      break;
    default:
      break;
  }

  ValueIndex *index = container->indexes[position];
  const bool linked = IsLinked(value);
  if (linked) (void)IndexRemove(index, value);
  DataPayload &payload = record->payload;
  switch (record->type) {
    case Zel_TYPE_STRING:
      platform::Free(payload.text);
      break;
    case Zel_TYPE_ENUMERATION:
      platform::Free(payload.keyword);
      break;
    case Zel_TYPE_IPADDR:
      platform::Free(payload.ipaddr.host_name);
      break;
    default:
      break;
  }
  payload = fresh;
  if (!linked) return Zel_OK;
  const ResultCode inserted = IndexInsert(index, value);
  if (inserted != Zel_OK) {
    // The value leaves the container and now belongs to the caller.
    UnlinkValue(value);
    OrphanPush(value);
    return inserted;
  }
  return Zel_OK;
}

ResultCode ContainerDeleteValue(DataContainer *container, DataRecord *record) {
  if (container == nullptr || record == nullptr) return Zel_EINVAL;
  DataValue *value = ValueFromRecord(record);
  const std::int64_t position = FindItemByPointer(container, value->item);
  if (position < 0) return Zel_EFOREIGN;
  if (!IsLinked(value)) return Zel_OK;
  (void)IndexRemove(container->indexes[position], value);
  UnlinkValue(value);
  OrphanPush(value);
  return Zel_OK;
}

}  // namespace qorvcfg
