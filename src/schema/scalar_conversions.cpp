// Names, integers, strings, booleans and keywords, with the text helpers
// they rest on.
#include <cstring>

#include "base/text_copy.h"
#include "markup/markup.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

bool IsBlankByte(unsigned char b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}
bool IsLetter(unsigned char b) { return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'); }
bool IsDigit(unsigned char b) { return b >= '0' && b <= '9'; }

std::uint32_t DigitValue(unsigned char b) {
  if (IsDigit(b)) return b - '0';
  if (b >= 'a' && b <= 'z') return b - 'a' + 10;
  return b - 'A' + 10;
}

bool OutsideBounds(std::int64_t value, const ConstraintRecord *bounds) {
  return bounds != nullptr && (value < bounds->minimum || value > bounds->maximum);
}

// A node holding text: a copy, or the text itself with a source.
ResultCode TextNode(ValueKind kind, const char *text, ConvertedNode **out, NodeSource *source) {
  ConvertedNode *node = NewNode(kind, source);
  if (node == nullptr) return Zel_ENOMEM;
  if (SetNodeText(node, text, source) != Zel_OK) {
    DiscardNode(node, source);
    return Zel_ENOMEM;
  }
  *out = node;
  return Zel_OK;
}

std::int64_t TextLength(const char *text) { return static_cast<std::int64_t>(std::strlen(text)); }

// The common integer: a decimal number without sign, blanks or leading zero,
// short enough that it cannot overflow. False for any other text, which the
// general parse then reads with all its rules.
bool ParsePlainDecimal(const char *text, std::int64_t *value) {
  if (text[0] < '1' || text[0] > '9') return false;
  std::uint64_t v = 0;
  std::size_t at = 0;
  for (; text[at] >= '0' && text[at] <= '9'; ++at) {
    if (at == 18) return false;
    v = v * 10 + static_cast<std::uint64_t>(text[at] - '0');
  }
  if (text[at] != '\0') return false;
  *value = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace

ResultCode IsNameText(const char *text) {
  if (text == nullptr || text[0] == '\0') return Zel_EINVAL;
  const auto first = static_cast<unsigned char>(text[0]);
  if (IsLetter(first)) return Zel_OK;
  if (first != '_') return Zel_EINVAL;
  for (const char *p = text + 1; *p != '\0'; ++p) {
    if (*p != '_') return Zel_EINVAL;
  }
  return Zel_OK;
}

ResultCode ParseUnsignedText(const char *text, std::size_t length, std::uint32_t base,
                             std::uint64_t *magnitude) {
  const auto *bytes = reinterpret_cast<const unsigned char *>(text);
  std::size_t at = 0;
  std::uint64_t value = 0;
  while (at < length && IsBlankByte(bytes[at])) ++at;
  if (at < length && (IsLetter(bytes[at]) || IsDigit(bytes[at]))) {
    while (at < length && (IsLetter(bytes[at]) || IsDigit(bytes[at]))) {
      const std::uint32_t digit = DigitValue(bytes[at]);
      if (digit >= base) return Zel_EINVAL;
      std::uint64_t next = 0;
      if (__builtin_mul_overflow(value, static_cast<std::uint64_t>(base), &next) ||
          __builtin_add_overflow(next, static_cast<std::uint64_t>(digit), &next)) {
        return Zel_ERANGE;
      }
      value = next;
      ++at;
    }
  }
  while (at < length && IsBlankByte(bytes[at])) ++at;
  *magnitude = value;
  return bytes[at] == '\0' ? Zel_OK : Zel_EINVAL;
}

ResultCode ParseSignedText(const char *text, std::size_t length, std::int64_t *value) {
  std::size_t at = 0;
  while (at < length && IsBlankByte(static_cast<unsigned char>(text[at]))) ++at;
  std::uint32_t base = 10;
  bool negative = false;
  if (at < length) {
    if (text[at] == '0') {
      ++at;
      if (at == length) {
        base = 10;
      } else if (text[at] == 'x' || text[at] == 'X') {
        ++at;
        base = 16;
      } else {
        base = 8;
      }
    }
    if (base == 10 && at < length) {
      if (text[at] == '+') {
        ++at;
      } else if (text[at] == '-') {
        ++at;
        negative = true;
      }
    }
  }
  std::uint64_t magnitude = 0;
  const ResultCode parsed = ParseUnsignedText(text + at, length - at, base, &magnitude);
  if (parsed == Zel_ERANGE) return Zel_ERANGE;
  constexpr std::uint64_t kLimit = 0x8000000000000000ull;  // 2^63
  if (negative ? magnitude > kLimit : magnitude > kLimit - 1) return Zel_ERANGE;
  *value =
      negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return parsed;
}

ResultCode ParseBooleanWord(const char *text, std::uint32_t *value) {
  if (text == nullptr) return Zel_EINVAL;
  // The whole text, letters in either case, against a lower-case word.
  auto matches = [text](const char *word) {
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
      if ((static_cast<unsigned char>(text[i]) | 0x20) != static_cast<unsigned char>(word[i])) {
        return false;
      }
    }
    return text[i] == '\0';
  };
  if (matches("true")) {
    *value = 1;
    return Zel_OK;
  }
  if (matches("false")) {
    *value = 0;
    return Zel_OK;
  }
  return Zel_EINVAL;
}

ResultCode ConvertName(const MarkupElement *element, const ConstraintRecord *bounds,
                       ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr || IsNameText(text) != Zel_OK) return Zel_EINVAL;
  if (OutsideBounds(TextLength(text), bounds)) return Zel_ERANGE;
  return TextNode(ValueKind::kName, text, out, source);
}

ResultCode ConvertInteger(const MarkupElement *element, const ConstraintRecord *bounds,
                          ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr) return Zel_EINVAL;
  std::int64_t value = 0;
  if (!ParsePlainDecimal(text, &value)) {
    const ResultCode parsed = ParseSignedText(text, std::strlen(text), &value);
    if (parsed != Zel_OK) return parsed;
  }
  if (OutsideBounds(value, bounds)) return Zel_ERANGE;
  ConvertedNode *node = NewNode(ValueKind::kInteger, source);
  if (node == nullptr) return Zel_ENOMEM;
  node->value.integer = value;
  *out = node;
  return Zel_OK;
}

ResultCode ConvertString(const MarkupElement *element, const ConstraintRecord *bounds,
                         ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr) return Zel_EINVAL;
  if (OutsideBounds(TextLength(text), bounds)) return Zel_ERANGE;
  return TextNode(ValueKind::kString, text, out, source);
}

ResultCode ConvertBoolean(const MarkupElement *element, ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  std::uint32_t value = 0;
  if (text == nullptr || ParseBooleanWord(text, &value) != Zel_OK) return Zel_EINVAL;
  ConvertedNode *node = NewNode(ValueKind::kBoolean, source);
  if (node == nullptr) return Zel_ENOMEM;
  node->value.boolean = value;
  *out = node;
  return Zel_OK;
}

ResultCode ConvertKeyword(const MarkupElement *element, const KeywordEntry *words,
                          ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr || IsNameText(text) != Zel_OK) return Zel_EINVAL;
  const KeywordEntry *entry = words;
  while (entry != nullptr && std::strcmp(entry->keyword, text) != 0) entry = entry->next;
  if (entry == nullptr) return Zel_ENOTFOUND;
  return TextNode(ValueKind::kKeyword, text, out, source);
}

}  // namespace qorvcfg
