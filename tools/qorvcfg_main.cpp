// qorvcfg: inspect and edit data files from the command line.
//
// A host of the library like any other: it uses only the public header.
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qorvcfg.h"
#include "value_text.h"

#ifdef _WIN32
// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
// clang-format on
#else
#include <unistd.h>

#include <filesystem>
#endif

namespace qorvcfg_tool {
namespace {

constexpr int kLibraryError = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: qorvcfg COMMAND ARGS...\n"
    "\n"
    "  items DEF                      the items of a definition, as a tree\n"
    "  show DEF DATA                  every value of a data file\n"
    "  get DEF DATA PATH              the values of one item\n"
    "  set DEF DATA PATH=VALUE... [-o OUT]\n"
    "                                 give an item its one value\n"
    "  add DEF DATA PATH=VALUE... [-o OUT]\n"
    "                                 add a value\n"
    "  del DEF DATA PATH[=VALUE]... [-o OUT]\n"
    "                                 delete values\n"
    "  check DEF DATA                 whether the data loads, and the count of values\n"
    "\n"
    "DEF is a definition file, DATA a data file. \"qorvcfg COMMAND --help\" tells more.\n"
    "Exit status: 0 success, 1 the library refused (the result code is shown), 2 usage.\n";

const char kPathHelp[] =
    "PATH names an item; \"server/port\" reaches into a structure. A structure\n"
    "value is picked by the value of its identifier item: \"upstream[alpha]/port\".\n"
    "Without a pick, a structure item must hold exactly one value.\n";

const char kValueHelp[] =
    "VALUE is read by the item's type: integers in decimal or 0x hex, with an\n"
    "optional sign; TRUE or FALSE; an IPv4 or IPv6 address with an optional\n"
    "/mask (a prefix length or a mask in the address's notation), or a host\n"
    "name (a text that begins with a letter); an enumeration word; any text\n"
    "without '<' for a string. The library checks bounds, words and counts.\n";

const char kWriteHelp[] =
    "The result goes to OUT, or back to DATA. It is written to a temporary file\n"
    "beside the target first and then renamed over it, so a failed write never\n"
    "leaves a half-written file. Nothing is written when any change fails.\n";

struct CommandHelp {
  const char *name;
  const char *synopsis;
  const char *text;
};

const CommandHelp kCommandHelp[] = {
    {"items", "qorvcfg items DEF",
     "Prints the items of the definition as a tree: name, type, bounds (range for\n"
     "integers, length for strings), number of values (any when unlimited),\n"
     "default, flags (identifier, required or optional, hidden), display texts\n"
     "and the words of an enumeration with their texts.\n"},
    {"show", "qorvcfg show DEF DATA",
     "Prints every value as loaded, item by item in definition order and each\n"
     "item's values in the library's listing order (greatest first). Structure\n"
     "values are blocks in braces, named by their identifier when they have one.\n"},
    {"get", "qorvcfg get DEF DATA PATH",
     "Prints the values of one item, one a line; a structure value as a block.\n"},
    {"set", "qorvcfg set DEF DATA PATH=VALUE... [-o OUT]",
     "Changes the value of an item that has exactly one value at that level, or\n"
     "adds one when it has none. Structures on the way that do not exist yet are\n"
     "made, with the picked identifier.\n"},
    {"add", "qorvcfg add DEF DATA PATH=VALUE... [-o OUT]",
     "Adds a value. For a structure item, VALUE is the new structure's identifier.\n"},
    {"del", "qorvcfg del DEF DATA PATH[=VALUE]... [-o OUT]",
     "Deletes the item's values that equal VALUE, or all of them without VALUE.\n"
     "For a structure item VALUE (or a pick, \"upstream[beta]\") names the\n"
     "structure by its identifier.\n"},
    {"check", "qorvcfg check DEF DATA",
     "Reads the data and says whether it loaded, with the result code, and how\n"
     "many values each item holds (for items inside structures: in all of\n"
     "them). Elements that do not fit the definition are left out by reading.\n"},
};

// ---- Errors ------------------------------------------------------------------

struct ToolError {
  int status;
  std::string message;
};

[[noreturn]] void Fail(const std::string &context, ResultCode result) {
  throw ToolError{kLibraryError, context + ": " + ResultText(result)};
}

[[noreturn]] void UsageFail(const std::string &message) {
  throw ToolError{kUsageError, message + "\n(qorvcfg --help tells the usage)"};
}

void Check(ResultCode result, const std::string &context) {
  if (result != Zel_OK) Fail(context, result);
}

void Print(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// ---- Handles and levels ------------------------------------------------------

struct HandleCloser {
  void operator()(ConfigHandle *handle) const { Zel_ConfigDestroy(handle); }
};
using Handle = std::unique_ptr<ConfigHandle, HandleCloser>;

Handle OpenDefinition(const std::string &path) {
  ConfigHandle *handle = nullptr;
  Check(Zel_ConfigCreate(path.c_str(), &handle), "reading definition " + path);
  return Handle(handle);
}

Handle OpenData(const std::string &definition, const std::string &data) {
  Handle handle = OpenDefinition(definition);
  Check(Zel_ConfigRead(data.c_str(), handle.get()), "reading " + data);
  return handle;
}

// One level of values: the top of a handle, or the inside of a structure
// value. Every operation goes to the plain or the FromData/ToData form.
struct Level {
  ConfigHandle *handle = nullptr;
  DataRecord *record = nullptr;  // the structure value, or null for the top
  const ItemDefinition *items = nullptr;

  std::vector<DataRecord *> Values(const ItemDefinition *item) const {
    uint32_t count = 0;
    ResultCode result = record ? Zel_DataGetFromData(record, item->name, nullptr, &count)
                               : Zel_DataGet(handle, item->name, nullptr, &count);
    Check(result, std::string("listing ") + item->name);
    std::vector<DataRecord *> values(count);
    while (count > 0) {
      values.resize(count);
      result = record ? Zel_DataGetFromData(record, item->name, values.data(), &count)
                      : Zel_DataGet(handle, item->name, values.data(), &count);
      Check(result, std::string("listing ") + item->name);
      if (count <= values.size()) break;
    }
    values.resize(count);
    return values;
  }
  DataRecord *Create(const ItemDefinition *item) const {
    DataRecord *value = nullptr;
    Check(record ? Zel_DataDefaultCreateFromData(record, item->name, &value)
                 : Zel_DataDefaultCreate(handle, item->name, &value),
          std::string("making a value of ") + item->name);
    return value;
  }
  ResultCode Change(DataRecord *value, const void *contents) const {
    return record ? Zel_DataChangeToData(record, value, contents)
                  : Zel_DataChange(handle, value, contents);
  }
  ResultCode Add(DataRecord *value) const {
    return record ? Zel_DataAddToData(record, value) : Zel_DataAdd(handle, value);
  }
  ResultCode Del(DataRecord *value) const {
    return record ? Zel_DataDelFromData(record, value) : Zel_DataDel(handle, value);
  }
  Level Inside(DataRecord *structure, const ItemDefinition *item) const {
    return Level{handle, structure, item->children};
  }
};

Level TopLevel(ConfigHandle *handle) { return Level{handle, nullptr, handle->items}; }

const ItemDefinition *FindItem(const ItemDefinition *items, const std::string &name) {
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (item->name && name == item->name) return item;
  }
  return nullptr;
}

// The first child item that identifies a structure's values, or null.
const ItemDefinition *IdentifierItem(const ItemDefinition *structure) {
  for (const ItemDefinition *child = structure->children; child; child = child->next) {
    if (child->identifier) return child;
  }
  return nullptr;
}

// A value text in its canonical form, for comparing what the user typed with
// what is stored ("0x10" and "16" match).
std::string Canonical(ItemType type, const std::string &text) {
  NewValue value;
  return value.Parse(type, text) == Zel_OK ? value.Text() : text;
}

std::optional<std::string> IdentifierText(const Level &level, const ItemDefinition *item,
                                          DataRecord *value) {
  const ItemDefinition *id = IdentifierItem(item);
  if (!id) return std::nullopt;
  std::vector<DataRecord *> ids = level.Inside(value, item).Values(id);
  if (ids.empty()) return std::nullopt;
  return PayloadText(ids.front()->type, ids.front()->payload);
}

// ---- Printing ----------------------------------------------------------------

std::string Indent(int depth) { return std::string(2 * depth, ' '); }

void PrintValue(const Level &level, const ItemDefinition *item, DataRecord *value, int depth,
                bool bare);

void PrintLevel(const Level &level, int depth) {
  for (const ItemDefinition *item = level.items; item; item = item->next) {
    if (!item->name || item->type == Zel_TYPE_NONE) continue;
    for (DataRecord *value : level.Values(item)) PrintValue(level, item, value, depth, false);
  }
}

// One value: "name = value", or a structure block. bare prints a scalar's
// text alone.
void PrintValue(const Level &level, const ItemDefinition *item, DataRecord *value, int depth,
                bool bare) {
  if (value->type == Zel_TYPE_STRUCTURE) {
    std::optional<std::string> id = IdentifierText(level, item, value);
    Print(Indent(depth) + item->name + (id ? "[" + *id + "]" : "") + " {\n");
    PrintLevel(level.Inside(value, item), depth + 1);
    Print(Indent(depth) + "}\n");
    return;
  }
  std::string text = PayloadText(value->type, value->payload);
  if (bare) {
    Print(text + "\n");
  } else if (value->type == Zel_TYPE_STRING) {
    Print(Indent(depth) + item->name + " = \"" + text + "\"\n");
  } else {
    Print(Indent(depth) + item->name + " = " + text + "\n");
  }
}

std::string DefaultText(const ItemDefinition *item) {
  const DefaultRecord &value = item->default_value;
  switch (item->type) {
    case Zel_TYPE_STRING:
      return "\"" + PayloadText(value.type, value.payload) + "\"";
    case Zel_TYPE_ENUMERATION:
      return value.payload.keyword ? value.payload.keyword : "(none)";
    case Zel_TYPE_IPADDR:
      return value.payload.ipaddr.form ? PayloadText(value.type, value.payload) : "(none)";
    default:
      return PayloadText(value.type, value.payload);
  }
}

void PrintItems(const ItemDefinition *items, int depth) {
  for (const ItemDefinition *item = items; item; item = item->next) {
    std::string line =
        Indent(depth) + (item->name ? item->name : "(unnamed)") + "  " + TypeName(item->type);
    if (item->type == Zel_TYPE_INTEGER || item->type == Zel_TYPE_STRING) {
      line += (item->type == Zel_TYPE_INTEGER ? "  range=" : "  length=") +
              std::to_string(item->minimum) + ".." + std::to_string(item->maximum);
    }
    line += "  number=" + (item->number ? std::to_string(item->number) : std::string("any"));
    if (item->type != Zel_TYPE_STRUCTURE && item->type != Zel_TYPE_NONE) {
      line += "  default=" + DefaultText(item);
    }
    if (item->identifier) line += "  identifier";
    line += item->necessity ? "  required" : "  optional";
    if (item->hidden) line += "  hidden";
    Print(line + "\n");
    std::string detail = Indent(depth) + "    ";
    if (item->dispstring) Print(detail + "dispstring: " + item->dispstring + "\n");
    if (item->description) Print(detail + "description: " + item->description + "\n");
    for (const KeywordEntry *entry = item->entries; entry; entry = entry->next) {
      Print(detail + "enum " + entry->keyword + ": " + (entry->text ? entry->text : "") + "\n");
    }
    if (item->type == Zel_TYPE_STRUCTURE) PrintItems(item->children, depth + 1);
  }
}

// ---- Paths -----------------------------------------------------------------

struct Segment {
  std::string name;
  std::optional<std::string> pick;  // the identifier text in [ ]
};

std::vector<Segment> ParsePath(const std::string &path) {
  std::vector<Segment> segments;
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find('/', start);
    std::string text = path.substr(start, end == std::string::npos ? end : end - start);
    Segment segment;
    std::size_t open = text.find('[');
    if (open != std::string::npos) {
      if (text.back() != ']' || open == 0) UsageFail("bad pick in path: " + path);
      segment.pick = text.substr(open + 1, text.size() - open - 2);
      text.resize(open);
    }
    if (text.empty()) UsageFail("empty name in path: " + path);
    segment.name = text;
    segments.push_back(segment);
    if (end == std::string::npos) return segments;
    start = end + 1;
  }
}

// A structure value on the way to the target.
struct Step {
  Level parent;  // where the structure value is held
  const ItemDefinition *item;
  DataRecord *value;
  bool made;  // made by this command and not added yet
};

// Where a path leads: the level holding the last item, and the structures
// passed on the way (outermost first).
struct Target {
  std::vector<Step> steps;
  Level level;
  const ItemDefinition *item;
  std::optional<std::string> pick;
};

// The values of item at level whose identifier is pick (all without a pick).
std::vector<DataRecord *> Picked(const Level &level, const ItemDefinition *item,
                                 const std::optional<std::string> &pick) {
  std::vector<DataRecord *> values = level.Values(item);
  if (!pick) return values;
  const ItemDefinition *id = IdentifierItem(item);
  std::string wanted = Canonical(id->type, *pick);
  std::vector<DataRecord *> picked;
  for (DataRecord *value : values) {
    if (IdentifierText(level, item, value) == wanted) picked.push_back(value);
  }
  return picked;
}

// A new structure value, not added yet, whose identifier is id_text.
DataRecord *MakeStructure(const Level &level, const ItemDefinition *item,
                          const std::optional<std::string> &id_text) {
  DataRecord *value = level.Create(item);
  if (id_text) {
    const ItemDefinition *id = IdentifierItem(item);
    Level inside = level.Inside(value, item);
    DataRecord *id_value = inside.Create(id);
    NewValue contents;
    std::string context = std::string(item->name) + "/" + id->name + "=" + *id_text;
    Check(contents.Parse(id->type, *id_text), context);
    Check(inside.Change(id_value, contents.Pointer()), context);
    Check(inside.Add(id_value), context);
  }
  return value;
}

Target Resolve(ConfigHandle *handle, const std::string &path, bool make) {
  std::vector<Segment> segments = ParsePath(path);
  Target target{{}, TopLevel(handle), nullptr, std::nullopt};
  bool making = false;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment &segment = segments[i];
    const ItemDefinition *item = FindItem(target.level.items, segment.name);
    if (!item) Fail(path + ": no item " + segment.name, Zel_ENOTFOUND);
    if (segment.pick && (item->type != Zel_TYPE_STRUCTURE || !IdentifierItem(item))) {
      UsageFail(path + ": " + segment.name + " has no identifier item to pick a value by");
    }
    if (i + 1 == segments.size()) {
      target.item = item;
      target.pick = segment.pick;
      return target;
    }
    if (item->type != Zel_TYPE_STRUCTURE)
      UsageFail(path + ": " + segment.name + " is no structure");
    std::vector<DataRecord *> values =
        making ? std::vector<DataRecord *>{} : Picked(target.level, item, segment.pick);
    if (values.size() > 1) {
      Fail(path + ": " + segment.name + " has " + std::to_string(values.size()) +
               " values; pick one with " + segment.name + "[...]",
           Zel_EINVAL);
    }
    if (values.empty()) {
      if (!make) Fail(path + ": no such value of " + segment.name, Zel_ENOENT);
      making = true;
      values.push_back(MakeStructure(target.level, item, segment.pick));
    }
    target.steps.push_back(Step{target.level, item, values.front(), making});
    target.level = target.level.Inside(values.front(), item);
  }
  return target;
}

// Whether changing values of child inside a value of structure can change
// how that structure value compares with its siblings.
bool TouchesIdentity(const ItemDefinition *structure, const ItemDefinition *child) {
  return child->identifier || !IdentifierItem(structure);
}

// Runs change on target, keeping the value indexes in order: a structure
// whose identity the change touches is taken out of its index first and put
// back afterwards; structures made on the way are added last, innermost
// first, when their contents are complete.
template <typename Change>
void Apply(Target &target, const std::string &context, Change change) {
  std::size_t linked = 0;
  while (linked < target.steps.size() && !target.steps[linked].made) ++linked;
  const ItemDefinition *child =
      linked < target.steps.size() ? target.steps[linked].item : target.item;
  std::size_t detach = linked;
  while (detach > 0 && TouchesIdentity(target.steps[detach - 1].item, child)) {
    child = target.steps[--detach].item;
  }
  if (detach < linked) {
    Step &step = target.steps[detach];
    Check(step.parent.Del(step.value), context);
  }
  change();
  for (std::size_t i = target.steps.size(); i-- > linked;) {
    Check(target.steps[i].parent.Add(target.steps[i].value), context);
  }
  if (detach < linked) {
    Step &step = target.steps[detach];
    Check(step.parent.Add(step.value), context);
  }
}

// ---- Commands --------------------------------------------------------------

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
};

Arguments SplitArguments(const std::vector<std::string> &args, bool takes_output) {
  Arguments result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (takes_output && (args[i] == "-o" || args[i] == "--output")) {
      if (i + 1 == args.size()) UsageFail(args[i] + " needs a file name");
      result.output = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      UsageFail("unknown option " + args[i]);
    } else {
      result.positional.push_back(args[i]);
    }
  }
  return result;
}

void NeedArguments(const Arguments &args, std::size_t least, std::size_t most,
                   const char *command) {
  if (args.positional.size() < least || args.positional.size() > most) {
    UsageFail(std::string("wrong number of arguments for ") + command);
  }
}

int CommandItems(const Arguments &args) {
  NeedArguments(args, 1, 1, "items");
  Handle handle = OpenDefinition(args.positional[0]);
  ConfigHandle *h = handle.get();
  Print(std::string("config: ") + (h->name ? h->name : "(unnamed)") +
        (h->hidden ? "  hidden" : "") + "\n");
  if (h->dispstring) Print(std::string("dispstring: ") + h->dispstring + "\n");
  if (h->description) Print(std::string("description: ") + h->description + "\n");
  Print("items:\n");
  PrintItems(h->items, 1);
  return 0;
}

int CommandShow(const Arguments &args) {
  NeedArguments(args, 2, 2, "show");
  Handle handle = OpenData(args.positional[0], args.positional[1]);
  PrintLevel(TopLevel(handle.get()), 0);
  return 0;
}

int CommandGet(const Arguments &args) {
  NeedArguments(args, 3, 3, "get");
  Handle handle = OpenData(args.positional[0], args.positional[1]);
  Target target = Resolve(handle.get(), args.positional[2], false);
  for (DataRecord *value : Picked(target.level, target.item, target.pick)) {
    PrintValue(target.level, target.item, value, 0, true);
  }
  return 0;
}

void CountItems(const ItemDefinition *items, const std::vector<Level> &levels, int depth) {
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (!item->name || item->type == Zel_TYPE_NONE) continue;
    std::vector<Level> inner;
    std::size_t total = 0;
    for (const Level &level : levels) {
      std::vector<DataRecord *> values = level.Values(item);
      total += values.size();
      for (DataRecord *value : values) inner.push_back(level.Inside(value, item));
    }
    Print(Indent(depth) + item->name + ": " + std::to_string(total) + "\n");
    if (item->type == Zel_TYPE_STRUCTURE) CountItems(item->children, inner, depth + 1);
  }
}

int CommandCheck(const Arguments &args) {
  NeedArguments(args, 2, 2, "check");
  Handle handle = OpenDefinition(args.positional[0]);
  ResultCode result = Zel_ConfigRead(args.positional[1].c_str(), handle.get());
  if (result != Zel_OK) {
    Print(args.positional[1] + ": not loaded: " + ResultText(result) + "\n");
    return kLibraryError;
  }
  Print(args.positional[1] + ": loaded: " + ResultText(result) + "\n");
  CountItems(handle->items, {TopLevel(handle.get())}, 1);
  return 0;
}

#ifdef _WIN32
std::wstring Wide(const std::string &text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}
#endif

// Writes to a temporary file beside target and renames it over target.
void WriteData(ConfigHandle *handle, const std::string &target) {
#ifdef _WIN32
  std::string temporary = target + ".qorvcfg-" + std::to_string(GetCurrentProcessId()) + ".tmp";
#else
  std::string temporary = target + ".qorvcfg-" + std::to_string(getpid()) + ".tmp";
#endif
  ResultCode result = Zel_ConfigWrite(temporary.c_str(), handle);
#ifdef _WIN32
  if (result != Zel_OK) {
    DeleteFileW(Wide(temporary).c_str());
    Fail("writing " + temporary, result);
  }
  if (!MoveFileExW(Wide(temporary).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ResultCode error = Zel_ESYSTEM | (GetLastError() & ~Zel_CODE_MASK);
    DeleteFileW(Wide(temporary).c_str());
    Fail("replacing " + target, error);
  }
#else
  std::error_code error;
  if (result != Zel_OK) {
    std::filesystem::remove(temporary, error);
    Fail("writing " + temporary, result);
  }
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw ToolError{kLibraryError, "replacing " + target + ": " + error.message()};
  }
#endif
}

enum class Edit { kSet, kAdd, kDel };

void EditOne(ConfigHandle *handle, Edit edit, const std::string &argument) {
  std::size_t equals = argument.find('=');
  std::optional<std::string> text;
  if (equals != std::string::npos) text = argument.substr(equals + 1);
  if (!text && edit != Edit::kDel) UsageFail("expected PATH=VALUE: " + argument);
  std::string path = argument.substr(0, equals);
  Target target = Resolve(handle, path, edit != Edit::kDel);
  const ItemDefinition *item = target.item;
  const Level &level = target.level;

  if (edit == Edit::kDel) {
    std::vector<DataRecord *> doomed;
    for (DataRecord *value : Picked(level, item, target.pick)) {
      std::optional<std::string> stored = item->type == Zel_TYPE_STRUCTURE
                                              ? IdentifierText(level, item, value)
                                              : PayloadText(value->type, value->payload);
      ItemType type = item->type == Zel_TYPE_STRUCTURE && IdentifierItem(item)
                          ? IdentifierItem(item)->type
                          : item->type;
      if (!text || stored == Canonical(type, *text)) doomed.push_back(value);
    }
    if (doomed.empty()) Fail(argument + ": no such value", Zel_ENOENT);
    Apply(target, argument, [&] {
      for (DataRecord *value : doomed) Check(level.Del(value), argument);
    });
    return;
  }

  if (item->type == Zel_TYPE_STRUCTURE) {
    if (edit == Edit::kSet) UsageFail(path + " is a structure: set its items instead");
    if (!IdentifierItem(item)) UsageFail(path + " has no identifier item to give a value");
    if (target.pick) UsageFail(argument + ": give the identifier either in [ ] or after =");
    Apply(target, argument, [&] { Check(level.Add(MakeStructure(level, item, text)), argument); });
    return;
  }
  if (target.pick) UsageFail(path + ": only structures are picked by [ ]");
  NewValue contents;
  Check(contents.Parse(item->type, *text), argument);
  if (contents.HasMask()) {
    std::fprintf(stderr,
                 "qorvcfg: warning: %s: the mask is written, but reading the file drops an "
                 "address with a mask\n",
                 argument.c_str());
  }
  std::vector<DataRecord *> values = level.Values(item);
  if (edit == Edit::kSet && values.size() > 1) {
    Fail(argument + ": " + item->name + " has " + std::to_string(values.size()) +
             " values; use add or del",
         Zel_EINVAL);
  }
  Apply(target, argument, [&] {
    if (edit == Edit::kSet && values.size() == 1) {
      Check(level.Change(values.front(), contents.Pointer()), argument);
      return;
    }
    DataRecord *value = level.Create(item);
    Check(level.Change(value, contents.Pointer()), argument);
    Check(level.Add(value), argument);
  });
}

int CommandEdit(Edit edit, const Arguments &args, const char *command) {
  NeedArguments(args, 3, static_cast<std::size_t>(-1), command);
  Handle handle = OpenData(args.positional[0], args.positional[1]);
  for (std::size_t i = 2; i < args.positional.size(); ++i) {
    EditOne(handle.get(), edit, args.positional[i]);
  }
  WriteData(handle.get(), args.output.value_or(args.positional[1]));
  return 0;
}

bool WantsHelp(const std::vector<std::string> &args) {
  for (const std::string &arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Run(const std::vector<std::string> &all) {
  if (all.empty()) UsageFail("no command given");
  const std::string &command = all[0];
  if (command == "--help" || command == "-h" || command == "help") {
    Print(kUsage);
    return 0;
  }
  std::vector<std::string> rest(all.begin() + 1, all.end());
  for (const CommandHelp &help : kCommandHelp) {
    if (command == help.name && WantsHelp(rest)) {
      Print(std::string("usage: ") + help.synopsis + "\n\n" + help.text);
      bool paths = command == "get" || command == "set" || command == "add" || command == "del";
      if (paths) Print(std::string("\n") + kPathHelp);
      if (paths && command != "get") Print(std::string("\n") + kValueHelp + "\n" + kWriteHelp);
      return 0;
    }
  }
  bool edits = command == "set" || command == "add" || command == "del";
  Arguments args = SplitArguments(rest, edits);
  if (command == "items") return CommandItems(args);
  if (command == "show") return CommandShow(args);
  if (command == "get") return CommandGet(args);
  if (command == "check") return CommandCheck(args);
  if (command == "set") return CommandEdit(Edit::kSet, args, "set");
  if (command == "add") return CommandEdit(Edit::kAdd, args, "add");
  if (command == "del") return CommandEdit(Edit::kDel, args, "del");
  UsageFail("unknown command " + command);
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
  try {
    int status = Run(CommandLine(argc, argv));
    std::fflush(stdout);
    return status;
  } catch (const ToolError &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "qorvcfg: %s\n", error.message.c_str());
    return error.status;
  } catch (const std::exception &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "qorvcfg: %s\n", error.what());
    return kLibraryError;
  }
}
