// Files and mutexes on POSIX systems, answering with the same Windows error
// numbers as the Windows build so that callers and tests see one behaviour.
//
// Sharing follows the Windows rules the library relies on: a reader shares
// with readers and writers, a writer with no one. It is enforced with
// open-file-description locks, which conflict between two opens even inside
// one process: a reader holds a shared lock on the whole file, a writer an
// exclusive one. A writer opens without truncating, takes its lock and only
// then cuts the file to length 0, so a refused writer leaves the file as it
// was.

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace qorvcfg::platform {
namespace {

// Windows error numbers used below, besides those in platform.h.
constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorWriteProtect = 19;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr std::uint32_t kErrorFileTooLarge = 223;
constexpr std::uint32_t kErrorCantResolveFilename = 1921;

// Windows error number for an errno value. ENOENT is not final here: the
// open functions tell a missing file from a missing directory themselves.
std::uint32_t WindowsError(int error) {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
    case EAGAIN:
      return kErrorNotEnoughMemory;
    case EROFS:
      return kErrorWriteProtect;
    case EEXIST:
      return kErrorFileExists;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case EFBIG:
      return kErrorFileTooLarge;
    case ELOOP:
      return kErrorCantResolveFilename;
    case ETXTBSY:
      // The file is a running program: Windows calls that a sharing violation.
      return kErrorSharingViolation;
    case EBUSY:
      return kErrorBusy;
    default:
      return kErrorGenFailure;
  }
}

// Windows error number for a failed open of path. path_copy is a writable
// copy of the path, which this function may cut short.
std::uint32_t OpenError(int error, char *path_copy) {
  if (error != ENOENT) return WindowsError(error);
  // Windows says "file not found" only when the directory that should hold
  // the file exists; otherwise "path not found".
  char *slash = std::strrchr(path_copy, '/');
  if (path_copy[0] == '\0') return kErrorPathNotFound;
  if (slash == nullptr) return kErrorFileNotFound;  // the current directory
  if (slash == path_copy) {
    slash[1] = '\0';  // the root directory
  } else {
    slash[0] = '\0';
  }
  struct stat info;
  if (stat(path_copy, &info) != 0 || !S_ISDIR(info.st_mode)) return kErrorPathNotFound;
  return kErrorFileNotFound;
}

// Copies the path into a block of its own. Windows converts the path to
// UTF-16 in a new block at this point; making the same single allocation
// here keeps the allocation sequence, and so the fault-injection tests,
// alike on both systems. The copy also serves OpenError.
char *CopyPath(const char *path) {
  const std::size_t size = std::strlen(path) + 1;
  char *copy = static_cast<char *>(Allocate(size));
  if (copy != nullptr) std::memcpy(copy, path, size);
  return copy;
}

// Takes an open-file-description lock of the given type over the whole file.
// Gives 0, or the Windows error for a refusal. A system that cannot lock
// this file at all leaves it unlocked rather than unusable.
std::uint32_t LockWholeFile(int fd, short type) {
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file, however long it grows
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return 0;
  if (errno == EAGAIN || errno == EACCES) return kErrorSharingViolation;
  return 0;
}

// Opens path without blocking on special files (a FIFO with no peer), then
// puts the descriptor back into blocking mode. Gives -1 with errno set.
int OpenPath(const char *path, int flags) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  const int status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

enum class OpenMode { kRead, kWrite };

ResultCode OpenFile(const char *utf8_path, OpenMode mode, FileHandle *out) {
  char *path = CopyPath(utf8_path);
  if (path == nullptr) return Zel_ENOMEM;

  std::uint32_t error = 0;
  const int fd = OpenPath(path, mode == OpenMode::kRead ? O_RDONLY : (O_WRONLY | O_CREAT));
  if (fd < 0) {
    error = OpenError(errno, path);
  } else if (mode == OpenMode::kRead) {
    struct stat info;
    if (fstat(fd, &info) != 0) {
      error = WindowsError(errno);
    } else if (S_ISDIR(info.st_mode)) {
      error = kErrorAccessDenied;  // a directory cannot be opened as a file
    } else {
      error = LockWholeFile(fd, F_RDLCK);
    }
  } else {
    error = LockWholeFile(fd, F_WRLCK);
    if (error == 0 && ftruncate(fd, 0) != 0) error = WindowsError(errno);
  }
  Free(path);

  if (error != 0) {
    if (fd >= 0) close(fd);
    return OpenFailureCode(error);
  }
  *out = static_cast<FileHandle>(fd);
  return Zel_OK;
}

// Windows error for a failed read or write on file. A descriptor that is
// open, but not in the needed direction, is "access denied" on Windows.
std::uint32_t TransferError(FileHandle file, int error) {
  if (error == EBADF && file >= 0 && fcntl(static_cast<int>(file), F_GETFL) != -1) {
    return kErrorAccessDenied;
  }
  return WindowsError(error);
}

}  // namespace

ResultCode OpenForReading(const char *utf8_path, FileHandle *out) {
  return OpenFile(utf8_path, OpenMode::kRead, out);
}

ResultCode OpenForWriting(const char *utf8_path, FileHandle *out) {
  return OpenFile(utf8_path, OpenMode::kWrite, out);
}

ResultCode ReadBlock(FileHandle file, void *buffer, std::uint32_t size, std::uint32_t *read_count) {
#if defined(QORVCFG_TEST_HOOKS)
  if (InjectedFileFailure(FileCall::kRead)) return Zel_ESYSTEM | kErrorReadFault;
#endif
  ssize_t count;
  do {
    count = read(static_cast<int>(file), buffer, size);
  } while (count < 0 && errno == EINTR);
  if (count < 0) return Zel_ESYSTEM | TransferError(file, errno);
  *read_count = static_cast<std::uint32_t>(count);
  return Zel_OK;
}

bool RegularFileSize(FileHandle file, std::uint64_t *size) {
  struct stat info;
  if (fstat(static_cast<int>(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

ResultCode WriteBytes(FileHandle file, const void *bytes, std::uint32_t size) {
  // Windows writes all bytes of a file write in one call; write() may stop
  // short, so go on until everything is out.
#if defined(QORVCFG_TEST_HOOKS)
  if (InjectedFileFailure(FileCall::kWrite)) return Zel_ESYSTEM | kErrorWriteFault;
#endif
  const char *next = static_cast<const char *>(bytes);
  std::uint32_t left = size;
  while (left > 0) {
    const ssize_t count = write(static_cast<int>(file), next, left);
    if (count < 0) {
      if (errno == EINTR) continue;
      return Zel_ESYSTEM | TransferError(file, errno);
    }
    next += count;
    left -= static_cast<std::uint32_t>(count);
  }
  return Zel_OK;
}

void Close(FileHandle file) {
  if (file < 0) return;
  // Closing the only descriptor of the open file also drops its lock.
  close(static_cast<int>(file));
}

// A four-byte lock that cannot fail to be made: waiters sleep on its word.
ResultCode MutexCreate(Mutex *mutex) {
  mutex->state.store(0, std::memory_order_relaxed);
  return Zel_OK;
}

void MutexWait(Mutex *mutex) {
  std::uint32_t expected = 0;
  if (mutex->state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) return;
  if (expected != 2) expected = mutex->state.exchange(2, std::memory_order_acquire);
  while (expected != 0) {
    mutex->state.wait(2, std::memory_order_relaxed);
    expected = mutex->state.exchange(2, std::memory_order_acquire);
  }
}

void MutexRelease(Mutex *mutex) {
  if (mutex->state.exchange(0, std::memory_order_release) == 2) mutex->state.notify_one();
}

void MutexClose(Mutex *) {}

}  // namespace qorvcfg::platform
