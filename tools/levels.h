// Handles, the levels of values inside them, and the items of a definition
// as data sees them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qorvcfg.h"

namespace qorvcfg_tool {

struct HandleCloser {
  void operator()(ConfigHandle *handle) const { Zel_ConfigDestroy(handle); }
};
using Handle = std::unique_ptr<ConfigHandle, HandleCloser>;

// One level of values: the top of a handle, or the inside of a structure
// value. Every operation goes to the plain or the FromData/ToData form.
struct Level {
  ConfigHandle *handle = nullptr;
  DataRecord *record = nullptr;  // the structure value, or null for the top
  const ItemDefinition *items = nullptr;

  // The values of item at this level, in the library's listing order.
  std::vector<DataRecord *> Values(const ItemDefinition *item) const;
  // A new value of item with its default, not added yet.
  DataRecord *Create(const ItemDefinition *item) const;
  ResultCode Change(DataRecord *value, const void *contents) const;
  ResultCode Add(DataRecord *value) const;
  ResultCode Del(DataRecord *value) const;
  Level Inside(DataRecord *structure, const ItemDefinition *item) const {
    return Level{handle, structure, item->children};
  }
};

inline Level TopLevel(ConfigHandle *handle) { return Level{handle, nullptr, handle->items}; }

const ItemDefinition *FindItem(const ItemDefinition *items, const std::string &name);

// The first child item that identifies a structure's values, or null.
const ItemDefinition *IdentifierItem(const ItemDefinition *structure);

// Items that data can hold: named and typed.
inline bool Holds(const ItemDefinition *item) { return item->name && item->type != Zel_TYPE_NONE; }

// item, or the first held item after it; null when none.
const ItemDefinition *NextHeld(const ItemDefinition *item);

// "listen, port, ..." of the held items; "none" when there are none.
std::string ItemNames(const ItemDefinition *items);

// The text of the identifier of a structure value of item, if it has one.
std::optional<std::string> IdentifierText(const Level &level, const ItemDefinition *item,
                                          DataRecord *value);

// The items of a definition in tree order with their depth and path; the
// children of structure items only, as data sees them.
struct ItemPlace {
  const ItemDefinition *item;
  int depth;
  std::string path;
};

std::vector<ItemPlace> ItemsInOrder(const ItemDefinition *first);

// Why every read into a handle of this definition answers Zel_ENOMEM: it
// has no items, or a structure without child items; empty when neither.
std::string UnreadableDefinition(const ItemDefinition *items);

// Whether the item's default is a value it could hold.
bool HasDefault(const ItemDefinition *item);

}  // namespace qorvcfg_tool

namespace qorvcfg_tool {

// The held item of items whose name is closest to name (fewest single-byte
// edits, and at most a third of the name's length, or 2), or null.
const ItemDefinition *ClosestItem(const ItemDefinition *items, const std::string &name);

}  // namespace qorvcfg_tool
