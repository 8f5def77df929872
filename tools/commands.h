// The tool's commands: one row each, and the handlers the rows name.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "tool.h"

namespace qorvcfg_tool {

// Notes that follow a command's own help.
enum HelpNote : unsigned { kPathNote = 1, kValueNote = 2, kWriteNote = 4 };

constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

struct Command {
  const char *name;
  const char *synopsis;  // the arguments after the name
  const char *summary;   // one line in the usage
  const char *help;      // what "qorvcfg NAME --help" adds
  unsigned options;      // Option bits
  std::size_t least;     // operands
  std::size_t most;
  unsigned notes;  // HelpNote bits
  int (*handler)(const Arguments &args);
};

std::span<const Command> Commands();

// The row named name, or null.
const Command *FindCommand(std::string_view name);

// "usage: qorvcfg NAME SYNOPSIS", the help and the notes.
std::string CommandHelpText(const Command &command);

// The usage of the whole tool, listing every command.
std::string UsageText();

int CommandItems(const Arguments &args);
int CommandDoc(const Arguments &args);
int CommandShow(const Arguments &args);
int CommandGet(const Arguments &args);
int CommandList(const Arguments &args);
int CommandCheck(const Arguments &args);
int CommandSet(const Arguments &args);
int CommandAdd(const Arguments &args);
int CommandDel(const Arguments &args);

}  // namespace qorvcfg_tool
