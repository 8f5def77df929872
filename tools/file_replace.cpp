#include "file_replace.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "tool.h"

#ifdef _WIN32
#include <windows.h>

#include "value_format.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#endif

namespace qorvcfg_tool {
namespace {

[[noreturn]] void CannotWrite(const std::string &message) {
  throw ToolError{kCannotWrite, message};
}

// Where a file of path's folder is made: the temporary file of an edit.
std::string TemporaryPath(const std::string &path) {
#ifdef _WIN32
  const unsigned long process = GetCurrentProcessId();
#else
  const long process = static_cast<long>(getpid());
#endif
  return path + ".qorvcfg-" + std::to_string(process) + ".tmp";
}

bool SameFile(const FileSnapshot &a, const FileSnapshot &b) {
  return a.exists == b.exists && a.size == b.size && a.modified == b.modified &&
         a.identity == b.identity && a.bytes == b.bytes;
}

void Pause(int attempt) {
  // Editors that met each other wake at different times.
  const int jitter = static_cast<int>((std::hash<std::string>{}(TemporaryPath("")) + attempt) % 16);
  std::this_thread::sleep_for(std::chrono::milliseconds(5 + jitter));
}

#ifdef _WIN32

std::wstring Wide(const std::string &text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Narrow(const std::wstring &wide) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

std::string ErrorText(DWORD error) {
  return SystemErrorText(Zel_ESYSTEM | (error & ~Zel_CODE_MASK)) + " (Windows error " +
         std::to_string(error) + ")";
}

struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

#else

std::string ErrorText(int error) { return std::strerror(error); }

std::string Folder(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

struct DescriptorCloser {
  int fd;
  ~DescriptorCloser() {
    if (fd >= 0) close(fd);
  }
};

#endif

}  // namespace

// ---- Links -------------------------------------------------------------------
std::string FollowLinks(const std::string &path) {
#ifdef _WIN32
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  HandleCloser closer{file};
  std::wstring final_path(32768, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(file, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
  if (length == 0 || length >= final_path.size()) return path;
  final_path.resize(length);
  if (final_path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    final_path = L"\\\\" + final_path.substr(8);
  } else if (final_path.rfind(L"\\\\?\\", 0) == 0) {
    final_path = final_path.substr(4);
  }
  return Narrow(final_path);
#else
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), target, sizeof target - 1);
    if (length <= 0) return current;
    const std::string next(target, static_cast<std::size_t>(length));
    current = next[0] == '/' ? next : Folder(current) + "/" + next;
  }
  return current;
#endif
}

// ---- Lock ----------------------------------------------------------------------
int FileLock::DefaultWaitMs() {
  const char *text = std::getenv("QORVCFG_LOCK_WAIT_MS");
  if (text == nullptr || *text == '\0') return 10000;
  char *end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value >= 0 && value <= 600000 ? static_cast<int>(value) : 10000;
}

FileLock::FileLock(const std::string &path, int wait_ms) : lock_path_(path + ".lock") {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (int attempt = 0;; ++attempt) {
#ifdef _WIN32
    const std::wstring wide = Wide(lock_path_);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return;
    }
    const DWORD error = GetLastError();
    // A lock being removed refuses access for a moment.
    const bool held = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                      error == ERROR_SHARING_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED &&
                       GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES);
#else
    const int fd = open(lock_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return;
    }
    const int error = errno;
    const bool held = error == EEXIST;
#endif
    if (!held) {
      const std::string why = ErrorText(error);
      lock_path_.clear();
      CannotWrite(path + ": cannot create the lock file " + path + ".lock: " + why);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      lock_path_.clear();
      CannotWrite(path + ": busy: another edit holds " + path + ".lock (waited " +
                  std::to_string(wait_ms) + " ms; if no edit is running, remove the file)");
    }
    Pause(attempt);
  }
}

FileLock::~FileLock() {
  if (lock_path_.empty()) return;
#ifdef _WIN32
  DeleteFileW(Wide(lock_path_).c_str());
#else
  unlink(lock_path_.c_str());
#endif
}

// ---- Reading ---------------------------------------------------------------------
FileSnapshot ReadSnapshot(const std::string &path) {
  FileSnapshot snapshot;
#ifdef _WIN32
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return snapshot;
    CannotWrite(path + ": cannot read: " + ErrorText(error));
  }
  HandleCloser closer{file};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) {
    CannotWrite(path + ": cannot read: " + ErrorText(GetLastError()));
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CannotWrite(path + ": not a file");
  snapshot.exists = true;
  snapshot.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  snapshot.modified = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                      info.ftLastWriteTime.dwLowDateTime;
  snapshot.identity = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  snapshot.mode = info.dwFileAttributes;
  char buffer[65536];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      CannotWrite(path + ": cannot read: " + ErrorText(GetLastError()));
    }
    if (got == 0) break;
    snapshot.bytes.append(buffer, got);
  }
#else
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return snapshot;
    CannotWrite(path + ": cannot read: " + ErrorText(errno));
  }
  DescriptorCloser closer{fd};
  struct stat info {};
  if (fstat(fd, &info) != 0) CannotWrite(path + ": cannot read: " + ErrorText(errno));
  if (!S_ISREG(info.st_mode)) CannotWrite(path + ": not a regular file");
  snapshot.exists = true;
  snapshot.size = static_cast<std::uint64_t>(info.st_size);
  snapshot.modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                      static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
  snapshot.identity = static_cast<std::uint64_t>(info.st_ino);
  snapshot.mode = info.st_mode & 07777;
  snapshot.owner = info.st_uid;
  snapshot.group = info.st_gid;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) CannotWrite(path + ": cannot read: " + ErrorText(errno));
    if (got == 0) break;
    snapshot.bytes.append(buffer, static_cast<std::size_t>(got));
  }
#endif
  return snapshot;
}

// ---- Replacing -------------------------------------------------------------------
void ReplaceContents(const std::string &path, const FileSnapshot &before,
                     const std::string &bytes) {
  const std::string temporary = TemporaryPath(path);
  auto unchanged = [&] {
    if (!SameFile(ReadSnapshot(path), before)) {
      CannotWrite(path + ": changed by someone else while it was edited; nothing written");
    }
  };
#ifdef _WIN32
  const std::wstring wide_temporary = Wide(temporary);
  struct Remover {
    const std::wstring *path;
    bool armed = true;
    ~Remover() {
      if (armed) DeleteFileW(path->c_str());
    }
  } remover{&wide_temporary};
  {
    HANDLE file = CreateFileW(wide_temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      remover.armed = false;
      CannotWrite(temporary + ": cannot create: " + ErrorText(GetLastError()));
    }
    HandleCloser closer{file};
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
      DWORD written = 0;
      if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
        CannotWrite(temporary + ": cannot write: " + ErrorText(GetLastError()));
      }
      done += written;
    }
    if (!FlushFileBuffers(file)) {
      CannotWrite(temporary + ": cannot write: " + ErrorText(GetLastError()));
    }
  }
  if (before.exists) {
    const DWORD kept =
        before.mode & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY |
                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    SetFileAttributesW(wide_temporary.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  unchanged();
  if (!MoveFileExW(wide_temporary.c_str(), Wide(path).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    CannotWrite(path + ": cannot replace the file: " + ErrorText(GetLastError()));
  }
  remover.armed = false;
#else
  struct Remover {
    const std::string *path;
    bool armed = true;
    ~Remover() {
      if (armed) unlink(path->c_str());
    }
  } remover{&temporary};
  {
    unlink(temporary.c_str());  // left by an edit of an earlier process of this number
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      remover.armed = false;
      CannotWrite(temporary + ": cannot create: " + ErrorText(errno));
    }
    DescriptorCloser closer{fd};
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) CannotWrite(temporary + ": cannot write: " + ErrorText(errno));
      done += static_cast<std::size_t>(written);
    }
    mode_t mode = static_cast<mode_t>(before.mode);
    if (before.exists) {
      // The owner first: a change of owner clears the set-user-ID bits.
      if (fchown(fd, before.owner, before.group) != 0) {
        (void)!fchown(fd, static_cast<uid_t>(-1), before.group);
      }
    } else {
      const mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    if (fchmod(fd, mode) != 0)
      CannotWrite(temporary + ": cannot set its mode: " + ErrorText(errno));
    if (fsync(fd) != 0) CannotWrite(temporary + ": cannot write: " + ErrorText(errno));
  }
  unchanged();
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    CannotWrite(path + ": cannot replace the file: " + ErrorText(errno));
  }
  remover.armed = false;
  const int folder = open(Folder(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (folder >= 0) {
    (void)fsync(folder);  // the rename itself on disk; not every file system allows it
    close(folder);
  }
#endif
}

}  // namespace qorvcfg_tool
