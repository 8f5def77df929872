#include "support/fault_sweep.h"

#include <gtest/gtest.h>

namespace qorvcfg::test {
namespace {

// Far above what any single library call allocates: reaching it means that
// the operation never stops allocating.
constexpr std::uint64_t kMaxAllocations = 1000000;

}  // namespace

std::uint64_t SweepAllocationFailures(const std::function<ResultCode()> &operation,
                                      const std::function<void(ResultCode, bool)> &check,
                                      FailMode mode) {
  for (std::uint64_t n = 1; n <= kMaxAllocations; ++n) {
    SCOPED_TRACE(testing::Message() << "allocation " << n << " failing");
    const std::int64_t live_before = platform::LiveAllocations();
    platform::FailAllocation(n, mode == FailMode::kNthAndAfter);
    const ResultCode result = operation();
    const std::uint64_t made = platform::AllocationsSinceArm();
    platform::FailAllocation(0);
    const bool injected = made >= n;
    check(result, injected);
    EXPECT_EQ(platform::LiveAllocations(), live_before) << "blocks leaked or freed twice";
    if (testing::Test::HasFatalFailure() || !injected) return made;
  }
  ADD_FAILURE() << "the operation made more than " << kMaxAllocations << " allocations";
  return kMaxAllocations;
}

std::uint64_t SweepFileFailures(platform::FileCall call,
                                const std::function<ResultCode()> &operation,
                                const std::function<void(ResultCode, bool)> &check) {
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(testing::Message() << "file call " << n << " failing");
    const std::int64_t live_before = platform::LiveAllocations();
    platform::FailFileCall(call, n);
    const ResultCode result = operation();
    const std::uint64_t made = platform::FileCallsSinceArm(call);
    platform::FailFileCall(call, 0);
    check(result, made >= n);
    EXPECT_EQ(platform::LiveAllocations(), live_before) << "blocks leaked or freed twice";
    if (testing::Test::HasFatalFailure() || made < n) return made;
  }
}

}  // namespace qorvcfg::test
