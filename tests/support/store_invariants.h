// Checks that every value of a handle is in one place: linked into exactly
// one container, in that container's list and in its item's index, or
// unlinked and remembered by the handle. Tests and the fuzzers call it after
// any sequence of calls.
#pragma once

#include <string>

#include "qorvcfg.h"

namespace qorvcfg::test {

// Empty when the store of the handle is consistent; otherwise a description
// of the first fault found. Takes no stack in proportion to nesting depth.
std::string StoreInvariantViolation(ConfigHandle *handle);

}  // namespace qorvcfg::test
