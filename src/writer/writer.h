// Writes a handle's values as a data file.
#pragma once

#include "qorvcfg.h"

namespace qorvcfg {

[[nodiscard]] ResultCode WriteConfigFile(const char *path, DataContainer *container);

}  // namespace qorvcfg
