// The C++ interface (qorvcfg.hpp, compiled here as C++17) and the result
// texts of qorvcfg.h, through the exported functions.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "qorvcfg.hpp"
#include "support/test_files.h"

namespace {

using qorvcfg::Config;
using qorvcfg::Error;
using qorvcfg::Value;
using qorvcfg::test::DataPath;

Config Loaded() {
  Config config(DataPath("every_type.def.xml"));
  config.read(DataPath("every_type.data.xml"));
  return config;
}

// The code a call throws, or Zel_OK when it throws nothing.
ResultCode Thrown(const std::function<void()> &call) {
  try {
    call();
  } catch (const Error &error) {
    return error.code();
  }
  return Zel_OK;
}

template <class Range>
std::vector<std::int64_t> Integers(const Range &values) {
  std::vector<std::int64_t> numbers;
  for (Value value : values) numbers.push_back(value.as_int());
  return numbers;
}

TEST(ResultText, NamesEveryCodeAndTheWindowsNumber) {
  const struct {
    ResultCode code;
    const char *text;
  } cases[] = {
      {Zel_OK, "Zel_OK: success"},
      {Zel_ESYSTEM | 2,
       "Zel_ESYSTEM|2: opening, reading or writing a file failed (Windows error 2: file not "
       "found)"},
      {Zel_ESYSTEM | 5000,
       "Zel_ESYSTEM|5000: opening, reading or writing a file failed "
       "(Windows error 5000)"},
      {Zel_EBUSY | 170, "Zel_EBUSY|170: the file is in use (Windows error 170: busy)"},
      {Zel_EBUSY, "Zel_EBUSY: the file is in use"},
      {Zel_EFOREIGN, "Zel_EFOREIGN: the value does not belong to this level"},
      // Only the two file codes carry a number.
      {Zel_ERANGE | 3, "0x0A400003: not a result code of qorvcfg"},
      {0x12345678u, "0x12345678: not a result code of qorvcfg"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(qorvcfg::result_text(c.code), c.text);
    char cut[8] = "xxxxxxx";
    EXPECT_EQ(Qorvcfg_ResultText(c.code, cut, 5), std::string(c.text).size());
    EXPECT_EQ(std::string(cut), std::string(c.text, 4)) << "cut to the buffer, with its zero";
  }
  EXPECT_EQ(Qorvcfg_ResultText(Zel_OK, nullptr, 0), 15u);
  for (ResultCode code = 0x01000000u; code <= 0x0A000000u; code += 0x01000000u) {
    for (ResultCode digit = 0x200000u; digit <= 0x400000u; digit += 0x100000u) {
      EXPECT_LT(Qorvcfg_ResultText(code | digit | 0x3FFFFu, nullptr, 0), 160u);
    }
  }
}

TEST(CxxInterface, ErrorsCarryTheCode) {
  Config config = Loaded();
  Value port = config.values("port").front();
  const struct {
    const char *what;
    ResultCode code;
    std::function<void()> call;
  } cases[] = {
      {"missing definition", Zel_ESYSTEM | 2, [] { Config("no such file"); }},
      {"markup ends in a tag", Zel_EINVAL, [&] { config.read_text("<config><port>1</po"); }},
      {"unknown item", Zel_ENOTFOUND, [&] { config.values("portn"); }},
      {"integer out of bounds", Zel_ERANGE, [&] { config.change(port, 65536); }},
      {"text for an integer", Zel_EINVAL, [&] { config.change(port, "9"); }},
      {"bool for an integer", Zel_EINVAL, [&] { config.change(port, true); }},
      {"a value added twice", Zel_EEXIST, [&] { config.add(port); }},
      {"default of a member at the top", Zel_ENOTFOUND, [&] { config.default_value("gateway"); }},
      {"members of a non-structure", Zel_ENOTFOUND, [&] { port.values("id"); }},
  };
  for (const auto &c : cases) EXPECT_EQ(Thrown(c.call), c.code) << c.what;
  EXPECT_EQ(port.as_int(), 7) << "failed changes leave the value";
  const Error error(Zel_EBUSY | 170);
  EXPECT_EQ(error.base(), Zel_EBUSY);
  EXPECT_STREQ(error.what(), "Zel_EBUSY|170: the file is in use (Windows error 170: busy)");
}

TEST(CxxInterface, AccessorsCheckTheType) {
  Config config = Loaded();
  for (const char *name : {"port", "label", "flag", "host", "mode", "route"}) {
    const Value value = config.values(name).front();
    const std::pair<ItemType, std::function<void()>> accessors[] = {
        {Zel_TYPE_INTEGER, [&] { value.as_int(); }},
        {Zel_TYPE_STRING, [&] { value.as_string(); }},
        {Zel_TYPE_BOOLEAN, [&] { value.as_bool(); }},
        {Zel_TYPE_IPADDR, [&] { value.as_address(); }},
        {Zel_TYPE_ENUMERATION, [&] { value.as_word(); }},
    };
    for (const auto &[type, read] : accessors) {
      EXPECT_EQ(Thrown(read), type == value.type() ? Zel_OK : Zel_EINVAL) << name << " as " << type;
    }
  }
  EXPECT_EQ(config.values("label").front().as_string(),
            "with trailing blank, and longer than a "
            "value holds in itself ");
  EXPECT_EQ(config.values("mode").front().as_word(), "slow");
  EXPECT_EQ(config.default_value("mode").as_word(), "fast");
  EXPECT_EQ(config.default_value("port").as_int(), 80);
  EXPECT_EQ(Thrown([&] { config.default_value("port").as_bool(); }), Zel_EINVAL);
}

TEST(CxxInterface, RangesListLevelsAndMembers) {
  Config config = Loaded();
  EXPECT_EQ(Integers(config.values("port")), (std::vector<std::int64_t>{7, 5, 3}));
  EXPECT_TRUE(config.values("blob").empty());
  std::vector<std::string> routes;
  for (Value route : config.values("route")) {
    std::string text = std::to_string(route.values("id").front().as_int()) + ":";
    for (Value hop : route.values("hop")) text += std::to_string(hop.values("id")[0].as_int());
    routes.push_back(text);
  }
  EXPECT_EQ(routes, (std::vector<std::string>{"8:", "2:41"}));
  std::string members;
  for (const ItemDefinition &item : config.values("route").front().items()) members += item.name;
  EXPECT_EQ(members, "idgatewayhop");
  EXPECT_TRUE(config.values("port").front().items().empty());
  std::size_t items = 0;
  for (const ItemDefinition &item : config.items()) items += item.name != nullptr;
  EXPECT_EQ(items, 12u);
}

TEST(CxxInterface, ChangesAddAndRemoveOnBothLevels) {
  Config config = Loaded();
  Value port = config.create("port");
  EXPECT_EQ(port.as_int(), 80);
  config.change(port, std::int16_t{9});
  config.add(port);
  EXPECT_EQ(Integers(config.values("port")), (std::vector<std::int64_t>{9, 7, 5, 3}));
  config.remove(port);
  config.remove(port);
  EXPECT_EQ(Integers(config.values("port")), (std::vector<std::int64_t>{7, 5, 3}));
  EXPECT_EQ(port.as_int(), 9) << "a removed value stays valid";

  Value label = config.values("label")[1];
  const std::string long_text = "a text that does not fit into a value's own room";
  config.change(label, std::string_view(long_text).substr(0, 6));
  EXPECT_EQ(label.as_string(), "a text");
  config.change(label, long_text);
  EXPECT_EQ(label.as_string(), long_text);

  Value host = config.values("host").front();
  config.change(host, qorvcfg::host_name("relay.example"));
  EXPECT_EQ(std::string(host.as_address().host_name), "relay.example");
  const std::uint8_t v6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
  config.change(host, qorvcfg::ipv6(v6));
  EXPECT_EQ(host.as_address().family, Zel_IP_FAMILY_V6);

  Value route = config.create("route");
  Value id = route.create("id");
  route.change(id, 5);
  route.add(id);
  Value flag = config.values("s").front().values("b").front();
  config.values("s").front().change(flag, false);
  config.add(route);
  EXPECT_EQ(config.values("route")[1].values("id").front().as_int(), 5);
  EXPECT_FALSE(flag.as_bool());
  EXPECT_EQ(Thrown([&] { route.remove(flag); }), Zel_EFOREIGN);
}

TEST(CxxInterface, ConfigMovesItsHandleAndWrites) {
  Config first = Loaded();
  ConfigHandle *handle = first.handle();
  Config second = std::move(first);
  EXPECT_EQ(second.handle(), handle);
  EXPECT_EQ(first.handle(), nullptr);
  EXPECT_EQ(Thrown([&] { first.read_text("<config/>"); }), Zel_EINVAL);
  EXPECT_TRUE(first.items().empty());
  first = Config(DataPath("every_type.def.xml"));  // the moved-from one takes a new handle
  second = std::move(first);                       // and the old one is destroyed
  const std::string path = qorvcfg::test::TempPath("empty.xml");
  second.write(path);
  EXPECT_EQ(qorvcfg::test::ReadFile(path), "<config>\n</config>\n");
}

}  // namespace
