// Runs an operation once for every allocation it makes, failing that
// allocation, to prove that each failure path answers properly and leaks
// nothing.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/platform.h"
#include "qorvcfg.h"

namespace qorvcfg::test {

enum class FailMode {
  kOnlyNth,      // the n-th allocation fails, later ones succeed
  kNthAndAfter,  // the n-th allocation and every one after it fail
};

// For n = 1, 2, 3, ...: arms the n-th allocation to fail, runs operation,
// disarms, and calls check(result, injected), where injected says whether
// the operation reached its n-th allocation. check also releases whatever the
// operation kept; afterwards the number of live blocks must be what it was
// before the run (a gtest failure names n otherwise). The sweep ends after
// the first run that did not reach its n-th allocation, or at the first
// fatal failure. Gives the number of allocations of that last, undisturbed
// run.
std::uint64_t SweepAllocationFailures(const std::function<ResultCode()> &operation,
                                      const std::function<void(ResultCode, bool)> &check,
                                      FailMode mode = FailMode::kOnlyNth);

// The same for file calls of one kind: the n-th read (or write) fails, for
// n = 1, 2, 3, ... until a run makes fewer than n such calls.
std::uint64_t SweepFileFailures(platform::FileCall call,
                                const std::function<ResultCode()> &operation,
                                const std::function<void(ResultCode, bool)> &check);

}  // namespace qorvcfg::test
