#include "edit_step.h"

#include <optional>

#include "edit_patches.h"
#include "file_replace.h"
#include "paths.h"
#include "read_report.h"
#include "text_patch.h"
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

namespace qorvcfg_tool {
namespace {

[[noreturn]] void NotWritten(const std::string &message) { throw ToolError{kCannotWrite, message}; }

// What the user typed in a change: the value and the picks of its path,
// the first texts tried for new values.
std::vector<std::string> TypedTexts(const std::string &change) {
  std::vector<std::string> typed;
  const std::size_t equals = change.find('=');
  if (equals != std::string::npos) typed.push_back(change.substr(equals + 1));
  for (const Segment &segment : ParsePath(change.substr(0, equals))) {
    if (segment.pick) typed.push_back(*segment.pick);
  }
  return typed;
}

// Whether text reads into read's definition as exactly the values of
// handle; a refusal (or, forced, a warning) when it does not.
PlacedRead Prove(const EditRequest &request, const std::string &text, ConfigHandle *handle,
                 const std::string &what) {
  PlacedRead proof = ReadPlaced(request.definition, request.data, text);
  if (proof.result == Zel_OK && ValuesDump(proof.session.handle.get()) == ValuesDump(handle)) {
    return proof;
  }
  const std::string message = request.data + ": not written: the " + what +
                              " would not read back to the values the edit makes";
  if (!request.force) NotWritten(message + " (--force writes it anyway)");
  PrintError("qorvcfg: warning: " + message + "\n");
  return proof;
}

// The writer's form of the handle's values.
std::string WriterText(ConfigHandle *handle, const std::string &beside) {
#ifdef _WIN32
  const std::string path = beside + ".qorvcfg-" + std::to_string(GetCurrentProcessId()) + ".new";
#else
  const std::string path = beside + ".qorvcfg-" + std::to_string(getpid()) + ".new";
#endif
  const ResultCode result = Zel_ConfigWrite(path.c_str(), handle);
  std::optional<std::string> text = ReadWholeFile(path);
#ifdef _WIN32
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  DeleteFileW(wide.c_str());
#else
  unlink(path.c_str());
#endif
  if (result != Zel_OK) {
    throw ToolError{kCannotWrite, path + ": cannot write: " + SystemErrorText(result) + " (" +
                                      CodeText(result) + ")"};
  }
  if (!text) NotWritten(path + ": cannot read what was written");
  return *text;
}

}  // namespace

EditResult EditText(const EditRequest &request, const std::string &original, bool exists) {
  if (original.find('\0') != std::string::npos) {
    Refuse(kInvalidFile, request.data + ": not written: it holds a zero byte, which reading takes as its end");
  }
  std::string text = exists ? original : std::string(kEmptyData);
  PlacedRead read = ReadPlaced(request.definition, request.data, text);
  if (!request.quiet) PrintDiagnostics(read.session.report, false);
  if (read.result != Zel_OK) {
    Fail(kInvalidFile, request.data, DataFailureText(read.session, read.result), read.result);
  }
  if (read.session.report.CountFor(request.data) > 0 && !request.force) {
    Refuse(kInvalidFile, request.data +
                             ": not written: reading left out what is listed above, and writing would drop "
           "it; --force writes anyway");
  }
  ConfigHandle *handle = read.session.handle.get();
  if (request.rewrite) {
    for (const std::string &change : request.changes) {
      ApplyChange(handle, request.edit, change, request.force);
    }
    text = WriterText(handle, request.target);
    (void)Prove(request, text, handle, "written file");
    return {text, !exists || text != original};
  }
  for (const std::string &change : request.changes) {
    const ValueSnapshot before(read.session.handle.get());
    ApplyChange(read.session.handle.get(), request.edit, change, request.force);
    const std::vector<TextPatch> patches = PlanPatches(read, before, text, TypedTexts(change));
    if (patches.empty()) continue;  // the values are as they were
    std::string patched;
    if (!ApplyPatches(text, patches, &patched)) {
      NotWritten(request.data + ": not written: the edits of " + change + " overlap");
    }
    read = Prove(request, patched, read.session.handle.get(), "edited text");
    text = std::move(patched);
  }
  return {text, !exists || text != original};
}

void RunEdit(const EditRequest &request) {
  if (request.dry_run) {
    // Nothing is locked or written: the edit's text is compared with the data.
    const std::string label = request.data == "-" ? kStandardInputName : request.data;
    std::optional<std::string> bytes =
        request.data == "-" ? ReadStandardInput() : ReadWholeFile(request.data);
    if (!bytes && !request.create) {
      const ResultCode missing = Zel_ESYSTEM | 2;
      Fail(kInvalidFile, label, FileFailureText(missing, request.data) + " (--create makes it)", missing);
    }
    const EditResult result = EditText(request, bytes.value_or(""), bytes.has_value());
    Print(UnifiedDiff(bytes.value_or(""), result.text, label,
                      request.target == "-" ? label : request.target));
    return;
  }
  const std::string target = FollowLinks(request.target);
  const bool in_place = request.data == request.target;
  const FileLock lock(target, FileLock::DefaultWaitMs());
  const FileSnapshot data = ReadSnapshot(in_place ? target : request.data);
  if (!data.exists && !request.create) {
    const ResultCode missing = Zel_ESYSTEM | 2;
    Fail(kInvalidFile, request.data, FileFailureText(missing, request.data) + " (--create makes it)", missing);
  }
  const EditResult result = EditText(request, data.bytes, data.exists);
  if (in_place && !result.changed) return;
  ReplaceContents(target, in_place ? data : ReadSnapshot(target), result.text);
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

}  // namespace qorvcfg_tool
