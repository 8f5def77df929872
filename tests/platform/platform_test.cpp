#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"

namespace qorvcfg::platform {
namespace {

using test::TempPath;

enum class Mode { kRead, kWrite };

ResultCode Open(Mode mode, const std::string &path, FileHandle *out) {
  return mode == Mode::kRead ? OpenForReading(path.c_str(), out)
                             : OpenForWriting(path.c_str(), out);
}

// The rest of the file through ReadBlock in 1024-byte blocks.
std::string ReadRest(FileHandle file) {
  std::string all;
  char buffer[1024];
  std::uint32_t count = 0;
  while (ReadBlock(file, buffer, sizeof buffer, &count) == Zel_OK && count > 0 &&
         count <= sizeof buffer) {
    all.append(buffer, count);
  }
  return all;
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
    bool out_of_memory = false;  // the copy of the path fails
  } cases[] = {
      {Mode::kRead, TempPath("absent"), Zel_ESYSTEM | kErrorFileNotFound},
      {Mode::kRead, no_dir, Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kWrite, no_dir, Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kRead, file + "/inner", Zel_ESYSTEM | kErrorPathNotFound},
      {Mode::kRead, directory, Zel_ESYSTEM | kErrorAccessDenied},
      {Mode::kWrite, directory, Zel_ESYSTEM | kErrorAccessDenied},
      {Mode::kRead, file, Zel_ENOMEM, true},
      {Mode::kWrite, file, Zel_ENOMEM, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path + (c.mode == Mode::kRead ? " for reading" : " for writing"));
    const std::int64_t live = LiveAllocations();
    FileHandle handle = 12345;
    FailAllocation(c.out_of_memory ? 1 : 0);
    EXPECT_EQ(Open(c.mode, c.path, &handle), c.expected);
    FailAllocation(0);
    EXPECT_EQ(handle, 12345);
    EXPECT_EQ(LiveAllocations(), live);
  }
  EXPECT_FALSE(test::FileExists(TempPath("no-dir")));
  EXPECT_EQ(test::ReadFile(file), "x");
}

TEST(OpenFile, AReaderAndAWriterRefuseEachOther) {
  for (Mode first : {Mode::kRead, Mode::kWrite}) {
    const Mode second = first == Mode::kRead ? Mode::kWrite : Mode::kRead;
    SCOPED_TRACE(first == Mode::kRead ? "reader first" : "writer first");
    const std::string path = TempPath(first == Mode::kRead ? "read-first" : "write-first");
    test::WriteFile(path, "original");
    FileHandle held = kInvalidFile, refused = kInvalidFile;
    ASSERT_EQ(Open(first, path, &held), Zel_OK);
    EXPECT_EQ(Open(second, path, &refused), Zel_EBUSY | kErrorSharingViolation);
    Close(held);
    // A refused writer must not have cut the file.
    EXPECT_EQ(test::ReadFile(path), first == Mode::kRead ? "original" : "");
    ASSERT_EQ(Open(second, path, &held), Zel_OK) << "still locked after closing";
    Close(held);
  }
}

TEST(FileData, WrittenBytesReadBackWholeByTwoReaders) {
  const std::string path = TempPath("written");
  std::string bytes(2500, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  FileHandle file = kInvalidFile, other = kInvalidFile;
  ASSERT_EQ(OpenForWriting(path.c_str(), &file), Zel_OK);
  EXPECT_EQ(WriteBytes(file, bytes.data(), 1000), Zel_OK);
  EXPECT_EQ(WriteBytes(file, bytes.data() + 1000, 1500), Zel_OK);
  Close(file);
  EXPECT_EQ(test::ReadFile(path), bytes);
  ASSERT_EQ(OpenForReading(path.c_str(), &file), Zel_OK);
  ASSERT_EQ(OpenForReading(path.c_str(), &other), Zel_OK);
  EXPECT_EQ(ReadRest(file), bytes);
  EXPECT_EQ(ReadRest(other), bytes);
  Close(file);
  Close(other);
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

TEST(Heap, FailAllocationFailsExactlyTheArmedAllocations) {
  const struct {
    std::uint64_t nth;
    bool every_after;
    std::string expected;  // per allocation: o succeeds, x fails
  } cases[] = {
      {0, true, "oooooo"}, {1, false, "xooooo"}, {3, false, "ooxooo"}, {3, true, "ooxxxx"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.expected);
    const std::int64_t live = LiveAllocations();
    FailAllocation(c.nth, c.every_after);
    std::string outcome;
    std::vector<void *> blocks;
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      void *block = i % 2 ? AllocateZeroed(64) : Allocate(64);
      outcome += block ? 'o' : 'x';
      blocks.push_back(block);
    }
    EXPECT_EQ(AllocationsSinceArm(), c.expected.size());
    FailAllocation(0);
    EXPECT_EQ(outcome, c.expected);
    EXPECT_EQ(LiveAllocations() - live, std::count(outcome.begin(), outcome.end(), 'o'));
    for (void *block : blocks) Free(block);
    EXPECT_EQ(LiveAllocations(), live);
  }
}

}  // namespace
}  // namespace qorvcfg::platform
