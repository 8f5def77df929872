// Reading a definition and a data file into a handle, with everything the
// reads left out or repaired.
#pragma once

#include <string>
#include <string_view>

#include "levels.h"
#include "read_report.h"

namespace qorvcfg_tool {

// The handle of a definition and, once read, the data in it, with what
// reading left out.
struct Session {
  Handle handle;
  ReadReport report;
  std::string definition_path;
  std::string data_path;
  std::string data_text;  // the bytes of the data file as read
};

// The name that diagnostics give standard input, read for the data path "-".
inline constexpr const char *kStandardInputName = "<stdin>";

// Fails when the definition cannot be read at all.
Session OpenDefinition(const std::string &path);

// Reads data (standard input for "-") into the session; the result of the
// read. When the library
// reported nothing, the elements of the file are counted against the values
// kept, so that a loss is never missed.
ResultCode ReadData(Session &session, const std::string &path);

// After a read of bytes of which the library reported nothing: counts the
// elements of bytes against the values kept, and reports a loss.
void NoteUnreported(Session &session, std::string_view bytes);

// Words for a failed read of data.
std::string DataFailureText(const Session &session, ResultCode result);

// Both reads; fails when either fails.
Session OpenData(const std::string &definition, const std::string &data);

// Every diagnostic as "FILE:LINE:COL: message", to standard output or error.
void PrintDiagnostics(const ReadReport &report, bool to_stdout);

}  // namespace qorvcfg_tool
