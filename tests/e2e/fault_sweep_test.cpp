// Every allocation of a read and of building values, and every file read and
// write, is failed in turn: the call answers its exact code with the handle
// left whole or emptied, or a read goes on without an element it could not
// convert; nothing leaks. The handle also holds values the host added and a
// value it took out, which a failed read must not touch.
#include "support/fault_sweep.h"

#include <set>
#include <tuple>

#include "e2e/config_helpers.h"
#include "support/data_variants.h"
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

// The elements of a written file, one a line, without indentation.
std::set<std::string> Lines(const std::string &text) {
  std::set<std::string> lines;
  std::string line;
  for (char c : text) {
    const std::size_t end = line.find_last_not_of(" \n");
    if (c == '<' && end != std::string::npos && line[end] == '>') {
      lines.insert(line.substr(0, end + 1));
      line.clear();
    }
    if (!line.empty() || (c != ' ' && c != '\n')) line += c;
  }
  lines.insert(line);
  return lines;
}

class FaultSweep : public testing::TestWithParam<FailMode> {};

// From a file and from text alike.
TEST_P(FaultSweep, ReadOfEveryTypeAndNesting) {
  const std::string path = DataPath("every_type.data.xml"), data = ReadFile(path);
  for (bool from_file : {true, false}) {
    SCOPED_TRACE(from_file ? "file" : "text");
    auto read = [&](ConfigHandle *h) {
      return from_file ? Zel_ConfigRead(path.c_str(), h) : Zel_ConfigReadFromData(data.c_str(), h);
    };
    DataRecord *unlinked = nullptr;
    HandlePtr config = MixedHandle(&unlinked);
    auto state = [&] { return ConfigText(config.get()) + "\n" + WrittenText(config.get()); };
    const std::string earlier = state();
    const std::set<std::string> earlier_lines = Lines(WrittenText(config.get()));
    ASSERT_EQ(read(config.get()), Zel_OK);
    const std::string loaded = state();
    std::set<std::string> allowed = Lines(WrittenText(config.get()));
    allowed.insert("<pair>3</pair>");  // a pair left out makes room for the file's third one
    config = MixedHandle(&unlinked);

    int emptied = 0, unchanged = 0;
    const std::uint64_t made = SweepAllocationFailures(
        [&] { return read(config.get()); },
        [&](ResultCode result, bool injected) {
          EXPECT_STREQ(unlinked->payload.text, "taken out");
          EXPECT_EQ(StoreInvariantViolation(config.get()), "");
          const std::string now = state();
          if (injected && result == Zel_OK) {
            // An element that could not be converted is left out, nothing else.
            const std::set<std::string> lines = Lines(WrittenText(config.get()));
            for (const std::string &line : earlier_lines) EXPECT_EQ(lines.count(line), 1u) << line;
            for (const std::string &line : lines) EXPECT_EQ(allowed.count(line), 1u) << line;
          } else if (injected) {
            EXPECT_EQ(result, Zel_ENOMEM);
            EXPECT_TRUE(now == earlier || now == "\n<config>\n</config>\n") << now;
            ++(now == earlier ? unchanged : emptied);
          } else {
            EXPECT_EQ(result, Zel_OK);
            EXPECT_EQ(now, loaded);
          }
          config = MixedHandle(&unlinked);
        },
        GetParam());
    EXPECT_GT(made, 30u);
    EXPECT_GT(emptied, 0);    // failures while loading
    EXPECT_GT(unchanged, 0);  // failures while parsing
  }
}

struct SweptRead {
  const char *name;
  const char *definition;  // paths from tests/data
  const char *data;
  // An element whose conversion allocates nothing (its nodes are ones that
  // earlier elements gave back), so no failure may leave it out; or null.
  const char *never_left_out;
};

void PrintTo(const SweptRead &input, std::ostream *out) { *out << input.name; }

class EmptyHandleSweep : public testing::TestWithParam<std::tuple<SweptRead, FailMode>> {};

// A read into an empty handle answers Zel_OK or Zel_ENOMEM whichever of its
// allocations fails; Zel_ENOMEM leaves the handle empty. With one failing
// allocation a Zel_OK read holds every value of the whole read, or every
// value of the read without the one element whose conversion ran out of
// memory: a repeat is never decided by memory.
TEST_P(EmptyHandleSweep, ReadKeepsEveryValueItCouldConvert) {
  const auto [input, mode] = GetParam();
  const std::string definition = DataPath(input.definition), data = ReadFile(DataPath(input.data));
  auto fresh = [&] {
    ConfigHandle *handle = nullptr;
    EXPECT_EQ(Zel_ConfigCreate(definition.c_str(), &handle), Zel_OK);
    return HandlePtr(handle, &Zel_ConfigDestroy);
  };
  auto read = [&](const std::string &text) {
    HandlePtr config = fresh();
    EXPECT_EQ(Zel_ConfigReadFromData(text.c_str(), config.get()), Zel_OK);
    return WrittenText(config.get());
  };
  const std::string empty = WrittenText(fresh().get()), full = read(data);
  std::set<std::string> allowed{full};
  ASSERT_TRUE(!input.never_left_out || data.find(input.never_left_out) != std::string::npos);
  for (const std::string &text : WithoutOneElement(data, input.never_left_out)) {
    allowed.insert(read(text));
  }
  HandlePtr config = fresh();
  int loaded = 0, failed = 0;
  const std::uint64_t made =
      SweepAllocationFailures([&] { return Zel_ConfigReadFromData(data.c_str(), config.get()); },
                              [&](ResultCode result, bool injected) {
                                ASSERT_EQ(StoreInvariantViolation(config.get()), "");
                                const std::string written = WrittenText(config.get());
                                if (!injected) {
                                  EXPECT_EQ(result, Zel_OK);
                                  EXPECT_EQ(written, full);
                                } else if (result == Zel_OK) {
                                  ++loaded;
                                  if (mode == FailMode::kOnlyNth) {
                                    EXPECT_EQ(allowed.count(written), 1u) << written;
                                  }
                                } else {
                                  ++failed;
                                  EXPECT_EQ(result, Zel_ENOMEM);
                                  EXPECT_EQ(written, empty);
                                }
                                config = fresh();
                              },
                              mode);
  EXPECT_GT(made, 20u);
  EXPECT_GT(failed, 0);
  if (mode == FailMode::kOnlyNth) {
    EXPECT_GT(loaded, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EmptyHandleSweep,
    testing::Combine(
        testing::Values(
            SweptRead{"EveryType", "every_type.def.xml", "every_type.data.xml", nullptr},
            // Repeats of structures of 40 members and 40 levels, at the top and inside w.
            SweptRead{"Wide", "structures.def.xml", "wide.data.xml", nullptr},
            // Keyed structures, then one that the index cannot order, which
            // switches the repeat decisions to the table, then more of each.
            SweptRead{"Keyed", "structures.def.xml", "keyed.data.xml", "<d><x>1</x></d>"},
            SweptRead{"Examples", "../../examples/service.def", "../../examples/service.conf",
                      nullptr}),
        testing::Values(FailMode::kOnlyNth, FailMode::kNthAndAfter)),
    [](const testing::TestParamInfo<std::tuple<SweptRead, FailMode>> &info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == FailMode::kOnlyNth ? "OneFailure" : "FailuresFromN");
    });

// Builds a route with a hop, a label, a host name and a mode value.
ResultCode BuildValues(ConfigHandle *h) {
  const std::int64_t id = 5;
  char name[] = "relay.example";
  const IpAddressValue host = Host(name);
  DataRecord *route, *key, *hop, *hop_key, *note, *label, *address, *mode;
  ResultCode r;
  if ((r = Zel_DataDefaultCreate(h, "route", &route)) ||
      (r = Zel_DataDefaultCreateFromData(route, "id", &key)) ||
      (r = Zel_DataChangeToData(route, key, &id)) || (r = Zel_DataAddToData(route, key)) ||
      (r = Zel_DataDefaultCreateFromData(route, "hop", &hop)) ||
      (r = Zel_DataDefaultCreateFromData(hop, "id", &hop_key)) ||
      (r = Zel_DataAddToData(hop, hop_key)) ||
      (r = Zel_DataDefaultCreateFromData(hop, "note", &note)) ||
      (r = Zel_DataChangeToData(hop, note, "via relay")) || (r = Zel_DataAddToData(hop, note)) ||
      (r = Zel_DataAddToData(route, hop)) || (r = Zel_DataAdd(h, route)) ||
      (r = Zel_DataDefaultCreate(h, "label", &label)) || (r = Zel_DataChange(h, label, "first")) ||
      (r = Zel_DataAdd(h, label)) || (r = Zel_DataChange(h, label, "second")) ||
      (r = Zel_DataDefaultCreate(h, "host", &address)) || (r = Zel_DataChange(h, address, &host)) ||
      (r = Zel_DataAdd(h, address)) || (r = Zel_DataDefaultCreate(h, "mode", &mode)) ||
      (r = Zel_DataAdd(h, mode))) {
    return r;
  }
  return Zel_DataChange(h, mode, "off");
}

TEST_P(FaultSweep, CreateChangeAndAdd) {
  HandlePtr config = OpenConfig();
  const std::uint64_t made = SweepAllocationFailures(
      [&] { return BuildValues(config.get()); },
      [&](ResultCode result, bool injected) {
        EXPECT_EQ(result, injected ? Zel_ENOMEM : Zel_OK);
        if (!injected) {
          EXPECT_EQ(ConfigText(config.get()),
                    "label=\"second\" host=host:relay.example mode=off "
                    "route={id=5 hop={id=0 note=\"via relay\" } } ");
        }
        config = OpenConfig();  // the old handle takes its unplaced values with it
      },
      GetParam());
  EXPECT_GT(made, 10u);
}

INSTANTIATE_TEST_SUITE_P(EachMode, FaultSweep,
                         testing::Values(FailMode::kOnlyNth, FailMode::kNthAndAfter));

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
  const std::uint64_t reads = SweepFileFailures(
      FileCall::kRead, [&] { return Zel_ConfigRead(path.c_str(), config.get()); },
      [&](ResultCode result, bool injected) {
        EXPECT_EQ(result, injected ? Zel_ESYSTEM | platform::kErrorReadFault : Zel_OK);
        EXPECT_EQ(ConfigText(config.get()) == before, injected);
        EXPECT_STREQ(unlinked->payload.text, "taken out");
        ASSERT_EQ(StoreInvariantViolation(config.get()), "");
        if (!injected) {
          EXPECT_EQ(Values(config.get(), "count").size(), 20000u);
          config = MixedHandle(&unlinked);
        }
      });
  EXPECT_GE(reads, 1u);

  const std::string definition = DataPath("every_type.def.xml");
  ConfigHandle *handle = nullptr;
  SweepFileFailures(
      FileCall::kRead, [&] { return Zel_ConfigCreate(definition.c_str(), &handle); },
      [&](ResultCode result, bool injected) {
        EXPECT_EQ(result, injected ? Zel_ESYSTEM | platform::kErrorReadFault : Zel_OK);
        EXPECT_EQ(handle == nullptr, injected);
        Zel_ConfigDestroy(handle);
        handle = nullptr;
      });
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
  std::uint64_t n = 0;
  SweepFileFailures(
      FileCall::kWrite, [&] { return ++n, Zel_ConfigWrite(path.c_str(), config.get()); },
      [&](ResultCode result, bool) {
        EXPECT_EQ(result, n == calls ? Zel_ESYSTEM | platform::kErrorWriteFault : Zel_OK);
      });
  EXPECT_EQ(n, calls + 1);
  EXPECT_EQ(ConfigText(config.get()), before);
}

}  // namespace
}  // namespace qorvcfg::test
