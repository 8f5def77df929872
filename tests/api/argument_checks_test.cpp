// The checks every exported function makes before any work, in their fixed
// order, and the capacity rules of the listing functions.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "e2e/config_helpers.h"

namespace qorvcfg::test {
namespace {

HandlePtr Loaded() {
  HandlePtr config = OpenConfig();
  EXPECT_EQ(Zel_ConfigRead(DataPath("every_type.data.xml").c_str(), config.get()), Zel_OK);
  return config;
}

TEST(ArgumentChecks, EachFunctionAnswersItsFirstFailedCheck) {
  HandlePtr config = Loaded();
  ConfigHandle *h = config.get();
  DataRecord *number = Values(h, "port")[0];
  DataRecord *route = Values(h, "route")[0];
  DataRecord *route_id = Values(h, route, "id")[0];
  DataRecord *fresh_port = Create(h, nullptr, "port");
  const std::string before = ConfigText(h);
  const std::string definition = DataPath("every_type.def.xml");
  const std::string data = DataPath("every_type.data.xml");
  const std::string never = TempPath("never.xml");
  const std::int64_t value = 9;

  // Outputs that no failing call may touch.
  ConfigHandle *handle_out = h;
  ContentEntry entries[1] = {{"untouched", 99}};
  DataRecord *records[1] = {number};
  const DefaultRecord *default_out = nullptr;
  DataRecord *value_out = number;
  std::uint32_t count = 1;

  const struct {
    const char *call;
    ResultCode result;
    ResultCode expected;
  } rows[] = {
      {"Create, path", Zel_ConfigCreate(nullptr, &handle_out), Zel_EINVAL},
      {"Create, out", Zel_ConfigCreate(definition.c_str(), nullptr), Zel_EINVAL},
      {"Read, path", Zel_ConfigRead(nullptr, h), Zel_EINVAL},
      {"Read, handle", Zel_ConfigRead(data.c_str(), nullptr), Zel_EINVAL},
      {"ReadFromData, text", Zel_ConfigReadFromData(nullptr, h), Zel_EINVAL},
      {"ReadFromData, handle", Zel_ConfigReadFromData("<config/>", nullptr), Zel_EINVAL},
      {"Write, path", Zel_ConfigWrite(nullptr, h), Zel_EINVAL},
      {"Write, handle", Zel_ConfigWrite(never.c_str(), nullptr), Zel_EINVAL},
      {"ContentListGet, handle", Zel_ContentListGet(nullptr, entries, &count), Zel_EINVAL},
      {"ContentListGet, count", Zel_ContentListGet(h, entries, nullptr), Zel_EINVAL},
      {"ContentListGetFromData, record", Zel_ContentListGetFromData(nullptr, entries, &count),
       Zel_EINVAL},
      {"ContentListGetFromData, count", Zel_ContentListGetFromData(route, entries, nullptr),
       Zel_EINVAL},
      {"ContentListGetFromData, integer", Zel_ContentListGetFromData(number, entries, &count),
       Zel_EINVAL},
      {"DataGet, handle", Zel_DataGet(nullptr, "port", records, &count), Zel_EINVAL},
      {"DataGet, name", Zel_DataGet(h, nullptr, records, &count), Zel_EINVAL},
      {"DataGet, count", Zel_DataGet(h, "port", records, nullptr), Zel_EINVAL},
      {"DataGet, beginning of a name", Zel_DataGet(h, "por", records, &count), Zel_ENOTFOUND},
      {"DataGet, longer name", Zel_DataGet(h, "ports", records, &count), Zel_ENOTFOUND},
      {"DataGet, other case", Zel_DataGet(h, "Port", records, &count), Zel_ENOTFOUND},
      {"DataGet, child item", Zel_DataGet(h, "gateway", records, &count), Zel_ENOTFOUND},
      {"DataGetFromData, record", Zel_DataGetFromData(nullptr, "id", records, &count), Zel_EINVAL},
      {"DataGetFromData, name", Zel_DataGetFromData(route, nullptr, records, &count), Zel_EINVAL},
      {"DataGetFromData, count", Zel_DataGetFromData(route, "id", records, nullptr), Zel_EINVAL},
      {"DataGetFromData, integer", Zel_DataGetFromData(number, "id", records, &count),
       Zel_ENOTFOUND},
      {"DataGetFromData, top item", Zel_DataGetFromData(route, "port", records, &count),
       Zel_ENOTFOUND},
      {"DefaultGet, handle", Zel_DataDefaultGet(nullptr, "port", &default_out), Zel_EINVAL},
      {"DefaultGet, name", Zel_DataDefaultGet(h, nullptr, &default_out), Zel_EINVAL},
      {"DefaultGet, out", Zel_DataDefaultGet(h, "port", nullptr), Zel_EINVAL},
      {"DefaultGet, unknown", Zel_DataDefaultGet(h, "portnumber2", &default_out), Zel_ENOTFOUND},
      {"DefaultGetFromData, record", Zel_DataDefaultGetFromData(nullptr, "id", &default_out),
       Zel_EINVAL},
      {"DefaultGetFromData, name", Zel_DataDefaultGetFromData(route, nullptr, &default_out),
       Zel_EINVAL},
      {"DefaultGetFromData, out", Zel_DataDefaultGetFromData(route, "id", nullptr), Zel_EINVAL},
      {"DefaultGetFromData, integer", Zel_DataDefaultGetFromData(number, "id", &default_out),
       Zel_EINVAL},
      {"DefaultGetFromData, unknown", Zel_DataDefaultGetFromData(route, "i", &default_out),
       Zel_ENOTFOUND},
      {"DefaultCreate, handle", Zel_DataDefaultCreate(nullptr, "port", &value_out), Zel_EINVAL},
      {"DefaultCreate, name", Zel_DataDefaultCreate(h, nullptr, &value_out), Zel_EINVAL},
      {"DefaultCreate, out", Zel_DataDefaultCreate(h, "port", nullptr), Zel_EINVAL},
      {"DefaultCreate, unknown", Zel_DataDefaultCreate(h, "hop", &value_out), Zel_ENOTFOUND},
      {"DefaultCreate, no entries", Zel_DataDefaultCreate(h, "level", &value_out), Zel_EINVAL},
      {"DefaultCreateFromData, record", Zel_DataDefaultCreateFromData(nullptr, "id", &value_out),
       Zel_EINVAL},
      {"DefaultCreateFromData, name", Zel_DataDefaultCreateFromData(route, nullptr, &value_out),
       Zel_EINVAL},
      {"DefaultCreateFromData, out", Zel_DataDefaultCreateFromData(route, "id", nullptr),
       Zel_EINVAL},
      {"DefaultCreateFromData, integer", Zel_DataDefaultCreateFromData(number, "id", &value_out),
       Zel_EINVAL},
      {"DefaultCreateFromData, unknown", Zel_DataDefaultCreateFromData(route, "note", &value_out),
       Zel_ENOTFOUND},
      {"Change, handle", Zel_DataChange(nullptr, number, &value), Zel_EINVAL},
      {"Change, record", Zel_DataChange(h, nullptr, &value), Zel_EINVAL},
      {"Change, child value", Zel_DataChange(h, route_id, &value), Zel_EFOREIGN},
      {"ChangeToData, parent", Zel_DataChangeToData(nullptr, route_id, &value), Zel_EINVAL},
      {"ChangeToData, record", Zel_DataChangeToData(route, nullptr, &value), Zel_EINVAL},
      {"ChangeToData, integer parent", Zel_DataChangeToData(number, number, &value), Zel_EFOREIGN},
      {"Add, handle", Zel_DataAdd(nullptr, fresh_port), Zel_EINVAL},
      {"Add, record", Zel_DataAdd(h, nullptr), Zel_EINVAL},
      {"Add, child value", Zel_DataAdd(h, route_id), Zel_EFOREIGN},
      {"AddToData, parent", Zel_DataAddToData(nullptr, fresh_port), Zel_EINVAL},
      {"AddToData, record", Zel_DataAddToData(route, nullptr), Zel_EINVAL},
      {"AddToData, integer parent", Zel_DataAddToData(number, fresh_port), Zel_EFOREIGN},
      {"AddToData, top-level value", Zel_DataAddToData(route, fresh_port), Zel_EFOREIGN},
      {"Del, handle", Zel_DataDel(nullptr, number), Zel_EINVAL},
      {"Del, record", Zel_DataDel(h, nullptr), Zel_EINVAL},
      {"Del, child value", Zel_DataDel(h, route_id), Zel_EFOREIGN},
      {"DelFromData, parent", Zel_DataDelFromData(nullptr, route_id), Zel_EINVAL},
      {"DelFromData, record", Zel_DataDelFromData(route, nullptr), Zel_EINVAL},
      {"DelFromData, integer parent", Zel_DataDelFromData(number, number), Zel_EFOREIGN},
  };
  for (const auto &row : rows) EXPECT_EQ(row.result, row.expected) << row.call;
  Zel_ConfigDestroy(nullptr);

  EXPECT_EQ(handle_out, h);
  EXPECT_STREQ(entries[0].name, "untouched");
  EXPECT_EQ(records[0], number);
  EXPECT_EQ(default_out, nullptr);
  EXPECT_EQ(value_out, number);
  EXPECT_EQ(count, 1u);
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
  EXPECT_STREQ(entries[0].name, "portnumber");
  EXPECT_EQ(entries[0].type, Zel_TYPE_INTEGER);
  EXPECT_STREQ(entries[1].name, "port");
  EXPECT_STREQ(entries[2].name, "spare");
  count = 0;
  ASSERT_EQ(Zel_ContentListGet(h, nullptr, &count), Zel_OK);
  EXPECT_EQ(count, 12u);

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
  count = 0;
  ASSERT_EQ(Zel_DataGet(h, "port", nullptr, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  count = 1;
  ASSERT_EQ(Zel_DataGet(h, "port", records, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(records[0]->payload.integer, 7);
  EXPECT_EQ(records[1], nullptr);
  count = 4;
  ASSERT_EQ(Zel_DataGet(h, "port", records, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(records[2]->payload.integer, 3);
  EXPECT_EQ(records[3], nullptr);
  count = 4;
  ASSERT_EQ(Zel_DataGet(h, "blob", records, &count), Zel_OK);
  EXPECT_EQ(count, 0u);
  count = 1;
  ASSERT_EQ(Zel_DataGetFromData(route, "hop", records, &count), Zel_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(Values(h, records[0], "id")[0]->payload.integer, 4);
}

TEST(ArgumentChecks, DefaultsAndNewValues) {
  HandlePtr config = OpenConfig();
  ConfigHandle *h = config.get();
  const DefaultRecord *port = nullptr, *mode = nullptr;
  ASSERT_EQ(Zel_DataDefaultGet(h, "port", &port), Zel_OK);
  EXPECT_EQ(port->payload.integer, 80);
  ASSERT_EQ(Zel_DataDefaultGet(h, "mode", &mode), Zel_OK);
  EXPECT_STREQ(mode->payload.keyword, "fast");

  DataRecord *first = Create(h, nullptr, "port");
  DataRecord *second = Create(h, nullptr, "port");
  EXPECT_NE(first, second);
  EXPECT_TRUE(Values(h, "port").empty());

  DataRecord *route = Create(h, nullptr, "route");
  ASSERT_EQ(route->type, Zel_TYPE_STRUCTURE);
  std::uint32_t count = 0;
  EXPECT_EQ(Zel_DataGetFromData(route, "hop", nullptr, &count), Zel_OK);
  EXPECT_EQ(count, 0u);
  const DefaultRecord *id_default = nullptr;
  ASSERT_EQ(Zel_DataDefaultGetFromData(route, "id", &id_default), Zel_OK);
  EXPECT_EQ(id_default->type, Zel_TYPE_INTEGER);
}

}  // namespace
}  // namespace qorvcfg::test
