// What one change does to the text of a data file: the values of a handle
// before and after the change, compared value by value, become patches of
// the text the handle was read from, placed by where each value came from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "session.h"
#include "text_patch.h"

namespace qorvcfg_tool {

// Where a value's element stands, and the structure value holding it (null
// at the top level).
struct ValuePlace {
  ElementSpan span;
  const DataRecord *parent = nullptr;
};

// A handle read from a text, with the place of every value and of the root
// element (none when the text holds no element).
struct PlacedRead {
  Session session;
  ResultCode result = Zel_OK;  // of reading the data
  std::unordered_map<const DataRecord *, ValuePlace> places;
  std::optional<ElementSpan> root;
};

// Reads the definition (failing when it cannot be read) and then text, which
// holds no zero byte, named name in what the read reports.
PlacedRead ReadPlaced(const std::string &definition, const std::string &name,
                      const std::string &text);

// Every value of a handle in one text, the same for two handles exactly
// when they hold the same values: items in definition order, the values of
// each item sorted, structures by what they hold.
std::string ValuesDump(ConfigHandle *handle);

// The values of a handle one by one, with where each one is held.
class ValueSnapshot {
 public:
  explicit ValueSnapshot(ConfigHandle *handle);

  struct Entry {
    DataRecord *value;
    const ItemDefinition *item;
    Level level;        // where the value is held
    std::string exact;  // a scalar's type and payload, byte for byte
  };
  [[nodiscard]] const std::vector<Entry> &Entries() const { return entries_; }
  [[nodiscard]] const Entry *Find(const DataRecord *value) const;

 private:
  std::vector<Entry> entries_;
  std::unordered_map<const DataRecord *, std::size_t> at_;
};

// The patches that turn text, read as read, into a text that holds the
// values of read's handle now, which a change made from those of before.
// A new value's text is one of typed when that reads back to the same
// value, else the writer's form of it. A value without a place throws.
std::vector<TextPatch> PlanPatches(const PlacedRead &read, const ValueSnapshot &before,
                                   std::string_view text, const std::vector<std::string> &typed);

}  // namespace qorvcfg_tool
