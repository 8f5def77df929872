// Cuts the input into tag tokens (from `<` to the first `>` outside quotes)
// and text tokens (from the first non-blank character to the next `<`).
#include <cstring>

#include "markup/markup.h"

namespace qorvcfg {
namespace {

constexpr std::size_t kWorkStep = 1024;

bool IsBlank(const SourceChar &ch) {
  if (ch.length != 1) return false;
  const unsigned char b = ch.bytes[0];
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

bool IsByte(const SourceChar &ch, unsigned char b) { return ch.length == 1 && ch.bytes[0] == b; }

// Collects the bytes of one token; freed on every path.
class WorkBuffer {
 public:
  WorkBuffer() = default;
  WorkBuffer(const WorkBuffer &) = delete;
  WorkBuffer &operator=(const WorkBuffer &) = delete;
  ~WorkBuffer() { platform::Free(data_); }

  [[nodiscard]] bool Start() {
    data_ = static_cast<char *>(platform::Allocate(kWorkStep));
    capacity_ = data_ != nullptr ? kWorkStep : 0;
    return data_ != nullptr;
  }

  // Appends a character, growing so that it and a terminating zero fit.
  [[nodiscard]] bool Append(const SourceChar &ch) {
    if (size_ + ch.length + 1 > capacity_) {
      // Grows by whole steps of 1024 bytes, doubling so that long tokens
      // cost linear time.
      std::size_t wanted = capacity_ * 2;
      while (wanted < size_ + ch.length + 1) wanted += kWorkStep;
      auto *grown = static_cast<char *>(platform::Allocate(wanted));
      if (grown == nullptr) return false;
      std::memcpy(grown, data_, size_);
      platform::Free(data_);
      data_ = grown;
      capacity_ = wanted;
    }
    std::memcpy(data_ + size_, ch.bytes, ch.length);
    size_ += ch.length;
    return true;
  }

  // Gives the token its text in an allocation of exactly its length.
  [[nodiscard]] ResultCode Finish(MarkupToken *token, TokenKind kind) {
    char *text = static_cast<char *>(platform::Allocate(size_ + 1));
    if (text == nullptr) return Zel_ENOMEM;
    std::memcpy(text, data_, size_);
    text[size_] = '\0';
    token->kind = kind;
    token->length = static_cast<std::uint32_t>(size_ + 1);
    token->text = text;
    return Zel_OK;
  }

 private:
  char *data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

ResultCode LexTagToken(InputSource *source, MarkupToken *token) {
  WorkBuffer work;
  if (!work.Start()) return Zel_ENOMEM;
  SourceChar ch{};
  ch.length = 1;
  ch.bytes[0] = '<';
  if (!work.Append(ch)) return Zel_ENOMEM;
  unsigned char quote = 0;
  for (;;) {
    const ResultCode result = SourceReadChar(source, &ch);
    if (IsEndOfInput(result)) return Zel_EINVAL;  // unterminated tag
    if (result != Zel_OK) return result;
    bool ends = false;
    if (ch.length == 1) {
      const unsigned char b = ch.bytes[0];
      if (quote != 0 && b == quote) {
        quote = 0;
      } else if (b == '\'' || b == '"') {
        quote = b;
      } else if (quote == 0 && b == '>') {
        ends = true;
      }
    }
    if (!work.Append(ch)) return Zel_ENOMEM;
    if (ends) break;
  }
  return work.Finish(token, TokenKind::kTag);
}

// first is the text's first character; on success *ending holds the
// character that ended the text (a `<`), or is empty at the end of input.
ResultCode LexTextToken(InputSource *source, const SourceChar &first, MarkupToken *token,
                        SourceChar *ending) {
  WorkBuffer work;
  if (!work.Start()) return Zel_ENOMEM;
  SourceChar ch = first;
  *ending = SourceChar{};
  for (;;) {
    if (!work.Append(ch)) return Zel_ENOMEM;
    const ResultCode result = SourceReadChar(source, &ch);
    if (IsEndOfInput(result)) break;
    if (result != Zel_OK) return result;
    if (IsByte(ch, '<')) {
      *ending = ch;
      break;
    }
  }
  return work.Finish(token, TokenKind::kText);
}

}  // namespace

ResultCode LexNextToken(InputSource *source, MarkupToken **out) {
  SourceChar ch{};
  if (source->saved.length != 0) {
    ch = source->saved;
    source->saved = SourceChar{};
  } else {
    const ResultCode result = SourceReadChar(source, &ch);
    if (result != Zel_OK) return result;
  }
  while (IsBlank(ch)) {
    const ResultCode result = SourceReadChar(source, &ch);
    if (result != Zel_OK) return result;
  }
  auto *token = static_cast<MarkupToken *>(platform::AllocateZeroed(sizeof(MarkupToken)));
  if (token == nullptr) return Zel_ENOMEM;
  SourceChar lookahead{};
  const ResultCode result =
      IsByte(ch, '<') ? LexTagToken(source, token) : LexTextToken(source, ch, token, &lookahead);
  if (result != Zel_OK) {
    FreeToken(token);
    return result;
  }
  source->saved = lookahead;
  *out = token;
  return Zel_OK;
}

MarkupToken *NewTokenList() {
  auto *head = static_cast<MarkupToken *>(platform::AllocateZeroed(sizeof(MarkupToken)));
  if (head == nullptr) return nullptr;
  head->kind = TokenKind::kHead;
  head->next = head;
  head->prev = head;
  return head;
}

void AppendToken(MarkupToken *head, MarkupToken *token) {
  token->next = head;
  token->prev = head->prev;
  head->prev->next = token;
  head->prev = token;
}

void FreeToken(MarkupToken *token) {
  if (token == nullptr) return;
  if (token->next != nullptr && token->prev != nullptr && token->next->prev == token &&
      token->prev->next == token) {
    token->prev->next = token->next;
    token->next->prev = token->prev;
  }
  platform::Free(token->text);
  platform::Free(token);
}

void FreeTokenList(MarkupToken *head) {
  if (head == nullptr) return;
  while (head->next != head) FreeToken(head->next);
  platform::Free(head);
}

}  // namespace qorvcfg
