// Reports of what a read left out or repaired, with the position of the
// element in its input. Plain reads carry no reporter (a null pointer), so
// every report site costs one null check.
//
// What holds: a reporter never allocates. It owns the input it was handed
// with take, and frees it when it is destroyed or handed other input; input
// handed without take belongs to the caller and must outlive the reports
// made against it. A MessageText lives on the stack and never fails: what
// does not fit is cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "qorvcfg_diagnostics.h"

namespace qorvcfg {

// No position: the report is not about one place in the input.
inline constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;

// A one-line message built in a fixed buffer on the stack; what does not fit
// is cut and ends in "...".
class MessageText {
 public:
  MessageText() { buffer_[0] = '\0'; }
  MessageText &Add(std::string_view text);
  // Adds text in single quotes, cut after a few dozen bytes and at a line break.
  MessageText &AddQuoted(std::string_view text);
  MessageText &AddInteger(std::int64_t value);
  [[nodiscard]] const char *Text() const { return buffer_; }
  [[nodiscard]] bool Full() const { return full_; }

 private:
  static constexpr std::size_t kCapacity = 240;
  char buffer_[kCapacity + 4];
  std::size_t size_ = 0;
  bool full_ = false;
};

class ReadDiagnostics {
 public:
  ReadDiagnostics(QorvcfgDiagnosticFn observer, void *context)
      : observer_(observer), context_(context) {}
  ReadDiagnostics(const ReadDiagnostics &) = delete;
  ReadDiagnostics &operator=(const ReadDiagnostics &) = delete;
  ~ReadDiagnostics();

  // The bytes that offsets count from. With take, the reporter frees them
  // (through the platform heap) when it is destroyed, so that reports made
  // after the parse still find their lines.
  void SetInput(const char *bytes, std::uint32_t length, bool take);
  [[nodiscard]] const char *Input() const { return input_; }

  void Report(QorvcfgDiagnosticKind kind, std::uint32_t offset, std::string_view element,
              const char *message, std::uint32_t related_offset = kNoOffset);

  // Where the values of the read come from: spans is called with the root
  // element and with each element that became a value.
  void SetSpans(QorvcfgSpanFn spans, void *context) {
    spans_ = spans;
    spans_context_ = context;
  }
  [[nodiscard]] bool WantsSpans() const { return spans_ != nullptr; }
  void ReportSpan(const QorvcfgValueSpan &span) { spans_(spans_context_, &span); }

 private:
  struct Position {
    std::uint32_t line;
    std::uint32_t column;
  };
  // Lines are counted from the last position asked for, so that reports in
  // input order cost time linear in the input.
  Position At(std::uint32_t offset);

  QorvcfgDiagnosticFn observer_;
  void *context_;
  QorvcfgSpanFn spans_ = nullptr;
  void *spans_context_ = nullptr;
  const char *input_ = nullptr;
  std::uint32_t length_ = 0;
  bool owned_ = false;
  std::uint32_t cached_offset_ = 0;
  std::uint32_t cached_line_ = 1;
  std::uint32_t cached_line_start_ = 0;
};

}  // namespace qorvcfg
