#include "file_order.h"

#include <optional>

#include "value_format.h"
#include "value_input.h"

namespace qorvcfg_tool {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string Trimmed(const std::string &text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The end of the tag that opens at text[at]: the first '>' outside quotes.
std::size_t TagEnd(std::string_view text, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    if (quote) {
      if (text[i] == quote) quote = 0;
    } else if (text[i] == '"' || text[i] == '\'') {
      quote = text[i];
    } else if (text[i] == '>') {
      return i;
    }
  }
  return text.size();
}

}  // namespace

std::vector<ScannedElement> ScanElements(std::string_view text) {
  std::vector<ScannedElement> elements;
  std::vector<std::size_t> open;
  std::size_t line = 1, line_start = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] != '<') {
      if (text[at] == '\n') line++, line_start = at + 1;
      ++at;
      continue;
    }
    const std::size_t end = TagEnd(text, at);
    const char kind = at + 1 < text.size() ? text[at + 1] : '\0';
    if (kind == '/') {
      if (!open.empty()) open.pop_back();
    } else if (kind != '!' && kind != '?') {
      std::size_t name_end = at + 1;
      while (name_end < end && !IsSpace(text[name_end]) && text[name_end] != '/') ++name_end;
      ScannedElement element;
      element.name = std::string(text.substr(at + 1, name_end - at - 1));
      element.line = line;
      element.column = at - line_start + 1;
      if (end < text.size()) {
        const std::size_t next = text.find('<', end);
        element.text = std::string(text.substr(
            end + 1, next == std::string_view::npos ? std::string_view::npos : next - end - 1));
      }
      const std::size_t index = elements.size();
      if (!open.empty()) elements[open.back()].children.push_back(index);
      const bool closed = end > at && end < text.size() && text[end - 1] == '/';
      elements.push_back(std::move(element));
      if (!closed) open.push_back(index);
    }
    for (std::size_t i = at; i < end && i < text.size(); ++i) {
      if (text[i] == '\n') line++, line_start = i + 1;
    }
    at = end + 1;
  }
  return elements;
}

FileOrder::FileOrder(const Session &session) : elements_(ScanElements(session.data_text)) {
  if (!elements_.empty()) places_[nullptr] = 0;
}

void FileOrder::Arrange(const Level &level, const ItemDefinition *item,
                        std::vector<DataRecord *> *values) {
  auto place = places_.find(level.record);
  if (place == places_.end()) return;
  const bool structure = item->type == Zel_TYPE_STRUCTURE;
  const ItemDefinition *id = structure ? IdentifierItem(item) : item;
  std::vector<DataRecord *> arranged;
  std::vector<bool> taken(values->size(), false);
  std::vector<std::optional<std::string>> keys;
  for (DataRecord *value : *values) {
    keys.push_back(structure ? IdentifierText(level, item, value)
                             : PayloadText(value->type, value->payload));
  }
  for (std::size_t child : elements_[place->second].children) {
    const ScannedElement &element = elements_[child];
    if (!id || element.name != item->name) continue;
    std::optional<std::string> text;
    if (!structure) text = element.text;
    for (std::size_t inner : structure ? element.children : std::vector<std::size_t>{}) {
      if (elements_[inner].name == id->name) text = elements_[inner].text;
    }
    if (!text) continue;
    const std::string key = Canonical(id, Trimmed(*text));
    for (std::size_t i = 0; i < values->size(); ++i) {
      if (taken[i] || keys[i] != key) continue;
      taken[i] = true;
      arranged.push_back((*values)[i]);
      if (structure) places_[(*values)[i]] = child;
      break;
    }
  }
  for (std::size_t i = 0; i < values->size(); ++i) {
    if (!taken[i]) arranged.push_back((*values)[i]);
  }
  *values = std::move(arranged);
}

}  // namespace qorvcfg_tool
