// Definition files written from text, for tests that need a definition of their own.
#pragma once

#include <string>

#include "qorvcfg.h"
#include "support/test_files.h"

namespace qorvcfg::test {

// Writes text to a scratch file named name and creates a handle from it.
inline ResultCode CreateFromText(const std::string &text, ConfigHandle **out,
                                 const std::string &name = "definition.xml") {
  const std::string path = TempPath(name);
  WriteFile(path, text);
  return Zel_ConfigCreate(path.c_str(), out);
}

}  // namespace qorvcfg::test
