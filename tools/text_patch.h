// Edits of a data file as patches of its text: each patch replaces one
// range of bytes, and everything outside the ranges stays as it was. The
// places come from the spans that reading reports for each element; the
// layout of new lines (indentation, line ending) from their neighbours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qorvcfg_tool {

// Where an element stands in the text, in bytes from its start.
struct ElementSpan {
  std::uint32_t begin = 0;          // the `<` of the start tag
  std::uint32_t end = 0;            // after the `>` that ends the element
  std::uint32_t content_begin = 0;  // after the start tag's `>`
  std::uint32_t content_end = 0;    // the `<` of the end tag (end when there is none)
  std::uint32_t text_begin = 0;     // the element's text; both content_begin when none
  std::uint32_t text_end = 0;
};

// Bytes [begin, end) of the original replaced by text.
struct TextPatch {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string text;
};

// One line of new markup, depth levels deeper than where it goes.
struct BlockLine {
  int depth = 0;
  std::string text;
};
using Block = std::vector<BlockLine>;

// How the text lays out its lines: the unit of indentation (the leading
// blanks of its first indented element line; two spaces when none) and line
// endings.
class Layout {
 public:
  explicit Layout(std::string_view text);

  // A new value's text in place of the element's text (or, for an element
  // without one, its first text).
  [[nodiscard]] TextPatch SetText(const ElementSpan &element, std::string_view name,
                                  std::string_view value) const;
  // Takes the element out: with its line when it stands alone on it, else
  // exactly its bytes.
  [[nodiscard]] TextPatch Remove(const ElementSpan &element) const;
  // The block on lines of its own after the line of anchor, indented as
  // anchor is; right after anchor, on its line, when anchor shares its line
  // with what follows it.
  [[nodiscard]] TextPatch InsertAfter(const ElementSpan &anchor, const Block &block) const;
  // The block as the content of an element that holds no element, one level
  // deeper than it; a self-closing element is opened for it.
  [[nodiscard]] TextPatch InsertInside(const ElementSpan &parent, const Block &block) const;
  // A root element named name holding the block, at the end of a text that
  // holds no element.
  [[nodiscard]] TextPatch AppendRoot(std::string_view name, const Block &block) const;

 private:
  [[nodiscard]] std::size_t LineStart(std::size_t at) const;
  [[nodiscard]] std::size_t LineEnd(std::size_t at) const;  // at the line feed, or the end
  [[nodiscard]] bool Blank(std::size_t from, std::size_t to) const;
  // The line ending of the line at at, else the text's first, else LF.
  [[nodiscard]] std::string_view EndingAt(std::size_t at) const;
  // The blanks before at on its line, when only blanks are there.
  [[nodiscard]] std::string IndentOf(std::size_t at) const;
  [[nodiscard]] std::string Lines(const Block &block, const std::string &indent,
                                  std::string_view ending) const;

  std::string_view text_;
  std::string unit_;
};

// The original with every patch applied. Patches are sorted by position
// (inserts at one place keep their order); overlapping ones are a fault of
// the caller and give false.
[[nodiscard]] bool ApplyPatches(std::string_view original, std::vector<TextPatch> patches,
                                std::string *out);

}  // namespace qorvcfg_tool
