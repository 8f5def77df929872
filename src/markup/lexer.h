// The lexer, inline so that the tree builder takes its tokens without a call
// per token. It keeps masks of the next 64 bytes of input (where blanks end,
// where a plain tag name stops, where a text stops) and finds each boundary
// with one bit search; tags with quotes, blanks or UTF-8 sequences and the
// sequences in texts go on byte by byte in lexer.cpp.
//
// What holds: the lexer owns nothing and never allocates; its window only
// ever covers bytes of the input's buffer, padding included
// (kInputPadding >= kWindowSize). A token is a span of that buffer.
#pragma once

#include <cstdint>

#include "markup/byte_block.h"
#include "markup/markup.h"

namespace qorvcfg::lexer {

inline constexpr std::uint32_t kWindowSize = 64;
static_assert(kInputPadding >= kWindowSize, "a window may start at the end of the input");

// Reads the tag that starts with the `<` at start in full, quotes and
// sequences included; Zel_EINVAL when the input ends inside it.
[[nodiscard]] ResultCode LexTagInFull(const InputSource *source, std::uint32_t start,
                                      MarkupToken *out);
// Position after the character that starts at at (cut short at the end).
[[nodiscard]] std::uint32_t AfterCharacter(const InputSource *source, std::uint32_t at);

// Masks of the 64 bytes from base, bit i for the byte at base + i.
struct Window {
  std::uint32_t base;
  std::uint64_t not_blank;
  std::uint64_t name_stop;  // blanks and other control bytes, quotes, `>`, bytes above 0x7F
  std::uint64_t text_stop;  // `<` and bytes above 0x7F

  void Load(const char *data, std::uint32_t at) {
    base = at;
    not_blank = name_stop = text_stop = 0;
    for (std::uint32_t i = 0; i < kWindowSize; i += kByteBlockSize) {
      const ByteBlock block(data + at + i);
      not_blank |= std::uint64_t{block.NotBlank()} << i;
      name_stop |= std::uint64_t{block.NameStops()} << i;
      text_stop |= std::uint64_t{block.TextStops()} << i;
    }
  }
};

// Reads tokens from source; the source's position follows when the lexer
// goes away.
class Lexer {
 public:
  explicit Lexer(InputSource *source)
      : source_(source), position_(source->position), saved_tag_(source->saved_tag) {
    window_.Load(source->data, position_);
  }
  Lexer(const Lexer &) = delete;
  Lexer &operator=(const Lexer &) = delete;
  ~Lexer() {
    source_->position = position_;
    source_->saved_tag = saved_tag_;
  }

  // Zel_OK with the next token; Zel_EEOF when only blanks remain; Zel_EINVAL
  // when the input ends inside a tag.
  [[nodiscard]] ResultCode Next(MarkupToken *out) {
    std::uint32_t at = position_;
    if (saved_tag_) {
      saved_tag_ = false;
      at -= 1;  // the `<` that ended the text, which may read as zero by now
    } else {
      at = Find(&Window::not_blank, at);
      if (at >= source_->length) {
        position_ = source_->length;
        return Zel_EEOF;
      }
      if (source_->data[at] != '<') {
        Text(at, out);
        return Zel_OK;
      }
    }
    return Tag(at, out);
  }

 private:
  // The first position from at whose bit is set in mask; the end of the
  // input at the latest.
  [[nodiscard]] std::uint32_t Find(std::uint64_t Window::*mask, std::uint32_t at) {
    std::uint32_t offset = at - window_.base;
    for (;;) {
      if (offset < kWindowSize) {
        const std::uint64_t found = window_.*mask >> offset;
        if (found != 0) return at + static_cast<std::uint32_t>(__builtin_ctzll(found));
        at = window_.base + kWindowSize;
        if (at >= source_->length) return source_->length;
      }
      window_.Load(source_->data, at);
      offset = 0;
    }
  }

  // A text from its first character, which is neither blank nor `<`.
  void Text(std::uint32_t start, MarkupToken *out) {
    std::uint32_t at = start;
    for (;;) {
      at = Find(&Window::text_stop, at);
      if (at >= source_->length) {
        at = source_->length;
        break;
      }
      if (source_->data[at] == '<') {
        saved_tag_ = true;
        break;
      }
      at = AfterCharacter(source_, at);  // a lead byte takes its sequence along, even a `<`
    }
    *out = MarkupToken{TokenKind::kText, start, at - start, 0};
    position_ = saved_tag_ ? at + 1 : at;
  }

  // A tag from its `<`. One that is a name and `>` (`<name>`, `</name>`,
  // `<name/>`) is read here; any other is read in full.
  [[nodiscard]] ResultCode Tag(std::uint32_t start, MarkupToken *out) {
    const char *data = source_->data;
    // The zero byte after the input stops a name, so a `>` found lies inside.
    // A `/` is no stop: the search need not wait to know an end tag.
    const std::uint32_t end = Find(&Window::name_stop, start + 1);
    if (end < source_->length && data[end] == '>') {
      const std::uint32_t name = start + 1 + (data[start + 1] == '/' ? 1 : 0);
      std::uint32_t name_length = end - name;
      if (name_length > 0 && data[end - 1] == '/') --name_length;
      *out = MarkupToken{TokenKind::kTag, start, end + 1 - start, name_length};
    } else if (const ResultCode result = LexTagInFull(source_, start, out); result != Zel_OK) {
      position_ = source_->length;
      return result;
    }
    position_ = out->offset + out->length;
    return Zel_OK;
  }

  InputSource *source_;
  std::uint32_t position_;
  bool saved_tag_;
  Window window_;
};

}  // namespace qorvcfg::lexer
