// Markup reading: characters from a file or a text, tokens, the element tree
// and the one parse entry that drives them.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "qorvcfg.h"

namespace qorvcfg {

struct ElementDescriptor;
struct ConvertedNode;

// True for the end-of-input signal, whatever low bits it carries.
[[nodiscard]] constexpr bool IsEndOfInput(ResultCode result) {
  return (result & Zel_CODE_MASK) == Zel_EEOF;
}

// ---- Input source ---------------------------------------------------------
inline constexpr std::uint32_t kSourceBlockSize = 1024;

enum class SourceMode : std::uint32_t { kNone = 0, kFile = 1, kText = 2 };

// One character as read: the raw bytes of one UTF-8 sequence.
struct SourceChar {
  std::uint32_t length;
  unsigned char bytes[8];
};

struct Utf8LeadRow {
  std::uint32_t length;
  unsigned char mask;
  unsigned char value;
};
extern const Utf8LeadRow Utf8LeadTable[7];

struct InputSource {
  SourceMode mode;
  platform::FileHandle file;
  const unsigned char *data;
  unsigned char buffer[kSourceBlockSize];
  std::uint32_t at_end;
  std::int32_t position;
  std::int32_t available;
  SourceChar saved;  // the lexer's one-character look-ahead
};

void SourceInitFile(InputSource *source, platform::FileHandle file);
void SourceInitText(InputSource *source, const char *text);
[[nodiscard]] ResultCode SourceReadByte(InputSource *source, unsigned char *out);
[[nodiscard]] ResultCode SourceReadChar(InputSource *source, SourceChar *out);

// ---- Lexer ----------------------------------------------------------------
enum class TokenKind : std::uint32_t { kTag = 1, kText = 2, kHead = 999 };

struct MarkupToken {
  MarkupToken *next;
  MarkupToken *prev;
  TokenKind kind;
  std::uint32_t length;  // bytes of text including the terminating zero
  char *text;
};

// A list is its head token (kind 999); empty, it points at itself.
[[nodiscard]] MarkupToken *NewTokenList();
void AppendToken(MarkupToken *head, MarkupToken *token);
void FreeToken(MarkupToken *token);
void FreeTokenList(MarkupToken *head);

[[nodiscard]] ResultCode LexNextToken(InputSource *source, MarkupToken **out);

// ---- Element tree ---------------------------------------------------------
enum class ElementKind : std::uint32_t { kCleared = 0, kElement = 1, kText = 2 };

struct MarkupElement {
  MarkupElement *next;
  MarkupElement *parent;
  ElementKind kind;
  char *text;  // element name, or the text of a text node
  MarkupElement *first_child;
  MarkupElement *last_child;
};

[[nodiscard]] ResultCode BuildElementTree(const MarkupToken *head, MarkupElement **out_first);
[[nodiscard]] ResultCode FillElementFromToken(MarkupElement *node, const char *token_text);
[[nodiscard]] ResultCode AppendChild(MarkupElement *parent, MarkupElement *child);
void DetachFromParent(MarkupElement *node);
void ClearElement(MarkupElement *node);
void FreeElement(MarkupElement *node);
// Frees every element of a top-level chain with its subtree.
void FreeElementChain(MarkupElement *first);

// ---- Parse entry ----------------------------------------------------------
enum class ParseMode : std::uint32_t { kFile = 1, kText = 2 };

// Parses a file (mode 1, input is a UTF-8 path) or a text (mode 2) and
// converts the children of the first top-level element against grammar.
[[nodiscard]] ResultCode ParseMarkup(std::uint32_t mode, const char *input,
                                     const ElementDescriptor *grammar, ConvertedNode **out);

}  // namespace qorvcfg
