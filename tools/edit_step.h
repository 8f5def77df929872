// The edit step of set, add and del: read the data file, make each change
// through the library, patch the text where the changed values came from,
// prove the patched text, and replace the file.
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
  bool rewrite = false;  // write the whole file anew, in the writer's form
  bool create = false;   // a missing data file is made
  bool quiet = false;    // what reading left out is not printed
};

// What an edit makes of a data file, before anything is written.
struct EditResult {
  std::string text;      // the whole new text
  bool changed = false;  // whether it differs from what was read
};

// The text of a data file that exists holding no value, as the writer makes it.
inline constexpr const char *kEmptyData = "<config>\n</config>\n";

// The edit of original, the bytes of request.data (exists false: a missing
// file that request.create makes). Each change is made through the library
// in a handle read from the text; the text is then patched where the values
// it changed came from, and the patched text is read into a fresh handle
// that must hold exactly the values of the first: otherwise the edit is
// refused (unless forced). With request.rewrite the text is the writer's
// form of the changed handle instead. Every refusal or failure throws a
// ToolError; nothing is written.
EditResult EditText(const EditRequest &request, const std::string &original, bool exists);

// Takes the lock of the target, reads the data, edits it and replaces the
// target, which stays untouched when the edit changes nothing in it. A dry
// run locks and writes nothing: it prints the difference from data.
void RunEdit(const EditRequest &request);

// Makes one change of the command line in the handle.
void ApplyChange(ConfigHandle *handle, Edit edit, const std::string &argument, bool force);

}  // namespace qorvcfg_tool
