// show and get: values as loaded, as text or JSON.
#include <string>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "paths.h"
#include "session.h"
#include "value_format.h"
#include "value_walk.h"

namespace qorvcfg_tool {

int CommandShow(const Arguments &args) {
  Session session = OpenData(args.positional[0], args.positional[1]);
  PrintDiagnostics(session.report, false);
  const Level top = TopLevel(session.handle.get());
  std::vector<Event> events = Walk(top, top.items, nullptr);
  if (!args.json) {
    PrintEvents(events, false);
    return 0;
  }
  JsonWriter json;
  json.Open('{');
  WriteEventsJson(json, events);
  json.Close('}').PrintDocument();
  return 0;
}

int CommandGet(const Arguments &args) {
  Session session = OpenData(args.positional[0], args.positional[1]);
  PrintDiagnostics(session.report, false);
  const std::string &path = args.positional[2];
  Target target = Resolve(session.handle.get(), path, false, false);
  const ItemDefinition *item = target.item;
  std::vector<DataRecord *> values = Picked(target.level, item, target.pick);
  if (values.empty() && target.pick) FailNoPick(path, item, *target.pick);
  if (values.empty()) {
    if (!HasDefault(item)) {
      PrintError("qorvcfg: " + path + ": no value and no default\n");
      if (args.json) Print("[]\n");
      return kFailure;
    }
    const DefaultRecord &value = item->default_value;
    PrintError("qorvcfg: " + path + ": no value; printed its default\n");
    Print(args.json ? "[" + PayloadJson(value.type, value.payload) + "]\n"
                    : PayloadText(value.type, value.payload) + "\n");
    return 0;
  }
  std::vector<Event> events = Walk(target.level, item, &values);
  if (!args.json) {
    PrintEvents(events, true);
    return 0;
  }
  std::erase_if(events, [](const Event &event) {
    return event.depth == 0 && (event.mark == Mark::kItemBegin || event.mark == Mark::kItemEnd);
  });
  JsonWriter json;
  json.Open('[');
  WriteEventsJson(json, events);
  json.Close(']').PrintDocument();
  return 0;
}

}  // namespace qorvcfg_tool
