// Loading data files, querying, changing and writing them back, all through
// the exported functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "e2e/config_helpers.h"
#include "platform/platform.h"
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

  EXPECT_EQ(Zel_ConfigReadFromData("<config/>", OpenConfig("no_items.def.xml").get()), Zel_ENOMEM);
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
  const std::vector<int> descending(ascending.rbegin(), ascending.rend());
  const struct {
    const char *name;
    const std::vector<int> &keys;
  } rows[] = {{"ascending", ascending}, {"descending", descending},
              {"shuffled", shuffled},   {"shuffled, repeats", repeated},
              {"order broken", broken}, {"keyless structure", keyless}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    std::string data = "<config>";
    for (int k : row.keys) {
      const std::string n = std::to_string(k);
      data += "<i>" + n + "</i><r>" + (k != 0 ? "<id>" + n + "</id>" : "") + "<m>" + n + "</m></r>";
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
      if (row.keys == keyless)
        std::sort(got.begin(), got.end()), std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << item;
      EXPECT_EQ(got.size(), std::set<int>(row.keys.begin(), row.keys.end()).size());
    }
  }
}

TEST(Change, ChecksThenReplacesTheContents) {
  static const std::int64_t k7 = 7, k4 = 4, k0 = 0, k65535 = 65535, k65536 = 65536;
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

TEST(Change, ToOwnContentsKeepsThePlaceAndACollisionDropsTheValue) {
  HandlePtr config = Loaded();
  ConfigHandle *h = config.get();
  std::string expected = WrittenText(h, "before.xml");
  DataRecord *five = Values(h, "port")[1];
  const std::int64_t same = 5, taken = 7, free_value = 6;
  EXPECT_EQ(Zel_DataChange(h, five, &same), Zel_OK);
  EXPECT_EQ(WrittenText(h, "same.xml"), expected);
  EXPECT_EQ(Zel_DataChange(h, five, &taken), Zel_EEXIST);
  expected.erase(expected.find("  <port>5</port>\n"), 17);
  EXPECT_EQ(WrittenText(h, "dropped.xml"), expected);
  // The dropped value is the caller's: change it and add it back at the end.
  EXPECT_EQ(Zel_DataChange(h, five, &free_value), Zel_OK);
  EXPECT_EQ(Zel_DataAdd(h, five), Zel_OK);
  EXPECT_EQ(ItemText(h, "port"), "7 6 3 ");
  expected.insert(expected.size() - 10, "  <port>6</port>\n");
  EXPECT_EQ(WrittenText(h, "added.xml"), expected);
}

TEST(AddDelete, OccurrenceLimitsAndDuplicates) {
  HandlePtr config = OpenConfig();
  ConfigHandle *h = config.get();
  const std::int64_t values[] = {0, 1, 2, 3, 65535};
  EXPECT_EQ(AddValue(h, "pair", &values[1]), Zel_OK);
  EXPECT_EQ(AddValue(h, "pair", &values[1]), Zel_EEXIST);
  EXPECT_EQ(AddValue(h, "pair", &values[2]), Zel_OK);
  EXPECT_EQ(AddValue(h, "pair", &values[3]), Zel_ERANGE);
  for (std::int64_t i = 0; i < 50; ++i) EXPECT_EQ(AddValue(h, "count", &i), Zel_OK);
  EXPECT_EQ(Values(h, "count").size(), 50u);
  EXPECT_EQ(Zel_DataAdd(h, Values(h, "count")[0]), Zel_EEXIST);  // already linked
  for (int i : {1, 4}) EXPECT_EQ(AddValue(h, "port", &values[i]), Zel_OK);
  EXPECT_EQ(AddValue(h, "port", nullptr), Zel_OK);  // its default, 80
  EXPECT_EQ(ItemText(h, "port"), "65535 80 1 ");

  DataRecord *two = Values(h, "pair")[0];
  EXPECT_EQ(Zel_DataAdd(h, two), Zel_ERANGE);  // the limit is looked at first
  EXPECT_EQ(Zel_DataDel(h, two), Zel_OK);
  EXPECT_EQ(Zel_DataDel(h, two), Zel_OK);
  EXPECT_EQ(ItemText(h, "pair"), "1 ");
  EXPECT_EQ(Zel_DataAdd(h, two), Zel_OK);
  EXPECT_EQ(ItemText(h, "pair"), "2 1 ");
  for (DataRecord *port : Values(h, "port")) EXPECT_EQ(Zel_DataDel(h, port), Zel_OK);
  EXPECT_EQ(WrittenText(h).find("<port>"), std::string::npos);
}

TEST(Ownership, DestroyReleasesValuesThatBelongToNoContainer) {
  const std::int64_t start = platform::LiveAllocations();
  {
    HandlePtr config = Loaded();
    ConfigHandle *h = config.get();
    for (const char *item : {"port", "label", "host", "mode", "s"}) (void)Create(h, item);
    DataRecord *route = Create(h, "route");
    DataRecord *hop = Create(h, "hop", route);
    (void)Create(h, "gateway", route);
    EXPECT_EQ(Zel_DataAddToData(route, hop), Zel_OK);
    (void)Create(h, "note", hop);
    char hostname[] = "gateway.example";
    const IpAddressValue taken = Host(hostname);
    EXPECT_EQ(Zel_DataDel(h, Values(h, "route")[1]), Zel_OK);  // with its gateway and hops
    EXPECT_EQ(Zel_DataDel(h, Values(h, "label")[0]), Zel_OK);
    EXPECT_EQ(Zel_DataChange(h, Values(h, "host")[0], &taken), Zel_EEXIST);
    EXPECT_EQ(Zel_DataChange(h, Values(h, "mode")[0], "off"), Zel_OK);
  }
  EXPECT_EQ(platform::LiveAllocations(), start);
}

}  // namespace
}  // namespace qorvcfg::test
