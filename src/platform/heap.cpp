// The heap. Every block of the library comes from here. The test build of
// the core counts live blocks and can fail the n-th allocation, so tests can
// check every failure path for leaks; the shipped build does neither.

#if defined(QORVCFG_TEST_HOOKS)
#include <atomic>
#endif

#include "platform/platform.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace qorvcfg::platform {
namespace {

void *RawAllocate(std::size_t size, bool zeroed) {
#if defined(_WIN32)
  return HeapAlloc(GetProcessHeap(), zeroed ? HEAP_ZERO_MEMORY : 0, size);
#else
  return zeroed ? std::calloc(1, size) : std::malloc(size);
#endif
}

void RawFree(void *block) {
#if defined(_WIN32)
  HeapFree(GetProcessHeap(), 0, block);
#else
  std::free(block);
#endif
}

}  // namespace

#if !defined(QORVCFG_TEST_HOOKS)

// A request for 0 bytes still gets a block of its own, distinct from every
// other live block, which Free accepts like any other.
void *Allocate(std::size_t size) { return RawAllocate(size == 0 ? 1 : size, false); }

void *AllocateZeroed(std::size_t size) { return RawAllocate(size == 0 ? 1 : size, true); }

void Free(void *block) {
  if (block != nullptr) RawFree(block);
}

#else

namespace {

// 0 means that no failure is armed.
std::atomic<std::uint64_t> g_fail_at{0};
std::atomic<bool> g_fail_every_after{false};
std::atomic<std::uint64_t> g_since_arm{0};
std::atomic<std::int64_t> g_live{0};

// Counts the attempt and says whether it is one that must fail.
bool AllocationMustFail() {
  const std::uint64_t attempt = g_since_arm.fetch_add(1) + 1;
  const std::uint64_t fail_at = g_fail_at.load();
  if (fail_at == 0) return false;
  if (attempt == fail_at) return InjectedFault();
  return attempt > fail_at && g_fail_every_after.load() && InjectedFault();
}

void *AllocateBlock(std::size_t size, bool zeroed) {
  if (AllocationMustFail()) return nullptr;
#if defined(QORVCFG_HEAP_LIMIT_BYTES)
  // A build may refuse blocks above a size, as a machine with less memory
  // would: the fuzz targets use it so that a huge request (a string item's
  // default of a billion blanks, say) takes the path of a failed allocation.
  if (size > static_cast<std::size_t>(QORVCFG_HEAP_LIMIT_BYTES)) return nullptr;
#endif
  // A request for 0 bytes still gets a block of its own, distinct from every
  // other live block, which Free accepts like any other.
  void *block = RawAllocate(size == 0 ? 1 : size, zeroed);
  if (block != nullptr) g_live.fetch_add(1, std::memory_order_relaxed);
  return block;
}

}  // namespace

void *Allocate(std::size_t size) { return AllocateBlock(size, false); }

void *AllocateZeroed(std::size_t size) { return AllocateBlock(size, true); }

void Free(void *block) {
  if (block == nullptr) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  RawFree(block);
}

void FailAllocation(std::uint64_t nth, bool every_after) {
  // Disarm first so that no allocation running on another thread sees the
  // new target with the old count.
  g_fail_at.store(0);
  g_since_arm.store(0);
  g_fail_every_after.store(nth != 0 && every_after);
  g_fail_at.store(nth);
}

std::uint64_t AllocationsSinceArm() { return g_since_arm.load(); }

std::int64_t LiveAllocations() { return g_live.load(std::memory_order_relaxed); }

namespace {

struct FileCallFaults {
  std::atomic<std::uint64_t> fail_at{0};
  std::atomic<std::uint64_t> since_arm{0};
};
FileCallFaults g_file_faults[2];

FileCallFaults &FaultsOf(FileCall call) { return g_file_faults[call == FileCall::kRead ? 0 : 1]; }

}  // namespace

void FailFileCall(FileCall call, std::uint64_t nth) {
  FileCallFaults &faults = FaultsOf(call);
  faults.fail_at.store(0);
  faults.since_arm.store(0);
  faults.fail_at.store(nth);
}

std::uint64_t FileCallsSinceArm(FileCall call) { return FaultsOf(call).since_arm.load(); }

bool InjectedFileFailure(FileCall call) {
  FileCallFaults &faults = FaultsOf(call);
  const std::uint64_t attempt = faults.since_arm.fetch_add(1) + 1;
  return attempt == faults.fail_at.load() && InjectedFault();
}

// Kept out of line and free of side effects the compiler could see through,
// so that a breakpoint here always stops.
[[gnu::noinline]] bool InjectedFault() {
  asm volatile("" ::: "memory");
  return true;
}

#endif  // QORVCFG_TEST_HOOKS

}  // namespace qorvcfg::platform
