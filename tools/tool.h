// What every command of the tool shares: exit statuses, errors, printing and
// the split of the command line into options and operands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "qorvcfg.h"

namespace qorvcfg_tool {

// Exit statuses.
constexpr int kDone = 0;
constexpr int kNotFound = 1;      // no such item or value (get, del)
constexpr int kUsageError = 2;    // the command line is wrong
constexpr int kInvalidFile = 3;   // a file is invalid or unreadable, or reading left something out
constexpr int kCannotWrite = 4;   // busy, permission, disk full, standard output failed
constexpr int kValueRefused = 5;  // type, bounds, enumeration, number of values

// Ends a command: main prints the message after "qorvcfg: " and exits with
// status.
struct ToolError {
  int status;
  std::string message;
};

// Ends with status: "context: words (Zel_ERANGE 0x0A400000)".
[[noreturn]] void Fail(int status, const std::string &context, const std::string &words,
                       ResultCode result);

// A refusal of the tool's own, without a result code.
[[noreturn]] void Refuse(int status, const std::string &message);

[[noreturn]] void UsageFail(const std::string &message);

// Fails with "refused by the library" (status 3) unless result is Zel_OK.
void Check(ResultCode result, const std::string &context);

void Print(const std::string &text);
void PrintError(const std::string &text);

// Two spaces a level.
std::string Indent(int depth);

// The options a command takes.
enum Option : unsigned {
  kOutput = 1,      // -o F, --output F, --output=F
  kJson = 2,        // --json
  kForce = 4,       // --force
  kPaths = 8,       // --paths
  kDryRun = 16,     // --dry-run
  kNoDefault = 32,  // --no-default
  kEffective = 64,  // --effective
  kOrder = 128,     // --order file|library
  kStrict = 256,    // --strict
  kWords = 512,     // --words PATH
  kRewrite = 1024,  // --rewrite
  kCreate = 2048,   // --create
};

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  bool json = false;
  bool force = false;
  bool paths = false;
  bool dry_run = false;
  bool no_default = false;
  bool effective = false;
  bool file_order = false;
  bool strict = false;
  std::optional<std::string> words;
  bool rewrite = false;
  bool create = false;
};

// Splits args into the options allowed and the operands; an option not
// allowed is a usage error. "--" ends the options; "-" is an operand
// (standard input).
Arguments SplitArguments(const std::vector<std::string> &args, unsigned allowed);

// A usage error unless least to most operands were given.
void NeedArguments(const Arguments &args, std::size_t least, std::size_t most, const char *command);

}  // namespace qorvcfg_tool
