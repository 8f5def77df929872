// check: what reading a definition and a data file left out, and how many
// values each item holds.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "qorvcfg_diagnostics.h"
#include "session.h"
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
        .Close('}');
  }
  json.Close(']');
}

}  // namespace

int CommandCheck(const Arguments &args) {
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
    error = FileFailureText(result);
  } else if ((result = ReadData(session, data)) != Zel_OK) {
    failed_file = data;
    error = DataFailureText(session, result);
  }
  const std::size_t left_out = session.report.diagnostics.size();
  std::vector<int> depths;
  std::vector<std::pair<std::string, std::size_t>> counts;
  if (result == Zel_OK) counts = ValueCounts(session, &depths);
  const int status = result != Zel_OK || left_out > 0 ? kFailure : 0;

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
    Print(data + ": loaded, nothing left out\n");
  } else {
    Print(data + ": loaded with " + std::to_string(left_out) +
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
