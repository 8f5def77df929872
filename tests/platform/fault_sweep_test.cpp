#include "support/fault_sweep.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace qorvcfg::test {
namespace {

std::vector<void *> blocks;
std::string outcome;  // per allocation: o succeeds, x fails

// Three allocations of both kinds, going on past a failure.
ResultCode AllocateThree() {
  const std::size_t kept = blocks.size();
  for (int i = 0; i < 3; ++i) {
    void *block = i == 1 ? platform::AllocateZeroed(8) : platform::Allocate(8);
    outcome += block ? 'o' : 'x';
    if (block) blocks.push_back(block);
  }
  return blocks.size() == kept + 3 ? Zel_OK : Zel_ENOMEM;
}

void Release(ResultCode, bool) {
  for (void *block : blocks) platform::Free(block);
  blocks.clear();
}

TEST(SweepAllocationFailures, FailsEachAllocationInTurnThenRunsUndisturbed) {
  for (FailMode mode : {FailMode::kOnlyNth, FailMode::kNthAndAfter}) {
    outcome.clear();
    const std::uint64_t made = SweepAllocationFailures(
        AllocateThree,
        [](ResultCode result, bool injected) {
          EXPECT_NE(result == Zel_OK, injected);
          Release(result, injected);
        },
        mode);
    EXPECT_EQ(made, 3u);
    EXPECT_EQ(outcome, mode == FailMode::kOnlyNth ? "xoooxoooxooo" : "xxxoxxooxooo");
  }
}

TEST(SweepAllocationFailures, ReportsALeakOnAFailurePath) {
  static void *lost = nullptr;  // the first block, when the second fails
  EXPECT_NONFATAL_FAILURE(SweepAllocationFailures(
                              [] {
                                void *first = platform::Allocate(8);
                                void *second = platform::Allocate(8);
                                platform::Free(second);
                                second ? platform::Free(first) : void(lost = first);
                                return second ? Zel_OK : Zel_ENOMEM;
                              },
                              [](ResultCode, bool) {}),
                          "leaked");
  platform::Free(lost);
}

}  // namespace
}  // namespace qorvcfg::test
