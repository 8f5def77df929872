// What every command of the tool shares: exit statuses, errors, printing and
// the split of the command line into options and operands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "qorvcfg.h"

namespace qorvcfg_tool {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// Ends a command: main prints the message after "qorvcfg: " and exits with
// status.
struct ToolError {
  int status;
  std::string message;
};

// "context: words (Zel_ERANGE 0x0A400000)".
[[noreturn]] void Fail(const std::string &context, const std::string &words, ResultCode result);

// A refusal of the tool's own, without a result code.
[[noreturn]] void Refuse(const std::string &message);

[[noreturn]] void UsageFail(const std::string &message);

// Fails with "refused by the library" unless result is Zel_OK.
void Check(ResultCode result, const std::string &context);

void Print(const std::string &text);
void PrintError(const std::string &text);

// Two spaces a level.
std::string Indent(int depth);

// The options a command takes.
enum Option : unsigned {
  kOutput = 1,
  kJson = 2,
  kForce = 4,
  kPaths = 8,
  kRewrite = 16,
  kCreate = 32
};

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  bool json = false;
  bool force = false;
  bool paths = false;
  bool rewrite = false;
  bool create = false;
};

// Splits args into the options allowed and the operands; an option not
// allowed is a usage error.
Arguments SplitArguments(const std::vector<std::string> &args, unsigned allowed);

// A usage error unless least to most operands were given.
void NeedArguments(const Arguments &args, std::size_t least, std::size_t most, const char *command);

}  // namespace qorvcfg_tool
