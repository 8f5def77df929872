// The exported functions: argument checks in their fixed order, then the
// work of the store and the writer.
#include "store/store.h"
#include "writer/writer.h"

using namespace qorvcfg;

namespace {

constexpr std::uint32_t kModeFile = 1;
constexpr std::uint32_t kModeText = 2;

ItemDefinition *FindTopLevelItem(ConfigHandle *handle, const char *name) {
  const std::int64_t position = FindItemByName(&handle->data, name);
  return position < 0 ? nullptr : handle->data.items[position];
}

ItemDefinition *FindChildItem(DataRecord *record, const char *name) {
  const std::int64_t position = FindItemByName(&record->nested, name);
  return position < 0 ? nullptr : record->nested.items[position];
}

// Fills entries from a chain of items and reports the chain's length.
ResultCode ListItems(const ItemDefinition *first, ContentEntry *entries, std::uint32_t *count) {
  if (first == nullptr) return Zel_EINVAL;
  const std::uint32_t capacity = entries != nullptr ? *count : 0;
  std::uint32_t total = 0;
  for (const ItemDefinition *item = first; item != nullptr; item = item->next) {
    if (total < capacity) {
      entries[total].name = item->name;
      entries[total].type = item->type;
    }
    ++total;
  }
  *count = total;
  return Zel_OK;
}

}  // namespace

extern "C" {

QORVCFG_API ResultCode Zel_ConfigRead(const char *path, ConfigHandle *handle) {
  if (path == nullptr || handle == nullptr) return Zel_EINVAL;
  return ReadConfig(kModeFile, path, handle);
}

QORVCFG_API ResultCode Zel_ConfigReadFromData(const char *text, ConfigHandle *handle) {
  if (text == nullptr || handle == nullptr) return Zel_EINVAL;
  return ReadConfig(kModeText, text, handle);
}

QORVCFG_API ResultCode Zel_ConfigWrite(const char *path, ConfigHandle *handle) {
  if (path == nullptr || handle == nullptr) return Zel_EINVAL;
  return WriteConfigFile(path, &handle->data);
}

QORVCFG_API ResultCode Zel_ContentListGet(ConfigHandle *handle, ContentEntry *entries,
                                          std::uint32_t *count) {
  if (handle == nullptr || count == nullptr) return Zel_EINVAL;
  return ListItems(handle->items, entries, count);
}

// Lists the structure's child items, like every other function that takes a
// structure's record.
QORVCFG_API ResultCode Zel_ContentListGetFromData(DataRecord *record, ContentEntry *entries,
                                                  std::uint32_t *count) {
  if (record == nullptr || count == nullptr) return Zel_EINVAL;
  const DataContainer &nested = record->nested;
  return ListItems(nested.count != 0 ? nested.items[0] : nullptr, entries, count);
}

QORVCFG_API ResultCode Zel_DataGet(ConfigHandle *handle, const char *name, DataRecord **records,
                                   std::uint32_t *count) {
  if (handle == nullptr || name == nullptr || count == nullptr) return Zel_EINVAL;
  return ContainerGetValues(&handle->data, name, records, count);
}

QORVCFG_API ResultCode Zel_DataGetFromData(DataRecord *record, const char *name,
                                           DataRecord **records, std::uint32_t *count) {
  if (record == nullptr || name == nullptr || count == nullptr) return Zel_EINVAL;
  if (record->type != Zel_TYPE_STRUCTURE) return Zel_ENOTFOUND;
  return ContainerGetValues(&record->nested, name, records, count);
}

QORVCFG_API ResultCode Zel_DataDefaultGet(ConfigHandle *handle, const char *name,
                                          const DefaultRecord **default_out) {
  if (handle == nullptr || name == nullptr || default_out == nullptr) return Zel_EINVAL;
  ItemDefinition *item = FindTopLevelItem(handle, name);
  if (item == nullptr) return Zel_ENOTFOUND;
  *default_out = &item->default_value;
  return Zel_OK;
}

QORVCFG_API ResultCode Zel_DataDefaultGetFromData(DataRecord *record, const char *name,
                                                  const DefaultRecord **default_out) {
  if (record == nullptr || name == nullptr || default_out == nullptr ||
      record->type != Zel_TYPE_STRUCTURE) {
    return Zel_EINVAL;
  }
  ItemDefinition *item = FindChildItem(record, name);
  if (item == nullptr) return Zel_ENOTFOUND;
  *default_out = &item->default_value;
  return Zel_OK;
}

QORVCFG_API ResultCode Zel_DataDefaultCreate(ConfigHandle *handle, const char *name,
                                             DataRecord **value_out) {
  if (handle == nullptr || name == nullptr || value_out == nullptr) return Zel_EINVAL;
  ItemDefinition *item = FindTopLevelItem(handle, name);
  if (item == nullptr) return Zel_ENOTFOUND;
  return HandleValueFromDefault(handle, item, value_out);
}

QORVCFG_API ResultCode Zel_DataDefaultCreateFromData(DataRecord *record, const char *name,
                                                     DataRecord **value_out) {
  if (record == nullptr || name == nullptr || value_out == nullptr ||
      record->type != Zel_TYPE_STRUCTURE) {
    return Zel_EINVAL;
  }
  ItemDefinition *item = FindChildItem(record, name);
  if (item == nullptr) return Zel_ENOTFOUND;
  return StructureValueFromDefault(record, item, value_out);
}

QORVCFG_API ResultCode Zel_DataChange(ConfigHandle *handle, DataRecord *value,
                                      const void *new_value) {
  if (handle == nullptr) return Zel_EINVAL;
  return ContainerChangeValue(&handle->data, value, new_value);
}

QORVCFG_API ResultCode Zel_DataChangeToData(DataRecord *parent, DataRecord *value,
                                            const void *new_value) {
  if (parent == nullptr) return Zel_EINVAL;
  return StructureChangeValue(parent, value, new_value);
}

QORVCFG_API ResultCode Zel_DataAdd(ConfigHandle *handle, DataRecord *value) {
  if (handle == nullptr) return Zel_EINVAL;
  return ContainerAddValue(&handle->data, value);
}

QORVCFG_API ResultCode Zel_DataAddToData(DataRecord *parent, DataRecord *value) {
  if (parent == nullptr) return Zel_EINVAL;
  return StructureAddValue(parent, value);
}

QORVCFG_API ResultCode Zel_DataDel(ConfigHandle *handle, DataRecord *value) {
  if (handle == nullptr) return Zel_EINVAL;
  return ContainerDeleteValue(&handle->data, value);
}

QORVCFG_API ResultCode Zel_DataDelFromData(DataRecord *parent, DataRecord *value) {
  if (parent == nullptr) return Zel_EINVAL;
  return StructureDeleteValue(parent, value);
}

}  // extern "C"
