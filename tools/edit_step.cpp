#include "edit_step.h"

#include <optional>

#include "paths.h"
#include "read_report.h"
#include "tool.h"
#include "unified_diff.h"
#include "value_format.h"
#include "value_input.h"
#include "value_walk.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <filesystem>

namespace qorvcfg_tool {
namespace {

#ifdef _WIN32
std::wstring Wide(const std::string &text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}
#endif

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

void RemoveFile(const std::string &path) {
#ifdef _WIN32
  DeleteFileW(Wide(path).c_str());
#else
  std::error_code error;
  std::filesystem::remove(path, error);
#endif
}

}  // namespace

void WriteData(const Session &session, const std::string &target, bool force) {
#ifdef _WIN32
  std::string temporary = target + ".qorvcfg-" + std::to_string(GetCurrentProcessId()) + ".tmp";
#else
  std::string temporary = target + ".qorvcfg-" + std::to_string(getpid()) + ".tmp";
#endif
  ResultCode result = Zel_ConfigWrite(temporary.c_str(), session.handle.get());
  if (result != Zel_OK) {
    RemoveFile(temporary);
    Fail(kCannotWrite, temporary, "cannot write: " + WriteFailureText(result, temporary), result);
  }
  if (!force) {
    ConfigHandle *reread = nullptr;
    result = Zel_ConfigCreate(session.definition_path.c_str(), &reread);
    Handle closer(reread);
    if (result == Zel_OK) result = Zel_ConfigRead(temporary.c_str(), reread);
    if (result != Zel_OK ||
        CountValues(TopLevel(reread)) != CountValues(TopLevel(session.handle.get()))) {
      RemoveFile(temporary);
      Refuse(kValueRefused, target + ": not written: the result would not read back whole");
    }
  }
#ifdef _WIN32
  if (!MoveFileExW(Wide(temporary).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ResultCode error = Zel_ESYSTEM | (GetLastError() & ~Zel_CODE_MASK);
    RemoveFile(temporary);
    Fail(kCannotWrite, target, "cannot replace the file", error);
  }
#else
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) {
    RemoveFile(temporary);
    Refuse(kCannotWrite, target + ": cannot replace the file: " + error.message());
  }
#endif
}

Session ReadForEdit(const std::string &definition, const std::string &data, bool force) {
  Session session = OpenData(definition, data);
  PrintDiagnostics(session.report, false);
  if (session.report.CountFor(data) > 0 && !force) {
    Refuse(kInvalidFile,
           data +
               ": not written: reading left out what is listed above, and writing would drop "
               "it; --force writes anyway");
  }
  return session;
}

void ApplyChange(ConfigHandle *handle, Edit edit, const std::string &argument, bool force) {
  std::size_t equals = argument.find('=');
  std::optional<std::string> text;
  if (equals != std::string::npos) text = argument.substr(equals + 1);
  if (!text && edit != Edit::kDel) UsageFail("expected PATH=VALUE: " + argument);
  std::string path = argument.substr(0, equals);
  Target target = Resolve(handle, path, edit != Edit::kDel, force);
  const ItemDefinition *item = target.item;
  const Level &level = target.level;

  if (edit == Edit::kDel) {
    const ItemDefinition *id = item->type == Zel_TYPE_STRUCTURE ? IdentifierItem(item) : item;
    std::optional<std::string> wanted;
    if (text && id) wanted = Canonical(id, *text);
    std::vector<DataRecord *> doomed;
    for (DataRecord *value : Picked(level, item, target.pick)) {
      std::optional<std::string> stored = item->type == Zel_TYPE_STRUCTURE
                                              ? IdentifierText(level, item, value)
                                              : PayloadText(value->type, value->payload);
      if (!text || stored == wanted) doomed.push_back(value);
    }
    if (doomed.empty()) Fail(kNotFound, argument, "no such value", Zel_ENOENT);
    Apply(target, argument, [&] {
      for (DataRecord *value : doomed) CheckEdit(level.Del(value), argument);
    });
    return;
  }

  if (item->type == Zel_TYPE_STRUCTURE) {
    if (edit == Edit::kSet) UsageFail(path + " is a structure: set its items instead");
    if (!IdentifierItem(item)) UsageFail(path + " has no identifier item to give a value");
    if (target.pick) UsageFail(argument + ": give the identifier either in [ ] or after =");
    CheckRoom(level, item, path);
    Apply(target, argument,
          [&] { CheckEdit(level.Add(MakeStructure(level, item, text, force)), argument); });
    return;
  }
  if (target.pick) UsageFail(path + ": only structures are picked by [ ]");
  ConvertedValue contents;
  ConvertForEdit(item, *text, argument, force, &contents);
  std::vector<DataRecord *> values = level.Values(item);
  if (edit == Edit::kSet && values.size() > 1) {
    Fail(kUsageError, argument,
         std::string(item->name) + " has " + std::to_string(values.size()) +
             " values; use add or del",
         Zel_EINVAL);
  }
  const bool change = edit == Edit::kSet && values.size() == 1;
  if (!change) CheckRoom(level, item, path);
  Apply(target, argument, [&] {
    if (change) {
      CheckEdit(level.Change(values.front(), contents.Pointer()), argument);
      return;
    }
    DataRecord *value = level.Create(item);
    CheckEdit(level.Change(value, contents.Pointer()), argument);
    CheckEdit(level.Add(value), argument);
  });
}

void RunEdit(const EditRequest &request) {
  Session session = ReadForEdit(request.definition, request.data, request.force);
  for (const std::string &change : request.changes) {
    ApplyChange(session.handle.get(), request.edit, change, request.force);
  }
  if (!request.dry_run) {
    WriteData(session, request.target, request.force);
    return;
  }
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) Refuse(kCannotWrite, "no temporary folder for a dry run: " + error.message());
  const std::string scratch =
      (folder / ("qorvcfg-dry-run-" + std::to_string(ProcessId()) + ".conf")).string();
  WriteData(session, scratch, request.force);
  std::optional<std::string> written = ReadWholeFile(scratch);
  RemoveFile(scratch);
  if (!written) Refuse(kCannotWrite, scratch + ": cannot read back the dry run's result");
  const std::string label = request.data == "-" ? kStandardInputName : request.data;
  Print(UnifiedDiff(session.data_text, *written, label,
                    request.target == "-" ? label : request.target));
}

}  // namespace qorvcfg_tool
