#include "commands.h"

#include <string>

namespace qorvcfg_tool {
namespace {

const char kPathHelp[] =
    "PATH names an item; \"server/port\" reaches into a structure. A structure\n"
    "value is picked by the value of its identifier item: \"upstream[alpha]/port\".\n"
    "Without a pick, a structure item must hold exactly one value.\n";

const char kValueHelp[] =
    "VALUE is converted exactly as reading converts the item's text in a data\n"
    "file: integers in decimal, 0x hexadecimal or 0 octal within the item's\n"
    "bounds; strings within its length bounds; TRUE or FALSE; an IPv4 or IPv6\n"
    "address, or a host name (a text that begins with a letter); one of an\n"
    "enumeration's words. An address may carry a /mask (a prefix length or a\n"
    "mask in the address's notation), which the file holds but reading refuses.\n";

const char kWriteHelp[] =
    "The file is edited in place: a changed value's text is replaced, a new value\n"
    "goes on a line of its own after the last one of its item (indented and\n"
    "ended as its neighbours), a deleted one leaves with its line; comments,\n"
    "blank lines, tabs, line endings and order stay byte for byte. Before\n"
    "writing, the edited text is read back and must hold exactly the values the\n"
    "edit makes. An edit that leaves the values as they were writes nothing.\n"
    "--rewrite writes the whole file anew in the writer's form instead.\n"
    "\n"
    "Nothing is written when reading DATA left anything out (writing would drop\n"
    "it), when a value would not read back the same (a '<' in a text, leading\n"
    "white space, an empty text, an address with a mask), or when any change\n"
    "fails; --force writes in those cases anyway. The result goes to OUT, or back\n"
    "to DATA (a symbolic link is followed), through a temporary file beside it\n"
    "that keeps the file's mode and is renamed over it, under the lock DATA.lock:\n"
    "another edit of the file waits for it, then fails as busy (exit status 4).\n"
    "--create makes a missing DATA.\n";

constexpr unsigned kEditOptions = kOutput | kForce | kRewrite;
constexpr unsigned kEditNotes = kPathNote | kValueNote | kWriteNote;

const Command kCommands[] = {
    {"items", "DEF [--json | --paths]", "the items of a definition, as a tree",
     "Prints the items of the definition as a tree: name, type, bounds (range for\n"
     "integers, length for strings), number of values (any when unlimited),\n"
     "default, flags (identifier, required or optional, hidden), display texts\n"
     "and the words of an enumeration with their texts. --paths prints the path\n"
     "of every item, one a line. What reading repaired in the definition goes to\n"
     "standard error.\n",
     kJson | kPaths, 1, 1, 0, CommandItems},
    {"show", "DEF DATA [--json]", "every value of a data file",
     "Prints every value as loaded, item by item in definition order and each\n"
     "item's values in the library's listing order (greatest first). Structure\n"
     "values are blocks in braces, named by their identifier when they have one.\n"
     "--json prints one object: item names to arrays of values, structures as\n"
     "objects. What reading left out goes to standard error.\n",
     kJson, 2, 2, 0, CommandShow},
    {"get", "DEF DATA PATH [--json]", "the values of one item, or its default",
     "Prints the values of one item, one a line; a structure value as a block.\n"
     "An item without values prints its default, and standard error says so;\n"
     "without a default (structures, enumerations without words) nothing is\n"
     "printed and the exit status is 1. --json prints an array.\n",
     kJson, 3, 3, kPathNote, CommandGet},
    {"set", "DEF DATA PATH=VALUE... [-o OUT] [--force] [--rewrite] [--create]",
     "give an item its one value",
     "Changes the value of an item that has exactly one value at that level, or\n"
     "adds one when it has none. Structures on the way that do not exist yet are\n"
     "made, with the picked identifier.\n",
     kEditOptions | kCreate, 3, kAnyNumber, kEditNotes, CommandSet},
    {"add", "DEF DATA PATH=VALUE... [-o OUT] [--force] [--rewrite] [--create]", "add a value",
     "Adds a value. For a structure item, VALUE is the new structure's identifier.\n",
     kEditOptions | kCreate, 3, kAnyNumber, kEditNotes, CommandAdd},
    {"del", "DEF DATA PATH[=VALUE]... [-o OUT] [--force] [--rewrite]", "delete values",
     "Deletes the item's values that equal VALUE, or all of them without VALUE.\n"
     "For a structure item VALUE (or a pick, \"upstream[beta]\") names the\n"
     "structure by its identifier.\n",
     kEditOptions, 3, kAnyNumber, kEditNotes, CommandDel},
    {"check", "DEF DATA [--json]", "what reading left out, and the count of values",
     "Reads both files and prints everything that reading left out or repaired,\n"
     "as FILE:LINE:COL: message, then how many values each item holds (for\n"
     "items inside structures: in all of them). Exit status 1 when anything was\n"
     "left out or repaired, or a file did not load.\n",
     kJson, 2, 2, 0, CommandCheck},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command *FindCommand(std::string_view name) {
  for (const Command &command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string CommandHelpText(const Command &command) {
  std::string text = std::string("usage: qorvcfg ") + command.name + " " + command.synopsis +
                     "\n\n" + command.help;
  if (command.notes & kPathNote) text += std::string("\n") + kPathHelp;
  if (command.notes & kValueNote) text += std::string("\n") + kValueHelp;
  if (command.notes & kWriteNote) text += std::string("\n") + kWriteHelp;
  return text;
}

std::string UsageText() {
  constexpr std::size_t kColumn = 33;
  std::string text = "usage: qorvcfg COMMAND ARGS...\n\n";
  auto row = [&](const std::string &left, const char *summary) {
    std::string line = "  " + left;
    line += line.size() + 1 < kColumn ? std::string(kColumn - line.size(), ' ')
                                      : "\n" + std::string(kColumn, ' ');
    text += line + summary + "\n";
  };
  for (const Command &command : kCommands) {
    row(std::string(command.name) + " " + command.synopsis, command.summary);
  }
  row("--version", "the library's version");
  text +=
      "\n"
      "DEF is a definition file, DATA a data file. \"qorvcfg COMMAND --help\" tells more.\n"
      "Exit status: 0 success; 1 a refusal, a failure, something left out by reading\n"
      "(check) or no value and no default (get); 2 usage; 4 an edit cannot write, or\n"
      "the file is busy with another edit.\n";
  return text;
}

}  // namespace qorvcfg_tool
