// The tool's own small file layer for edits: a lock beside the file, the
// file's bytes with what identifies them, and replacing the file atomically
// with new bytes. POSIX and Win32 implementations behave alike.
#pragma once

#include <cstdint>
#include <string>

namespace qorvcfg_tool {

// The file a path names: a symbolic link is followed to its final target,
// so that the target is edited and the link stays. A path that is no link
// comes back as given; a link to a missing file gives the path it names,
// the file to create.
std::string FollowLinks(const std::string &path);

// An edit's claim on a file: FILE.lock, created exclusively and removed when
// the lock goes away. A second editor waits up to wait_ms for the lock, then
// fails with kCannotWrite and "busy".
class FileLock {
 public:
  FileLock(const std::string &path, int wait_ms);
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;
  ~FileLock();

  // How long an editor waits for the lock: QORVCFG_LOCK_WAIT_MS from the
  // environment when set, else ten seconds.
  static int DefaultWaitMs();

 private:
  std::string lock_path_;
};

// A file's contents as read, with what tells whether it changed since.
struct FileSnapshot {
  bool exists = false;
  std::string bytes;
  std::uint64_t size = 0;
  std::uint64_t modified = 0;  // in the system's own units
  std::uint64_t identity = 0;  // inode, or the file index on Windows
  std::uint32_t mode = 0;      // POSIX permission bits, or Windows attributes
  std::uint32_t owner = 0, group = 0;
};

// Reads path whole. A missing file gives exists = false; any other failure
// throws a ToolError.
FileSnapshot ReadSnapshot(const std::string &path);

// Replaces the file at path, last read as before, with bytes: a temporary
// file in the same folder is written, flushed to disk, given the original's
// mode (and owner, where permitted) and renamed over path, after a check
// that path still holds what was read. A missing original (before.exists
// false) is created with the default mode. Throws a ToolError with
// kCannotWrite on any failure; path is then as it was.
void ReplaceContents(const std::string &path, const FileSnapshot &before, const std::string &bytes);

}  // namespace qorvcfg_tool
