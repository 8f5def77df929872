// The checks every exported function makes before any work, and the capacity
// rules of the listing functions.
#include <gtest/gtest.h>

#include "e2e/config_helpers.h"

namespace qorvcfg::test {
namespace {

TEST(ArgumentChecks, EachFunctionAnswersItsFirstFailedCheckAndTouchesNothing) {
  HandlePtr config = Loaded();
  ConfigHandle *h = config.get();
  DataRecord *number = Values(h, "port")[0];
  DataRecord *route = Values(h, "route")[0];
  DataRecord *route_id = Values(h, "id", route)[0];
  DataRecord *fresh = Create(h, "port");
  DataRecord *hop = Create(h, "hop", route), *note = Create(h, "note", hop);
  const std::string before = ConfigText(h);
  const std::string never = TempPath("never.xml");
  const std::int64_t value = 9;
  // Outputs that no failing call may touch.
  ConfigHandle *handle_out = h;
  ContentEntry entries[1] = {{"untouched", 99}};
  DataRecord *records[1] = {number};
  const DefaultRecord *default_out = nullptr;
  DataRecord *value_out = number;
  std::uint32_t count = 1;
  const ResultCode kInval = Zel_EINVAL, kForeign = Zel_EFOREIGN, kNotFound = Zel_ENOTFOUND;

  const struct {
    const char *call;
    ResultCode result, expected;
  } rows[] = {
      {"Create, path", Zel_ConfigCreate(nullptr, &handle_out), kInval},
      {"Create, out", Zel_ConfigCreate(DataPath("every_type.def.xml").c_str(), nullptr), kInval},
      {"Read, handle", Zel_ConfigRead(DataPath("every_type.data.xml").c_str(), nullptr), kInval},
      {"Read, path", Zel_ConfigRead(nullptr, h), kInval},
      {"Write, path", Zel_ConfigWrite(nullptr, h), kInval},
      {"ContentListGet, count", Zel_ContentListGet(h, entries, nullptr), kInval},
      {"ContentListGetFromData, integer", Zel_ContentListGetFromData(number, entries, &count),
       kInval},
      {"DataGet, name", Zel_DataGet(h, nullptr, records, &count), kInval},
      {"DataGet, beginning of a name", Zel_DataGet(h, "por", records, &count), kNotFound},
      {"DataGet, other case", Zel_DataGet(h, "Port", records, &count), kNotFound},
      {"DataGet, child item", Zel_DataGet(h, "gateway", records, &count), kNotFound},
      {"DataGetFromData, top item", Zel_DataGetFromData(route, "port", records, &count), kNotFound},
      {"DefaultGet, out", Zel_DataDefaultGet(h, "port", nullptr), kInval},
      {"DefaultGetFromData, integer", Zel_DataDefaultGetFromData(number, "id", &default_out),
       kInval},
      {"DefaultCreate, unknown", Zel_DataDefaultCreate(h, "hop", &value_out), kNotFound},
      {"DefaultCreate, no entries", Zel_DataDefaultCreate(h, "level", &value_out), kInval},
      {"DefaultCreateFromData, integer", Zel_DataDefaultCreateFromData(number, "id", &value_out),
       kInval},
      {"DefaultCreateFromData, unknown", Zel_DataDefaultCreateFromData(route, "note", &value_out),
       kNotFound},
      {"Change, record", Zel_DataChange(h, nullptr, &value), kInval},
      {"Change, child value", Zel_DataChange(h, route_id, &value), kForeign},
      {"ChangeToData, integer parent", Zel_DataChangeToData(number, number, &value), kForeign},
      {"Add, child value", Zel_DataAdd(h, route_id), kForeign},
      {"AddToData, integer parent", Zel_DataAddToData(number, fresh), kForeign},
      {"AddToData, top-level value", Zel_DataAddToData(route, fresh), kForeign},
      {"Add, value made for a structure", Zel_DataAdd(h, hop), kForeign},
      {"AddToData, value of a deeper level", Zel_DataAddToData(route, note), kForeign},
      {"Del, child value", Zel_DataDel(h, route_id), kForeign},
      {"DelFromData, parent", Zel_DataDelFromData(nullptr, route_id), kInval},
      {"DelFromData, integer parent", Zel_DataDelFromData(number, number), kForeign},
  };
  for (const auto &row : rows) EXPECT_EQ(row.result, row.expected) << row.call;
  Zel_ConfigDestroy(nullptr);
  EXPECT_TRUE(handle_out == h && records[0] == number && value_out == number);
  EXPECT_TRUE(default_out == nullptr && count == 1u);
  EXPECT_STREQ(entries[0].name, "untouched");
  EXPECT_EQ(ConfigText(h), before);
  EXPECT_FALSE(FileExists(never));
}

TEST(ArgumentChecks, ListingsFillUpToTheCapacityAndCountEverything) {
  HandlePtr config = Loaded();
  ConfigHandle *h = config.get();
  ContentEntry entries[3] = {{}, {}, {"spare", 0}};
  std::uint32_t count = 2;
  ASSERT_EQ(Zel_ContentListGet(h, entries, &count), Zel_OK);
  EXPECT_EQ(count, 12u);
  EXPECT_TRUE(entries[0].type == Zel_TYPE_INTEGER && entries[1].name == std::string("port"));
  EXPECT_STREQ(entries[2].name, "spare");
  DataRecord *route = Values(h, "route")[1];
  count = 3;
  ASSERT_EQ(Zel_ContentListGetFromData(route, entries, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_STREQ(entries[2].name, "hop");
  EXPECT_EQ(entries[2].type, Zel_TYPE_STRUCTURE);
  HandlePtr empty = OpenConfig("no_items.def.xml");
  count = 5;
  EXPECT_EQ(Zel_ContentListGet(empty.get(), entries, &count), Zel_EINVAL);
  EXPECT_EQ(count, 5u);

  DataRecord *records[4] = {};
  count = 1;
  ASSERT_EQ(Zel_DataGet(h, "port", records, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(records[0]->payload.integer, 7);
  EXPECT_EQ(records[1], nullptr);
  count = 1;
  ASSERT_EQ(Zel_DataGetFromData(route, "hop", records, &count), Zel_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(Values(h, "id", records[0])[0]->payload.integer, 4);
  const DefaultRecord *mode = nullptr;
  EXPECT_EQ(Zel_DataDefaultGet(h, "mode", &mode), Zel_OK);
  EXPECT_STREQ(mode->payload.keyword, "fast");
}

}  // namespace
}  // namespace qorvcfg::test
