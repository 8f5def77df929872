#include "session.h"

#include <optional>

#include "qorvcfg_diagnostics.h"
#include "tool.h"
#include "value_format.h"
#include "value_walk.h"

namespace qorvcfg_tool {

Session OpenDefinition(const std::string &path) {
  Session session;
  session.definition_path = path;
  session.report.file = path;
  ConfigHandle *handle = nullptr;
  ResultCode result =
      Qorvcfg_ConfigCreateObserved(path.c_str(), &handle, ReadReport::Observer(), &session.report);
  if (result != Zel_OK) Fail(kInvalidFile, path, FileFailureText(result, path), result);
  session.handle.reset(handle);
  return session;
}

ResultCode ReadData(Session &session, const std::string &path) {
  const bool standard_input = path == "-";
  session.data_path = path;
  session.report.file = standard_input ? kStandardInputName : path;
  std::optional<std::string> bytes = standard_input ? ReadStandardInput() : ReadWholeFile(path);
  ResultCode result;
  if (standard_input) {
    if (!bytes) return Zel_ESYSTEM | 5;
    result = Qorvcfg_ConfigReadFromDataObserved(bytes->c_str(), session.handle.get(),
                                                ReadReport::Observer(), &session.report);
  } else {
    result = Qorvcfg_ConfigReadObserved(path.c_str(), session.handle.get(), ReadReport::Observer(),
                                        &session.report);
  }
  if (bytes) session.data_text = *bytes;
  if (result != Zel_OK || session.report.CountFor(session.report.file) > 0) return result;
  if (bytes) NoteUnreported(session, *bytes);
  return result;
}

void NoteUnreported(Session &session, std::string_view bytes) {
  const std::size_t elements = CountStartTags(bytes);
  const std::size_t kept = CountValues(TopLevel(session.handle.get())) + 1;
  if (elements == 0 && HasContent(bytes)) {
    session.report.Add("holds no element: not a data file");
  } else if (elements > kept) {
    const std::size_t lost = elements - kept;
    session.report.Add("reading left out " + std::to_string(lost) +
                       (lost == 1 ? " element" : " elements"));
  }
}

std::string DataFailureText(const Session &session, ResultCode result) {
  if (result == Zel_ENOMEM) {
    std::string why = UnreadableDefinition(session.handle->items);
    if (!why.empty()) return why;
  }
  return FileFailureText(result, session.data_path);
}

Session OpenData(const std::string &definition, const std::string &data) {
  Session session = OpenDefinition(definition);
  ResultCode result = ReadData(session, data);
  if (result != Zel_OK)
    Fail(kInvalidFile, session.report.file, DataFailureText(session, result), result);
  return session;
}

void PrintDiagnostics(const ReadReport &report, bool to_stdout) {
  for (const Diagnostic &diagnostic : report.diagnostics) {
    std::string line = DiagnosticLine(diagnostic) + "\n";
    to_stdout ? Print(line) : PrintError(line);
  }
}

}  // namespace qorvcfg_tool
