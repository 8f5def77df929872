// Every file read and write is failed in turn, and every allocation of a read
// from a file: the call answers with the exact code, leaks nothing, and
// leaves the handle as the result rule allows. The handle also holds values
// the host added and values it took out, which a failed read must not touch.
#include <gtest/gtest.h>

#include "e2e/config_helpers.h"
#include "platform/platform.h"
#include "support/fault_sweep.h"
#include "support/store_invariants.h"

namespace qorvcfg::test {
namespace {

using platform::FileCall;

// Loaded, host-added and unlinked values; the unlinked label is returned.
HandlePtr MixedHandle(DataRecord **unlinked) {
  HandlePtr config = OpenConfig();
  EXPECT_EQ(Zel_ConfigReadFromData("<config><portnumber>1</portnumber><route><id>77</id><hop>"
                                   "<id>1</id></hop></route></config>",
                                   config.get()),
            Zel_OK);
  EXPECT_EQ(AddValue(config.get(), "label", "added"), Zel_OK);
  *unlinked = Create(config.get(), "label");
  EXPECT_EQ(Zel_DataChange(config.get(), *unlinked, "taken out"), Zel_OK);
  EXPECT_EQ(Zel_DataAdd(config.get(), *unlinked), Zel_OK);
  EXPECT_EQ(Zel_DataDel(config.get(), *unlinked), Zel_OK);
  return config;
}

// A data file large enough to take several reads of any block size.
std::string LargeDataFile() {
  std::string text = "<config>\n";
  for (int i = 0; i < 20000; ++i) text += "  <count>" + std::to_string(i) + "</count>\n";
  const std::string path = TempPath("large.xml");
  WriteFile(path, text + "</config>\n");
  return path;
}

TEST(FileFaults, EachFailedReadAnswersItsCodeAndChangesNothing) {
  const std::string path = LargeDataFile();
  DataRecord *unlinked = nullptr;
  HandlePtr config = MixedHandle(&unlinked);
  const std::string before = ConfigText(config.get());
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    const std::int64_t live = platform::LiveAllocations();
    platform::FailFileCall(FileCall::kRead, n);
    const ResultCode result = Zel_ConfigRead(path.c_str(), config.get());
    const bool injected = platform::FileCallsSinceArm(FileCall::kRead) >= n;
    platform::FailFileCall(FileCall::kRead, 0);
    if (!injected) {
      EXPECT_EQ(result, Zel_OK);
      EXPECT_GE(n, 2u);  // at least one read and the one that finds the end
      break;
    }
    EXPECT_EQ(result, Zel_ESYSTEM | platform::kErrorReadFault);
    EXPECT_EQ(platform::LiveAllocations(), live);
    EXPECT_EQ(ConfigText(config.get()), before);
    EXPECT_STREQ(unlinked->payload.text, "taken out");
    ASSERT_EQ(StoreInvariantViolation(config.get()), "");
  }
  EXPECT_EQ(Values(config.get(), "count").size(), 20000u);
}

TEST(FileFaults, EachFailedDefinitionReadGivesNoHandle) {
  const std::string definition = DataPath("every_type.def.xml");
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    const std::int64_t live = platform::LiveAllocations();
    ConfigHandle *handle = nullptr;
    platform::FailFileCall(FileCall::kRead, n);
    const ResultCode result = Zel_ConfigCreate(definition.c_str(), &handle);
    const bool injected = platform::FileCallsSinceArm(FileCall::kRead) >= n;
    platform::FailFileCall(FileCall::kRead, 0);
    if (!injected) {
      EXPECT_EQ(result, Zel_OK);
      Zel_ConfigDestroy(handle);
      break;
    }
    EXPECT_EQ(result, Zel_ESYSTEM | platform::kErrorReadFault);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

// Only the write of the closing line decides the result of a write.
TEST(FileFaults, EachFailedWriteLeaksNothingAndOnlyTheLastOneFails) {
  HandlePtr config = OpenConfig();
  ASSERT_EQ(Zel_ConfigRead(LargeDataFile().c_str(), config.get()), Zel_OK);
  const std::string path = TempPath("written.xml");
  platform::FailFileCall(FileCall::kWrite, 0);
  ASSERT_EQ(Zel_ConfigWrite(path.c_str(), config.get()), Zel_OK);
  const std::uint64_t calls = platform::FileCallsSinceArm(FileCall::kWrite);
  ASSERT_GT(calls, 2u);  // the output is larger than the writer's buffer
  const std::string before = ConfigText(config.get());
  for (std::uint64_t n = 1; n <= calls; ++n) {
    SCOPED_TRACE(n);
    const std::int64_t live = platform::LiveAllocations();
    platform::FailFileCall(FileCall::kWrite, n);
    const ResultCode result = Zel_ConfigWrite(path.c_str(), config.get());
    platform::FailFileCall(FileCall::kWrite, 0);
    EXPECT_EQ(result, n == calls ? Zel_ESYSTEM | platform::kErrorWriteFault : Zel_OK);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
  EXPECT_EQ(ConfigText(config.get()), before);
}

// Out of memory while reading a file into the mixed handle: the handle is
// as it was or emptied, or one element was left out; the unlinked value
// survives either way.
TEST(FileFaults, AllocationFailuresOfAFileReadKeepUnlinkedValues) {
  const std::string path = DataPath("every_type.data.xml");
  DataRecord *unlinked = nullptr;
  HandlePtr config = MixedHandle(&unlinked);
  const std::string before = ConfigText(config.get());
  int emptied = 0;
  const std::uint64_t made =
      SweepAllocationFailures([&] { return Zel_ConfigRead(path.c_str(), config.get()); },
                              [&](ResultCode result, bool injected) {
                                EXPECT_STREQ(unlinked->payload.text, "taken out");
                                EXPECT_EQ(StoreInvariantViolation(config.get()), "");
                                if (injected && result != Zel_OK) {
                                  EXPECT_EQ(result, Zel_ENOMEM);
                                  const std::string now = ConfigText(config.get());
                                  EXPECT_TRUE(now == before || now.empty()) << now;
                                  emptied += now.empty();
                                } else if (!injected) {
                                  EXPECT_EQ(result, Zel_OK);
                                }
                                config = MixedHandle(&unlinked);
                              });
  EXPECT_GT(made, 20u);
  EXPECT_GT(emptied, 0);
}

}  // namespace
}  // namespace qorvcfg::test
