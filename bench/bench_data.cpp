#include "bench_data.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace qorvcfg::bench {

const char *const kDefinition =
    "<config_define><name>bench</name>\n"
    "<item><name>name</name><type>string</type></item>\n"
    "<item><name>port</name><type>integer</type><minimum>1</minimum><maximum>65535</maximum>"
    "</item>\n"
    "<item><name>debug</name><type>boolean</type></item>\n"
    "<item><name>level</name><type>enumeration</type>"
    "<enum><low>Low</low><high>High</high></enum></item>\n"
    "<item><name>key</name><type>integer</type><number>0</number></item>\n"
    "<item><name>listen</name><type>ipaddr</type><number>0</number></item>\n"
    "<item><name>server</name><type>structure</type><number>0</number>\n"
    "  <item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>\n"
    "  <item><name>host</name><type>string</type><maximum>255</maximum></item>\n"
    "  <item><name>address</name><type>ipaddr</type></item>\n"
    "  <item><name>port</name><type>integer</type><minimum>1</minimum>"
    "<maximum>65535</maximum></item>\n"
    "  <item><name>weight</name><type>integer</type><minimum>0</minimum>"
    "<maximum>1000</maximum></item>\n"
    "  <item><name>enabled</name><type>boolean</type></item>\n"
    "  <item><name>role</name><type>enumeration</type>"
    "<enum><primary>Primary</primary><backup>Backup</backup></enum></item>\n"
    "</item>\n"
    "</config_define>\n";

namespace {

inline constexpr std::uint32_t kStructureShuffleKey = 16;
inline constexpr std::uint32_t kAddressShuffleKey = 1016;

// 0 .. count-1, ascending or in a random order fixed by the shuffle key. The
// generator's output is the same everywhere, and the reduction is our own, so
// both systems read the same bytes.
std::vector<unsigned> Numbers(std::size_t count, Order order, std::uint32_t shuffle_key) {
  std::vector<unsigned> numbers(count);
  for (std::size_t i = 0; i < count; ++i) numbers[i] = static_cast<unsigned>(i);
  if (order == Order::kShuffled) {
    std::mt19937_64 random(shuffle_key);
    for (std::size_t i = count; i > 1; --i) {
      const std::size_t j = static_cast<std::size_t>(random() % i);
      std::swap(numbers[i - 1], numbers[j]);
    }
  }
  return numbers;
}

}  // namespace

DataText MakeData(std::size_t structures, std::size_t addresses, Order order) {
  DataText data;
  std::string &text = data.text;
  text.reserve(structures * 230 + addresses * 40 + 256);
  text +=
      "<config>\n  <name>bench configuration</name>\n  <port>8080</port>\n"
      "  <debug>FALSE</debug>\n  <level>high</level>\n";
  data.values = 4;
  char line[512];
  for (const unsigned n : Numbers(structures, order, kStructureShuffleKey)) {
    std::snprintf(line, sizeof line,
                  "  <server>    <id>%u</id>\n    <host>srv%u.example</host>\n"
                  "    <address>10.%u.%u.%u</address>\n    <port>%u</port>\n"
                  "    <weight>%u</weight>\n    <enabled>%s</enabled>\n"
                  "    <role>%s</role>\n  </server>\n",
                  n, n, (n >> 16) & 255, (n >> 8) & 255, n & 255, 1024 + n % 60000, n % 1001,
                  n % 3 != 0 ? "TRUE" : "FALSE", n % 4 != 0 ? "primary" : "backup");
    text += line;
  }
  data.values += structures * 8;
  for (const unsigned n : Numbers(addresses, order, kAddressShuffleKey)) {
    std::snprintf(line, sizeof line, "  <listen>172.%u.%u.%u</listen>\n", (n >> 16) & 255,
                  (n >> 8) & 255, n & 255);
    text += line;
  }
  data.values += addresses;
  text += "</config>\n";
  return data;
}

DataText MakeDataOfValues(std::size_t values, Order order) {
  const std::size_t structures = values * 9 / 10 / 8;
  return MakeData(structures, values - structures * 8, order);
}

std::string MakeDeepDefinition(std::size_t depth) {
  std::string text = "<config_define><name>deep</name>\n";
  text.reserve(depth * 60 + 128);
  for (std::size_t i = 0; i < depth; ++i) {
    text += "<item><name>d</name><type>structure</type>";
  }
  text += "<item><name>v</name><type>integer</type></item>";
  for (std::size_t i = 0; i < depth; ++i) text += "</item>";
  return text + "\n</config_define>\n";
}

std::string MakeDeepData(std::size_t depth) {
  std::string text = "<config>";
  text.reserve(depth * 8 + 64);
  for (std::size_t i = 0; i < depth; ++i) text += "<d>";
  text += "<v>1</v>";
  for (std::size_t i = 0; i < depth; ++i) text += "</d>";
  return text + "</config>\n";
}

}  // namespace qorvcfg::bench
