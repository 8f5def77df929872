// The create path with a reporter of what it leaves out or repairs; the
// plain entry point passes none. (The read path's is the store's
// ReadConfigReporting.)
#pragma once

#include "qorvcfg.h"

namespace qorvcfg {

class ReadDiagnostics;

[[nodiscard]] ResultCode CreateConfigReporting(const char *path, ConfigHandle **handle_out,
                                               ReadDiagnostics *diagnostics);

}  // namespace qorvcfg
