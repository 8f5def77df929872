// Adding, changing and deleting values, each checked against its item.
#include <cstring>

#include "base/text_copy.h"
#include "definition/definition.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

// Finds the index of the value's item in this container: Zel_EFOREIGN when
// the item is not one of the container's, Zel_EINVAL for a type outside 1-6.
ResultCode Locate(DataContainer *container, DataRecord *record, DataValue **value,
                  ValueIndex **index, std::uint32_t *position_out = nullptr) {
  if (container == nullptr || record == nullptr) return Zel_EINVAL;
  *value = ValueFromRecord(record);
  const std::int64_t position = FindItemByPointer(container, (*value)->item);
  if (position < 0) return Zel_EFOREIGN;
  if (record->type < Zel_TYPE_INTEGER || record->type > Zel_TYPE_STRUCTURE) return Zel_EINVAL;
  *index = container->indexes[position];
  if (position_out != nullptr) *position_out = static_cast<std::uint32_t>(position);
  return Zel_OK;
}

// Checks contents of the given type against the item: integers within the
// bounds, string lengths within them, enumeration words from the list.
ResultCode CheckContents(ItemType type, const DataPayload &contents, const ItemDefinition *item) {
  switch (type) {
    case Zel_TYPE_INTEGER:
      return contents.integer < item->minimum || contents.integer > item->maximum ? Zel_ERANGE
                                                                                  : Zel_OK;
    case Zel_TYPE_STRING: {
      if (contents.text == nullptr) return Zel_EINVAL;
      const auto length =
          static_cast<std::int64_t>(static_cast<std::uint32_t>(std::strlen(contents.text)));
      return length < item->minimum || length > item->maximum ? Zel_ERANGE : Zel_OK;
    }
    case Zel_TYPE_ENUMERATION:
      if (contents.keyword == nullptr) return Zel_EINVAL;
      for (const KeywordEntry *e = item->entries; e != nullptr; e = e->next) {
        if (std::strcmp(e->keyword, contents.keyword) == 0) return Zel_OK;
      }
      return Zel_EINVAL;
    default:
      return Zel_OK;
  }
}

// The caller's new data seen as a payload; texts and host names borrowed.
DataPayload ProposedContents(ItemType type, const void *new_data) {
  DataPayload proposed{};
  switch (type) {
    case Zel_TYPE_INTEGER:
      std::memcpy(&proposed.integer, new_data, sizeof proposed.integer);
      break;
    case Zel_TYPE_BOOLEAN:
      std::memcpy(&proposed.boolean, new_data, sizeof proposed.boolean);
      break;
    case Zel_TYPE_IPADDR:
      std::memcpy(&proposed.ipaddr, new_data, sizeof proposed.ipaddr);
      break;
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      proposed.text = static_cast<char *>(const_cast<void *>(new_data));
      break;
    default:
      proposed.structure = const_cast<void *>(new_data);
      break;
  }
  return proposed;
}

// Replaces borrowed texts of contents by private copies; false when memory
// ran out (nothing is then held).
bool CopyTexts(ItemType type, DataPayload *contents) {
  char **text = nullptr;
  if (type == Zel_TYPE_STRING || type == Zel_TYPE_ENUMERATION) {
    text = &contents->text;
  } else if (type == Zel_TYPE_IPADDR) {
    text = &contents->ipaddr.host_name;
  }
  if (text == nullptr || *text == nullptr) return true;
  return DuplicateText(*text, text) == Zel_OK;
}

// A value may be acted on only where it lives: a value linked into another
// container (a sibling structure of the same item) is refused here.
bool LinkedElsewhere(const DataValue *value, const DataContainer *container) {
  return value->container != nullptr && value->container != container;
}

}  // namespace

ResultCode ContainerAddValue(DataContainer *container, DataRecord *record) {
  DataValue *value = nullptr;
  ValueIndex *index = nullptr;
  std::uint32_t position = 0;
  ResultCode result = Locate(container, record, &value, &index, &position);
  if (result == Zel_OK) result = CheckContents(record->type, record->payload, value->item);
  if (result != Zel_OK) return result;
  const std::uint32_t present =
      (index != nullptr && index->tag == kIndexTagLive) ? index->count : 0;
  if (value->item->number != 0 && present >= value->item->number) return Zel_ERANGE;
  // A value linked here compares equal to itself.
  if (value->container == container) return Zel_EEXIST;
  if (LinkedElsewhere(value, container)) return Zel_EFOREIGN;
  return ContainerInsertHeldValue(container, position, value);
}

ResultCode ContainerChangeValue(DataContainer *container, DataRecord *record,
                                const void *new_data) {
  DataValue *value = nullptr;
  ValueIndex *index = nullptr;
  ResultCode result = Locate(container, record, &value, &index);
  if (result != Zel_OK) return result;
  if (LinkedElsewhere(value, container)) return Zel_EFOREIGN;
  if (new_data == nullptr && record->type != Zel_TYPE_STRUCTURE) return Zel_EINVAL;

  // Check and copy first: up to the swap nothing changes.
  DataPayload fresh = ProposedContents(record->type, new_data);
  result = CheckContents(record->type, fresh, value->item);
  if (result != Zel_OK) return result;
  if (!CopyTexts(record->type, &fresh)) return Zel_ENOMEM;

  const bool linked = IsLinked(value);
  if (linked) (void)IndexRemoveNode(index, &value->node);
  ReleaseOwnedTexts(record);
  record->payload = fresh;
  if (!linked) return Zel_OK;
  result = IndexInsertNode(index, &value->node);
  if (result != Zel_OK) {
    // The value leaves the container and now belongs to the caller.
    UnlinkValue(value);
  }
  return result;
}

ResultCode ContainerDeleteValue(DataContainer *container, DataRecord *record) {
  if (container == nullptr || record == nullptr) return Zel_EINVAL;
  DataValue *value = ValueFromRecord(record);
  const std::int64_t position = FindItemByPointer(container, value->item);
  if (position < 0) return Zel_EFOREIGN;
  if (!IsLinked(value)) return Zel_OK;
  if (LinkedElsewhere(value, container)) return Zel_EFOREIGN;
  (void)IndexRemoveNode(container->indexes[position], &value->node);
  UnlinkValue(value);
  return Zel_OK;
}

ResultCode StructureAddValue(DataRecord *structure, DataRecord *record) {
  IndexMembersChanging(structure);
  return ContainerAddValue(&structure->nested, record);
}

ResultCode StructureChangeValue(DataRecord *structure, DataRecord *record, const void *new_data) {
  IndexMembersChanging(structure);
  return ContainerChangeValue(&structure->nested, record, new_data);
}

ResultCode StructureDeleteValue(DataRecord *structure, DataRecord *record) {
  IndexMembersChanging(structure);
  return ContainerDeleteValue(&structure->nested, record);
}

}  // namespace qorvcfg
