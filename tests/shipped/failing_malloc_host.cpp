// A host of the shipped shared library that replaces malloc for its whole
// process and fails the n-th allocation of one read, for every n, over the
// files named on its command line. Each read answers Zel_OK or Zel_ENOMEM;
// Zel_ENOMEM leaves the handle empty; a Zel_OK read holds every value of the
// file, or every value of the file without the one element whose conversion
// ran out of memory; destroying the handle frees every block the read made.
//
// Usage: test_shipped_reads DIRECTORY-FOR-WRITTEN-FILES
//                           (DEFINITION DATA [ELEMENT-NEVER-LEFT-OUT|-])...
// The library allocates with malloc and calloc; glibc's own allocator does
// the work here. Linux only, and not under the sanitizers, which replace
// malloc themselves.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "qorvcfg.h"
#include "support/data_variants.h"

extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

namespace {

// Plain globals: the library makes no threads, and the host allocates
// nothing of its own while a failure is armed.
bool g_armed = false;
std::uint64_t g_fail_at = 0;  // the allocation that fails, counted from 1
std::uint64_t g_made = 0;     // allocations asked for since arming
std::int64_t g_live = 0;      // blocks handed out and not yet freed

bool MustFail() { return g_armed && ++g_made == g_fail_at; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void *malloc(std::size_t size) {
  if (MustFail()) return nullptr;
  void *block = __libc_malloc(size);
  if (block != nullptr) ++g_live;
  return block;
}

__attribute__((visibility("default"))) void *calloc(std::size_t count, std::size_t size) {
  if (MustFail()) return nullptr;
  void *block = __libc_calloc(count, size);
  if (block != nullptr) ++g_live;
  return block;
}

__attribute__((visibility("default"))) void *realloc(void *block, std::size_t size) {
  if (block == nullptr) return malloc(size);
  if (MustFail()) return nullptr;
  void *moved = __libc_realloc(block, size);
  if (moved == nullptr && size == 0) --g_live;  // freed
  return moved;
}

__attribute__((visibility("default"))) void free(void *block) {
  if (block != nullptr) --g_live;
  __libc_free(block);
}

}  // extern "C"

namespace {

int g_failures = 0;

void Fail(const std::string &what, std::uint64_t n, const std::string &detail) {
  if (++g_failures <= 20)
    std::printf("FAILED: %s, allocation %llu failing: %s\n", what.c_str(),
                static_cast<unsigned long long>(n), detail.c_str());
}

std::string ReadWhole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What writing a handle gives after reading data into it, failing the
// fail_at-th allocation of the read (0: none). made says how many the read
// asked for; leaked how many blocks outlived the handle.
struct Outcome {
  ResultCode result;
  std::string written;
  std::uint64_t made;
  std::int64_t leaked;
};

Outcome Read(const std::string &definition, const std::string &data, const std::string &out,
             std::uint64_t fail_at) {
  Outcome outcome{};
  const std::int64_t live_before = g_live;
  ConfigHandle *handle = nullptr;
  if (Zel_ConfigCreate(definition.c_str(), &handle) != Zel_OK) {
    outcome.result = Zel_EINVAL;
    return outcome;
  }
  g_made = 0;
  g_fail_at = fail_at;
  g_armed = true;
  outcome.result = Zel_ConfigRead(data.c_str(), handle);
  g_armed = false;
  outcome.made = g_made;
  const ResultCode written = Zel_ConfigWrite(out.c_str(), handle);
  Zel_ConfigDestroy(handle);
  outcome.leaked = g_live - live_before;
  outcome.written = written == Zel_OK ? ReadWhole(out) : "(not written)";
  return outcome;
}

// Sweeps one data file; gives the number of allocations of its read.
std::uint64_t Sweep(const std::string &scratch, const std::string &definition,
                    const std::string &data_path, const char *never_left_out) {
  const std::string out = scratch + "/written.xml", variant = scratch + "/variant.xml";
  const std::string data = ReadWhole(data_path);
  const Outcome full = Read(definition, data_path, out, 0);
  if (full.result != Zel_OK || data.empty()) {
    Fail(data_path, 0, "the undisturbed read fails");
    return 0;
  }
  std::set<std::string> allowed{full.written};
  for (const std::string &text : qorvcfg::test::WithoutOneElement(data, never_left_out)) {
    WriteWhole(variant, text);
    allowed.insert(Read(definition, variant, out, 0).written);
  }
  ConfigHandle *empty_handle = nullptr;
  std::string empty;
  if (Zel_ConfigCreate(definition.c_str(), &empty_handle) == Zel_OK &&
      Zel_ConfigWrite(out.c_str(), empty_handle) == Zel_OK) {
    empty = ReadWhole(out);
  }
  Zel_ConfigDestroy(empty_handle);
  int loaded = 0, failed = 0;
  for (std::uint64_t n = 1;; ++n) {
    const Outcome got = Read(definition, data_path, out, n);
    if (got.leaked != 0)
      Fail(data_path, n, std::to_string(got.leaked) + " blocks outlive the handle");
    if (got.made < n) {  // the read did not get that far: undisturbed
      if (got.result != Zel_OK || got.written != full.written) {
        Fail(data_path, n, "an undisturbed read differs");
      }
      std::printf("%s: %llu allocations, each failed in turn: %d reads Zel_ENOMEM, %d Zel_OK\n",
                  data_path.c_str(), static_cast<unsigned long long>(n - 1), failed, loaded);
      return n - 1;
    }
    if (got.result == Zel_OK) {
      ++loaded;
      if (allowed.count(got.written) == 0) Fail(data_path, n, "values lost:\n" + got.written);
    } else if (got.result == Zel_ENOMEM) {
      ++failed;
      if (got.written != empty) Fail(data_path, n, "the handle is not empty:\n" + got.written);
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", got.result);
      Fail(data_path, n, std::string("the read answers ") + code);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SCRATCH (DEFINITION DATA KEPT|-)...\n", argv[0]);
    return 2;
  }
  for (int i = 2; i + 2 < argc; i += 3) {
    const char *kept = std::string(argv[i + 2]) == "-" ? nullptr : argv[i + 2];
    if (Sweep(argv[1], argv[i], argv[i + 1], kept) < 20)
      Fail(argv[i + 1], 0, "too few allocations");
  }
  std::printf("%s\n", g_failures == 0 ? "all reads as expected" : "FAILED");
  return g_failures == 0 ? 0 : 1;
}
