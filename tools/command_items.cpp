// items: the items of a definition, as a tree, a list of paths or JSON.
#include <string>
#include <string_view>

#include "commands.h"
#include "json_writer.h"
#include "levels.h"
#include "paths.h"
#include "session.h"
#include "value_format.h"

namespace qorvcfg_tool {
namespace {

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

// 3 when reading the definition repaired or left out anything.
int DefinitionStatus(const Session &session) {
  return session.report.diagnostics.empty() ? kDone : kInvalidFile;
}

// Text for Markdown: characters that would start markup escaped, lines joined.
std::string MarkdownText(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      out += ' ';
      continue;
    }
    if (std::string_view("\\`*_[]<>|#").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

void PrintItemDoc(const ItemPlace &place) {
  const ItemDefinition *item = place.item;
  std::string text = std::string(place.depth == 0 ? "## " : "### ") + "`" + place.path + "`\n\n";
  if (item->dispstring) text += "**" + MarkdownText(item->dispstring) + "**\n\n";
  if (item->description) text += MarkdownText(item->description) + "\n\n";
  text += std::string("- type: ") + TypeName(item->type) + "\n";
  if (item->type == Zel_TYPE_INTEGER) {
    text +=
        "- range: " + std::to_string(item->minimum) + " to " + std::to_string(item->maximum) + "\n";
  } else if (item->type == Zel_TYPE_STRING) {
    text += "- length: " + std::to_string(item->minimum) + " to " + std::to_string(item->maximum) +
            " bytes\n";
  }
  text += "- values: " +
          (item->number ? "at most " + std::to_string(item->number) : std::string("any number")) +
          "\n";
  if (item->type != Zel_TYPE_STRUCTURE) {
    text += "- default: " +
            (HasDefault(item)
                 ? "`" + PayloadText(item->default_value.type, item->default_value.payload) + "`"
                 : std::string("none")) +
            "\n";
  }
  std::string flags = item->necessity ? "required" : "optional";
  if (item->identifier) flags += ", identifier";
  if (item->hidden) flags += ", hidden";
  text += "- flags: " + flags + "\n";
  if (item->entries) {
    text += "- words:\n";
    for (const KeywordEntry *entry = item->entries; entry; entry = entry->next) {
      text += std::string("  - `") + (entry->keyword ? entry->keyword : "") + "`" +
              (entry->text && *entry->text ? ": " + MarkdownText(entry->text) : "") + "\n";
    }
  }
  Print(text + "\n");
}

}  // namespace

int CommandItems(const Arguments &args) {
  Session session = OpenDefinition(args.positional[0]);
  PrintDiagnostics(session.report, false);
  ConfigHandle *h = session.handle.get();
  if (!h->items) Refuse(kInvalidFile, args.positional[0] + ": " + UnreadableDefinition(h->items));
  if (args.words) {
    const ItemDefinition *item = nullptr;
    for (const Segment &segment : ParsePath(*args.words)) {
      item = FindItem(item ? item->children : h->items, segment.name);
      if (!item) Fail(kNotFound, *args.words, "no such item", Zel_ENOTFOUND);
    }
    if (item->type == Zel_TYPE_BOOLEAN) Print("TRUE\nFALSE\n");
    for (const KeywordEntry *entry = item->entries; entry; entry = entry->next) {
      if (entry->keyword) Print(std::string(entry->keyword) + "\n");
    }
    return DefinitionStatus(session);
  }
  if (args.paths) {
    for (const ItemPlace &place : ItemsInOrder(h->items)) {
      if (Holds(place.item)) Print(place.path + "\n");
    }
    return DefinitionStatus(session);
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
    return DefinitionStatus(session);
  }
  Print(std::string("config: ") + (h->name ? h->name : "(unnamed)") +
        (h->hidden ? "  hidden" : "") + "\n");
  if (h->dispstring) Print(std::string("dispstring: ") + h->dispstring + "\n");
  if (h->description) Print(std::string("description: ") + h->description + "\n");
  Print("items:\n");
  PrintItems(h->items);
  return DefinitionStatus(session);
}

int CommandDoc(const Arguments &args) {
  Session session = OpenDefinition(args.positional[0]);
  PrintDiagnostics(session.report, false);
  ConfigHandle *h = session.handle.get();
  if (!h->items) Refuse(kInvalidFile, args.positional[0] + ": " + UnreadableDefinition(h->items));
  Print("# " +
        MarkdownText(h->dispstring ? h->dispstring
                     : h->name     ? h->name
                                   : "Settings") +
        "\n\n");
  if (h->description) Print(MarkdownText(h->description) + "\n\n");
  if (h->name)
    Print("Root element of the data file: `config`; definition name: `" + std::string(h->name) +
          "`.\n\n");
  for (const ItemPlace &place : ItemsInOrder(h->items)) {
    if (!Holds(place.item)) continue;
    PrintItemDoc(place);
  }
  return DefinitionStatus(session);
}

}  // namespace qorvcfg_tool
