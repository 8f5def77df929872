// Markup reading: the input, tokens and the element tree.
//
// Who owns what: the input is read whole into one buffer, which the reader
// owns until SourceRelease hands it on. Tokens and elements refer to spans
// of it, and texts are ended in place, so that nothing is copied before
// conversion copies what it keeps. Elements live in an arena that owns
// them; an element handed to a ChildHandler is valid only during the call.
// What holds: the buffer is followed by kInputPadding zero bytes; nothing
// recurses on the depth of the input.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "qorvcfg.h"
#include "qorvcfg_diagnostics.h"

namespace qorvcfg {

class ReadDiagnostics;

// True for the end-of-input signal, whatever low bits it carries.
[[nodiscard]] constexpr bool IsEndOfInput(ResultCode result) {
  return (result & Zel_CODE_MASK) == Zel_EEOF;
}

// ---- Input source ---------------------------------------------------------
enum class ParseMode : std::uint32_t { kFile = 1, kText = 2 };

// Largest input in bytes: lengths are 32-bit and signed.
inline constexpr std::uint64_t kMaxInputBytes = 0x7FFFFFFF;

// Zero bytes after the input in its buffer: the lexer reads the input in
// blocks that may start at any position up to its end.
inline constexpr std::uint32_t kInputPadding = 64;

// The whole input in a buffer of the reader's own, followed by kInputPadding
// zero bytes. The reader writes zero bytes into it to end texts in place.
struct InputSource {
  char *data;
  std::uint32_t length;    // bytes of input (a text ends at its first zero byte)
  std::uint32_t position;  // the next byte to lex
  bool saved_tag;          // look-ahead: a `<` ended the last text and starts a tag
};

// Mode 1: reads the regular file at a UTF-8 path whole; a file that is not a
// regular file gives Zel_ESYSTEM|1, one larger than kMaxInputBytes
// Zel_ESYSTEM|223. Mode 2: copies the text up to its first zero byte, its
// length taken as a signed 32-bit count as it always was. Other modes and a
// null input give Zel_EINVAL.
[[nodiscard]] ResultCode SourceOpen(std::uint32_t mode, const char *input, InputSource *source);
// Frees the buffer (nothing when it was handed on).
void SourceClose(InputSource *source);
// Hands the buffer to the caller, who frees it with platform::Free.
[[nodiscard]] char *SourceRelease(InputSource *source);

// ---- Lexer ----------------------------------------------------------------
enum class TokenKind : std::uint32_t { kTag = 1, kText = 2 };

// A span of the input. A tag runs from its `<` to its `>`, both included; a
// text from its first non-blank character to the byte before the next `<`
// (or the end of the input). A text is ended in place by the reader, so the
// `<` after it may already read as zero.
struct MarkupToken {
  TokenKind kind;
  std::uint32_t offset;
  std::uint32_t length;
  // Of a tag: the bytes of its name, which starts after `<` (after `</` in
  // an end tag) and ends before the first blank, zero byte or `>`; a `/`
  // right before that `>` is not part of it.
  std::uint32_t name_length;
};

// Zel_OK with the next token; Zel_EEOF when only blanks remain; Zel_EINVAL
// when the input ends inside a tag. Allocates nothing. (The tree builder
// takes its tokens through the same lexer inline, markup/lexer.h.)
[[nodiscard]] ResultCode LexNextToken(InputSource *source, MarkupToken *out);

// ---- Element tree ---------------------------------------------------------
// An element. Text is not kept as nodes: an element keeps only its first
// text child, which is all that conversion reads.
struct MarkupElement {
  MarkupElement *next;  // next sibling
  MarkupElement *parent;
  MarkupElement *first_child;  // child elements in input order
  MarkupElement *last_child;
  const char *name;   // in the input; not zero-terminated
  const char *value;  // first text child, zero-terminated in place; null if none
  std::uint32_t name_length;
  std::uint32_t offset;         // of the start tag's `<`
  std::uint32_t content_begin;  // after the start tag's `>`
  std::uint32_t content_end;    // the `<` of the end tag; end when there is none
  std::uint32_t end;            // after the end tag (or a self-closing start tag); the
                                // input's length for an element never closed
};

// Where element stands in input (the buffer it was read from), for a read
// that reports the places of its values; value and parent are left null.
[[nodiscard]] QorvcfgValueSpan SpanOfElement(const MarkupElement *element, const char *input);

// Elements come from an arena that is rewound as children of the root are
// converted, so memory follows the largest child rather than the input.
class ElementArena {
 public:
  ElementArena() = default;
  ElementArena(const ElementArena &) = delete;
  ElementArena &operator=(const ElementArena &) = delete;
  ~ElementArena();
  // An element whose fields the caller sets; null when memory runs out.
  [[nodiscard]] MarkupElement *New() { return next_ != end_ ? next_++ : NewInNextChunk(); }
  struct Chunk;
  struct Mark {
    Chunk *chunk;
    MarkupElement *next;
  };
  [[nodiscard]] Mark Now() const { return Mark{current_, next_}; }
  void Rewind(Mark mark);

 private:
  [[nodiscard]] MarkupElement *NewInNextChunk();

  Chunk *first_ = nullptr;
  Chunk *current_ = nullptr;
  MarkupElement *next_ = nullptr;  // the next free element of current_
  MarkupElement *end_ = nullptr;   // the end of current_'s elements
};

// Called with each complete child element of the first top-level element.
using ChildHandler = void (*)(void *context, const MarkupElement *child);

// Builds elements from tokens: start tags open elements (unless they end in
// `/>`), end tags close the innermost one whatever their name, comments
// (`<!--` up to the first `>`) and declarations (`<?`) are ignored, text
// outside the first top-level element is dropped, and nothing after that
// element is kept. With a handler each complete child of the root is handed
// over and then forgotten; without one the whole root stays for reading.
class TreeBuilder {
 public:
  TreeBuilder(ElementArena *arena, ChildHandler handler, void *context,
              ReadDiagnostics *diagnostics)
      : arena_(arena), handler_(handler), context_(context), diagnostics_(diagnostics) {}

  // Takes every token of source: Zel_OK at the end of the input, Zel_EINVAL
  // when it ends inside a tag, Zel_ENOMEM when an element cannot be made.
  [[nodiscard]] ResultCode Read(InputSource *source);
  // The input ended: hands over a child still open, reports what is open.
  void Finish();
  [[nodiscard]] const MarkupElement *Root() const { return root_; }

 private:
  [[nodiscard]] ResultCode Add(InputSource *source, const MarkupToken &token);
  void Text(char *text, const MarkupToken &token);
  void SpecialTag(const char *tag, const MarkupToken &token);
  void EndTag(const char *tag, const MarkupToken &token);
  void ReportEndTag(const char *tag, const MarkupToken &token);
  [[nodiscard]] ResultCode StartTag(const char *tag, const MarkupToken &token);
  void ChildComplete(MarkupElement *child);

  ElementArena *arena_;
  ChildHandler handler_;
  void *context_;
  ReadDiagnostics *diagnostics_;
  std::uint32_t input_length_ = 0;
  MarkupElement *root_ = nullptr;
  MarkupElement *current_ = nullptr;  // innermost open element of the root
  bool root_closed_ = false;
  std::uint32_t outside_depth_ = 0;  // open elements after the root
  ElementArena::Mark children_mark_{};
};

}  // namespace qorvcfg
