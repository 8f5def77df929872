#include "value_walk.h"

#include <optional>
#include <utility>

#include "value_format.h"

namespace qorvcfg_tool {

std::vector<Event> Walk(const Level &top, const ItemDefinition *item,
                        const std::vector<DataRecord *> *given, ValueOrder *order) {
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
      if (order) order->Arrange(frame.level, frame.item, &frame.values);
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

namespace {

// Whether events[i], an item's end, follows its begin: the item has no values.
bool EmptyItem(const std::vector<Event> &events, std::size_t i) {
  return i > 0 && events[i - 1].mark == Mark::kItemBegin && events[i - 1].item == events[i].item;
}

bool ShowsDefault(const std::vector<Event> &events, std::size_t i, bool effective) {
  return effective && events[i].mark == Mark::kItemEnd && EmptyItem(events, i) &&
         HasDefault(events[i].item);
}

std::string ValueLine(int depth, const std::string &name, ItemType type, const std::string &text) {
  return Indent(depth) + name + " = " + (type == Zel_TYPE_STRING ? "\"" + text + "\"" : text);
}

}  // namespace

void PrintEvents(const std::vector<Event> &events, const View &view) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event &event = events[i];
    const std::string name = event.item->name;
    if (ShowsDefault(events, i, view.effective)) {
      const DefaultRecord &value = event.item->default_value;
      const std::string text = PayloadText(value.type, value.payload);
      Print(ValueLine(event.depth, name, value.type, text) + "  (default)\n");
    } else if (event.mark == Mark::kStructBegin) {
      std::optional<std::string> id = IdentifierText(event.level, event.item, event.value);
      Print(Indent(event.depth) + name + (id ? "[" + *id + "]" : "") + " {\n");
    } else if (event.mark == Mark::kStructEnd) {
      Print(Indent(event.depth) + "}\n");
    } else if (event.mark == Mark::kScalar) {
      const std::string text = PayloadText(event.value->type, event.value->payload);
      if (view.bare && event.depth == 0) {
        Print(text + "\n");
      } else {
        Print(ValueLine(event.depth, name, event.value->type, text) + "\n");
      }
    }
  }
}

std::string DefaultJson(const ItemDefinition *item) {
  const DefaultRecord &value = item->default_value;
  return "{\"value\":" + PayloadJson(value.type, value.payload) + ",\"default\":true}";
}

void WriteEventsJson(JsonWriter &json, const std::vector<Event> &events, bool effective) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event &event = events[i];
    switch (event.mark) {
      case Mark::kItemBegin:
        json.Key(event.item->name).Open('[');
        break;
      case Mark::kItemEnd:
        if (ShowsDefault(events, i, effective)) json.Raw(DefaultJson(event.item));
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

void PrintList(const std::vector<Event> &events) {
  std::vector<std::string> prefixes{""};
  for (const Event &event : events) {
    if (event.mark == Mark::kStructBegin) {
      std::optional<std::string> id = IdentifierText(event.level, event.item, event.value);
      prefixes.push_back(prefixes.back() + event.item->name + (id ? "[" + *id + "]" : "") + "/");
    } else if (event.mark == Mark::kStructEnd) {
      prefixes.pop_back();
    } else if (event.mark == Mark::kScalar) {
      Print(prefixes.back() + event.item->name + "=" +
            PayloadText(event.value->type, event.value->payload) + "\n");
    }
  }
}

}  // namespace qorvcfg_tool
