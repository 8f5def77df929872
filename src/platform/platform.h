// The only code that touches the operating system: heap, files and locks.
// win32.cpp makes the Windows calls; posix.cpp gives the same results on
// Linux, Windows error numbers included.
//
// What holds: every allocation of the library comes from Allocate or
// AllocateZeroed and goes back through Free. The shipped library keeps no
// state here; the fault-injection counters exist only in the test build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorvcfg.h"

#if !defined(_WIN32)
#include <atomic>
#endif

namespace qorvcfg::platform {

// ---- Heap -----------------------------------------------------------------
// Every allocation of the library goes through these two functions.
[[nodiscard]] void *Allocate(std::size_t size);
// Zero-filled allocation.
[[nodiscard]] void *AllocateZeroed(std::size_t size);
void Free(void *block);

#if defined(QORVCFG_TEST_HOOKS)
// Only in the test build of the core: the shipped library keeps no state
// outside its handles.
//
// Fault injection. FailAllocation(n, every_after): the n-th allocation from
// now (1 = the next one) fails; with every_after, so does every one after
// it. FailAllocation(0, false) turns injection off.
void FailAllocation(std::uint64_t nth, bool every_after = false);
// Number of allocations made since the last FailAllocation call.
[[nodiscard]] std::uint64_t AllocationsSinceArm();
// Number of blocks allocated and not yet freed.
[[nodiscard]] std::int64_t LiveAllocations();

// File reads and writes: the n-th ReadBlock or WriteBytes from now fails
// with Zel_ESYSTEM | kErrorReadFault or kErrorWriteFault; 0 turns it off.
enum class FileCall { kRead, kWrite };
void FailFileCall(FileCall call, std::uint64_t nth);
// Calls of that kind made since its last FailFileCall.
[[nodiscard]] std::uint64_t FileCallsSinceArm(FileCall call);
// True when this call must fail (counts the call); used by the platform files.
[[nodiscard]] bool InjectedFileFailure(FileCall call);

// Every injected failure, of the heap or of a file call, passes through this
// function just before it strikes (it gives true): a breakpoint on it stops
// a test where its fault begins.
bool InjectedFault();
#endif

// ---- Files ----------------------------------------------------------------
// Windows error numbers that the POSIX implementation reproduces.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorLockViolation = 33;
inline constexpr std::uint32_t kErrorBusy = 170;
inline constexpr std::uint32_t kErrorWriteFault = 29;
inline constexpr std::uint32_t kErrorReadFault = 30;
// A read refuses files that are not regular files, and files too large for
// the reader's 32-bit lengths, with these.
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileTooLarge = 223;

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// Opens an existing file for reading; readers and writers may share it.
// Zel_EBUSY|e for errors 32, 33, 170; Zel_ESYSTEM|e otherwise; Zel_ENOMEM
// when the wide path cannot be allocated. out is written only on success.
[[nodiscard]] ResultCode OpenForReading(const char *utf8_path, FileHandle *out);
// Creates or replaces a file for writing, shared with no one.
[[nodiscard]] ResultCode OpenForWriting(const char *utf8_path, FileHandle *out);
// Reads up to size bytes; *read_count is 0 at the end of the file.
[[nodiscard]] ResultCode ReadBlock(FileHandle file, void *buffer, std::uint32_t size,
                                   std::uint32_t *read_count);
// Size in bytes of an open file when it is a regular file on disk; false for
// anything else (a device, a pipe), whose length is unknown or endless.
[[nodiscard]] bool RegularFileSize(FileHandle file, std::uint64_t *size);
// Writes all size bytes in one call; Zel_ESYSTEM|e on failure.
[[nodiscard]] ResultCode WriteBytes(FileHandle file, const void *bytes, std::uint32_t size);
// Closes the file; a failure is not reported.
void Close(FileHandle file);

// Code for an open failure with Windows error e.
[[nodiscard]] constexpr ResultCode OpenFailureCode(std::uint32_t e) {
  return (e == kErrorSharingViolation || e == kErrorLockViolation || e == kErrorBusy)
             ? (Zel_EBUSY | e)
             : (Zel_ESYSTEM | e);
}

// ---- Mutex ----------------------------------------------------------------
// One index's lock: a word in the index, made without a system call, so that
// making it cannot fail.
struct Mutex {
#if defined(_WIN32)
  void *lock;  // a slim reader/writer lock
#else
  // 0 free, 1 held, 2 held with waiters (who sleep on the word).
  std::atomic<std::uint32_t> state;
#endif
};

// Makes the lock free. Always Zel_OK: there is nothing that can fail.
[[nodiscard]] ResultCode MutexCreate(Mutex *mutex);
// Neither lock is recursive: its holder must not wait on it again.
void MutexWait(Mutex *mutex);
void MutexRelease(Mutex *mutex);
void MutexClose(Mutex *mutex);

// Holds a mutex for one scope.
class MutexGuard {
 public:
  explicit MutexGuard(Mutex *mutex) : mutex_(mutex) { MutexWait(mutex_); }
  ~MutexGuard() { MutexRelease(mutex_); }
  MutexGuard(const MutexGuard &) = delete;
  MutexGuard &operator=(const MutexGuard &) = delete;

 private:
  Mutex *mutex_;
};

}  // namespace qorvcfg::platform
