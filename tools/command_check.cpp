// check: what reading a definition and a data file left out, and how many
// values each item holds.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "qorvcfg_diagnostics.h"
#include "session.h"
#include "strict_check.h"
#include "value_format.h"
#include "value_walk.h"

namespace qorvcfg_tool {
namespace {

// How many values each held item has, in all values of its structures, by
// path in definition order.
std::vector<std::pair<std::string, std::size_t>> ValueCounts(const Session &session,
                                                             std::vector<int> *depths) {
  std::vector<std::pair<std::string, std::size_t>> counts;
  std::map<std::string, std::size_t> index;
  for (const ItemPlace &place : ItemsInOrder(session.handle->items)) {
    const bool reachable =
        Holds(place.item) && place.path.find("//") == std::string::npos && place.path[0] != '/';
    if (!reachable || index.count(place.path)) continue;
    index[place.path] = counts.size();
    counts.push_back({place.path, 0});
    depths->push_back(place.depth);
  }
  const Level top = TopLevel(session.handle.get());
  for (const Event &event : Walk(top, top.items, nullptr)) {
    if (event.mark != Mark::kScalar && event.mark != Mark::kStructBegin) continue;
    auto found = index.find(event.path);
    if (found != index.end()) ++counts[found->second].second;
  }
  return counts;
}

void WriteDiagnosticsJson(JsonWriter &json, const ReadReport &report) {
  json.Key("diagnostics").Open('[');
  for (const Diagnostic &diagnostic : report.diagnostics) {
    json.Open('{')
        .Field("file", JsonString(diagnostic.file))
        .Field("line", std::to_string(diagnostic.line))
        .Field("column", std::to_string(diagnostic.column))
        .Field("kind", JsonString(KindName(diagnostic.kind)))
        .Field("element", diagnostic.element.empty() ? "null" : JsonString(diagnostic.element))
        .Field("message", JsonString(diagnostic.message))
        .Field("warning", JsonBool(diagnostic.warning))
        .Close('}');
  }
  json.Close(']');
}

// check DEF: what reading the definition left out or repaired, and what
// would make every read of data fail.
int CheckDefinition(const Arguments &args) {
  const std::string &definition = args.positional[0];
  Session session;
  session.report.file = definition;
  ConfigHandle *handle = nullptr;
  ResultCode result = Qorvcfg_ConfigCreateObserved(definition.c_str(), &handle,
                                                   ReadReport::Observer(), &session.report);
  session.handle.reset(handle);
  const std::string error = result == Zel_OK ? "" : FileFailureText(result, definition);
  if (result == Zel_OK) {
    const std::string why = UnreadableDefinition(handle->items);
    if (!why.empty()) {
      session.report.diagnostics.push_back(
          {definition, kKindUnreadableDefinition, 0, 0, {}, why, 0, 0, false});
    }
  }
  const std::size_t problems = session.report.diagnostics.size();
  const int status = result != Zel_OK || problems > 0 ? kInvalidFile : kDone;
  if (args.json) {
    JsonWriter json;
    json.Open('{')
        .Field("definition", JsonString(definition))
        .Field("loaded", JsonBool(result == Zel_OK))
        .Field("result", JsonString(CodeText(result)))
        .Field("error", result == Zel_OK ? "null" : JsonString(definition + ": " + error))
        .Field("problems", std::to_string(problems));
    WriteDiagnosticsJson(json, session.report);
    json.Close('}').PrintDocument();
    return status;
  }
  PrintDiagnostics(session.report, true);
  if (result != Zel_OK) {
    Print(definition + ": not loaded: " + error + " (" + CodeText(result) + ")\n");
  } else if (problems == 0) {
    std::size_t items = 0;
    for (const ItemPlace &place : ItemsInOrder(handle->items)) items += Holds(place.item);
    Print(definition + ": loaded, " + std::to_string(items) + " items, nothing left out\n");
  } else {
    Print(definition + ": loaded with " + std::to_string(problems) +
          (problems == 1 ? " problem" : " problems") + ", listed above\n");
  }
  return status;
}

}  // namespace

int CommandCheck(const Arguments &args) {
  if (args.positional.size() == 1) return CheckDefinition(args);
  const std::string &definition = args.positional[0];
  const std::string &data = args.positional[1];
  Session session;
  session.report.file = definition;
  std::string failed_file;
  std::string error;
  ConfigHandle *handle = nullptr;
  ResultCode result = Qorvcfg_ConfigCreateObserved(definition.c_str(), &handle,
                                                   ReadReport::Observer(), &session.report);
  session.handle.reset(handle);
  if (result != Zel_OK) {
    failed_file = definition;
    error = FileFailureText(result, definition);
  } else if ((result = ReadData(session, data)) != Zel_OK) {
    failed_file = session.report.file;
    error = DataFailureText(session, result);
  }
  if (result == Zel_OK) {
    SuggestItemNames(session);
    if (args.strict) AddStrictWarnings(session);
    std::stable_sort(session.report.diagnostics.begin(), session.report.diagnostics.end(),
                     [&](const Diagnostic &a, const Diagnostic &b) {
                       const bool a_data = a.file == session.report.file;
                       const bool b_data = b.file == session.report.file;
                       if (a_data != b_data) return b_data;
                       return a_data && (a.line != b.line ? a.line < b.line : a.column < b.column);
                     });
  }
  const std::string &shown = session.report.file;
  const std::size_t left_out = session.report.diagnostics.size();
  std::vector<int> depths;
  std::vector<std::pair<std::string, std::size_t>> counts;
  if (result == Zel_OK) counts = ValueCounts(session, &depths);
  const int status = result != Zel_OK || left_out > 0 ? kInvalidFile : kDone;

  if (args.json) {
    JsonWriter json;
    json.Open('{')
        .Field("definition", JsonString(definition))
        .Field("data", JsonString(data))
        .Field("loaded", JsonBool(result == Zel_OK))
        .Field("result", JsonString(CodeText(result)))
        .Field("error", result == Zel_OK ? "null" : JsonString(failed_file + ": " + error))
        .Field("left_out", std::to_string(left_out));
    WriteDiagnosticsJson(json, session.report);
    json.Key("counts").Open('{');
    for (const auto &[path, count] : counts) json.Field(path, std::to_string(count));
    json.Close('}').Close('}').PrintDocument();
    return status;
  }
  PrintDiagnostics(session.report, true);
  if (result != Zel_OK) {
    Print(failed_file + ": not loaded: " + error + " (" + CodeText(result) + ")\n");
    return status;
  }
  if (left_out == 0) {
    Print(shown + ": loaded, nothing left out\n");
  } else {
    Print(shown + ": loaded with " + std::to_string(left_out) +
          (left_out == 1 ? " problem" : " problems") + ", listed above\n");
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const std::string &path = counts[i].first;
    Print(Indent(depths[i] + 1) + path.substr(path.rfind('/') + 1) + ": " +
          std::to_string(counts[i].second) + "\n");
  }
  return status;
}

}  // namespace qorvcfg_tool
