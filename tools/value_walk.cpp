#include "value_walk.h"

#include <optional>
#include <utility>

#include "value_format.h"

namespace qorvcfg_tool {

std::vector<Event> Walk(const Level &top, const ItemDefinition *item,
                        const std::vector<DataRecord *> *given) {
  struct Frame {
    Level level;
    const ItemDefinition *item;
    std::vector<DataRecord *> values;
    std::size_t next;
    bool begun;
    bool single;
    int depth;
    std::string prefix;
  };
  std::vector<Event> events;
  std::vector<Frame> stack;
  stack.push_back({top, given ? item : NextHeld(item), given ? *given : std::vector<DataRecord *>{},
                   0, given != nullptr, given != nullptr, 0, ""});
  if (given) events.push_back({Mark::kItemBegin, 0, item, nullptr, top, item->name});
  while (!stack.empty()) {
    Frame &frame = stack.back();
    if (!frame.item) {
      stack.pop_back();
      if (!stack.empty()) {
        Frame &parent = stack.back();
        events.push_back({Mark::kStructEnd, parent.depth, parent.item,
                          parent.values[parent.next - 1], parent.level,
                          parent.prefix + parent.item->name});
      }
      continue;
    }
    const std::string path = frame.prefix + frame.item->name;
    if (!frame.begun) {
      frame.values = frame.level.Values(frame.item);
      frame.next = 0;
      frame.begun = true;
      events.push_back({Mark::kItemBegin, frame.depth, frame.item, nullptr, frame.level, path});
    } else if (frame.next < frame.values.size()) {
      DataRecord *value = frame.values[frame.next++];
      if (value->type == Zel_TYPE_STRUCTURE) {
        events.push_back({Mark::kStructBegin, frame.depth, frame.item, value, frame.level, path});
        Frame inner{frame.level.Inside(value, frame.item),
                    NextHeld(frame.item->children),
                    {},
                    0,
                    false,
                    false,
                    frame.depth + 1,
                    path + "/"};
        stack.push_back(std::move(inner));  // frame is not used after this
      } else {
        events.push_back({Mark::kScalar, frame.depth, frame.item, value, frame.level, path});
      }
    } else {
      events.push_back({Mark::kItemEnd, frame.depth, frame.item, nullptr, frame.level, path});
      frame.item = frame.single ? nullptr : NextHeld(frame.item->next);
      frame.begun = false;
    }
  }
  return events;
}

std::size_t CountValues(const Level &top) {
  std::size_t count = 0;
  for (const Event &event : Walk(top, top.items, nullptr)) {
    count += event.mark == Mark::kScalar || event.mark == Mark::kStructBegin;
  }
  return count;
}

void PrintEvents(const std::vector<Event> &events, bool bare) {
  for (const Event &event : events) {
    const std::string name = event.item->name;
    if (event.mark == Mark::kStructBegin) {
      std::optional<std::string> id = IdentifierText(event.level, event.item, event.value);
      Print(Indent(event.depth) + name + (id ? "[" + *id + "]" : "") + " {\n");
    } else if (event.mark == Mark::kStructEnd) {
      Print(Indent(event.depth) + "}\n");
    } else if (event.mark == Mark::kScalar) {
      const std::string text = PayloadText(event.value->type, event.value->payload);
      if (bare && event.depth == 0) {
        Print(text + "\n");
      } else if (event.value->type == Zel_TYPE_STRING) {
        Print(Indent(event.depth) + name + " = \"" + text + "\"\n");
      } else {
        Print(Indent(event.depth) + name + " = " + text + "\n");
      }
    }
  }
}

void WriteEventsJson(JsonWriter &json, const std::vector<Event> &events) {
  for (const Event &event : events) {
    switch (event.mark) {
      case Mark::kItemBegin:
        json.Key(event.item->name).Open('[');
        break;
      case Mark::kItemEnd:
        json.Close(']');
        break;
      case Mark::kScalar:
        json.Raw(PayloadJson(event.value->type, event.value->payload));
        break;
      case Mark::kStructBegin:
        json.Open('{');
        break;
      case Mark::kStructEnd:
        json.Close('}');
        break;
    }
  }
}

}  // namespace qorvcfg_tool
