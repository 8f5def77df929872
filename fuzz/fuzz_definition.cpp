// Input: a definition text. Builds a handle from it, then visits every item
// at every level: its default, a value made from the default and, for a
// structure, the items inside that value. Nothing may crash or leak, and what
// the functions report must agree with the handle's item tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/platform.h"

namespace qorvcfg::fuzz {
namespace {

// The first item of a level with this name: the one every lookup finds.
const ItemDefinition *FirstNamed(const ItemDefinition *first, const char *name) {
  for (const ItemDefinition *item = first; item != nullptr; item = item->next) {
    if (item->name != nullptr && std::strcmp(item->name, name) == 0) return item;
  }
  return nullptr;
}

// The content list of a level must name its items in definition order.
void CheckContentList(ResultCode result, const std::vector<ContentEntry> &entries,
                      std::uint32_t count, const ItemDefinition *first) {
  const std::vector<const ItemDefinition *> items = ItemsOf(first);
  if (items.empty()) {
    Check(result == Zel_EINVAL, "a level without items must be refused");
    return;
  }
  Check(result == Zel_OK, "content list of a level with items");
  Check(count == items.size(), "content list count");
  for (std::size_t i = 0; i < items.size() && i < entries.size(); ++i) {
    Check(entries[i].name == items[i]->name, "content list name is the item's own text");
    Check(entries[i].type == items[i]->type, "content list type");
  }
}

// One level to visit: a structure value made from a default (null for the
// top level) and the items of that level.
struct Level {
  DataRecord *value;
  const ItemDefinition *items;
};

void VisitLevel(ConfigHandle *handle, const Level &level, std::vector<Level> *pending) {
  for (const ItemDefinition *item = level.items; item != nullptr; item = item->next) {
    if (item->name == nullptr) continue;
    const ItemDefinition *found = FirstNamed(level.items, item->name);
    const DefaultRecord *default_record = nullptr;
    DataRecord *value = nullptr;
    ResultCode got;
    ResultCode created;
    if (level.value == nullptr) {
      got = Zel_DataDefaultGet(handle, item->name, &default_record);
      created = Zel_DataDefaultCreate(handle, item->name, &value);
    } else {
      got = Zel_DataDefaultGetFromData(level.value, item->name, &default_record);
      created = Zel_DataDefaultCreateFromData(level.value, item->name, &value);
    }
    Check(got == Zel_OK, std::string("default of ") + item->name);
    Check(default_record == &found->default_value, "the default is the first item's own");
    Check(default_record->type == found->type, "default type is the item's type");
    if (created == Zel_EINVAL) {
      // A word-less enumeration has no default, nor has a string item whose
      // default of minimum blanks could not be allocated.
      const bool textless =
          found->type == Zel_TYPE_STRING && found->default_value.payload.text == nullptr;
      Check(found->type == Zel_TYPE_ENUMERATION || found->type == Zel_TYPE_NONE || textless,
            std::string("only an item without a default text has no default: ") + item->name);
      continue;
    }
    Check(created == Zel_OK, std::string("value from the default of ") + item->name);
    Check(value->type == found->type, "a new value has its item's type");
    std::uint32_t count = 0;
    if (level.value == nullptr) {
      Check(Zel_DataGet(handle, item->name, nullptr, &count) == Zel_OK && count == 0,
            "a fresh handle holds no values");
    } else {
      Check(Zel_DataGetFromData(level.value, item->name, nullptr, &count) == Zel_OK && count == 0,
            "a fresh structure holds no values");
    }
    if (found->type == Zel_TYPE_STRUCTURE && found == item) {
      std::vector<ContentEntry> entries(8);
      count = static_cast<std::uint32_t>(entries.size());
      const ResultCode listed = Zel_ContentListGetFromData(value, entries.data(), &count);
      CheckContentList(listed, entries, count, found->children);
      pending->push_back({value, found->children});
    }
  }
}

}  // namespace
}  // namespace qorvcfg::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace qorvcfg::fuzz;
  static ScratchFile definition("definition.xml");
  definition.Write(data, size);

  const std::int64_t live_before = qorvcfg::platform::LiveAllocations();
  ConfigHandle *handle = nullptr;
  const ResultCode created = Zel_ConfigCreate(definition.path(), &handle);
  if (created != Zel_OK) {
    Check(handle == nullptr, "no handle after a failed create");
    Check(qorvcfg::platform::LiveAllocations() == live_before, "a failed create left blocks");
    return 0;
  }
  std::vector<ContentEntry> entries(8);
  std::uint32_t count = static_cast<std::uint32_t>(entries.size());
  const ResultCode listed = Zel_ContentListGet(handle, entries.data(), &count);
  CheckContentList(listed, entries, count, handle->items);

  // Explicit stack: definitions may nest as deep as the input allows.
  std::vector<Level> pending{{nullptr, handle->items}};
  while (!pending.empty()) {
    const Level level = pending.back();
    pending.pop_back();
    VisitLevel(handle, level, &pending);
  }

  // A read of an empty configuration builds the data grammar of every level.
  const ResultCode read = Zel_ConfigReadFromData("<config></config>", handle);
  Check(read == Zel_OK || read == Zel_ENOMEM, "reading an empty configuration");
  Zel_ConfigDestroy(handle);
  Check(qorvcfg::platform::LiveAllocations() == live_before, "destroying left blocks behind");
  return 0;
}
