// qorvcfg: inspect, check and edit data files from the command line.
//
// Reads go through the core's observed reads, so that everything a read
// leaves out or repairs is reported; values typed on the command line are
// converted by the library's own conversions.
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qorvcfg.h"
#include "qorvcfg_diagnostics.h"
#include "read_report.h"
#include "value_format.h"

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

#if defined(QORVCFG_VERSION_STRING)
constexpr const char *kVersion = QORVCFG_VERSION_STRING;
#elif defined(QORVCFG_TOOL_VERSION)
constexpr const char *kVersion = QORVCFG_TOOL_VERSION;
#else
constexpr const char *kVersion = "unknown";
#endif

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: qorvcfg COMMAND ARGS...\n"
    "\n"
    "  items DEF [--json | --paths]   the items of a definition, as a tree\n"
    "  show DEF DATA [--json]         every value of a data file\n"
    "  get DEF DATA PATH [--json]     the values of one item, or its default\n"
    "  set DEF DATA PATH=VALUE... [-o OUT] [--force]\n"
    "                                 give an item its one value\n"
    "  add DEF DATA PATH=VALUE... [-o OUT] [--force]\n"
    "                                 add a value\n"
    "  del DEF DATA PATH[=VALUE]... [-o OUT] [--force]\n"
    "                                 delete values\n"
    "  check DEF DATA [--json]        what reading left out, and the count of values\n"
    "  --version                      the library's version\n"
    "\n"
    "DEF is a definition file, DATA a data file. \"qorvcfg COMMAND --help\" tells more.\n"
    "Exit status: 0 success; 1 a refusal, a failure, something left out by reading\n"
    "(check) or no value and no default (get); 2 usage.\n";

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
    "Nothing is written when reading DATA left anything out (writing would drop\n"
    "it), when a value would not read back the same (a '<' in a text, leading\n"
    "white space, an empty text, an address with a mask), or when any change\n"
    "fails; --force writes in the first two cases anyway. The result goes to OUT,\n"
    "or back to DATA, through a temporary file beside it that is read back and\n"
    "then renamed over it: a refused or failed edit leaves the file as it was.\n";

struct CommandHelp {
  const char *name;
  const char *synopsis;
  const char *text;
};

const CommandHelp kCommandHelp[] = {
    {"items", "qorvcfg items DEF [--json | --paths]",
     "Prints the items of the definition as a tree: name, type, bounds (range for\n"
     "integers, length for strings), number of values (any when unlimited),\n"
     "default, flags (identifier, required or optional, hidden), display texts\n"
     "and the words of an enumeration with their texts. --paths prints the path\n"
     "of every item, one a line. What reading repaired in the definition goes to\n"
     "standard error.\n"},
    {"show", "qorvcfg show DEF DATA [--json]",
     "Prints every value as loaded, item by item in definition order and each\n"
     "item's values in the library's listing order (greatest first). Structure\n"
     "values are blocks in braces, named by their identifier when they have one.\n"
     "--json prints one object: item names to arrays of values, structures as\n"
     "objects. What reading left out goes to standard error.\n"},
    {"get", "qorvcfg get DEF DATA PATH [--json]",
     "Prints the values of one item, one a line; a structure value as a block.\n"
     "An item without values prints its default, and standard error says so;\n"
     "without a default (structures, enumerations without words) nothing is\n"
     "printed and the exit status is 1. --json prints an array.\n"},
    {"set", "qorvcfg set DEF DATA PATH=VALUE... [-o OUT] [--force]",
     "Changes the value of an item that has exactly one value at that level, or\n"
     "adds one when it has none. Structures on the way that do not exist yet are\n"
     "made, with the picked identifier.\n"},
    {"add", "qorvcfg add DEF DATA PATH=VALUE... [-o OUT] [--force]",
     "Adds a value. For a structure item, VALUE is the new structure's identifier.\n"},
    {"del", "qorvcfg del DEF DATA PATH[=VALUE]... [-o OUT] [--force]",
     "Deletes the item's values that equal VALUE, or all of them without VALUE.\n"
     "For a structure item VALUE (or a pick, \"upstream[beta]\") names the\n"
     "structure by its identifier.\n"},
    {"check", "qorvcfg check DEF DATA [--json]",
     "Reads both files and prints everything that reading left out or repaired,\n"
     "as FILE:LINE:COL: message, then how many values each item holds (for\n"
     "items inside structures: in all of them). Exit status 1 when anything was\n"
     "left out or repaired, or a file did not load.\n"},
};

// ---- Errors ------------------------------------------------------------------

struct ToolError {
  int status;
  std::string message;
};

// "context: words (Zel_ERANGE 0x0A400000)".
[[noreturn]] void Fail(const std::string &context, const std::string &words, ResultCode result) {
  throw ToolError{kFailure, context + ": " + words + " (" + CodeText(result) + ")"};
}

// A refusal of the tool's own, without a result code.
[[noreturn]] void Refuse(const std::string &message) { throw ToolError{kFailure, message}; }

[[noreturn]] void UsageFail(const std::string &message) {
  throw ToolError{kUsageError, message + "\n(qorvcfg --help tells the usage)"};
}

void Check(ResultCode result, const std::string &context) {
  if (result != Zel_OK) Fail(context, "refused by the library", result);
}

void Print(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void PrintError(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stderr); }

// Builds one JSON document, putting the commas between members.
class JsonWriter {
 public:
  JsonWriter &Open(char bracket) {
    Member();
    out_ += bracket;
    fresh_.push_back(true);
    return *this;
  }
  JsonWriter &Close(char bracket) {
    out_ += bracket;
    fresh_.pop_back();
    return *this;
  }
  JsonWriter &Key(std::string_view key) {
    Member();
    out_ += JsonString(key) + ":";
    after_key_ = true;
    return *this;
  }
  JsonWriter &Raw(const std::string &json) {
    Member();
    out_ += json;
    return *this;
  }
  JsonWriter &String(std::string_view text) { return Raw(JsonString(text)); }
  JsonWriter &Field(std::string_view key, const std::string &json) { return Key(key).Raw(json); }
  void PrintDocument() { Print(out_ + "\n"); }

 private:
  void Member() {
    if (after_key_) {
      after_key_ = false;
    } else if (!fresh_.empty()) {
      if (!fresh_.back()) out_ += ',';
      fresh_.back() = false;
    }
  }

  std::string out_;
  std::vector<bool> fresh_;
  bool after_key_ = false;
};

std::string JsonBool(bool value) { return value ? "true" : "false"; }
std::string JsonText(const char *text) { return text ? JsonString(text) : "null"; }

// ---- Handles and levels ------------------------------------------------------

struct HandleCloser {
  void operator()(ConfigHandle *handle) const { Zel_ConfigDestroy(handle); }
};
using Handle = std::unique_ptr<ConfigHandle, HandleCloser>;

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

// Items that data can hold: named and typed.
bool Holds(const ItemDefinition *item) { return item->name && item->type != Zel_TYPE_NONE; }

const ItemDefinition *NextHeld(const ItemDefinition *item) {
  while (item && !Holds(item)) item = item->next;
  return item;
}

// The items of a definition in tree order with their depth and path; the
// children of structure items only, as data sees them.
struct ItemPlace {
  const ItemDefinition *item;
  int depth;
  std::string path;
};

std::vector<ItemPlace> ItemsInOrder(const ItemDefinition *first) {
  std::vector<ItemPlace> places;
  std::vector<ItemPlace> pending;  // a stack, next sibling on top
  std::vector<const ItemDefinition *> level;
  auto push_level = [&](const ItemDefinition *items, int depth, const std::string &prefix) {
    level.clear();
    for (const ItemDefinition *item = items; item; item = item->next) level.push_back(item);
    for (std::size_t i = level.size(); i-- > 0;) {
      pending.push_back({level[i], depth, prefix + (level[i]->name ? level[i]->name : "")});
    }
  };
  push_level(first, 0, "");
  while (!pending.empty()) {
    ItemPlace place = pending.back();
    pending.pop_back();
    places.push_back(place);
    if (place.item->type == Zel_TYPE_STRUCTURE) {
      push_level(place.item->children, place.depth + 1, place.path + "/");
    }
  }
  return places;
}

// Why every read into a handle of this definition answers Zel_ENOMEM: it
// has no items, or a structure without child items; empty when neither.
std::string UnreadableDefinition(const ItemDefinition *items) {
  if (!items) return "the definition has no items, so no data can be read (is it a data file?)";
  for (const ItemPlace &place : ItemsInOrder(items)) {
    if (place.item->type == Zel_TYPE_STRUCTURE && !place.item->children) {
      return "structure " + place.path +
             " of the definition has no child items, so no data can be read";
    }
  }
  return "";
}

// ---- Reading -----------------------------------------------------------------

// The handle of a definition and, once read, the data in it, with what
// reading left out.
struct Session {
  Handle handle;
  ReadReport report;
  std::string definition_path;
  std::string data_path;
};

Session OpenDefinition(const std::string &path) {
  Session session;
  session.definition_path = path;
  session.report.file = path;
  ConfigHandle *handle = nullptr;
  ResultCode result =
      Qorvcfg_ConfigCreateObserved(path.c_str(), &handle, ReadReport::Observer(), &session.report);
  if (result != Zel_OK) Fail(path, FileFailureText(result), result);
  session.handle.reset(handle);
  return session;
}

// Every value at every level, structures included.
std::size_t CountValues(const Level &top);

// Reads data into the session; the result of the read. When the library
// reported nothing, the elements of the file are counted against the values
// kept, so that a loss is never missed.
ResultCode ReadData(Session &session, const std::string &path) {
  session.data_path = path;
  session.report.file = path;
  ResultCode result = Qorvcfg_ConfigReadObserved(path.c_str(), session.handle.get(),
                                                 ReadReport::Observer(), &session.report);
  if (result != Zel_OK || session.report.CountFor(path) > 0) return result;
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return result;
  const std::size_t elements = CountStartTags(*bytes);
  const std::size_t kept = CountValues(TopLevel(session.handle.get())) + 1;
  if (elements == 0 && HasContent(*bytes)) {
    session.report.Add("holds no element: not a data file");
  } else if (elements > kept) {
    const std::size_t lost = elements - kept;
    session.report.Add("reading left out " + std::to_string(lost) +
                       (lost == 1 ? " element" : " elements"));
  }
  return result;
}

// Words for a failed read of data.
std::string DataFailureText(const Session &session, ResultCode result) {
  if (result == Zel_ENOMEM) {
    std::string why = UnreadableDefinition(session.handle->items);
    if (!why.empty()) return why;
  }
  return FileFailureText(result);
}

Session OpenData(const std::string &definition, const std::string &data) {
  Session session = OpenDefinition(definition);
  ResultCode result = ReadData(session, data);
  if (result != Zel_OK) Fail(data, DataFailureText(session, result), result);
  return session;
}

void PrintDiagnostics(const ReadReport &report, bool to_stdout) {
  for (const Diagnostic &diagnostic : report.diagnostics) {
    std::string line = DiagnosticLine(diagnostic) + "\n";
    to_stdout ? Print(line) : PrintError(line);
  }
}

// ---- Values from the command line ----------------------------------------------

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A value typed on the command line, converted by the library for its item
// and ready to be handed to Zel_DataChange.
class ConvertedValue {
 public:
  ConvertedValue() = default;
  ConvertedValue(const ConvertedValue &) = delete;
  ConvertedValue &operator=(const ConvertedValue &) = delete;
  ~ConvertedValue() { Qorvcfg_ValueRelease(type_, &payload_); }

  // Zel_OK, or the library's refusal with why in words. An address may carry
  // a mask, which reading refuses but the file holds.
  ResultCode Convert(const ItemDefinition *item, const std::string &text, std::string *why) {
    Qorvcfg_ValueRelease(type_, &payload_);
    payload_ = DataPayload{};
    type_ = item->type;
    char buffer[256];
    ResultCode result = Qorvcfg_ValueFromText(item, text.c_str(), &payload_, buffer, sizeof buffer);
    if (result == Zel_OK) return result;
    *why = buffer;
    if (result == Zel_EINVAL && item->type == Zel_TYPE_IPADDR && ConvertMasked(item, text)) {
      return Zel_OK;
    }
    return result;
  }

  const void *Pointer() const {
    switch (type_) {
      case Zel_TYPE_INTEGER:
        return &payload_.integer;
      case Zel_TYPE_BOOLEAN:
        return &payload_.boolean;
      case Zel_TYPE_IPADDR:
        return &payload_.ipaddr;
      case Zel_TYPE_STRING:
        return payload_.text;
      default:
        return payload_.keyword;
    }
  }

  std::string Text() const { return PayloadText(type_, payload_); }

  // Why reading the written file would not give this value back; empty when
  // it would.
  std::string ReadBackProblem() const {
    const std::string text = Text();
    if (type_ == Zel_TYPE_STRING && text.empty()) {
      return "reading leaves out an element without text";
    }
    if (type_ == Zel_TYPE_STRING && IsBlank(text[0])) {
      return "reading drops the leading white space";
    }
    if (text.find('<') != std::string::npos) return "reading ends the text at the '<'";
    if (type_ == Zel_TYPE_IPADDR && text.find('/') != std::string::npos &&
        payload_.ipaddr.form == Zel_IP_FORM_NUMERIC) {
      return "reading refuses an address with a mask";
    }
    return "";
  }

 private:
  // ADDRESS/MASK, the mask a prefix length or an address of the same family.
  bool ConvertMasked(const ItemDefinition *item, const std::string &text) {
    const std::size_t slash = text.rfind('/');
    if (slash == std::string::npos) return false;
    DataPayload address{};
    if (Qorvcfg_ValueFromText(item, text.substr(0, slash).c_str(), &address, nullptr, 0) !=
        Zel_OK) {
      return false;
    }
    IpAddressValue &ip = address.ipaddr;
    bool ok = ip.form == Zel_IP_FORM_NUMERIC;
    const std::string mask = text.substr(slash + 1);
    const bool prefix = !mask.empty() && mask.size() <= 3 &&
                        mask.find_first_not_of("0123456789") == std::string::npos;
    if (ok && prefix) {
      ItemDefinition bits{};
      bits.type = Zel_TYPE_INTEGER;
      bits.maximum = ip.family == Zel_IP_FAMILY_V4 ? 32 : 128;
      DataPayload length{};
      ok = Qorvcfg_ValueFromText(&bits, mask.c_str(), &length, nullptr, 0) == Zel_OK;
      for (std::int64_t i = 0; ok && i < length.integer; ++i) {
        ip.mask[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
      }
    } else if (ok) {
      DataPayload form{};
      ok = Qorvcfg_ValueFromText(item, mask.c_str(), &form, nullptr, 0) == Zel_OK &&
           form.ipaddr.form == Zel_IP_FORM_NUMERIC && form.ipaddr.family == ip.family;
      if (ok) std::memcpy(ip.mask, form.ipaddr.address, sizeof ip.mask);
      Qorvcfg_ValueRelease(Zel_TYPE_IPADDR, &form);
    }
    if (!ok) {
      Qorvcfg_ValueRelease(Zel_TYPE_IPADDR, &address);
      return false;
    }
    payload_ = address;
    return true;
  }

  ItemType type_ = Zel_TYPE_NONE;
  DataPayload payload_{};
};

// A value text in its stored form, for comparing what the user typed with
// what is stored ("0x10" and "16" match); the text itself when it does not
// convert.
std::string Canonical(const ItemDefinition *item, const std::string &text) {
  ConvertedValue value;
  std::string why;
  return value.Convert(item, text, &why) == Zel_OK ? value.Text() : text;
}

std::optional<std::string> IdentifierText(const Level &level, const ItemDefinition *item,
                                          DataRecord *value) {
  const ItemDefinition *id = IdentifierItem(item);
  if (!id) return std::nullopt;
  std::vector<DataRecord *> ids = level.Inside(value, item).Values(id);
  if (ids.empty()) return std::nullopt;
  return PayloadText(ids.front()->type, ids.front()->payload);
}

// ---- Walking the values ------------------------------------------------------

// The values of a level in order, as a flat list of marks, walked with an
// explicit stack so that deep structures cost no call depth.
enum class Mark { kItemBegin, kItemEnd, kScalar, kStructBegin, kStructEnd };

struct Event {
  Mark mark;
  int depth;
  const ItemDefinition *item;
  DataRecord *value;  // kScalar, kStructBegin, kStructEnd
  Level level;        // where item's values are held
  std::string path;   // the item's path without picks
};

// Every held item of level from its first, or, with given, only item with
// the values given.
std::vector<Event> Walk(const Level &top, const ItemDefinition *item,
                        const std::vector<DataRecord *> *given) {
  struct Frame {
    Level level;
    const ItemDefinition *item;
    std::vector<DataRecord *> values;
    std::size_t next;
    bool begun;
    bool single;
    int depth;
    std::string prefix;
  };
  std::vector<Event> events;
  std::vector<Frame> stack;
  stack.push_back({top, given ? item : NextHeld(item), given ? *given : std::vector<DataRecord *>{},
                   0, given != nullptr, given != nullptr, 0, ""});
  if (given) events.push_back({Mark::kItemBegin, 0, item, nullptr, top, item->name});
  while (!stack.empty()) {
    Frame &frame = stack.back();
    if (!frame.item) {
      stack.pop_back();
      if (!stack.empty()) {
        Frame &parent = stack.back();
        events.push_back({Mark::kStructEnd, parent.depth, parent.item,
                          parent.values[parent.next - 1], parent.level,
                          parent.prefix + parent.item->name});
      }
      continue;
    }
    const std::string path = frame.prefix + frame.item->name;
    if (!frame.begun) {
      frame.values = frame.level.Values(frame.item);
      frame.next = 0;
      frame.begun = true;
      events.push_back({Mark::kItemBegin, frame.depth, frame.item, nullptr, frame.level, path});
    } else if (frame.next < frame.values.size()) {
      DataRecord *value = frame.values[frame.next++];
      if (value->type == Zel_TYPE_STRUCTURE) {
        events.push_back({Mark::kStructBegin, frame.depth, frame.item, value, frame.level, path});
        Frame inner{frame.level.Inside(value, frame.item),
                    NextHeld(frame.item->children),
                    {},
                    0,
                    false,
                    false,
                    frame.depth + 1,
                    path + "/"};
        stack.push_back(std::move(inner));  // frame is not used after this
      } else {
        events.push_back({Mark::kScalar, frame.depth, frame.item, value, frame.level, path});
      }
    } else {
      events.push_back({Mark::kItemEnd, frame.depth, frame.item, nullptr, frame.level, path});
      frame.item = frame.single ? nullptr : NextHeld(frame.item->next);
      frame.begun = false;
    }
  }
  return events;
}

std::size_t CountValues(const Level &top) {
  std::size_t count = 0;
  for (const Event &event : Walk(top, top.items, nullptr)) {
    count += event.mark == Mark::kScalar || event.mark == Mark::kStructBegin;
  }
  return count;
}

// ---- Printing ----------------------------------------------------------------

std::string Indent(int depth) { return std::string(2 * depth, ' '); }

// Values as text: "name = value" lines and structure blocks; with bare, the
// values of depth 0 print their text alone.
void PrintEvents(const std::vector<Event> &events, bool bare) {
  for (const Event &event : events) {
    const std::string name = event.item->name;
    if (event.mark == Mark::kStructBegin) {
      std::optional<std::string> id = IdentifierText(event.level, event.item, event.value);
      Print(Indent(event.depth) + name + (id ? "[" + *id + "]" : "") + " {\n");
    } else if (event.mark == Mark::kStructEnd) {
      Print(Indent(event.depth) + "}\n");
    } else if (event.mark == Mark::kScalar) {
      const std::string text = PayloadText(event.value->type, event.value->payload);
      if (bare && event.depth == 0) {
        Print(text + "\n");
      } else if (event.value->type == Zel_TYPE_STRING) {
        Print(Indent(event.depth) + name + " = \"" + text + "\"\n");
      } else {
        Print(Indent(event.depth) + name + " = " + text + "\n");
      }
    }
  }
}

// Values as JSON: each item a key with an array of values, structure values
// objects of their items.
void WriteEventsJson(JsonWriter &json, const std::vector<Event> &events) {
  for (const Event &event : events) {
    switch (event.mark) {
      case Mark::kItemBegin:
        json.Key(event.item->name).Open('[');
        break;
      case Mark::kItemEnd:
        json.Close(']');
        break;
      case Mark::kScalar:
        json.Raw(PayloadJson(event.value->type, event.value->payload));
        break;
      case Mark::kStructBegin:
        json.Open('{');
        break;
      case Mark::kStructEnd:
        json.Close('}');
        break;
    }
  }
}

// Whether the item's default is a value it could hold.
bool HasDefault(const ItemDefinition *item) {
  const DataPayload &payload = item->default_value.payload;
  switch (item->type) {
    case Zel_TYPE_INTEGER:
    case Zel_TYPE_BOOLEAN:
      return true;
    case Zel_TYPE_STRING:
      return payload.text != nullptr;
    case Zel_TYPE_ENUMERATION:
      return payload.keyword != nullptr;
    case Zel_TYPE_IPADDR:
      return payload.ipaddr.form != 0;
    default:
      return false;
  }
}

std::string DefaultText(const ItemDefinition *item) {
  if (!HasDefault(item)) return "(none)";
  const DefaultRecord &value = item->default_value;
  std::string text = PayloadText(value.type, value.payload);
  return item->type == Zel_TYPE_STRING ? "\"" + text + "\"" : text;
}

void PrintItems(const ItemDefinition *items) {
  for (const ItemPlace &place : ItemsInOrder(items)) {
    const ItemDefinition *item = place.item;
    const int depth = place.depth + 1;
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
  }
}

void WriteItemsJson(JsonWriter &json, const ItemDefinition *items) {
  json.Key("items").Open('[');
  std::vector<bool> open_children;  // per open item: whether it opened "items"
  for (const ItemPlace &place : ItemsInOrder(items)) {
    while (open_children.size() > static_cast<std::size_t>(place.depth)) {
      if (open_children.back()) json.Close(']');
      json.Close('}');
      open_children.pop_back();
    }
    const ItemDefinition *item = place.item;
    json.Open('{')
        .Field("name", JsonText(item->name))
        .Field("type", JsonString(TypeName(item->type)));
    if (item->type == Zel_TYPE_INTEGER || item->type == Zel_TYPE_STRING) {
      json.Field("minimum", std::to_string(item->minimum))
          .Field("maximum", std::to_string(item->maximum));
    }
    json.Field("number", std::to_string(item->number));
    if (item->type != Zel_TYPE_STRUCTURE && item->type != Zel_TYPE_NONE) {
      json.Field("default", HasDefault(item)
                                ? PayloadJson(item->default_value.type, item->default_value.payload)
                                : "null");
    }
    json.Field("identifier", JsonBool(item->identifier))
        .Field("required", JsonBool(item->necessity))
        .Field("hidden", JsonBool(item->hidden))
        .Field("dispstring", JsonText(item->dispstring))
        .Field("description", JsonText(item->description));
    if (item->type == Zel_TYPE_ENUMERATION) {
      json.Key("words").Open('[');
      for (const KeywordEntry *entry = item->entries; entry; entry = entry->next) {
        json.Open('{').Field("word", JsonText(entry->keyword)).Field("text", JsonText(entry->text));
        json.Close('}');
      }
      json.Close(']');
    }
    const bool children = item->type == Zel_TYPE_STRUCTURE;
    if (children) json.Key("items").Open('[');
    open_children.push_back(children);
  }
  while (!open_children.empty()) {
    if (open_children.back()) json.Close(']');
    json.Close('}');
    open_children.pop_back();
  }
  json.Close(']');
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

// Converts text for item as reading would, refusing what the library
// refuses and, unless forced, what the data file would not give back.
void ConvertForEdit(const ItemDefinition *item, const std::string &text, const std::string &context,
                    bool force, ConvertedValue *value) {
  std::string why;
  ResultCode result = value->Convert(item, text, &why);
  if (result != Zel_OK) Fail(context, why, result);
  std::string problem = value->ReadBackProblem();
  if (problem.empty()) return;
  if (!force) {
    Refuse(context + ": would not read back the same: " + problem + "; --force writes it anyway");
  }
  PrintError("qorvcfg: warning: " + context + ": " + problem + "\n");
}

// A failed add, change or delete of the library, in words.
void CheckEdit(ResultCode result, const std::string &context) {
  if (result == Zel_OK) return;
  if (result == Zel_EEXIST) Fail(context, "already present", result);
  if (result == Zel_ENOMEM) Fail(context, "out of memory", result);
  Fail(context, "refused by the library", result);
}

// Refuses one more value of item at level when it holds its most already.
void CheckRoom(const Level &level, const ItemDefinition *item, const std::string &path) {
  if (item->number == 0) return;
  const std::size_t count = level.Values(item).size();
  if (count >= item->number) {
    Fail(path,
         "already holds " + std::to_string(count) + (count == 1 ? " value" : " values") +
             ", its most",
         Zel_ERANGE);
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
  std::string wanted = Canonical(IdentifierItem(item), *pick);
  std::vector<DataRecord *> picked;
  for (DataRecord *value : values) {
    if (IdentifierText(level, item, value) == wanted) picked.push_back(value);
  }
  return picked;
}

[[noreturn]] void FailNoPick(const std::string &path, const ItemDefinition *item,
                             const std::string &pick) {
  Fail(path, std::string("no ") + item->name + " with " + IdentifierItem(item)->name + " " + pick,
       Zel_ENOENT);
}

// A new structure value, not added yet, whose identifier is id_text.
DataRecord *MakeStructure(const Level &level, const ItemDefinition *item,
                          const std::optional<std::string> &id_text, bool force) {
  DataRecord *value = level.Create(item);
  if (id_text) {
    const ItemDefinition *id = IdentifierItem(item);
    Level inside = level.Inside(value, item);
    DataRecord *id_value = inside.Create(id);
    ConvertedValue contents;
    std::string context = std::string(item->name) + "/" + id->name + "=" + *id_text;
    ConvertForEdit(id, *id_text, context, force, &contents);
    CheckEdit(inside.Change(id_value, contents.Pointer()), context);
    CheckEdit(inside.Add(id_value), context);
  }
  return value;
}

std::string ItemNames(const ItemDefinition *items) {
  std::string names;
  for (const ItemDefinition *item = items; item; item = item->next) {
    if (!Holds(item)) continue;
    names += (names.empty() ? "" : ", ") + std::string(item->name);
  }
  return names.empty() ? "none" : names;
}

Target Resolve(ConfigHandle *handle, const std::string &path, bool make, bool force) {
  std::vector<Segment> segments = ParsePath(path);
  Target target{{}, TopLevel(handle), nullptr, std::nullopt};
  bool making = false;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment &segment = segments[i];
    const ItemDefinition *item = FindItem(target.level.items, segment.name);
    if (!item) {
      Fail(
          path,
          "no item " + segment.name + " at this level; its items: " + ItemNames(target.level.items),
          Zel_ENOTFOUND);
    }
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
      Fail(path,
           segment.name + " has " + std::to_string(values.size()) + " values; pick one with " +
               segment.name + "[...]",
           Zel_EINVAL);
    }
    if (values.empty()) {
      if (!make && segment.pick) FailNoPick(path, item, *segment.pick);
      if (!make) Fail(path, "no value of " + segment.name, Zel_ENOENT);
      CheckRoom(target.level, item, path);
      making = true;
      values.push_back(MakeStructure(target.level, item, segment.pick, force));
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
    CheckEdit(step.parent.Del(step.value), context);
  }
  change();
  for (std::size_t i = target.steps.size(); i-- > linked;) {
    CheckEdit(target.steps[i].parent.Add(target.steps[i].value), context);
  }
  if (detach < linked) {
    Step &step = target.steps[detach];
    CheckEdit(step.parent.Add(step.value), context);
  }
}

// ---- Commands --------------------------------------------------------------

enum Option : unsigned { kOutput = 1, kJson = 2, kForce = 4, kPaths = 8 };

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  bool json = false;
  bool force = false;
  bool paths = false;
};

Arguments SplitArguments(const std::vector<std::string> &args, unsigned allowed) {
  Arguments result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if ((allowed & kOutput) && (arg == "-o" || arg == "--output")) {
      if (i + 1 == args.size()) UsageFail(arg + " needs a file name");
      result.output = args[++i];
    } else if ((allowed & kJson) && arg == "--json") {
      result.json = true;
    } else if ((allowed & kForce) && arg == "--force") {
      result.force = true;
    } else if ((allowed & kPaths) && arg == "--paths") {
      result.paths = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      UsageFail("unknown option " + arg);
    } else {
      result.positional.push_back(arg);
    }
  }
  if (result.json && result.paths) UsageFail("--json and --paths exclude each other");
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
  Session session = OpenDefinition(args.positional[0]);
  PrintDiagnostics(session.report, false);
  ConfigHandle *h = session.handle.get();
  if (!h->items) Refuse(args.positional[0] + ": " + UnreadableDefinition(h->items));
  if (args.paths) {
    for (const ItemPlace &place : ItemsInOrder(h->items)) {
      if (Holds(place.item)) Print(place.path + "\n");
    }
    return 0;
  }
  if (args.json) {
    JsonWriter json;
    json.Open('{')
        .Field("name", JsonText(h->name))
        .Field("dispstring", JsonText(h->dispstring))
        .Field("description", JsonText(h->description))
        .Field("hidden", JsonBool(h->hidden));
    WriteItemsJson(json, h->items);
    json.Close('}').PrintDocument();
    return 0;
  }
  Print(std::string("config: ") + (h->name ? h->name : "(unnamed)") +
        (h->hidden ? "  hidden" : "") + "\n");
  if (h->dispstring) Print(std::string("dispstring: ") + h->dispstring + "\n");
  if (h->description) Print(std::string("description: ") + h->description + "\n");
  Print("items:\n");
  PrintItems(h->items);
  return 0;
}

int CommandShow(const Arguments &args) {
  NeedArguments(args, 2, 2, "show");
  Session session = OpenData(args.positional[0], args.positional[1]);
  PrintDiagnostics(session.report, false);
  const Level top = TopLevel(session.handle.get());
  std::vector<Event> events = Walk(top, top.items, nullptr);
  if (!args.json) {
    PrintEvents(events, false);
    return 0;
  }
  JsonWriter json;
  json.Open('{');
  WriteEventsJson(json, events);
  json.Close('}').PrintDocument();
  return 0;
}

int CommandGet(const Arguments &args) {
  NeedArguments(args, 3, 3, "get");
  Session session = OpenData(args.positional[0], args.positional[1]);
  PrintDiagnostics(session.report, false);
  const std::string &path = args.positional[2];
  Target target = Resolve(session.handle.get(), path, false, false);
  const ItemDefinition *item = target.item;
  std::vector<DataRecord *> values = Picked(target.level, item, target.pick);
  if (values.empty() && target.pick) FailNoPick(path, item, *target.pick);
  if (values.empty()) {
    if (!HasDefault(item)) {
      PrintError("qorvcfg: " + path + ": no value and no default\n");
      if (args.json) Print("[]\n");
      return kFailure;
    }
    const DefaultRecord &value = item->default_value;
    PrintError("qorvcfg: " + path + ": no value; printed its default\n");
    Print(args.json ? "[" + PayloadJson(value.type, value.payload) + "]\n"
                    : PayloadText(value.type, value.payload) + "\n");
    return 0;
  }
  std::vector<Event> events = Walk(target.level, item, &values);
  if (!args.json) {
    PrintEvents(events, true);
    return 0;
  }
  std::erase_if(events, [](const Event &event) {
    return event.depth == 0 && (event.mark == Mark::kItemBegin || event.mark == Mark::kItemEnd);
  });
  JsonWriter json;
  json.Open('[');
  WriteEventsJson(json, events);
  json.Close(']').PrintDocument();
  return 0;
}

// How many values each held item has, in all values of its structures, by
// path in definition order.
std::vector<std::pair<std::string, std::size_t>> ValueCounts(const Session &session,
                                                             std::vector<int> *depths) {
  std::vector<std::pair<std::string, std::size_t>> counts;
  std::map<std::string, std::size_t> index;
  for (const ItemPlace &place : ItemsInOrder(session.handle->items)) {
    const bool reachable =
        Holds(place.item) && place.path.find("//") == std::string::npos && place.path[0] != '/';
    if (!reachable || index.count(place.path)) continue;
    index[place.path] = counts.size();
    counts.push_back({place.path, 0});
    depths->push_back(place.depth);
  }
  const Level top = TopLevel(session.handle.get());
  for (const Event &event : Walk(top, top.items, nullptr)) {
    if (event.mark != Mark::kScalar && event.mark != Mark::kStructBegin) continue;
    auto found = index.find(event.path);
    if (found != index.end()) ++counts[found->second].second;
  }
  return counts;
}

void WriteDiagnosticsJson(JsonWriter &json, const ReadReport &report) {
  json.Key("diagnostics").Open('[');
  for (const Diagnostic &diagnostic : report.diagnostics) {
    json.Open('{')
        .Field("file", JsonString(diagnostic.file))
        .Field("line", std::to_string(diagnostic.line))
        .Field("column", std::to_string(diagnostic.column))
        .Field("kind", JsonString(KindName(diagnostic.kind)))
        .Field("element", diagnostic.element.empty() ? "null" : JsonString(diagnostic.element))
        .Field("message", JsonString(diagnostic.message))
        .Close('}');
  }
  json.Close(']');
}

int CommandCheck(const Arguments &args) {
  NeedArguments(args, 2, 2, "check");
  const std::string &definition = args.positional[0];
  const std::string &data = args.positional[1];
  Session session;
  session.report.file = definition;
  std::string failed_file;
  std::string error;
  ConfigHandle *handle = nullptr;
  ResultCode result = Qorvcfg_ConfigCreateObserved(definition.c_str(), &handle,
                                                   ReadReport::Observer(), &session.report);
  session.handle.reset(handle);
  if (result != Zel_OK) {
    failed_file = definition;
    error = FileFailureText(result);
  } else if ((result = ReadData(session, data)) != Zel_OK) {
    failed_file = data;
    error = DataFailureText(session, result);
  }
  const std::size_t left_out = session.report.diagnostics.size();
  std::vector<int> depths;
  std::vector<std::pair<std::string, std::size_t>> counts;
  if (result == Zel_OK) counts = ValueCounts(session, &depths);
  const int status = result != Zel_OK || left_out > 0 ? kFailure : 0;

  if (args.json) {
    JsonWriter json;
    json.Open('{')
        .Field("definition", JsonString(definition))
        .Field("data", JsonString(data))
        .Field("loaded", JsonBool(result == Zel_OK))
        .Field("result", JsonString(CodeText(result)))
        .Field("error", result == Zel_OK ? "null" : JsonString(failed_file + ": " + error))
        .Field("left_out", std::to_string(left_out));
    WriteDiagnosticsJson(json, session.report);
    json.Key("counts").Open('{');
    for (const auto &[path, count] : counts) json.Field(path, std::to_string(count));
    json.Close('}').Close('}').PrintDocument();
    return status;
  }
  PrintDiagnostics(session.report, true);
  if (result != Zel_OK) {
    Print(failed_file + ": not loaded: " + error + " (" + CodeText(result) + ")\n");
    return status;
  }
  if (left_out == 0) {
    Print(data + ": loaded, nothing left out\n");
  } else {
    Print(data + ": loaded with " + std::to_string(left_out) +
          (left_out == 1 ? " problem" : " problems") + ", listed above\n");
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const std::string &path = counts[i].first;
    Print(Indent(depths[i] + 1) + path.substr(path.rfind('/') + 1) + ": " +
          std::to_string(counts[i].second) + "\n");
  }
  return status;
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

void RemoveFile(const std::string &path) {
#ifdef _WIN32
  DeleteFileW(Wide(path).c_str());
#else
  std::error_code error;
  std::filesystem::remove(path, error);
#endif
}

// Writes to a temporary file beside target, reads it back (unless forced)
// to see that every value survives, and renames it over target.
void WriteData(const Session &session, const std::string &target, bool force) {
#ifdef _WIN32
  std::string temporary = target + ".qorvcfg-" + std::to_string(GetCurrentProcessId()) + ".tmp";
#else
  std::string temporary = target + ".qorvcfg-" + std::to_string(getpid()) + ".tmp";
#endif
  ResultCode result = Zel_ConfigWrite(temporary.c_str(), session.handle.get());
  if (result != Zel_OK) {
    RemoveFile(temporary);
    Fail(temporary, "cannot write: " + SystemErrorText(result), result);
  }
  if (!force) {
    ConfigHandle *reread = nullptr;
    result = Zel_ConfigCreate(session.definition_path.c_str(), &reread);
    Handle closer(reread);
    if (result == Zel_OK) result = Zel_ConfigRead(temporary.c_str(), reread);
    if (result != Zel_OK ||
        CountValues(TopLevel(reread)) != CountValues(TopLevel(session.handle.get()))) {
      RemoveFile(temporary);
      Refuse(target + ": not written: the result would not read back whole");
    }
  }
#ifdef _WIN32
  if (!MoveFileExW(Wide(temporary).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ResultCode error = Zel_ESYSTEM | (GetLastError() & ~Zel_CODE_MASK);
    RemoveFile(temporary);
    Fail(target, "cannot replace the file", error);
  }
#else
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) {
    RemoveFile(temporary);
    Refuse(target + ": cannot replace the file: " + error.message());
  }
#endif
}

enum class Edit { kSet, kAdd, kDel };

void EditOne(ConfigHandle *handle, Edit edit, const std::string &argument, bool force) {
  std::size_t equals = argument.find('=');
  std::optional<std::string> text;
  if (equals != std::string::npos) text = argument.substr(equals + 1);
  if (!text && edit != Edit::kDel) UsageFail("expected PATH=VALUE: " + argument);
  std::string path = argument.substr(0, equals);
  Target target = Resolve(handle, path, edit != Edit::kDel, force);
  const ItemDefinition *item = target.item;
  const Level &level = target.level;

  if (edit == Edit::kDel) {
    const ItemDefinition *id = item->type == Zel_TYPE_STRUCTURE ? IdentifierItem(item) : item;
    std::optional<std::string> wanted;
    if (text && id) wanted = Canonical(id, *text);
    std::vector<DataRecord *> doomed;
    for (DataRecord *value : Picked(level, item, target.pick)) {
      std::optional<std::string> stored = item->type == Zel_TYPE_STRUCTURE
                                              ? IdentifierText(level, item, value)
                                              : PayloadText(value->type, value->payload);
      if (!text || stored == wanted) doomed.push_back(value);
    }
    if (doomed.empty()) Fail(argument, "no such value", Zel_ENOENT);
    Apply(target, argument, [&] {
      for (DataRecord *value : doomed) CheckEdit(level.Del(value), argument);
    });
    return;
  }

  if (item->type == Zel_TYPE_STRUCTURE) {
    if (edit == Edit::kSet) UsageFail(path + " is a structure: set its items instead");
    if (!IdentifierItem(item)) UsageFail(path + " has no identifier item to give a value");
    if (target.pick) UsageFail(argument + ": give the identifier either in [ ] or after =");
    CheckRoom(level, item, path);
    Apply(target, argument,
          [&] { CheckEdit(level.Add(MakeStructure(level, item, text, force)), argument); });
    return;
  }
  if (target.pick) UsageFail(path + ": only structures are picked by [ ]");
  ConvertedValue contents;
  ConvertForEdit(item, *text, argument, force, &contents);
  std::vector<DataRecord *> values = level.Values(item);
  if (edit == Edit::kSet && values.size() > 1) {
    Fail(argument,
         std::string(item->name) + " has " + std::to_string(values.size()) +
             " values; use add or del",
         Zel_EINVAL);
  }
  const bool change = edit == Edit::kSet && values.size() == 1;
  if (!change) CheckRoom(level, item, path);
  Apply(target, argument, [&] {
    if (change) {
      CheckEdit(level.Change(values.front(), contents.Pointer()), argument);
      return;
    }
    DataRecord *value = level.Create(item);
    CheckEdit(level.Change(value, contents.Pointer()), argument);
    CheckEdit(level.Add(value), argument);
  });
}

int CommandEdit(Edit edit, const Arguments &args, const char *command) {
  NeedArguments(args, 3, static_cast<std::size_t>(-1), command);
  const std::string &data = args.positional[1];
  Session session = OpenData(args.positional[0], data);
  PrintDiagnostics(session.report, false);
  if (session.report.CountFor(data) > 0 && !args.force) {
    Refuse(data +
           ": not written: reading left out what is listed above, and writing would drop "
           "it; --force writes anyway");
  }
  for (std::size_t i = 2; i < args.positional.size(); ++i) {
    EditOne(session.handle.get(), edit, args.positional[i], args.force);
  }
  WriteData(session, args.output.value_or(data), args.force);
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
  if (command == "--version") {
    Print(std::string("qorvcfg ") + kVersion + "\n");
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
  if (command == "items") return CommandItems(SplitArguments(rest, kJson | kPaths));
  if (command == "show") return CommandShow(SplitArguments(rest, kJson));
  if (command == "get") return CommandGet(SplitArguments(rest, kJson));
  if (command == "check") return CommandCheck(SplitArguments(rest, kJson));
  const unsigned edit_options = kOutput | kForce;
  if (command == "set") return CommandEdit(Edit::kSet, SplitArguments(rest, edit_options), "set");
  if (command == "add") return CommandEdit(Edit::kAdd, SplitArguments(rest, edit_options), "add");
  if (command == "del") return CommandEdit(Edit::kDel, SplitArguments(rest, edit_options), "del");
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
    return kFailure;
  }
}
