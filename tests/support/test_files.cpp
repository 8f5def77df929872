#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace qorvcfg::test {
namespace {

// UTF-8 text to a native path (UTF-16 on Windows, bytes elsewhere).
std::filesystem::path NativePath(const std::string &utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// One directory per test process, made on first use, named by the clock and
// a random number so that test programs running side by side never share it.
const std::string &RunDirectory() {
  static const std::string directory = [] {
    const std::string name =
        std::string(QORVCFG_TEST_TMP_DIR) + "/run-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
        std::to_string(std::random_device{}());
    std::error_code error;
    std::filesystem::create_directories(NativePath(name), error);
    if (error) ADD_FAILURE() << "cannot create " << name << ": " << error.message();
    return name;
  }();
  return directory;
}

}  // namespace

std::string DataPath(const std::string &name) {
  return std::string(QORVCFG_TEST_DATA_DIR) + "/" + name;
}

std::string TempPath(const std::string &name) {
  std::string prefix = "outside-test";
  if (const auto *info = testing::UnitTest::GetInstance()->current_test_info()) {
    prefix = std::string(info->test_suite_name()) + "." + info->name();
  }
  // Only characters that are safe in a file name on every system.
  for (char &c : prefix) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
  }
  // name itself is kept as given: tests may want characters beyond ASCII.
  return RunDirectory() + "/" + prefix + "." + name;
}

void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return std::string();
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string &path) {
  std::error_code error;
  return std::filesystem::exists(NativePath(path), error);
}

}  // namespace qorvcfg::test
