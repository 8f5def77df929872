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

// Every held item of top from item on, or, with given, only item with the
// values given.
std::vector<Event> Walk(const Level &top, const ItemDefinition *item,
                        const std::vector<DataRecord *> *given);

// Every value at every level, structures included.
std::size_t CountValues(const Level &top);

// Values as text: "name = value" lines and structure blocks; with bare, the
// values of depth 0 print their text alone.
void PrintEvents(const std::vector<Event> &events, bool bare);

// Values as JSON: each item a key with an array of values, structure values
// objects of their items.
void WriteEventsJson(JsonWriter &json, const std::vector<Event> &events);

}  // namespace qorvcfg_tool
