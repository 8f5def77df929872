// Running the tool of the build as a separate process, with its status and
// output.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_files.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace qorvcfg::test {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

// Runs the tool through the shell and collects its status and output; no
// argument holds a quote, a dollar sign or a backslash. input names a file
// for standard input; tag keeps the output files of runs at the same time
// apart.
inline ProgramRun Tool(const std::vector<std::string> &args, const std::string &input = "",
                       const std::string &tag = "") {
  const std::string out = TempPath("stdout" + tag), err = TempPath("stderr" + tag);
  auto quoted = [](const std::string &text) { return "\"" + text + "\""; };
  std::string command = quoted(QORVCFG_TOOL_PATH);
  for (const std::string &arg : args) command += " " + quoted(arg);
  command += " >" + quoted(out) + " 2>" + quoted(err);
  if (!input.empty()) command += " <" + quoted(input);
#ifdef _WIN32
  const int status = std::system(("\"" + command + "\"").c_str());  // cmd drops the outer quotes
#else
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  return {status, ReadFile(out), ReadFile(err)};
}

}  // namespace qorvcfg::test
