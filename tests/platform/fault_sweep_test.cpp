#include "support/fault_sweep.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace qorvcfg::test {
namespace {

// Allocates count blocks, stopping at the first failure, which frees what was
// already allocated, or with leak loses it (until the destructor).
class Allocator {
 public:
  Allocator(int count, bool leak) : count_(count), leak_(leak) {}
  ~Allocator() {
    Release();
    for (void *block : lost_) platform::Free(block);
  }

  ResultCode operator()() {
    for (int i = 0; i < count_; ++i) {
      void *block = platform::Allocate(10);
      if (block == nullptr) {
        if (leak_) lost_.insert(lost_.end(), blocks_.begin(), blocks_.end());
        if (leak_) blocks_.clear();
        Release();
        return Zel_ENOMEM;
      }
      blocks_.push_back(block);
    }
    return Zel_OK;
  }

  void Release() {
    for (void *block : blocks_) platform::Free(block);
    blocks_.clear();
  }

 private:
  int count_;
  bool leak_;
  std::vector<void *> blocks_;
  std::vector<void *> lost_;
};

TEST(SweepAllocationFailures, FailsEachAllocationOnceThenRunsUndisturbed) {
  Allocator allocator(3, false);
  std::string runs;
  const std::uint64_t made = SweepAllocationFailures(
      [&] { return allocator(); },
      [&](ResultCode result, bool injected) {
        runs += injected ? (result == Zel_ENOMEM ? 'x' : '?') : (result == Zel_OK ? 'o' : '!');
        allocator.Release();
      });
  EXPECT_EQ(runs, "xxxo");
  EXPECT_EQ(made, 3u);
}

TEST(SweepAllocationFailures, AnOperationWithoutAllocationsRunsOnce) {
  int runs = 0;
  const std::uint64_t made = SweepAllocationFailures([&] { return ++runs, Zel_OK; },
                                                     [](ResultCode result, bool injected) {
                                                       EXPECT_EQ(result, Zel_OK);
                                                       EXPECT_FALSE(injected);
                                                     });
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(made, 0u);
}

TEST(SweepAllocationFailures, EveryAfterModeFailsTheRestOfTheRun) {
  std::vector<int> failed_per_run;
  std::vector<void *> blocks;
  SweepAllocationFailures(
      [&] {
        int failed = 0;
        for (int i = 0; i < 3; ++i) {
          void *block = platform::Allocate(4);
          if (block == nullptr) ++failed;
          blocks.push_back(block);
        }
        failed_per_run.push_back(failed);
        return failed == 0 ? Zel_OK : Zel_ENOMEM;
      },
      [&](ResultCode, bool) {
        for (void *block : blocks) platform::Free(block);
        blocks.clear();
      },
      FailMode::kNthAndAfter);
  EXPECT_EQ(failed_per_run, (std::vector<int>{3, 2, 1, 0}));
}

TEST(SweepAllocationFailures, ReportsALeakOnAFailurePath) {
  Allocator allocator(2, true);
  EXPECT_NONFATAL_FAILURE(SweepAllocationFailures([&] { return allocator(); },
                                                  [&](ResultCode, bool) { allocator.Release(); }),
                          "leaked");
}

}  // namespace
}  // namespace qorvcfg::test
