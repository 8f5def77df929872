// show, get and list: values as loaded, as text or JSON.
#include <string>
#include <vector>

#include "commands.h"
#include "file_order.h"
#include "json_writer.h"
#include "paths.h"
#include "session.h"
#include "value_format.h"
#include "value_walk.h"

namespace qorvcfg_tool {
namespace {

// Reads both files for a view, saying on standard error what reading left
// out.
Session OpenForView(const Arguments &args) {
  Session session = OpenData(args.positional[0], args.positional[1]);
  PrintDiagnostics(session.report, false);
  return session;
}

// A view is printed even when reading left something out, but then exits 3.
int ViewStatus(const Session &session) {
  return session.report.diagnostics.empty() ? kDone : kInvalidFile;
}

std::vector<Event> AllValues(const Session &session, bool file_order) {
  const Level top = TopLevel(session.handle.get());
  if (!file_order) return Walk(top, top.items, nullptr);
  FileOrder order(session);
  return Walk(top, top.items, nullptr, &order);
}

}  // namespace

int CommandShow(const Arguments &args) {
  Session session = OpenForView(args);
  std::vector<Event> events = AllValues(session, args.file_order);
  if (!args.json) {
    PrintEvents(events, View{false, args.effective});
    return ViewStatus(session);
  }
  JsonWriter json;
  json.Open('{');
  WriteEventsJson(json, events, args.effective);
  json.Close('}').PrintDocument();
  return ViewStatus(session);
}

int CommandList(const Arguments &args) {
  Session session = OpenForView(args);
  PrintList(AllValues(session, args.file_order));
  return ViewStatus(session);
}

int CommandGet(const Arguments &args) {
  Session session = OpenForView(args);
  const std::string &path = args.positional[2];
  Target target = Resolve(session.handle.get(), path, false, false);
  const ItemDefinition *item = target.item;
  std::vector<DataRecord *> values = Picked(target.level, item, target.pick);
  if (values.empty() && target.pick) FailNoPick(path, item, *target.pick);
  if (values.empty()) {
    if (args.no_default || !HasDefault(item)) {
      PrintError("qorvcfg: " + path +
                 (args.no_default ? ": no value\n" : ": no value and no default\n"));
      if (args.json) Print("[]\n");
      return kNotFound;
    }
    const DefaultRecord &value = item->default_value;
    PrintError("qorvcfg: " + path + ": no value; printed its default\n");
    if (args.json) {
      Print("[" + DefaultJson(item) + "]\n");
    } else {
      Print(PayloadText(value.type, value.payload) + "\n");
    }
    return ViewStatus(session);
  }
  std::vector<Event> events = Walk(target.level, item, &values);
  if (!args.json) {
    PrintEvents(events, View{true, false});
    return ViewStatus(session);
  }
  std::erase_if(events, [](const Event &event) {
    return event.depth == 0 && (event.mark == Mark::kItemBegin || event.mark == Mark::kItemEnd);
  });
  JsonWriter json;
  json.Open('[');
  WriteEventsJson(json, events, false);
  json.Close(']').PrintDocument();
  return ViewStatus(session);
}

}  // namespace qorvcfg_tool
