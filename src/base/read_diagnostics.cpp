// Formats and delivers read diagnostics without touching the heap.
#include "base/read_diagnostics.h"

#include <cstring>

#include "platform/platform.h"

namespace qorvcfg {

MessageText &MessageText::Add(std::string_view text) {
  for (const char c : text) {
    if (size_ == kCapacity) {
      if (!full_) std::memcpy(buffer_ + kCapacity - 3, "...", 3);
      full_ = true;
      break;
    }
    buffer_[size_++] = c;
  }
  buffer_[size_] = '\0';
  return *this;
}

MessageText &MessageText::AddQuoted(std::string_view text) {
  constexpr std::size_t kShown = 48;
  std::size_t shown = 0;
  while (shown < text.size() && shown < kShown && text[shown] != '\n' && text[shown] != '\r') {
    ++shown;
  }
  Add("'").Add(text.substr(0, shown));
  if (shown < text.size()) Add("...");
  return Add("'");
}

MessageText &MessageText::AddInteger(std::int64_t value) {
  char digits[24];
  std::size_t n = 0;
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[n++] = '-';
  char text[24];
  for (std::size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  return Add(std::string_view(text, n));
}

ReadDiagnostics::~ReadDiagnostics() {
  if (owned_) platform::Free(const_cast<char *>(input_));
}

void ReadDiagnostics::SetInput(const char *bytes, std::uint32_t length, bool take) {
  if (owned_) platform::Free(const_cast<char *>(input_));
  input_ = bytes;
  length_ = length;
  owned_ = take;
  cached_offset_ = 0;
  cached_line_ = 1;
  cached_line_start_ = 0;
}

ReadDiagnostics::Position ReadDiagnostics::At(std::uint32_t offset) {
  if (input_ == nullptr || offset == kNoOffset) return Position{0, 0};
  if (offset > length_) offset = length_;
  if (offset >= cached_offset_) {
    for (std::uint32_t i = cached_offset_; i < offset; ++i) {
      if (input_[i] == '\n') {
        ++cached_line_;
        cached_line_start_ = i + 1;
      }
    }
  } else {
    for (std::uint32_t i = offset; i < cached_offset_; ++i) cached_line_ -= input_[i] == '\n';
    cached_line_start_ = offset;
    while (cached_line_start_ > 0 && input_[cached_line_start_ - 1] != '\n') --cached_line_start_;
  }
  cached_offset_ = offset;
  return Position{cached_line_, offset - cached_line_start_ + 1};
}

void ReadDiagnostics::Report(QorvcfgDiagnosticKind kind, std::uint32_t offset,
                             std::string_view element, const char *message,
                             std::uint32_t related_offset) {
  // The element name is handed out zero-terminated, cut to what fits.
  char name[128];
  const std::size_t n = element.size() < sizeof name - 1 ? element.size() : sizeof name - 1;
  if (n != 0) std::memcpy(name, element.data(), n);
  name[n] = '\0';
  const Position related = At(related_offset);
  const Position at = At(offset);
  QorvcfgDiagnostic record{};
  record.kind = kind;
  record.line = at.line;
  record.column = at.column;
  record.related_line = related.line;
  record.related_column = related.column;
  record.element = element.data() != nullptr ? name : nullptr;
  record.message = message;
  observer_(context_, &record);
}

}  // namespace qorvcfg
