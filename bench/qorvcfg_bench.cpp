// Measures the library against yardsticks run in the same process and prints
// one row per measurement: "name: ratio (range) target <= X: met|NOT MET".
// Times are the thread's CPU time (on Windows itself, whose thread times tick
// in steps of milliseconds, wall time); each ratio is the median of
// alternating rounds, both contenders warm. Memory rows come from a counting
// malloc in this program (Linux only).
//
// The "system" rows time a few operations beside a fixed piece of plain
// computation run in the same rounds; scripts/bench_compare.sh divides the
// DLL's ratios by the shared library's, which cancels what the machine's load
// does to both.
//
// Usage: qorvcfg_bench [--quick] [--rounds N] [--system-rows]
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <process.h>
#include <windows.h>
#else
#include <malloc.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench_data.h"
#include "qorvcfg.h"

#if defined(QORVCFG_BENCH_PUGIXML)
#include <pugixml.hpp>
#endif
#if defined(QORVCFG_BENCH_TINYXML2)
#include <tinyxml2.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || !defined(__linux__)
#define QORVCFG_BENCH_COUNTING_MALLOC 0
#else
#define QORVCFG_BENCH_COUNTING_MALLOC 1
#endif

// ---- Counting malloc ----------------------------------------------------------
// Replaces malloc for the whole process so that the bytes in use and their peak
// can be read around one operation. Counting is off unless a Tracker runs.
#if QORVCFG_BENCH_COUNTING_MALLOC
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

namespace {
bool g_counting = false;
std::int64_t g_allocations = 0;
std::int64_t g_in_use = 0;
std::int64_t g_peak = 0;

void Counted(void *block, std::int64_t sign) {
  if (!g_counting || block == nullptr) return;
  if (sign > 0) ++g_allocations;
  g_in_use += sign * static_cast<std::int64_t>(malloc_usable_size(block));
  g_peak = std::max(g_peak, g_in_use);
}
}  // namespace

extern "C" {
void *malloc(std::size_t size) {
  void *block = __libc_malloc(size);
  Counted(block, 1);
  return block;
}
void *calloc(std::size_t count, std::size_t size) {
  void *block = __libc_calloc(count, size);
  Counted(block, 1);
  return block;
}
void *realloc(void *block, std::size_t size) {
  Counted(block, -1);
  void *moved = __libc_realloc(block, size);
  Counted(moved != nullptr ? moved : block, 1);
  return moved;
}
void free(void *block) {
  Counted(block, -1);
  __libc_free(block);
}
}
#endif

namespace {

using namespace qorvcfg::bench;

// Bytes in use and their peak while it lives, counted from zero.
class Tracker {
 public:
  Tracker() {
#if QORVCFG_BENCH_COUNTING_MALLOC
    g_allocations = 0;
    g_in_use = 0;
    g_peak = 0;
    g_counting = true;
#endif
  }
  ~Tracker() { Stop(); }
  void Stop() {
#if QORVCFG_BENCH_COUNTING_MALLOC
    g_counting = false;
#endif
  }
  static constexpr bool kAvailable = QORVCFG_BENCH_COUNTING_MALLOC != 0;
  // Why the memory rows are left out when they are.
  static constexpr const char *kNotCounted =
#if defined(__linux__)
      "sanitizer build";
#else
      "counted on Linux only";
#endif
#if QORVCFG_BENCH_COUNTING_MALLOC
  [[nodiscard]] std::int64_t Allocations() const { return g_allocations; }
  [[nodiscard]] std::int64_t InUse() const { return g_in_use; }
  [[nodiscard]] std::int64_t Peak() const { return g_peak; }
#else
  [[nodiscard]] std::int64_t Allocations() const { return 0; }
  [[nodiscard]] std::int64_t InUse() const { return 0; }
  [[nodiscard]] std::int64_t Peak() const { return 0; }
#endif
};

#if defined(_WIN32)
double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Wine's thread times tick in 10 ms steps. Under Wine the program runs in a
// Linux process, so it asks Linux for the thread's CPU time itself.
bool UnderWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

double LinuxThreadSeconds() {
  struct {
    long long seconds;
    long long nanoseconds;
  } now{};
  constexpr long kClockGettime = 228;
  constexpr long kThreadCpuClock = 3;
  long result;
  __asm__ volatile("syscall"
                   : "=a"(result)
                   : "a"(kClockGettime), "D"(kThreadCpuClock), "S"(&now)
                   : "rcx", "r11", "memory");
  (void)result;
  return static_cast<double>(now.seconds) + static_cast<double>(now.nanoseconds) * 1e-9;
}
#endif

double CpuSeconds() {
#if defined(_WIN32)
  return UnderWine() ? LinuxThreadSeconds() : WallSeconds();
#else
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// After a large handle or document is freed, glibc merges the freed blocks at
// the next large request; pay for that here, outside any timing.
void SettleHeap() {
  void *block = std::malloc(256u << 20);
  if (block != nullptr) static_cast<volatile char *>(block)[0] = 0;
  std::free(block);
}

template <typename Run>
double Timed(Run &&run) {
  const double start = CpuSeconds();
  run();
  return CpuSeconds() - start;
}

struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
};

Spread SpreadOf(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples.front(), samples.back()};
}

int g_rounds = 5;
bool g_all_met = true;

// The ratio of two contenders, each giving the seconds of one run, in
// alternating rounds after one warm-up run each.
Spread Ratio(const std::function<double()> &ours, const std::function<double()> &theirs) {
  (void)ours();
  (void)theirs();
  std::vector<double> ratios;
  for (int round = 0; round < g_rounds; ++round) {
    double a;
    double b;
    if (round % 2 == 0) {
      a = ours();
      b = theirs();
    } else {
      b = theirs();
      a = ours();
    }
    ratios.push_back(a / b);
  }
  return SpreadOf(ratios);
}

void PrintRow(const char *name, const Spread &ratio, double target, const char *aim = nullptr) {
  const bool met = ratio.median <= target;
  g_all_met = g_all_met && met;
  std::printf("%s: %.2f (%.2f-%.2f) target <= %g%s: %s\n", name, ratio.median, ratio.low,
              ratio.high, target, aim != nullptr ? aim : "", met ? "met" : "NOT MET");
  std::fflush(stdout);
}

[[maybe_unused]] void PrintInformative(const char *name, const Spread &ratio) {
  std::printf("%s: %.2f (%.2f-%.2f) informative\n", name, ratio.median, ratio.low, ratio.high);
  std::fflush(stdout);
}

void PrintValue(const char *name, double value, double target, const char *unit,
                const char *aim = nullptr) {
  const bool met = value <= target;
  g_all_met = g_all_met && met;
  std::printf("%s: %.2f%s target <= %g%s%s: %s\n", name, value, unit, target, unit,
              aim != nullptr ? aim : "", met ? "met" : "NOT MET");
  std::fflush(stdout);
}

// A ratio that the comparison script divides by the other system's.
void PrintSystemRow(const char *name, double milliseconds, const Spread &ratio) {
  std::printf("system %s: %.3f ms, %.3f (%.3f-%.3f) x the yardstick\n", name, milliseconds,
              ratio.median, ratio.low, ratio.high);
  std::fflush(stdout);
}

void PrintSkipped(const char *name, const char *why) {
  std::printf("%s: skipped (%s)\n", name, why);
  std::fflush(stdout);
}

// ---- Handles ------------------------------------------------------------------
std::string g_scratch;

std::string ScratchPath(const char *name) { return g_scratch + "-" + name; }

void WriteText(const std::string &path, const std::string &text) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}

ConfigHandle *NewHandle(const char *definition_path = nullptr) {
  static const std::string path = [] {
    std::string p = ScratchPath("bench.def");
    WriteText(p, kDefinition);
    return p;
  }();
  ConfigHandle *handle = nullptr;
  if (Zel_ConfigCreate(definition_path != nullptr ? definition_path : path.c_str(), &handle) !=
      Zel_OK) {
    std::fprintf(stderr, "cannot create the bench handle\n");
    std::exit(1);
  }
  return handle;
}

void MustRead(const std::string &text, ConfigHandle *handle) {
  const ResultCode result = Zel_ConfigReadFromData(text.c_str(), handle);
  if (result != Zel_OK) {
    std::fprintf(stderr, "reading the bench data failed: 0x%08x\n", result);
    std::exit(1);
  }
}

void Destroy(ConfigHandle *handle) {
  Zel_ConfigDestroy(handle);
  SettleHeap();
}

double ReadSeconds(const std::string &text) {
  ConfigHandle *handle = NewHandle();
  const double seconds = Timed([&] { MustRead(text, handle); });
  Destroy(handle);
  return seconds;
}

// ---- Rows -----------------------------------------------------------------------
// target applies to the pugixml row.
void ReadRows([[maybe_unused]] const DataText &data, const char *order, double target) {
  char name[96];
#if defined(QORVCFG_BENCH_PUGIXML)
  const Spread pugi =
      Ratio([&] { return ReadSeconds(data.text); },
            [&] {
              pugi::xml_document document;
              const double seconds =
                  Timed([&] { (void)document.load_buffer(data.text.data(), data.text.size()); });
              document.reset();
              SettleHeap();
              return seconds;
            });
  std::snprintf(name, sizeof name, "read (%s) vs pugixml load_buffer", order);
  PrintRow(name, pugi, target, " (aim <= 1)");
#else
  (void)target;
  std::snprintf(name, sizeof name, "read (%s) vs pugixml load_buffer", order);
  PrintSkipped(name, "pugixml not found");
#endif
#if defined(QORVCFG_BENCH_TINYXML2)
  const Spread tiny =
      Ratio([&] { return ReadSeconds(data.text); },
            [&] {
              double seconds;
              {
                tinyxml2::XMLDocument document;
                seconds = Timed([&] { (void)document.Parse(data.text.data(), data.text.size()); });
              }
              SettleHeap();
              return seconds;
            });
  std::snprintf(name, sizeof name, "read (%s) vs tinyxml2 Parse", order);
  PrintInformative(name, tiny);
#else
  std::snprintf(name, sizeof name, "read (%s) vs tinyxml2 Parse", order);
  PrintSkipped(name, "tinyxml2 not found");
#endif
}

// The cost per value at each size against the first size. Ascending data
// should cost the same per value at every size (within low..high); shuffled
// data pays for a deeper descent into each index as it grows, up to high.
void ScalingRows(const std::vector<std::size_t> &sizes, Order order, double low, double high) {
  std::vector<std::vector<double>> per_value(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const DataText data = MakeDataOfValues(sizes[i], order);
    (void)ReadSeconds(data.text);
    for (int round = 0; round < g_rounds; ++round) {
      per_value[i].push_back(ReadSeconds(data.text) / static_cast<double>(data.values));
    }
  }
  const double base = SpreadOf(per_value[0]).median;
  for (std::size_t i = 1; i < sizes.size(); ++i) {
    std::vector<double> ratios;
    for (double cost : per_value[i]) ratios.push_back(cost / base);
    const Spread ratio = SpreadOf(ratios);
    char name[96];
    std::snprintf(name, sizeof name, "scaling (%s), cost per value at %zuk vs %zuk",
                  order == Order::kShuffled ? "shuffled" : "ascending", sizes[i] / 1000,
                  sizes[0] / 1000);
    const bool met = ratio.median >= low && ratio.median <= high;
    g_all_met = g_all_met && met;
    std::printf("%s: %.2f (%.2f-%.2f) target %g..%g: %s\n", name, ratio.median, ratio.low,
                ratio.high, low, high, met ? "met" : "NOT MET");
  }
  std::fflush(stdout);
}

void MemoryRows(const DataText &data, const char *order) {
  ConfigHandle *handle = NewHandle();
  Tracker tracker;
  MustRead(data.text, handle);
  tracker.Stop();
  const double values = static_cast<double>(data.values);
  char allocations[96], beyond[96], live[96];
  std::snprintf(allocations, sizeof allocations, "allocations per loaded value (%s)", order);
  std::snprintf(beyond, sizeof beyond, "read memory beyond the kept values, per input byte (%s)",
                order);
  std::snprintf(live, sizeof live, "live heap per value after the read (%s)", order);
  if (Tracker::kAvailable) {
    PrintValue(allocations, static_cast<double>(tracker.Allocations()) / values, 4, "",
               " (aim <= 2)");
    PrintValue(beyond,
               static_cast<double>(tracker.Peak() - tracker.InUse()) /
                   static_cast<double>(data.text.size()),
               1.5, " B");
    PrintValue(live, static_cast<double>(tracker.InUse()) / values, 200, " B");
  } else {
    PrintSkipped(allocations, Tracker::kNotCounted);
    PrintSkipped(beyond, Tracker::kNotCounted);
    PrintSkipped(live, Tracker::kNotCounted);
  }
  Destroy(handle);
}

void DestroyRows(const DataText &data) {
  std::vector<double> ratios;
  for (int round = 0; round <= g_rounds; ++round) {
    ConfigHandle *handle = NewHandle();
    const double read = Timed([&] { MustRead(data.text, handle); });
    const double destroy = Timed([&] { Zel_ConfigDestroy(handle); });
    SettleHeap();
    if (round > 0) ratios.push_back(destroy / read);  // round 0 warms up
  }
  PrintRow("destroy vs read of the same data", SpreadOf(ratios), 0.5);
#if defined(QORVCFG_BENCH_PUGIXML)
  const Spread pugi = Ratio(
      [&] {
        ConfigHandle *handle = NewHandle();
        MustRead(data.text, handle);
        const double seconds = Timed([&] { Zel_ConfigDestroy(handle); });
        SettleHeap();
        return seconds;
      },
      [&] {
        pugi::xml_document document;
        (void)document.load_buffer(data.text.data(), data.text.size());
        const double seconds = Timed([&] { document.reset(); });
        SettleHeap();
        return seconds;
      });
  PrintInformative("destroy vs pugixml document reset", pugi);
#else
  PrintSkipped("destroy vs pugixml document reset", "pugixml not found");
#endif
}

std::vector<std::int64_t> RandomKeys(std::size_t count) {
  std::vector<std::int64_t> keys(count);
  std::mt19937_64 random(12345);
  for (std::int64_t &key : keys) key = static_cast<std::int64_t>(random());
  return keys;
}

// Adds every key to the item "key" as a host does: a value from the default,
// changed, added.
void AddKeys(ConfigHandle *handle, const std::vector<std::int64_t> &keys) {
  for (const std::int64_t &key : keys) {
    DataRecord *record = nullptr;
    if (Zel_DataDefaultCreate(handle, "key", &record) != Zel_OK ||
        Zel_DataChange(handle, record, &key) != Zel_OK || Zel_DataAdd(handle, record) != Zel_OK) {
      std::fprintf(stderr, "adding a key failed\n");
      std::exit(1);
    }
  }
}

void ChangeRows(std::size_t count) {
  const std::vector<std::int64_t> keys = RandomKeys(count);
  volatile std::uint64_t sink = 0;
  const Spread add = Ratio(
      [&] {
        ConfigHandle *handle = NewHandle();
        const double seconds = Timed([&] { AddKeys(handle, keys); });
        Destroy(handle);
        return seconds;
      },
      [&] {
        double seconds;
        {
          std::set<std::int64_t> set;
          seconds = Timed([&] {
            for (const std::int64_t &key : keys) set.insert(key);
          });
        }
        SettleHeap();
        return seconds;
      });
  PrintRow("create+change+add vs std::set insert", add, 2);

  ConfigHandle *handle = NewHandle();
  AddKeys(handle, keys);
  const std::set<std::int64_t> set(keys.begin(), keys.end());
  std::vector<DataRecord *> records(keys.size());
  const Spread list = Ratio(
      [&] {
        return Timed([&] {
          std::uint32_t total = 0;
          (void)Zel_DataGet(handle, "key", nullptr, &total);
          std::uint32_t capacity = total;
          (void)Zel_DataGet(handle, "key", records.data(), &capacity);
          std::uint64_t sum = 0;  // wraps
          for (std::uint32_t i = 0; i < total; ++i) {
            sum += static_cast<std::uint64_t>(records[i]->payload.integer);
          }
          sink = sink + sum;
        });
      },
      [&] {
        return Timed([&] {
          std::uint64_t sum = 0;
          for (const std::int64_t &key : set) sum += static_cast<std::uint64_t>(key);
          sink = sink + sum;
        });
      });
  PrintRow("listing (Zel_DataGet) vs std::set walk", list, 2);
  Destroy(handle);
}

void WriteRows(const DataText &data) {
#if defined(QORVCFG_BENCH_PUGIXML)
  ConfigHandle *handle = NewHandle();
  MustRead(data.text, handle);
  pugi::xml_document document;
  (void)document.load_buffer(data.text.data(), data.text.size());
  const std::string ours = ScratchPath("written.xml");
  const std::string theirs = ScratchPath("pugixml.xml");
  const Spread write =
      Ratio([&] { return Timed([&] { (void)Zel_ConfigWrite(ours.c_str(), handle); }); },
            [&] { return Timed([&] { (void)document.save_file(theirs.c_str()); }); });
  PrintRow("write vs pugixml save_file", write, 1);
  std::remove(ours.c_str());
  std::remove(theirs.c_str());
  document.reset();
  Destroy(handle);
#else
  (void)data;
  PrintSkipped("write vs pugixml save_file", "pugixml not found");
#endif
}

#if defined(_WIN32)
void DepthRow(std::size_t, std::size_t) { PrintSkipped("depth", "runs on Linux only"); }
#else
std::string Megabytes(double bytes) {
  if (!Tracker::kAvailable) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
  return text;
}

// Runs in a child process, so that a crash or a stack overflow of the library
// turns into "skipped" instead of ending the benchmark.
void DepthRow(std::size_t definition_depth, std::size_t data_depth) {
  int link[2];
  if (pipe(link) != 0) return PrintSkipped("depth", "no pipe");
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(link[0]);
    alarm(300);
    char line[256];
    const std::string path = ScratchPath("deep.def");
    WriteText(path, MakeDeepDefinition(definition_depth));
    const std::string data = MakeDeepData(data_depth);
    ConfigHandle *handle = nullptr;
    Tracker create_memory;
    const double create = Timed([&] {
      if (Zel_ConfigCreate(path.c_str(), &handle) != Zel_OK) _exit(2);
    });
    create_memory.Stop();
    const double create_peak = static_cast<double>(create_memory.Peak());
    std::size_t kept_levels = 0;
    for (const ItemDefinition *item = handle->items; item != nullptr; item = item->children) {
      ++kept_levels;
    }
    Zel_ConfigDestroy(handle);
    // The deep data goes into a definition whose every level is kept, so that
    // the read meets all of its markup.
    WriteText(path, MakeDeepDefinition(std::min<std::size_t>(kept_levels, data_depth) - 1));
    if (Zel_ConfigCreate(path.c_str(), &handle) != Zel_OK) _exit(2);
    Tracker read_memory;
    ResultCode read_result = Zel_OK;
    const double read = Timed([&] { read_result = Zel_ConfigReadFromData(data.c_str(), handle); });
    read_memory.Stop();
    const double read_peak = static_cast<double>(read_memory.Peak());
    Zel_ConfigDestroy(handle);
    std::remove(path.c_str());
    std::snprintf(line, sizeof line,
                  "depth: create %zu deep %.2f s, peak %s, %zu levels kept; read %zu deep "
                  "0x%08x %.2f s, peak %s informative\n",
                  definition_depth, create, Megabytes(create_peak).c_str(), kept_levels, data_depth,
                  read_result, read, Megabytes(read_peak).c_str());
    if (write(link[1], line, std::strlen(line)) < 0) _exit(3);
    _exit(0);
  }
  close(link[1]);
  std::string result;
  char buffer[256];
  for (ssize_t got; (got = read(link[0], buffer, sizeof buffer)) > 0;) result.append(buffer, got);
  close(link[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    std::fputs(result.c_str(), stdout);
  } else if (WIFSIGNALED(status)) {
    char why[64];
    std::snprintf(why, sizeof why, "the child ended by signal %d", WTERMSIG(status));
    PrintSkipped("depth", why);
  } else {
    PrintSkipped("depth", "creating or reading failed");
  }
}
#endif

// ---- A host's cycle on a small file -------------------------------------------------
const std::string g_service_definition = QORVCFG_BENCH_EXAMPLES "/service.def";
const std::string g_service_data = QORVCFG_BENCH_EXAMPLES "/service.conf";
constexpr int kSmallCycles = 200;

// Makes a handle from the example definition, reads the example data file into
// it and destroys it, kSmallCycles times.
void SmallCycles() {
  for (int i = 0; i < kSmallCycles; ++i) {
    ConfigHandle *handle = nullptr;
    if (Zel_ConfigCreate(g_service_definition.c_str(), &handle) != Zel_OK ||
        Zel_ConfigRead(g_service_data.c_str(), handle) != Zel_OK) {
      std::fprintf(stderr, "the small-file cycle failed on %s\n", g_service_data.c_str());
      std::exit(1);
    }
    Zel_ConfigDestroy(handle);
  }
}

void SmallFileRow() {
#if defined(QORVCFG_BENCH_PUGIXML)
  const Spread ratio = Ratio([&] { return Timed(SmallCycles); },
                             [&] {
                               return Timed([&] {
                                 for (int i = 0; i < kSmallCycles; ++i) {
                                   pugi::xml_document definition;
                                   pugi::xml_document data;
                                   (void)definition.load_file(g_service_definition.c_str());
                                   (void)data.load_file(g_service_data.c_str());
                                 }
                               });
                             });
  PrintRow("small file, create + read + destroy vs pugixml load_file of both", ratio, 2,
           " (aim <= 1)");
#else
  PrintSkipped("small file, create + read + destroy vs pugixml load_file of both",
               "pugixml not found");
#endif
}

// ---- Rows that compare the two systems -------------------------------------------
// A fixed piece of plain computation, without allocations or system calls,
// that both systems run at the speed of the machine: a byte hash of the text.
volatile std::uint64_t g_yardstick_sink = 0;

double YardstickSeconds(const std::string &text) {
  return Timed([&] {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    g_yardstick_sink = g_yardstick_sink + hash;
  });
}

// ours gives the seconds of one run; each round runs it and the yardstick.
void SystemRow(const char *name, const std::function<double()> &ours,
               const std::string &yardstick_text) {
  (void)ours();
  (void)YardstickSeconds(yardstick_text);
  std::vector<double> times;
  std::vector<double> ratios;
  for (int round = 0; round < g_rounds; ++round) {
    double a;
    double b;
    if (round % 2 == 0) {
      a = ours();
      b = YardstickSeconds(yardstick_text);
    } else {
      b = YardstickSeconds(yardstick_text);
      a = ours();
    }
    times.push_back(a);
    ratios.push_back(a / b);
  }
  PrintSystemRow(name, SpreadOf(times).median * 1e3, SpreadOf(ratios));
}

// About the bytes a read of the 90,004 values takes: 18 MB kept, 21 MB at
// its peak.
constexpr std::size_t kRoundTripBytes = std::size_t{20} << 20;

double HeapRoundTripSeconds() {
  constexpr std::size_t kBlock = 256u << 10;
  constexpr std::size_t kBlocks = kRoundTripBytes / kBlock;
  void *blocks[kBlocks];
  return Timed([&] {
    for (void *&block : blocks) {
#if defined(_WIN32)
      block = HeapAlloc(GetProcessHeap(), 0, kBlock);
#else
      block = std::malloc(kBlock);
#endif
      if (block == nullptr) continue;
      for (std::size_t at = 0; at < kBlock; at += 4096) static_cast<volatile char *>(block)[at] = 1;
    }
    for (void *block : blocks) {
#if defined(_WIN32)
      if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
#else
      std::free(block);
#endif
    }
  });
}

// The operations hosts run most, on 90,004 values.
void SystemRows() {
  const DataText ascending = MakeData(10000, 10000);
  const DataText shuffled = MakeData(10000, 10000, Order::kShuffled);
  const std::string &yardstick = ascending.text;
  char name[96];
  for (const DataText *data : {&ascending, &shuffled}) {
    std::snprintf(name, sizeof name, "read of %zu values (%s)", data->values,
                  data == &ascending ? "ascending" : "shuffled");
    SystemRow(
        name,
        [&] {
          ConfigHandle *handle = NewHandle();
          const double seconds = Timed([&] { MustRead(data->text, handle); });
          Destroy(handle);
          return seconds;
        },
        yardstick);
  }
  std::snprintf(name, sizeof name, "destroy of %zu values", ascending.values);
  SystemRow(
      name,
      [&] {
        ConfigHandle *handle = NewHandle();
        MustRead(ascending.text, handle);
        const double seconds = Timed([&] { Zel_ConfigDestroy(handle); });
        SettleHeap();
        return seconds;
      },
      yardstick);
  // What the system charges for memory that went back to it and comes again:
  // blocks of the size the library's value pool takes, from the heap the
  // library uses, each page touched once, then freed. glibc keeps them for
  // the next round (the bench asks it to); the Windows heap gives them back.
  std::snprintf(name, sizeof name, "heap round trip of %u MiB",
                static_cast<unsigned>(kRoundTripBytes >> 20));
  SystemRow(name, HeapRoundTripSeconds, yardstick);
  const std::string path = ScratchPath("bench.conf");
  WriteText(path, ascending.text);
  std::snprintf(name, sizeof name, "file read of %zu values", ascending.values);
  SystemRow(
      name,
      [&] {
        ConfigHandle *handle = NewHandle();
        const double seconds = Timed([&] {
          if (Zel_ConfigRead(path.c_str(), handle) != Zel_OK) {
            std::fprintf(stderr, "reading the bench file failed\n");
            std::exit(1);
          }
        });
        Destroy(handle);
        return seconds;
      },
      yardstick);
  std::remove(path.c_str());
  std::snprintf(name, sizeof name, "small file x%d, create + read + destroy", kSmallCycles);
  SystemRow(
      name, [] { return Timed(SmallCycles); }, yardstick);
}

}  // namespace

int main(int argc, char **argv) {
  bool quick = false;
  bool system_rows_only = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--system-rows") == 0) {
      system_rows_only = true;
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      g_rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: qorvcfg_bench [--quick] [--rounds N] [--system-rows]\n");
      return 2;
    }
  }
#if defined(_WIN32)
  const char *tmp = std::getenv("TEMP");
  const int pid = _getpid();
#else
  // Freed memory stays in the heap, so that no contender pays for returning
  // it to the system or for getting it back.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  const char *tmp = std::getenv("TMPDIR");
  const int pid = static_cast<int>(getpid());
#endif
  g_scratch = std::string(tmp != nullptr ? tmp : "/tmp") + "/qorvcfg-bench-" + std::to_string(pid);

  if (system_rows_only) {
    SystemRows();
    std::remove(ScratchPath("bench.def").c_str());
    return 0;
  }
  const std::size_t structures = quick ? 10000 : 100000;
  const DataText data = MakeData(structures, structures);
  std::printf("bench data: %zu structures, %zu addresses, %zu values, %.1f MB%s\n", structures,
              structures, data.values, static_cast<double>(data.text.size()) / 1e6,
              quick ? " (quick)" : "");
  {
    const DataText shuffled = MakeData(structures, structures, Order::kShuffled);
    ReadRows(shuffled, "shuffled", 3);
    MemoryRows(shuffled, "shuffled");
  }
  ReadRows(data, "ascending", 2.5);
  SmallFileRow();
  const std::vector<std::size_t> sizes = quick ? std::vector<std::size_t>{10000, 30000, 100000}
                                               : std::vector<std::size_t>{10000, 100000, 1000000};
  ScalingRows(sizes, Order::kAscending, 0.75, 1.25);
  ScalingRows(sizes, Order::kShuffled, 0, 1.5);
  MemoryRows(data, "ascending");
  DestroyRows(data);
  ChangeRows(quick ? 20000 : 100000);
  WriteRows(data);
  SystemRows();
  DepthRow(quick ? 100000 : 1000000, quick ? 10000 : 100000);
  std::remove(ScratchPath("bench.def").c_str());
  std::printf("%s\n", g_all_met ? "every target met" : "some targets NOT MET");
  return 0;
}
