// Cuts the input into tag tokens (from `<` to the first `>` outside quotes)
// and text tokens (from the first non-blank character to the next `<`).
// A character is one UTF-8 sequence cut by its lead byte: a lead byte takes
// the bytes after it along, whatever they are, even `<`, `>` or a quote.
// Runs of plain bytes are skipped eight at a time.
#include <cstring>

#include "markup/markup.h"

namespace qorvcfg {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

bool IsBlankByte(unsigned char b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

// High bit set in each byte of word that equals b.
constexpr std::uint64_t BytesEqual(std::uint64_t word, unsigned char b) {
  const std::uint64_t x = word ^ (kOnes * b);
  return (x - kOnes) & ~x & kHighs;
}

std::uint64_t Load(const char *at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Position after the character that starts at at (cut short at the end).
std::uint32_t AfterCharacter(const InputSource *source, std::uint32_t at) {
  const std::uint32_t length = SequenceLength(static_cast<unsigned char>(source->data[at]));
  const std::uint32_t left = source->length - at;
  return at + (length < left ? length : left);
}

// The first position from at that holds a byte with its top bit set or one
// of the given delimiters; the length of the input when there is none. The
// lowest flagged byte of a word is exact; flags above it may be spurious.
template <unsigned char... kDelimiters>
std::uint32_t SkipPlain(const InputSource *source, std::uint32_t at) {
  const char *data = source->data;
  while (at + 8 <= source->length) {
    const std::uint64_t word = Load(data + at);
    const std::uint64_t found = (word & kHighs) | (BytesEqual(word, kDelimiters) | ...);
    if (found != 0) return at + static_cast<std::uint32_t>(__builtin_ctzll(found) / 8);
    at += 8;
  }
  while (at < source->length) {
    const auto b = static_cast<unsigned char>(data[at]);
    if ((b & 0x80) != 0 || ((b == kDelimiters) || ...)) return at;
    ++at;
  }
  return at;
}

// From the byte after `<`: the position after the ending `>`, or none.
ResultCode LexTag(InputSource *source, std::uint32_t start, MarkupToken *out) {
  unsigned char quote = 0;
  std::uint32_t at = start + 1;
  for (;;) {
    at = SkipPlain<'>', '\'', '"'>(source, at);
    if (at >= source->length) return Zel_EINVAL;  // the input ended inside the tag
    const auto b = static_cast<unsigned char>(source->data[at]);
    if ((b & 0x80) != 0) {
      at = AfterCharacter(source, at);
      continue;
    }
    ++at;
    if (quote != 0 && b == quote) {
      quote = 0;
    } else if (b == '\'' || b == '"') {
      quote = b;  // also takes the place of the other kind of quote
    } else if (quote == 0) {
      *out = MarkupToken{TokenKind::kTag, start, at - start};
      return Zel_OK;
    }
  }
}

void LexText(InputSource *source, std::uint32_t start, MarkupToken *out) {
  std::uint32_t at = start;
  for (;;) {
    at = SkipPlain<'<'>(source, at);
    if (at >= source->length) break;
    if (source->data[at] == '<') {
      source->saved_tag = true;
      break;
    }
    at = AfterCharacter(source, at);
  }
  *out = MarkupToken{TokenKind::kText, start, at - start};
  source->position = source->saved_tag ? at + 1 : at;
}

}  // namespace

ResultCode LexNextToken(InputSource *source, MarkupToken *out) {
  std::uint32_t at = source->position;
  if (source->saved_tag) {
    source->saved_tag = false;
    at -= 1;  // the `<` that ended the text
  } else {
    while (at < source->length && IsBlankByte(static_cast<unsigned char>(source->data[at]))) {
      ++at;
    }
    if (at >= source->length) {
      source->position = at;
      return Zel_EEOF;
    }
    if (source->data[at] != '<') {
      LexText(source, at, out);
      return Zel_OK;
    }
  }
  const ResultCode result = LexTag(source, at, out);
  source->position = result == Zel_OK ? out->offset + out->length : source->length;
  return result;
}

}  // namespace qorvcfg
