// Measures reading, listing, writing and the value index against baselines
// run in the same process, and prints each result as a ratio:
//   read      Zel_ConfigReadFromData of N values  vs  one pass over the bytes
//   write     Zel_ConfigWrite of the same values  vs  writing the same bytes at once
//   index     IndexInsert of N integers           vs  std::set insertion
//   scaling   reading 2N values                   vs  reading N values (about 2 when linear)
//   long text one 4 MiB text value                vs  one 2 MiB text value (about 2)
// Usage: qorvcfg_bench [N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "platform/platform.h"
#include "qorvcfg.h"
#include "store/store.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best of several runs, in seconds.
double Time(const std::function<void()> &run, int repeats = 5) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

const char *kDefinition =
    "<config_define><name>bench</name>"
    "<item><name>port</name><type>integer</type><number>0</number></item>"
    "<item><name>label</name><type>string</type><number>0</number></item>"
    "<item><name>address</name><type>ipaddr</type><number>0</number></item>"
    "<item><name>server</name><type>structure</type><number>0</number>"
    "<item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>"
    "<item><name>host</name><type>string</type></item></item>"
    "</config_define>";

std::string DataText(int n) {
  std::string text = "<config>\n";
  for (int i = 0; i < n; ++i) {
    switch (i % 4) {
      case 0:
        text += "  <port>" + std::to_string(i) + "</port>\n";
        break;
      case 1:
        text += "  <label>label number " + std::to_string(i) + "</label>\n";
        break;
      case 2:
        text += "  <address>10." + std::to_string((i >> 16) & 255) + "." +
                std::to_string((i >> 8) & 255) + "." + std::to_string(i & 255) + "</address>\n";
        break;
      default:
        text += "  <server><id>" + std::to_string(i) + "</id><host>h" + std::to_string(i) +
                "</host></server>\n";
    }
  }
  return text + "</config>\n";
}

ConfigHandle *NewHandle(const std::string &definition_path) {
  ConfigHandle *handle = nullptr;
  if (Zel_ConfigCreate(definition_path.c_str(), &handle) != Zel_OK) {
    std::fprintf(stderr, "cannot create the handle\n");
    std::exit(1);
  }
  return handle;
}

double ReadSeconds(const std::string &definition_path, const std::string &text) {
  return Time([&] {
    ConfigHandle *handle = NewHandle(definition_path);
    if (Zel_ConfigReadFromData(text.c_str(), handle) != Zel_OK) std::exit(1);
    Zel_ConfigDestroy(handle);
  });
}

std::int32_t CompareIntegers(const void *a, const void *b) {
  const auto x = *static_cast<const std::int64_t *>(a);
  const auto y = *static_cast<const std::int64_t *>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 40000;
  const std::string dir = "bench-tmp-" + std::to_string(std::rand());
  const std::string definition_path = dir + ".def";
  const std::string output_path = dir + ".out";
  if (FILE *f = std::fopen(definition_path.c_str(), "wb")) {
    std::fputs(kDefinition, f);
    std::fclose(f);
  }

  const std::string text = DataText(n);
  volatile std::size_t sink = 0;
  const double scan = Time([&] {
    std::size_t tags = 0;
    for (char c : text) tags += c == '<';
    sink = sink + tags;
  });
  const double read = ReadSeconds(definition_path, text);
  const double read_double = ReadSeconds(definition_path, DataText(2 * n));

  ConfigHandle *handle = NewHandle(definition_path);
  (void)Zel_ConfigReadFromData(text.c_str(), handle);
  const double write = Time([&] { (void)Zel_ConfigWrite(output_path.c_str(), handle); });
  const std::int64_t live_with_values = qorvcfg::platform::LiveAllocations();
  Zel_ConfigDestroy(handle);
  const double raw_write = Time([&] {
    FILE *f = std::fopen(output_path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  });

  std::vector<std::int64_t> keys(static_cast<std::size_t>(n));
  std::mt19937_64 random(12345);
  for (auto &k : keys) k = static_cast<std::int64_t>(random());
  const double index = Time([&] {
    ValueIndex *idx = nullptr;
    if (qorvcfg::IndexCreate(&idx, CompareIntegers) != Zel_OK) std::exit(1);
    for (auto &k : keys) (void)qorvcfg::IndexInsert(idx, &k);
    (void)qorvcfg::IndexDestroy(idx, nullptr);
  });
  const double set = Time([&] {
    std::set<std::int64_t> s;
    for (auto k : keys) s.insert(k);
    sink = sink + s.size();
  });

  auto long_text = [&](std::size_t bytes) {
    return "<config><label>" + std::string(bytes, 'x') + "</label></config>";
  };
  const std::string long1 = long_text(2u << 20);
  const std::string long2 = long_text(4u << 20);
  const double long_ratio =
      ReadSeconds(definition_path, long2) / ReadSeconds(definition_path, long1);

  std::printf("values: %d (%zu bytes of data)\n", n, text.size());
  std::printf("read      %8.2fx  one pass over the bytes\n", read / scan);
  std::printf("write     %8.2fx  writing the same bytes at once\n", write / raw_write);
  std::printf("index     %8.2fx  std::set insertion\n", index / set);
  std::printf("scaling   %8.2fx  reading half as many values\n", read_double / read);
  std::printf("long text %8.2fx  a text value half as long\n", long_ratio);
  std::printf("memory    %8.2f  live allocations per loaded value\n",
              static_cast<double>(live_with_values) / n);
  std::remove(definition_path.c_str());
  std::remove(output_path.c_str());
  return 0;
}
