#include "levels.h"

#include <algorithm>

#include "tool.h"
#include "value_format.h"

namespace qorvcfg_tool {

std::vector<DataRecord *> Level::Values(const ItemDefinition *item) const {
  uint32_t count = 0;
  ResultCode result = record ? Zel_DataGetFromData(record, item->name, nullptr, &count)
                             : Zel_DataGet(handle, item->name, nullptr, &count);
  Check(result, std::string("listing ") + item->name);
  std::vector<DataRecord *> values(count);
  while (count > 0) {
    values.resize(count);
    result = record ? Zel_DataGetFromData(record, item->name, values.data(), &count)
                    : Zel_DataGet(handle, item->name, values.data(), &count);
    Check(result, std::string("listing ") + item->name);
    if (count <= values.size()) break;
  }
  values.resize(count);
  return values;
}

DataRecord *Level::Create(const ItemDefinition *item) const {
  DataRecord *value = nullptr;
  Check(record ? Zel_DataDefaultCreateFromData(record, item->name, &value)
               : Zel_DataDefaultCreate(handle, item->name, &value),
        std::string("making a value of ") + item->name);
  return value;
}

ResultCode Level::Change(DataRecord *value, const void *contents) const {
  return record ? Zel_DataChangeToData(record, value, contents)
                : Zel_DataChange(handle, value, contents);
}

ResultCode Level::Add(DataRecord *value) const {
  return record ? Zel_DataAddToData(record, value) : Zel_DataAdd(handle, value);
}

ResultCode Level::Del(DataRecord *value) const {
  return record ? Zel_DataDelFromData(record, value) : Zel_DataDel(handle, value);
}

const ItemDefinition *FindItem(const ItemDefinition *items, const std::string &name) {
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (item->name && name == item->name) return item;
  }
  return nullptr;
}

const ItemDefinition *IdentifierItem(const ItemDefinition *structure) {
  for (const ItemDefinition *child = structure->children; child; child = child->next) {
    if (child->identifier) return child;
  }
  return nullptr;
}

const ItemDefinition *NextHeld(const ItemDefinition *item) {
  while (item && !Holds(item)) item = item->next;
  return item;
}

std::string ItemNames(const ItemDefinition *items) {
  std::string names;
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (!Holds(item)) continue;
    names += (names.empty() ? "" : ", ") + std::string(item->name);
  }
  return names.empty() ? "none" : names;
}

std::optional<std::string> IdentifierText(const Level &level, const ItemDefinition *item,
                                          DataRecord *value) {
  const ItemDefinition *id = IdentifierItem(item);
  if (!id) return std::nullopt;
  std::vector<DataRecord *> ids = level.Inside(value, item).Values(id);
  if (ids.empty()) return std::nullopt;
  return PayloadText(ids.front()->type, ids.front()->payload);
}

std::vector<ItemPlace> ItemsInOrder(const ItemDefinition *first) {
  std::vector<ItemPlace> places;
  std::vector<ItemPlace> pending;  // a stack, next sibling on top
  std::vector<const ItemDefinition *> level;
  auto push_level = [&](const ItemDefinition *items, int depth, const std::string &prefix) {
    level.clear();
    for (const ItemDefinition *item = items; item; item = item->next) level.push_back(item);
    for (std::size_t i = level.size(); i-- > 0;) {
      pending.push_back({level[i], depth, prefix + (level[i]->name ? level[i]->name : "")});
    }
  };
  push_level(first, 0, "");
  while (!pending.empty()) {
    ItemPlace place = pending.back();
    pending.pop_back();
    places.push_back(place);
    if (place.item->type == Zel_TYPE_STRUCTURE) {
      push_level(place.item->children, place.depth + 1, place.path + "/");
    }
  }
  return places;
}

std::string UnreadableDefinition(const ItemDefinition *items) {
  if (!items) return "the definition has no items, so no data can be read (is it a data file?)";
  for (const ItemPlace &place : ItemsInOrder(items)) {
    if (place.item->type == Zel_TYPE_STRUCTURE && !place.item->children) {
      return "structure " + place.path +
             " of the definition has no child items, so no data can be read";
    }
  }
  return "";
}

bool HasDefault(const ItemDefinition *item) {
  const DataPayload &payload = item->default_value.payload;
  switch (item->type) {
    case Zel_TYPE_INTEGER:
    case Zel_TYPE_BOOLEAN:
      return true;
    case Zel_TYPE_STRING:
      return payload.text != nullptr;
    case Zel_TYPE_ENUMERATION:
      return payload.keyword != nullptr;
    case Zel_TYPE_IPADDR:
      return payload.ipaddr.form != 0;
    default:
      return false;
  }
}

}  // namespace qorvcfg_tool

namespace qorvcfg_tool {
namespace {

std::size_t EditDistance(const std::string &a, const std::string &b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

const ItemDefinition *ClosestItem(const ItemDefinition *items, const std::string &name) {
  const std::size_t limit = std::max<std::size_t>(2, name.size() / 3);
  const ItemDefinition *best = nullptr;
  std::size_t best_distance = limit + 1;
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (!Holds(item)) continue;
    const std::size_t distance = EditDistance(name, item->name);
    if (distance < best_distance) best = item, best_distance = distance;
  }
  return best;
}

}  // namespace qorvcfg_tool
