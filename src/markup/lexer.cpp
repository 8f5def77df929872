// Cuts the input into tag tokens (from `<` to the first `>` outside quotes)
// and text tokens (from the first non-blank character to the next `<`).
// A character is one UTF-8 sequence cut by its lead byte: a lead byte takes
// the bytes after it along, whatever they are, even `<`, `>` or a quote.
// The common paths are inline in markup/lexer.h; here are the rest.
#include "markup/lexer.h"

#include "base/utf8.h"

namespace qorvcfg {
namespace lexer {
namespace {

// The first position from at that holds `>`, a quote or a byte with its top
// bit set; the end of the input when there is none.
std::uint32_t FindTagStop(const InputSource *source, std::uint32_t at) {
  for (;;) {
    const std::uint32_t stops = ByteBlock(source->data + at).TagStops();
    if (stops != 0) {
      at += LowestBit(stops);
      return at < source->length ? at : source->length;
    }
    at += kByteBlockSize;
    if (at >= source->length) return source->length;
  }
}

bool IsBlankByte(unsigned char b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

// The name ends before the first blank, zero byte or `>`; a `/` right
// before that `>` is not part of it.
std::uint32_t NameLength(const char *name, std::uint32_t available) {
  std::uint32_t n = 0;
  while (n < available && name[n] != '\0' && name[n] != '>' &&
         !IsBlankByte(static_cast<unsigned char>(name[n]))) {
    ++n;
  }
  if (n < available && name[n] == '>' && n > 0 && name[n - 1] == '/') --n;
  return n;
}

}  // namespace

std::uint32_t AfterCharacter(const InputSource *source, std::uint32_t at) {
  const std::uint32_t length = SequenceLength(static_cast<unsigned char>(source->data[at]));
  const std::uint32_t left = source->length - at;
  return at + (length < left ? length : left);
}

ResultCode LexTagInFull(const InputSource *source, std::uint32_t start, MarkupToken *out) {
  unsigned char quote = 0;
  std::uint32_t at = start + 1;
  for (;;) {
    at = FindTagStop(source, at);
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
      const std::uint32_t name = start + 1 + (source->data[start + 1] == '/' ? 1 : 0);
      *out = MarkupToken{TokenKind::kTag, start, at - start,
                         NameLength(source->data + name, at - name)};
      return Zel_OK;
    }
  }
}

}  // namespace lexer

ResultCode LexNextToken(InputSource *source, MarkupToken *out) {
  lexer::Lexer lexer(source);
  return lexer.Next(out);
}

}  // namespace qorvcfg
