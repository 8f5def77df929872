#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"

namespace qorvcfg::platform {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempPath;
using test::WriteFile;

constexpr ResultCode kSharingViolation = Zel_EBUSY | kErrorSharingViolation;

// Closes the file when the test leaves the scope, whatever happened.
class ScopedFile {
 public:
  ScopedFile() = default;
  ~ScopedFile() { Reset(); }
  ScopedFile(const ScopedFile &) = delete;
  ScopedFile &operator=(const ScopedFile &) = delete;

  FileHandle *out() { return &handle_; }
  FileHandle get() const { return handle_; }
  void Reset() {
    if (handle_ != kInvalidFile) Close(handle_);
    handle_ = kInvalidFile;
  }

 private:
  FileHandle handle_ = kInvalidFile;
};

enum class Mode { kRead, kWrite };

const char *ModeName(Mode mode) { return mode == Mode::kRead ? "reading" : "writing"; }

ResultCode Open(Mode mode, const std::string &path, FileHandle *out) {
  return mode == Mode::kRead ? OpenForReading(path.c_str(), out)
                             : OpenForWriting(path.c_str(), out);
}

// Everything that is left in the file, read through ReadBlock in blocks of
// block_size; every block must be non-empty until the end.
std::string ReadRest(FileHandle file, std::uint32_t block_size = 1024) {
  std::string all;
  std::vector<char> buffer(block_size);
  for (;;) {
    std::uint32_t count = 0xFFFFFFFFu;
    const ResultCode result = ReadBlock(file, buffer.data(), block_size, &count);
    EXPECT_EQ(result, Zel_OK);
    if (result != Zel_OK) return all;
    EXPECT_LE(count, block_size);
    if (count == 0 || count > block_size) return all;
    all.append(buffer.data(), count);
  }
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// ---- Opening ---------------------------------------------------------------

TEST(OpenFile, FailuresCarryTheWindowsErrorAndLeaveTheHandleAlone) {
  const std::string file = TempPath("plain-file");
  WriteFile(file, "x");
  const std::string directory = TempPath("a-directory");
  ASSERT_TRUE(std::filesystem::create_directory(directory));

  struct Case {
    const char *what;
    Mode mode;
    std::string path;
    ResultCode expected;
  };
  const Case cases[] = {
      {"missing file", Mode::kRead, TempPath("absent"), Zel_ESYSTEM | kErrorFileNotFound},
      {"missing directory", Mode::kRead, TempPath("no-dir") + "/file",
       Zel_ESYSTEM | kErrorPathNotFound},
      {"missing directory", Mode::kWrite, TempPath("no-dir") + "/file",
       Zel_ESYSTEM | kErrorPathNotFound},
      {"missing directories", Mode::kWrite, TempPath("no-dir") + "/a/b/file",
       Zel_ESYSTEM | kErrorPathNotFound},
      {"file used as directory", Mode::kRead, file + "/inner", Zel_ESYSTEM | kErrorPathNotFound},
      {"file used as directory", Mode::kWrite, file + "/inner", Zel_ESYSTEM | kErrorPathNotFound},
      {"directory", Mode::kRead, directory, Zel_ESYSTEM | kErrorAccessDenied},
      {"directory", Mode::kWrite, directory, Zel_ESYSTEM | kErrorAccessDenied},
      {"empty path", Mode::kRead, "", Zel_ESYSTEM | kErrorPathNotFound},
      {"empty path", Mode::kWrite, "", Zel_ESYSTEM | kErrorPathNotFound},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", " + ModeName(c.mode) + ": " + c.path);
    FileHandle handle = 12345;
    EXPECT_EQ(Open(c.mode, c.path, &handle), c.expected);
    EXPECT_EQ(handle, 12345);
  }
  EXPECT_FALSE(FileExists(TempPath("no-dir")));
  EXPECT_EQ(ReadFile(file), "x");
}

TEST(OpenFile, OutOfMemoryForThePathIsReportedAsSuch) {
  const std::string path = TempPath("exists");
  WriteFile(path, "abc");
  for (Mode mode : {Mode::kRead, Mode::kWrite}) {
    SCOPED_TRACE(ModeName(mode));
    const std::int64_t live = LiveAllocations();
    FileHandle handle = 12345;
    FailAllocation(1);
    EXPECT_EQ(Open(mode, path, &handle), Zel_ENOMEM);
    FailAllocation(0);
    EXPECT_EQ(handle, 12345);
    EXPECT_EQ(LiveAllocations(), live);
  }
  EXPECT_EQ(ReadFile(path), "abc");
}

TEST(OpenFile, OpeningFreesEverythingItAllocated) {
  const std::string path = TempPath("file");
  const std::int64_t live = LiveAllocations();
  {
    ScopedFile writer;
    ASSERT_EQ(OpenForWriting(path.c_str(), writer.out()), Zel_OK);
  }
  {
    ScopedFile reader;
    ASSERT_EQ(OpenForReading(path.c_str(), reader.out()), Zel_OK);
  }
  FileHandle handle = 12345;
  EXPECT_NE(OpenForReading(TempPath("absent").c_str(), &handle), Zel_OK);
  EXPECT_EQ(LiveAllocations(), live);
}

// ---- Sharing ---------------------------------------------------------------

TEST(FileSharing, ReadersShareAndWritersShareWithNoOne) {
  struct Case {
    Mode first;
    Mode second;
    ResultCode expected;
  };
  const Case cases[] = {
      {Mode::kRead, Mode::kRead, Zel_OK},
      {Mode::kRead, Mode::kWrite, kSharingViolation},
      {Mode::kWrite, Mode::kRead, kSharingViolation},
      {Mode::kWrite, Mode::kWrite, kSharingViolation},
  };
  int index = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(ModeName(c.first)) + " then " + ModeName(c.second));
    const std::string path = TempPath("shared-" + std::to_string(index++));
    WriteFile(path, "original contents");

    ScopedFile first;
    ASSERT_EQ(Open(c.first, path, first.out()), Zel_OK);
    ScopedFile second;
    EXPECT_EQ(Open(c.second, path, second.out()), c.expected);
    if (c.expected != Zel_OK) {
      EXPECT_EQ(second.get(), kInvalidFile);
    }

    // A refused open changes nothing; only the first writer has cut the file.
    const std::string expected_contents = c.first == Mode::kWrite ? "" : "original contents";
    if (c.first == Mode::kRead) {
      EXPECT_EQ(ReadRest(first.get()), expected_contents);
    }
    if (second.get() != kInvalidFile) {
      EXPECT_EQ(ReadRest(second.get()), expected_contents);
    }
    first.Reset();
    second.Reset();
    EXPECT_EQ(ReadFile(path), expected_contents);

    // Once both are closed the file is free for anyone again.
    ScopedFile again;
    EXPECT_EQ(Open(c.second, path, again.out()), Zel_OK);
  }
}

TEST(FileSharing, AWriterOnAnotherThreadIsRefusedToo) {
  const std::string path = TempPath("threads");
  WriteFile(path, "kept");
  ScopedFile reader;
  ASSERT_EQ(OpenForReading(path.c_str(), reader.out()), Zel_OK);
  ResultCode result = Zel_OK;
  std::thread writer([&] {
    FileHandle handle = kInvalidFile;
    result = OpenForWriting(path.c_str(), &handle);
    if (result == Zel_OK) Close(handle);
  });
  writer.join();
  EXPECT_EQ(result, kSharingViolation);
  EXPECT_EQ(ReadRest(reader.get()), "kept");
}

// ---- Reading and writing ---------------------------------------------------

TEST(FileData, ReadBlockDeliversTheWholeFileInBlocks) {
  for (std::size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 3u * 1024u + 17u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    const std::string path = TempPath("blocks-" + std::to_string(size));
    const std::string bytes = Pattern(size);
    WriteFile(path, bytes);

    ScopedFile file;
    ASSERT_EQ(OpenForReading(path.c_str(), file.out()), Zel_OK);
    EXPECT_EQ(ReadRest(file.get()), bytes);
    // At the end every further read gives 0 bytes.
    char byte = 0;
    std::uint32_t count = 99;
    EXPECT_EQ(ReadBlock(file.get(), &byte, 1, &count), Zel_OK);
    EXPECT_EQ(count, 0u);
  }
}

TEST(FileData, WrittenBytesReadBackExactly) {
  const std::string path = TempPath("written");
  const std::string big = Pattern(5000);
  {
    ScopedFile file;
    ASSERT_EQ(OpenForWriting(path.c_str(), file.out()), Zel_OK);
    EXPECT_EQ(WriteBytes(file.get(), "<config>\n", 9), Zel_OK);
    EXPECT_EQ(WriteBytes(file.get(), "", 0), Zel_OK);
    EXPECT_EQ(WriteBytes(file.get(), big.data(), static_cast<std::uint32_t>(big.size())), Zel_OK);
  }
  EXPECT_EQ(ReadFile(path), "<config>\n" + big);

  ScopedFile reader;
  ASSERT_EQ(OpenForReading(path.c_str(), reader.out()), Zel_OK);
  EXPECT_EQ(ReadRest(reader.get(), 7), "<config>\n" + big);
}

TEST(FileData, WritingReplacesALongerFile) {
  for (const std::string written : {"", "short"}) {
    SCOPED_TRACE("writing \"" + written + "\"");
    const std::string path = TempPath("replaced-" + std::to_string(written.size()));
    WriteFile(path, Pattern(4000));
    {
      ScopedFile file;
      ASSERT_EQ(OpenForWriting(path.c_str(), file.out()), Zel_OK);
      EXPECT_EQ(WriteBytes(file.get(), written.data(), static_cast<std::uint32_t>(written.size())),
                Zel_OK);
    }
    EXPECT_EQ(ReadFile(path), written);
  }
}

TEST(FileData, TransfersAgainstTheOpenDirectionAreAccessDenied) {
  const std::string path = TempPath("direction");
  WriteFile(path, "data");
  char buffer[8];
  std::uint32_t count = 77;
  {
    ScopedFile reader;
    ASSERT_EQ(OpenForReading(path.c_str(), reader.out()), Zel_OK);
    EXPECT_EQ(WriteBytes(reader.get(), "x", 1), Zel_ESYSTEM | kErrorAccessDenied);
  }
  ScopedFile writer;
  ASSERT_EQ(OpenForWriting(path.c_str(), writer.out()), Zel_OK);
  EXPECT_EQ(ReadBlock(writer.get(), buffer, sizeof buffer, &count),
            Zel_ESYSTEM | kErrorAccessDenied);
  EXPECT_EQ(count, 77u);
}

TEST(FileData, Utf8PathsNameTheSameFileEverywhere) {
  const std::string path = TempPath(
      "gr\xC3\xB6\xC3\x9F"
      "e-\xE6\x97\xA5\xE6\x9C\xAC.txt");
  WriteFile(path, "written by the test");
  {
    ScopedFile reader;
    ASSERT_EQ(OpenForReading(path.c_str(), reader.out()), Zel_OK);
    EXPECT_EQ(ReadRest(reader.get()), "written by the test");
  }
  {
    ScopedFile writer;
    ASSERT_EQ(OpenForWriting(path.c_str(), writer.out()), Zel_OK);
    EXPECT_EQ(WriteBytes(writer.get(), "written by the library", 22), Zel_OK);
  }
  EXPECT_EQ(ReadFile(path), "written by the library");
}

// ---- Mutex -----------------------------------------------------------------

TEST(Mutex, KeepsThreadsApart) {
  Mutex mutex;
  ASSERT_EQ(MutexCreate(&mutex), Zel_OK);
  constexpr int kThreads = 4;
  // Every wait is a round trip to the Windows emulation's server: keep the
  // count modest, it still interleaves the threads thoroughly.
  constexpr int kRounds = 2000;
  long counter = 0;  // deliberately not atomic
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        MutexGuard guard(&mutex);
        const long seen = counter;
        counter = seen + 1;
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  MutexClose(&mutex);
}

// Runs work on a thread of its own and says whether it ended in time. A
// thread that hangs is left behind, so a blocking mutex fails the test
// instead of stopping the whole run.
bool FinishesInTime(std::function<void()> work) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([work = std::move(work), done] {
    work();
    done->set_value();
  }).detach();
  return finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

TEST(Mutex, TheOwnerMayWaitAgainAndOthersGetItAfterTheLastRelease) {
  // Left allocated if a thread hangs on it.
  auto *mutex = new Mutex;
  ASSERT_EQ(MutexCreate(mutex), Zel_OK);
  ASSERT_TRUE(FinishesInTime([mutex] {
    MutexWait(mutex);
    MutexWait(mutex);
    MutexRelease(mutex);
    MutexRelease(mutex);
  })) << "a second wait by the owner blocked";
  ASSERT_TRUE(FinishesInTime([mutex] {
    MutexWait(mutex);
    MutexRelease(mutex);
  })) << "the mutex stayed owned after its last release";
  MutexClose(mutex);
  delete mutex;
}

TEST(Mutex, ManyMutexesLiveSideBySide) {
  std::vector<Mutex> mutexes(200);
  for (Mutex &mutex : mutexes) ASSERT_EQ(MutexCreate(&mutex), Zel_OK);
  for (Mutex &mutex : mutexes) MutexWait(&mutex);
  for (Mutex &mutex : mutexes) MutexRelease(&mutex);
  for (Mutex &mutex : mutexes) MutexClose(&mutex);
}

// ---- Heap ------------------------------------------------------------------

TEST(Heap, FailAllocationFailsExactlyTheArmedAllocations) {
  struct Case {
    std::uint64_t nth;
    bool every_after;
    const char *expected;  // one letter per allocation: o succeeds, x fails
  };
  const Case cases[] = {
      {0, false, "oooooo"}, {0, true, "oooooo"}, {1, false, "xooooo"}, {3, false, "ooxooo"},
      {3, true, "ooxxxx"},  {1, true, "xxxxxx"}, {6, false, "ooooox"}, {7, true, "oooooo"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("nth " + std::to_string(c.nth) + (c.every_after ? " and after" : ""));
    const std::int64_t live = LiveAllocations();
    FailAllocation(c.nth, c.every_after);
    std::string outcome;
    std::vector<void *> blocks;
    for (std::size_t i = 0; i < std::strlen(c.expected); ++i) {
      void *block = (i % 2 == 0) ? Allocate(16) : AllocateZeroed(16);
      outcome += block != nullptr ? 'o' : 'x';
      blocks.push_back(block);
    }
    EXPECT_EQ(AllocationsSinceArm(), std::strlen(c.expected));
    FailAllocation(0);
    EXPECT_EQ(outcome, c.expected);
    EXPECT_EQ(LiveAllocations(),
              live + static_cast<std::int64_t>(std::count(outcome.begin(), outcome.end(), 'o')));
    for (void *block : blocks) Free(block);  // Free(nullptr) does nothing
    EXPECT_EQ(LiveAllocations(), live);
  }
}

TEST(Heap, ArmingAgainRestartsTheCount) {
  FailAllocation(2);
  void *first = Allocate(8);
  EXPECT_NE(first, nullptr);
  FailAllocation(2);
  EXPECT_EQ(AllocationsSinceArm(), 0u);
  void *second = Allocate(8);
  void *third = Allocate(8);
  FailAllocation(0);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(third, nullptr);
  Free(first);
  Free(second);
}

TEST(Heap, ZeroSizedBlocksAreDistinct) {
  const std::int64_t live = LiveAllocations();
  void *a = Allocate(0);
  void *b = Allocate(0);
  void *c = AllocateZeroed(0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  EXPECT_EQ(LiveAllocations(), live + 3);
  Free(a);
  Free(b);
  Free(c);
  EXPECT_EQ(LiveAllocations(), live);
}

TEST(Heap, ZeroedBlocksAreZeroEvenWhenMemoryIsReused) {
  for (int round = 0; round < 16; ++round) {
    const std::size_t size = 64 + 512 * (round % 4);
    auto *block = static_cast<unsigned char *>(AllocateZeroed(size));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
    std::memset(block, 0xA5, size);
    Free(block);
  }
}

TEST(Heap, CountsStayExactAcrossThreads) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 10000;
  const std::int64_t live = LiveAllocations();
  FailAllocation(kThreads * kRounds / 2);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        void *block = Allocate(32);
        if (block == nullptr) failures.fetch_add(1);
        Free(block);
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(AllocationsSinceArm(), static_cast<std::uint64_t>(kThreads) * kRounds);
  FailAllocation(0);
  EXPECT_EQ(failures.load(), 1);
  EXPECT_EQ(LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg::platform
