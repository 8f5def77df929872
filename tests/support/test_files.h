// Paths and whole-file helpers for tests. Paths are UTF-8 on every system.
#pragma once

#include <string>

namespace qorvcfg::test {

// A file of tests/data.
std::string DataPath(const std::string &name);

// A path in this run's scratch directory, named after the running test and
// name, so that no two tests (or runs) share a file. The file is not created.
std::string TempPath(const std::string &name);

// Replaces the file's contents with bytes; fails the test on error.
void WriteFile(const std::string &path, const std::string &bytes);

// The whole file; fails the test (and gives "") when it cannot be read.
std::string ReadFile(const std::string &path);

bool FileExists(const std::string &path);

}  // namespace qorvcfg::test
