// Writes a handle's values as a data file.
//
// What holds: writing changes no value. Everything the writer allocates is
// freed before it returns; a write that fails leaves no value changed,
// though the file may be cut short.
#pragma once

#include "qorvcfg.h"

namespace qorvcfg {

[[nodiscard]] ResultCode WriteConfigFile(const char *path, DataContainer *container);

}  // namespace qorvcfg
