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
    "--create makes a missing DATA. --dry-run writes nothing and prints a unified\n"
    "diff of what would be written.\n";

constexpr unsigned kEditOptions = kOutput | kForce | kDryRun | kRewrite;
constexpr unsigned kEditNotes = kPathNote | kValueNote | kWriteNote;

const Command kCommands[] = {
    {"items", "DEF [--json | --paths | --words PATH]", "the items of a definition, as a tree",
     "Prints the items of the definition as a tree: name, type, bounds (range for\n"
     "integers, length for strings), number of values (any when unlimited),\n"
     "default, flags (identifier, required or optional, hidden), display texts\n"
     "and the words of an enumeration with their texts. --paths prints the path\n"
     "of every item, one a line; --words PATH the words the item takes, one a\n"
     "line (an enumeration's words; TRUE and FALSE). What reading repaired in the\n"
     "definition goes to standard error, and the exit status is then 3.\n",
     kJson | kPaths | kWords, 1, 1, 0, CommandItems},
    {"doc", "DEF", "a Markdown reference of a definition",
     "Prints a Markdown reference of the definition: for each item its path,\n"
     "type, bounds, number of values, default, enumeration words with their\n"
     "texts, flags, display text and description.\n",
     0, 1, 1, 0, CommandDoc},
    {"show", "DEF DATA [--json] [--effective] [--order file|library]", "every value of a data file",
     "Prints every value as loaded, item by item in definition order. Each\n"
     "item's values come in the library's listing order (greatest first), or\n"
     "with --order file in the order of the file. Structure values are blocks in\n"
     "braces, named by their identifier when they have one. --effective adds\n"
     "the items without values with their defaults, marked \"(default)\".\n"
     "--json prints one object: item names to arrays of values, structures as\n"
     "objects, a default as {\"value\": V, \"default\": true}. DATA \"-\" reads\n"
     "standard input. What reading left out goes to standard error, and the\n"
     "exit status is then 3.\n",
     kJson | kEffective | kOrder, 2, 2, 0, CommandShow},
    {"list", "DEF DATA [--order file|library]", "one PATH=VALUE line per value",
     "Prints one line per value, PATH=VALUE, structures named by their\n"
     "identifier: \"upstream[alpha]/port=8080\". DATA \"-\" reads standard input.\n",
     kOrder, 2, 2, 0, CommandList},
    {"get", "DEF DATA PATH [--json] [--no-default]", "the values of one item, or its default",
     "Prints the values of one item, one a line; a structure value as a block.\n"
     "An item without values prints its default, and standard error says so;\n"
     "with --no-default, or without a default (structures, enumerations without\n"
     "words), nothing is printed and the exit status is 1. --json prints an\n"
     "array; a default in it is {\"value\": V, \"default\": true}. DATA \"-\"\n"
     "reads standard input.\n",
     kJson | kNoDefault, 3, 3, kPathNote, CommandGet},
    {"set", "DEF DATA PATH=VALUE... [-o OUT] [--force] [--dry-run] [--rewrite] [--create]",
     "give an item its one value",
     "Changes the value of an item that has exactly one value at that level, or\n"
     "adds one when it has none. Structures on the way that do not exist yet are\n"
     "made, with the picked identifier.\n",
     kEditOptions | kCreate, 3, kAnyNumber, kEditNotes, CommandSet},
    {"add", "DEF DATA PATH=VALUE... [-o OUT] [--force] [--dry-run] [--rewrite] [--create]",
     "add a value",
     "Adds a value. For a structure item, VALUE is the new structure's identifier.\n",
     kEditOptions | kCreate, 3, kAnyNumber, kEditNotes, CommandAdd},
    {"del", "DEF DATA PATH[=VALUE]... [-o OUT] [--force] [--dry-run] [--rewrite]", "delete values",
     "Deletes the item's values that equal VALUE, or all of them without VALUE.\n"
     "For a structure item VALUE (or a pick, \"upstream[beta]\") names the\n"
     "structure by its identifier. No such value: exit status 1.\n",
     kEditOptions, 3, kAnyNumber, kEditNotes, CommandDel},
    {"check", "DEF [DATA] [--strict] [--json]", "what reading left out, and the count of values",
     "With DEF alone, reads the definition and prints everything reading left out\n"
     "or repaired in it, as FILE:LINE:COL: message, and what would make every\n"
     "read of data fail (an item of type structure without child items, a\n"
     "definition without items). With DATA too, reads both files and prints\n"
     "what reading left out or repaired, then how many values each item holds\n"
     "(for items inside structures: in all of them). DATA \"-\" reads standard\n"
     "input.\n"
     "\n"
     "--strict adds warnings about what reading accepts but is likely a mistake:\n"
     "a required item without a value (at the top and in each structure value),\n"
     "a structure value without its identifier, a root element not named config,\n"
     "an integer with a leading zero (read as octal), an address that reads as a\n"
     "host name though it looks like a number or an IPv6 address, and, for each\n"
     "element that names no item, the closest item name.\n"
     "\n"
     "Exit status 3 when anything was reported or a file did not load.\n",
     kJson | kStrict, 1, 2, 0, CommandCheck},
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
      "\"qorvcfg help COMMAND\" does too. DATA \"-\" reads standard input; \"--\" ends the\n"
      "options.\n"
      "\n"
      "Exit status:\n"
      "  0  done\n"
      "  1  not found: no such item or value (get, del)\n"
      "  2  usage: the command line is wrong\n"
      "  3  a file is invalid or unreadable, or reading it left something out\n"
      "  4  cannot write: busy, permission denied, disk full, standard output\n"
      "  5  a value refused: type, bounds, enumeration, number of values\n";
  return text;
}

}  // namespace qorvcfg_tool
