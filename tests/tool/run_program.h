// Runs a program of the build and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

namespace qorvcfg::test {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs program with args (no shell involved on Windows; arguments are quoted
// for the shell on POSIX) and waits for it.
ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args);

}  // namespace qorvcfg::test
