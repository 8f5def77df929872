#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/assert.h"
#include "support/test_files.h"

namespace qorvcfg::platform {
namespace {

using test::TempPath;

enum class Mode { kRead, kWrite };

ResultCode Open(Mode mode, const std::string &path, FileHandle *out) {
  return mode == Mode::kRead ? OpenForReading(path.c_str(), out)
                             : OpenForWriting(path.c_str(), out);
}

TEST(OpenFile, FailuresGiveTheirCodeAndLeaveTheHandleAlone) {
  const std::string file = TempPath("plain");
  test::WriteFile(file, "x");
  const std::string directory = TempPath("dir");
  ASSERT_TRUE(std::filesystem::create_directory(directory));
  const std::string no_dir = TempPath("no-dir") + "/a/file";
  const struct {
    Mode mode;
    std::string path;
    ResultCode expected;
  } cases[] = {
      {Mode::kRead, TempPath("absent"), Zel_ESYSTEM | kErrorFileNotFound},
      {Mode::kRead, no_dir, Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kWrite, no_dir, Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kRead, file + "/inner", Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kRead, directory, Zel_ESYSTEM | kErrorAccessDenied},
      {Mode::kWrite, directory, Zel_ESYSTEM | kErrorAccessDenied},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path + (c.mode == Mode::kRead ? " for reading" : " for writing"));
    const std::int64_t live = LiveAllocations();
    FileHandle handle = 12345;
    EXPECT_EQ(Open(c.mode, c.path, &handle), c.expected);
    EXPECT_EQ(handle, 12345);
    EXPECT_EQ(LiveAllocations(), live);
  }
  EXPECT_FALSE(test::FileExists(TempPath("no-dir")));
  EXPECT_EQ(test::ReadFile(file), "x");
}

TEST(OpenFile, AReaderAndAWriterRefuseEachOtherReadersShare) {
  for (Mode first : {Mode::kRead, Mode::kWrite}) {
    const Mode second = first == Mode::kRead ? Mode::kWrite : Mode::kRead;
    SCOPED_TRACE(first == Mode::kRead ? "reader first" : "writer first");
    const std::string path = TempPath(first == Mode::kRead ? "read-first" : "write-first");
    test::WriteFile(path, "original");
    FileHandle held = kInvalidFile, refused = kInvalidFile;
    ASSERT_EQ(Open(first, path, &held), Zel_OK);
    EXPECT_EQ(Open(second, path, &refused), Zel_EBUSY | kErrorSharingViolation);
    if (first == Mode::kRead) {  // readers share the file
      ASSERT_EQ(Open(Mode::kRead, path, &refused), Zel_OK);
      Close(refused);
    }
    Close(held);
    // A refused writer must not have cut the file.
    EXPECT_EQ(test::ReadFile(path), first == Mode::kRead ? "original" : "");
    ASSERT_EQ(Open(second, path, &held), Zel_OK) << "still locked after closing";
    Close(held);
  }
}

TEST(Mutex, KeepsThreadsApart) {
  Mutex mutex;
  ASSERT_EQ(MutexCreate(&mutex), Zel_OK);
  long counter = 0;  // deliberately not atomic
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        MutexGuard guard(&mutex);
        const long seen = counter;
        counter = seen + 1;
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(counter, 4 * 2000);
  MutexClose(&mutex);
}

// Checked builds stop at a broken assertion and say where and why; Release
// does not even evaluate the condition.
TEST(Assert, ChecksOnlyWithoutNdebug) {
  int evaluated = 0;
  QORVCFG_ASSERT(++evaluated == 1, "counted once");
#if defined(NDEBUG)
  EXPECT_EQ(evaluated, 0);
#else
  EXPECT_EQ(evaluated, 1);
#if !defined(_WIN32)
  EXPECT_DEATH(QORVCFG_ASSERT(evaluated == 2, "the count is two"),
               "assertion failed: the count is two \\(evaluated == 2\\)");
#endif
#endif
}

}  // namespace
}  // namespace qorvcfg::platform
