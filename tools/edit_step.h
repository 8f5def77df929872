// The edit step of set, add and del: read the data file, make each change
// through the library, write the result.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace qorvcfg_tool {

enum class Edit { kSet, kAdd, kDel };

struct EditRequest {
  Edit edit = Edit::kSet;
  std::string definition;
  std::string data;
  // PATH=VALUE for set and add, PATH or PATH=VALUE for del, made in order.
  std::vector<std::string> changes;
  std::string target;  // where the result is written; data for in place
  bool force = false;
  bool dry_run = false;  // print a unified diff of what would be written instead
};

// Reads, changes and writes. Every refusal or failure throws a ToolError
// before target is touched. A dry run writes the result to a scratch file
// in the system's temporary folder, prints the difference from data and
// removes it.
void RunEdit(const EditRequest &request);

// The three parts of RunEdit.

// Reads definition and data, printing what reading left out to standard
// error; refuses (unless forced) when reading left anything out, since
// writing would drop it.
Session ReadForEdit(const std::string &definition, const std::string &data, bool force);

// Makes one change of the command line in the handle.
void ApplyChange(ConfigHandle *handle, Edit edit, const std::string &argument, bool force);

// Writes the session's data to a temporary file beside target, reads it
// back (unless forced) to see that every value survives, and renames it
// over target.
void WriteData(const Session &session, const std::string &target, bool force);

}  // namespace qorvcfg_tool
