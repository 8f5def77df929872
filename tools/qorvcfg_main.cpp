// qorvcfg: inspect, check and edit data files from the command line.
//
// Reads go through the core's observed reads, so that everything a read
// leaves out or repairs is reported; values typed on the command line are
// converted by the library's own conversions. Each command is a row of the
// table in commands.cpp; this file finds the row, splits the arguments and
// turns errors into an exit status.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"
#include "tool.h"

#ifdef _WIN32
// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
// clang-format on
#endif

namespace qorvcfg_tool {
namespace {

#if defined(QORVCFG_VERSION_STRING)
constexpr const char *kVersion = QORVCFG_VERSION_STRING;
#elif defined(QORVCFG_TOOL_VERSION)
constexpr const char *kVersion = QORVCFG_TOOL_VERSION;
#else
constexpr const char *kVersion = "unknown";
#endif

bool WantsHelp(const std::vector<std::string> &args) {
  for (const std::string &arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Run(const std::vector<std::string> &all) {
  if (all.empty()) UsageFail("no command given");
  const std::string &name = all[0];
  if (name == "help" && all.size() == 2) {
    const Command *command = FindCommand(all[1]);
    if (!command) UsageFail("no command " + all[1]);
    Print(CommandHelpText(*command));
    return 0;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    Print(UsageText());
    return 0;
  }
  if (name == "--version") {
    Print(std::string("qorvcfg ") + kVersion + "\n");
    return 0;
  }
  const Command *command = FindCommand(name);
  if (!command) UsageFail("unknown command " + name);
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (WantsHelp(rest)) {
    Print(CommandHelpText(*command));
    return 0;
  }
  Arguments args = SplitArguments(rest, command->options);
  NeedArguments(args, command->least, command->most, command->name);
  return command->handler(args);
}

// The arguments in UTF-8, as the library takes paths.
std::vector<std::string> CommandLine(int argc, char **argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) {
    int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    args.push_back(text);
  }
  LocalFree(wide);
  // The same bytes on every system: no carriage returns added.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#else
  args.assign(argv + 1, argv + argc);
#endif
  return args;
}

}  // namespace
}  // namespace qorvcfg_tool

int main(int argc, char **argv) {
  using namespace qorvcfg_tool;
  int status = kDone;
  try {
    status = Run(CommandLine(argc, argv));
  } catch (const ToolError &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "qorvcfg: %s\n", error.message.c_str());
    status = error.status;
  } catch (const std::exception &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "qorvcfg: %s\n", error.what());
    status = kInvalidFile;
  }
  // What could not be printed was not done: a full disk on standard output
  // is a failure to write.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "qorvcfg: standard output: cannot write\n");
    return kCannotWrite;
  }
  return status;
}
