// The values of a level in order, as a flat list of marks, walked with an
// explicit stack so that deep structures cost no call depth; and their
// printing as text and JSON.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "json_writer.h"
#include "levels.h"

namespace qorvcfg_tool {

enum class Mark { kItemBegin, kItemEnd, kScalar, kStructBegin, kStructEnd };

struct Event {
  Mark mark;
  int depth;
  const ItemDefinition *item;
  DataRecord *value;  // kScalar, kStructBegin, kStructEnd
  Level level;        // where item's values are held
  std::string path;   // the item's path without picks
};

// Puts the values of one item at one level in the order they are walked in.
class ValueOrder {
 public:
  virtual ~ValueOrder() = default;
  virtual void Arrange(const Level &level, const ItemDefinition *item,
                       std::vector<DataRecord *> *values) = 0;
};

// Every held item of top from item on, or, with given, only item with the
// values given. Values come in the library's listing order unless order
// arranges them.
std::vector<Event> Walk(const Level &top, const ItemDefinition *item,
                        const std::vector<DataRecord *> *given, ValueOrder *order = nullptr);

// Every value at every level, structures included.
std::size_t CountValues(const Level &top);

struct View {
  bool bare = false;       // the values of depth 0 print their text alone
  bool effective = false;  // an item without values shows its default, marked
};

// Values as text: "name = value" lines and structure blocks; a default
// shown for an item without values ends with "  (default)".
void PrintEvents(const std::vector<Event> &events, const View &view);

// Values as JSON: each item a key with an array of values, structure values
// objects of their items. With effective, an item without values holds its
// default as {"value": V, "default": true}.
void WriteEventsJson(JsonWriter &json, const std::vector<Event> &events, bool effective);

// {"value": V, "default": true} of the item's default.
std::string DefaultJson(const ItemDefinition *item);

// One "path=value" line per value, structures named by their identifier:
// "upstream[alpha]/port=8080".
void PrintList(const std::vector<Event> &events);

}  // namespace qorvcfg_tool
