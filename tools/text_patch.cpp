#include "text_patch.h"

#include <algorithm>

namespace qorvcfg_tool {
namespace {

bool IsLineBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// What ends a tag's name, besides `>`.
bool IsTagBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool SelfClosing(std::string_view text, const ElementSpan &element) {
  return element.content_begin == element.end && element.end >= 2 && text[element.end - 2] == '/' &&
         text[element.end - 1] == '>';
}

}  // namespace

Layout::Layout(std::string_view text) : text_(text), unit_("  ") {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t first = at;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
    if (first > at && first < text.size() && text[first] == '<') {
      unit_ = text[at] == '\t' ? "\t" : std::string(first - at, ' ');
      break;
    }
    const std::size_t feed = text.find('\n', at);
    if (feed == std::string_view::npos) break;
    at = feed + 1;
  }
}

std::size_t Layout::LineStart(std::size_t at) const {
  const std::size_t feed = at == 0 ? std::string_view::npos : text_.rfind('\n', at - 1);
  return feed == std::string_view::npos ? 0 : feed + 1;
}

std::size_t Layout::LineEnd(std::size_t at) const {
  const std::size_t feed = text_.find('\n', at);
  return feed == std::string_view::npos ? text_.size() : feed;
}

bool Layout::Blank(std::size_t from, std::size_t to) const {
  for (std::size_t i = from; i < to; ++i) {
    if (!IsLineBlank(text_[i])) return false;
  }
  return true;
}

std::string_view Layout::EndingAt(std::size_t at) const {
  std::size_t feed = text_.find('\n', at);
  if (feed == std::string_view::npos) feed = text_.find('\n');
  if (feed == std::string_view::npos) return "\n";
  return feed > 0 && text_[feed - 1] == '\r' ? "\r\n" : "\n";
}

std::string Layout::IndentOf(std::size_t at) const {
  const std::size_t start = LineStart(at);
  return Blank(start, at) ? std::string(text_.substr(start, at - start)) : std::string();
}

std::string Layout::Lines(const Block &block, const std::string &indent,
                          std::string_view ending) const {
  std::string lines;
  for (const BlockLine &line : block) {
    lines += indent;
    for (int i = 0; i < line.depth; ++i) lines += unit_;
    lines += line.text;
    lines += ending;
  }
  return lines;
}

TextPatch Layout::SetText(const ElementSpan &element, std::string_view name,
                          std::string_view value) const {
  if (element.text_end > element.text_begin) {
    return {element.text_begin, element.text_end, std::string(value)};
  }
  if (SelfClosing(text_, element)) {
    const std::string tag(name);
    return {element.begin, element.end, "<" + tag + ">" + std::string(value) + "</" + tag + ">"};
  }
  return {element.content_begin, element.content_begin, std::string(value)};
}

TextPatch Layout::Remove(const ElementSpan &element) const {
  const std::size_t start = LineStart(element.begin);
  const std::size_t feed = LineEnd(element.end);
  if (!Blank(start, element.begin) || !Blank(element.end, feed)) {
    return {element.begin, element.end, ""};
  }
  if (feed < text_.size()) return {start, feed + 1, ""};
  // The last line, without a line ending: the one before it goes instead,
  // so that the text still ends without one.
  if (start == 0) return {0, feed, ""};
  const std::size_t before = start >= 2 && text_[start - 2] == '\r' ? start - 2 : start - 1;
  return {before, feed, ""};
}

TextPatch Layout::InsertAfter(const ElementSpan &anchor, const Block &block) const {
  const std::size_t start = LineStart(anchor.begin);
  const std::size_t feed = LineEnd(anchor.end);
  if (!Blank(start, anchor.begin) || !Blank(anchor.end, feed)) {
    std::string inline_text;
    for (const BlockLine &line : block) inline_text += line.text;
    return {anchor.end, anchor.end, inline_text};
  }
  const std::string indent(text_.substr(start, anchor.begin - start));
  const std::string_view ending = EndingAt(anchor.end);
  if (feed < text_.size()) return {feed + 1, feed + 1, Lines(block, indent, ending)};
  std::string lines = std::string(ending) + Lines(block, indent, ending);
  lines.resize(lines.size() - ending.size());
  return {feed, feed, lines};
}

TextPatch Layout::InsertInside(const ElementSpan &parent, const Block &block) const {
  const std::string outer = IndentOf(parent.begin);
  const std::string inner = outer + unit_;
  const std::string_view ending = EndingAt(parent.begin);
  if (SelfClosing(text_, parent)) {
    // The start tag without its `/`s, then the block and an end tag that
    // names it as the reader does: up to the first blank or `>`. A name with
    // a quote would not end at its `>`, and a tag with bytes beyond ASCII
    // might end inside a character without the `/`: either becomes a plain
    // `<config>`, as the root's name is not read.
    std::size_t tag_end = parent.end - 2;
    while (tag_end > parent.begin + 1 &&
           (IsTagBlank(text_[tag_end - 1]) || text_[tag_end - 1] == '/')) {
      --tag_end;
    }
    std::string_view tag = text_.substr(parent.begin, tag_end - parent.begin);
    std::size_t name_end = 1;
    while (name_end < tag.size() && !IsTagBlank(tag[name_end]) && tag[name_end] != '>' &&
           tag[name_end] != '\0') {
      ++name_end;
    }
    std::string name(tag.substr(1, name_end - 1));
    if (name.empty() || name.find_first_of("\"'") != std::string::npos ||
        std::any_of(tag.begin(), tag.end(), [](char c) { return (c & 0x80) != 0; })) {
      name = "config";
      tag = "<config";
    }
    return {parent.begin, parent.end,
            std::string(tag) + ">" + std::string(ending) + Lines(block, inner, ending) + outer +
                "</" + name + ">"};
  }
  if (parent.content_end == parent.end) {
    // Never closed: the block goes at the end of the text.
    const bool fed = parent.end > 0 && text_[parent.end - 1] == '\n';
    return {parent.end, parent.end, (fed ? "" : std::string(ending)) + Lines(block, inner, ending)};
  }
  const std::size_t close_line = LineStart(parent.content_end);
  if (close_line > parent.content_begin && Blank(close_line, parent.content_end)) {
    const std::string close_indent(text_.substr(close_line, parent.content_end - close_line));
    return {close_line, close_line, Lines(block, close_indent + unit_, ending)};
  }
  return {parent.content_end, parent.content_end,
          std::string(ending) + Lines(block, inner, ending) + outer};
}

TextPatch Layout::AppendRoot(std::string_view name, const Block &block) const {
  const std::string_view ending = EndingAt(0);
  const bool fed = text_.empty() || text_.back() == '\n';
  const std::string tag(name);
  return {text_.size(), text_.size(),
          (fed ? "" : std::string(ending)) + "<" + tag + ">" + std::string(ending) +
              Lines(block, unit_, ending) + "</" + tag + ">" + std::string(ending)};
}

bool ApplyPatches(std::string_view original, std::vector<TextPatch> patches, std::string *out) {
  std::stable_sort(patches.begin(), patches.end(),
                   [](const TextPatch &a, const TextPatch &b) { return a.begin < b.begin; });
  std::string result;
  std::size_t at = 0;
  for (const TextPatch &patch : patches) {
    if (patch.begin < at || patch.end < patch.begin || patch.end > original.size()) return false;
    result.append(original.substr(at, patch.begin - at));
    result += patch.text;
    at = patch.end;
  }
  result.append(original.substr(at));
  *out = std::move(result);
  return true;
}

}  // namespace qorvcfg_tool
