// Files and index locks on Windows: UTF-8 paths are converted to UTF-16 and
// opened with CreateFileW; every failure carries GetLastError().

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/platform.h"

namespace qorvcfg::platform {
namespace {

constexpr UINT kCodePageUtf8 = 65001;

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// Converts the UTF-8 path to UTF-16 in a new block and opens it. The block is
// freed whatever the outcome.
ResultCode OpenFile(const char *utf8_path, DWORD access, DWORD share, DWORD disposition,
                    FileHandle *out) {
  const int units = MultiByteToWideChar(kCodePageUtf8, 0, utf8_path, -1, nullptr, 0);
  if (units <= 0) return Zel_ESYSTEM | GetLastError();
  auto *wide_path =
      static_cast<wchar_t *>(Allocate(static_cast<std::size_t>(units) * sizeof(wchar_t)));
  if (wide_path == nullptr) return Zel_ENOMEM;
  if (MultiByteToWideChar(kCodePageUtf8, 0, utf8_path, -1, wide_path, units) <= 0) {
    const DWORD error = GetLastError();
    Free(wide_path);
    return Zel_ESYSTEM | error;
  }

  const HANDLE file =
      CreateFileW(wide_path, access, share, nullptr, disposition, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  const DWORD error = GetLastError();
  Free(wide_path);
  if (file == INVALID_HANDLE_VALUE) return OpenFailureCode(error);
  *out = reinterpret_cast<FileHandle>(file);
  return Zel_OK;
}

}  // namespace

ResultCode OpenForReading(const char *utf8_path, FileHandle *out) {
  return OpenFile(utf8_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, out);
}

ResultCode OpenForWriting(const char *utf8_path, FileHandle *out) {
  return OpenFile(utf8_path, GENERIC_WRITE, 0, CREATE_ALWAYS, out);
}

ResultCode ReadBlock(FileHandle file, void *buffer, std::uint32_t size, std::uint32_t *read_count) {
#if defined(QORVCFG_TEST_HOOKS)
  if (InjectedFileFailure(FileCall::kRead)) return Zel_ESYSTEM | kErrorReadFault;
#endif
  DWORD count = 0;
  if (!ReadFile(ToHandle(file), buffer, size, &count, nullptr)) {
    return Zel_ESYSTEM | GetLastError();
  }
  *read_count = count;
  return Zel_OK;
}

bool RegularFileSize(FileHandle file, std::uint64_t *size) {
  if (GetFileType(ToHandle(file)) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(ToHandle(file), &length)) return false;
  *size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

ResultCode WriteBytes(FileHandle file, const void *bytes, std::uint32_t size) {
#if defined(QORVCFG_TEST_HOOKS)
  if (InjectedFileFailure(FileCall::kWrite)) return Zel_ESYSTEM | kErrorWriteFault;
#endif
  DWORD written = 0;
  if (!WriteFile(ToHandle(file), bytes, size, &written, nullptr)) {
    return Zel_ESYSTEM | GetLastError();
  }
  return Zel_OK;
}

void Close(FileHandle file) {
  if (file == kInvalidFile) return;
  if (!CloseHandle(ToHandle(file))) (void)GetLastError();
}

// The index lock is a slim reader/writer lock taken exclusively: a pointer
// in the index itself, no kernel object, nothing to create that could fail
// and nothing to close. Like the POSIX lock it is not recursive.
static_assert(sizeof(SRWLOCK) == sizeof(Mutex) && alignof(SRWLOCK) == alignof(Mutex));

namespace {
PSRWLOCK ToLock(Mutex *mutex) { return reinterpret_cast<PSRWLOCK>(&mutex->lock); }
}  // namespace

ResultCode MutexCreate(Mutex *mutex) {
  InitializeSRWLock(ToLock(mutex));
  return Zel_OK;
}

void MutexWait(Mutex *mutex) { AcquireSRWLockExclusive(ToLock(mutex)); }

void MutexRelease(Mutex *mutex) { ReleaseSRWLockExclusive(ToLock(mutex)); }

void MutexClose(Mutex *) {}

}  // namespace qorvcfg::platform
