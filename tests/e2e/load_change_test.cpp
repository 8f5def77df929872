// Loading data files, querying, changing and writing them back, all through
// the exported functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "e2e/config_helpers.h"
#include "support/store_invariants.h"

namespace qorvcfg::test {
namespace {

// every_type.data.xml as loaded: the third pair, the repeated label and
// route, the non-keyword mode, the level without entries and the unknown
// element are left out; values are listed greatest first.
const char *const kLoaded =
    "portnumber=9 port=7 port=5 port=3 count=9223372036854775807 "
    "count=-9223372036854775808 pair=2 pair=1 label=\"with trailing blank, and longer than a value "
    "holds in itself \" "
    "label=\"plain words\" flag=TRUE flag=FALSE "
    "host=2001:0db8:0000:0000:0000:0000:0000:0001 host=10.0.0.1 host=host:gateway.example "
    "mode=slow route={id=8 } route={id=2 gateway=192.168.1.1 hop={id=4 note=\"second\" } "
    "hop={id=1 note=\"first\" } } s={a=1 b=TRUE } ";

std::string ItemText(ConfigHandle *h, const char *item) {
  std::string text;
  for (DataRecord *record : Values(h, item)) text += RecordText(h, record) + " ";
  return text;
}

TEST(Load, ReadsFailuresAndRepeats) {
  const std::string data = DataPath("every_type.data.xml");
  HandlePtr config = Loaded();
  EXPECT_EQ(ConfigText(config.get()), kLoaded);
  // A failure before loading leaves the handle as it was.
  EXPECT_EQ(Zel_ConfigReadFromData("<config><port>11</port", config.get()), Zel_EINVAL);
  EXPECT_EQ(ConfigText(config.get()), kLoaded);
  // Reads add to what is there; the occurrence limit counts one read only.
  EXPECT_EQ(Zel_ConfigReadFromData("<config><port>4</port><pair>9</pair></config>", config.get()),
            Zel_OK);
  EXPECT_EQ(ItemText(config.get(), "port"), "7 5 4 3 ");
  EXPECT_EQ(Values(config.get(), "pair").size(), 3u);
  // The same data again fails and empties the handle, which then takes data again.
  EXPECT_EQ(Zel_ConfigRead(data.c_str(), config.get()), Zel_EEXIST);
  EXPECT_EQ(WrittenText(config.get()), "<config>\n</config>\n");
  EXPECT_EQ(Zel_ConfigRead(data.c_str(), config.get()), Zel_OK);
  EXPECT_EQ(ConfigText(config.get()), kLoaded);
}

// A repeat of an earlier sibling is left out and leaves room under the
// item's number, whether the item's index or the table of the read's values
// finds it: the table takes over at the first value that does not order by
// its contents (a structure without keys) and must know the values loaded
// before.
TEST(Load, LeavesOutRepeatsHoweverTheyAreFound) {
  const struct {
    const char *data, *loaded;
  } rows[] = {
      {"<pair>1</pair><pair>1</pair><pair>2</pair><pair>3</pair>", "pair=2 pair=1 "},
      {"<port>3</port><s><a>1</a></s><port>3</port><s><a>1</a></s>", "port=3 s={a=1 } "},
      {"<route><id>1</id></route><s><a>2</a></s><route><id>1</id><gateway>gw</gateway></route>"
       "<label>x</label><label>x</label>",
       "label=\"x\" route={id=1 } s={a=2 } "},
      {"<host>h</host><host>10.0.0.1</host><s><b>TRUE</b></s><host>h</host><host>10.0.0.1</host>",
       "host=10.0.0.1 host=host:h s={b=TRUE } "},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.data);
    HandlePtr config = OpenConfig();
    const std::string data = std::string("<config>") + row.data + "</config>";
    ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), config.get()), Zel_OK);
    EXPECT_EQ(ConfigText(config.get()), row.loaded);
  }
}

// A read into an empty handle places values as they come while they come in
// order, else indexes them all at its end; a read into a handle that holds
// values places each at once. Both keep and order the same values whatever
// the input's order, its repeats, and values ordered by address among them.
TEST(Load, EveryInputOrderLoadsAsValueByValue) {
  std::vector<int> ascending(300), shuffled, repeated, broken, keyless;
  for (int k = 0; k < 300; ++k) ascending[k] = k * 7 - 900;
  shuffled = ascending;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(2024));
  repeated = shuffled;
  repeated.insert(repeated.end(), ascending.begin(), ascending.begin() + 50);
  broken = ascending;  // in order for 100 values, then one back, then on
  broken.insert(broken.begin() + 100, 5 * 7 - 900);
  broken.insert(broken.begin() + 101, 1);
  keyless = ascending;  // 0: a structure without its key, in the middle
  keyless.insert(keyless.begin() + 150, 0);
  std::vector<int> many = shuffled;  // one key again and again
  many.insert(many.begin() + 200, 40, 7 * 7 - 900);
  std::vector<int> keyless_repeated = keyless;
  keyless_repeated.insert(keyless_repeated.end(), shuffled.begin(), shuffled.begin() + 50);
  const std::vector<int> descending(ascending.rbegin(), ascending.rend());
  const struct {
    const char *name;
    const std::vector<int> &keys;
  } rows[] = {{"ascending", ascending},
              {"descending", descending},
              {"shuffled", shuffled},
              {"shuffled, repeats", repeated},
              {"order broken", broken},
              {"keyless structure", keyless},
              {"keyless structure, repeats", keyless_repeated},
              {"one key 41 times", many}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    // A repeated key comes with other members: the first of equal values stays.
    std::string data = "<config>";
    std::set<int> seen;
    for (int k : row.keys) {
      const std::string n = std::to_string(k);
      const std::string m = std::to_string(seen.insert(k).second ? k : k + 5000);
      data += "<i>" + n + "</i><r>" + (k != 0 ? "<id>" + n + "</id>" : "") + "<m>" + m + "</m></r>";
    }
    data += "</config>";
    HandlePtr empty = OpenConfig("structures.def.xml");
    HandlePtr holding = OpenConfig("structures.def.xml");
    ASSERT_EQ(Zel_ConfigReadFromData("<config><d><x>1</x></d></config>", holding.get()), Zel_OK);
    ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), empty.get()), Zel_OK);
    ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), holding.get()), Zel_OK);
    EXPECT_EQ(StoreInvariantViolation(empty.get()), "");
    for (const char *item : {"i", "r"}) {
      std::vector<std::string> got, want;
      for (DataRecord *record : Values(empty.get(), item))
        got.push_back(RecordText(empty.get(), record));
      for (DataRecord *record : Values(holding.get(), item))
        want.push_back(RecordText(holding.get(), record));
      // A keyless structure orders by its address, which differs.
      if (row.keys == keyless || row.keys == keyless_repeated)
        std::sort(got.begin(), got.end()), std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << item;
      EXPECT_EQ(got.size(), std::set<int>(row.keys.begin(), row.keys.end()).size());
    }
  }
}

// Texts that share their first bytes tie on what a read sorts by first; the
// rest of each text must still order them.
TEST(Load, TextsAlikeAtTheStartOrderByTheRest) {
  std::vector<int> keys(300);
  for (int k = 0; k < 300; ++k) keys[k] = k;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  std::string data = "<config>";
  for (int k : keys) data += "<blob>the same start " + std::to_string(k * 37 % 1000) + "</blob>";
  data += "</config>";
  HandlePtr empty = OpenConfig();
  HandlePtr holding = OpenConfig();
  ASSERT_EQ(Zel_ConfigReadFromData("<config><port>1</port></config>", holding.get()), Zel_OK);
  ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), empty.get()), Zel_OK);
  ASSERT_EQ(Zel_ConfigReadFromData(data.c_str(), holding.get()), Zel_OK);
  EXPECT_EQ(StoreInvariantViolation(empty.get()), "");
  EXPECT_EQ(ItemText(empty.get(), "blob"), ItemText(holding.get(), "blob"));
  EXPECT_EQ(Values(empty.get(), "blob").size(), 300u);
}

TEST(Change, ChecksThenReplacesTheContents) {
  static const std::int64_t k7 = 7, k5 = 5, k4 = 4, k0 = 0, k65535 = 65535, k65536 = 65536;
  static const std::uint32_t kFalse = 0;
  static char hostname[] = "other.example";
  static const IpAddressValue host = Host(hostname);
  static const std::string longest(64, 'x'), too_long(65, 'x');
  static const std::string longest_first = "\"" + longest + "\" \"plain words\" ";
  const struct {
    const char *item;
    std::size_t position;  // in listing order
    const void *data;
    ResultCode expected;
    const char *after;  // the item's values afterwards, greatest first
  } rows[] = {
      {"port", 2, &k4, Zel_OK, "7 5 4 "},
      {"port", 1, &k5, Zel_OK, "7 5 3 "},  // its own contents: no collision with itself
      {"port", 2, &k0, Zel_ERANGE, "7 5 3 "},
      {"port", 2, &k65536, Zel_ERANGE, "7 5 3 "},
      {"port", 2, &k65535, Zel_OK, "65535 7 5 "},
      {"port", 2, &k7, Zel_EEXIST, "7 5 "},
      {"label", 0, longest.c_str(), Zel_OK, longest_first.c_str()},
      {"label", 0, too_long.c_str(), Zel_ERANGE,
       "\"with trailing blank, and longer than a value holds in itself \" \"plain words\" "},
      {"mode", 0, "Fast", Zel_EINVAL, "slow "},
      {"mode", 0, "fast", Zel_OK, "fast "},
      {"flag", 0, &kFalse, Zel_EEXIST, "FALSE "},
      {"host", 1, &host, Zel_OK,
       "2001:0db8:0000:0000:0000:0000:0000:0001 host:other.example host:gateway.example "},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string(row.item) + " row expecting " + row.after);
    HandlePtr config = Loaded();
    DataRecord *record = Values(config.get(), row.item).at(row.position);
    EXPECT_EQ(Zel_DataChange(config.get(), record, row.data), row.expected);
    EXPECT_EQ(ItemText(config.get(), row.item), row.after);
  }
}

// The occurrence limit is looked at before repeats, and a deleted value may
// come back.
TEST(AddDelete, TheLimitComesBeforeRepeats) {
  HandlePtr config = OpenConfig();
  ConfigHandle *h = config.get();
  const std::int64_t values[] = {1, 2, 3};
  EXPECT_EQ(AddValue(h, "pair", &values[0]), Zel_OK);
  EXPECT_EQ(AddValue(h, "pair", &values[0]), Zel_EEXIST);
  EXPECT_EQ(AddValue(h, "pair", &values[1]), Zel_OK);
  EXPECT_EQ(AddValue(h, "pair", &values[2]), Zel_ERANGE);
  DataRecord *two = Values(h, "pair")[0];
  EXPECT_EQ(Zel_DataAdd(h, two), Zel_ERANGE);
  EXPECT_EQ(Zel_DataDel(h, two), Zel_OK);
  EXPECT_EQ(ItemText(h, "pair"), "1 ");
  EXPECT_EQ(Zel_DataAdd(h, two), Zel_OK);
  EXPECT_EQ(ItemText(h, "pair"), "2 1 ");
}

}  // namespace
}  // namespace qorvcfg::test
