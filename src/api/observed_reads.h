// The create and read paths with a reporter of what they leave out or
// repair; the plain entry points pass none.
#pragma once

#include <cstdint>

#include "qorvcfg.h"

namespace qorvcfg {

class ReadDiagnostics;

[[nodiscard]] ResultCode CreateConfigReporting(const char *path, ConfigHandle **handle_out,
                                               ReadDiagnostics *diagnostics);
[[nodiscard]] ResultCode ReadConfigReporting(std::uint32_t mode, const char *input,
                                             ConfigHandle *handle, ReadDiagnostics *diagnostics);

}  // namespace qorvcfg
