// Every allocation of a read and of building values through the exported
// functions is failed once (and, separately, with all that follow): the call
// answers Zel_ENOMEM with the handle left whole or emptied (or a read goes on
// without an element it could not convert), and destroying the handle
// releases everything.
#include "support/fault_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/config_helpers.h"

namespace qorvcfg::test {
namespace {

const char *const kEarlier =
    "<config><portnumber>1</portnumber><route><id>77</id><hop><id>1</id></hop></route></config>";

HandlePtr WithEarlierData() {
  HandlePtr config = OpenConfig();
  EXPECT_EQ(Zel_ConfigReadFromData(kEarlier, config.get()), Zel_OK);
  return config;
}

// The top-level "name=value" entries of a ConfigText (no quotes inside texts).
std::vector<std::string> Entries(const std::string &text) {
  std::vector<std::string> entries(1);
  int depth = 0;
  bool quoted = false;
  for (char c : text) {
    quoted = quoted != (c == '"');
    depth += quoted ? 0 : (c == '{') - (c == '}');
    if (c == ' ' && !quoted && depth == 0) {
      entries.emplace_back();
    } else {
      entries.back() += c;
    }
  }
  entries.pop_back();
  return entries;
}

bool Contains(const std::vector<std::string> &entries, const std::string &entry) {
  return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

class FaultSweep : public testing::TestWithParam<FailMode> {};

TEST_P(FaultSweep, ReadOfEveryTypeAndNesting) {
  const std::string data = ReadFile(DataPath("every_type.data.xml"));
  HandlePtr config = WithEarlierData();
  const std::string earlier = ConfigText(config.get());
  ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), config.get()), Zel_OK);
  const std::string loaded = ConfigText(config.get());
  config = WithEarlierData();

  int emptied = 0, unchanged = 0;
  const std::uint64_t made = SweepAllocationFailures(
      [&] { return Zel_ConfigReadFromData(data.c_str(), config.get()); },
      [&](ResultCode result, bool injected) {
        const std::string now = ConfigText(config.get());
        if (injected && result == Zel_OK) {
          // Conversion leaves out an element it could not convert: the read
          // goes on, and everything else is there as loaded (a pair left out
          // makes room for the third one of the file).
          for (const std::string &entry : Entries(earlier)) {
            EXPECT_TRUE(Contains(Entries(now), entry)) << entry;
          }
          for (const std::string &entry : Entries(now)) {
            if (entry.find('{') == std::string::npos) {
              EXPECT_TRUE(Contains(Entries(loaded), entry) || entry == "pair=3") << entry;
            }
          }
        } else if (injected) {
          EXPECT_EQ(result, Zel_ENOMEM);
          EXPECT_TRUE(now == earlier || now.empty()) << now;
          ++(now.empty() ? emptied : unchanged);
        } else {
          EXPECT_EQ(result, Zel_OK);
          EXPECT_EQ(now, loaded);
        }
        config = WithEarlierData();
      },
      GetParam());
  EXPECT_GT(made, 50u);
  EXPECT_GT(emptied, 0);    // failures while loading
  EXPECT_GT(unchanged, 0);  // failures while parsing
}

// Builds a route with a hop, a label, a host name and a mode value.
ResultCode BuildValues(ConfigHandle *h) {
  const std::int64_t id = 5;
  char name[] = "relay.example";
  const IpAddressValue host = HostName(name);
  DataRecord *route, *key, *hop, *hop_key, *note, *label, *address, *mode;
  ResultCode r;
  if ((r = Zel_DataDefaultCreate(h, "route", &route)) != Zel_OK ||
      (r = Zel_DataDefaultCreateFromData(route, "id", &key)) != Zel_OK ||
      (r = Zel_DataChangeToData(route, key, &id)) != Zel_OK ||
      (r = Zel_DataAddToData(route, key)) != Zel_OK ||
      (r = Zel_DataDefaultCreateFromData(route, "hop", &hop)) != Zel_OK ||
      (r = Zel_DataDefaultCreateFromData(hop, "id", &hop_key)) != Zel_OK ||
      (r = Zel_DataAddToData(hop, hop_key)) != Zel_OK ||
      (r = Zel_DataDefaultCreateFromData(hop, "note", &note)) != Zel_OK ||
      (r = Zel_DataChangeToData(hop, note, "via relay")) != Zel_OK ||
      (r = Zel_DataAddToData(hop, note)) != Zel_OK ||
      (r = Zel_DataAddToData(route, hop)) != Zel_OK || (r = Zel_DataAdd(h, route)) != Zel_OK ||
      (r = Zel_DataDefaultCreate(h, "label", &label)) != Zel_OK ||
      (r = Zel_DataChange(h, label, "first")) != Zel_OK || (r = Zel_DataAdd(h, label)) != Zel_OK ||
      (r = Zel_DataChange(h, label, "second")) != Zel_OK ||
      (r = Zel_DataDefaultCreate(h, "host", &address)) != Zel_OK ||
      (r = Zel_DataChange(h, address, &host)) != Zel_OK ||
      (r = Zel_DataAdd(h, address)) != Zel_OK ||
      (r = Zel_DataDefaultCreate(h, "mode", &mode)) != Zel_OK ||
      (r = Zel_DataAdd(h, mode)) != Zel_OK || (r = Zel_DataChange(h, mode, "off")) != Zel_OK) {
    return r;
  }
  return Zel_OK;
}

TEST_P(FaultSweep, CreateChangeAndAdd) {
  HandlePtr config = OpenConfig();
  const std::uint64_t made = SweepAllocationFailures(
      [&] { return BuildValues(config.get()); },
      [&](ResultCode result, bool injected) {
        if (injected) {
          EXPECT_EQ(result, Zel_ENOMEM);
        } else {
          EXPECT_EQ(result, Zel_OK);
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

}  // namespace
}  // namespace qorvcfg::test
