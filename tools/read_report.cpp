#include "read_report.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qorvcfg_tool {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

void ReadReport::Observe(void *context, const QorvcfgDiagnostic *diagnostic) noexcept {
  auto *report = static_cast<ReadReport *>(context);
  try {
    report->diagnostics.push_back({report->file, diagnostic->kind, diagnostic->line,
                                   diagnostic->column,
                                   diagnostic->element ? diagnostic->element : "",
                                   diagnostic->message ? diagnostic->message : "",
                                   diagnostic->related_line, diagnostic->related_column, false});
  } catch (...) {
    // Out of memory: the diagnostic is lost, but the read goes on.
  }
}

std::size_t ReadReport::CountFor(const std::string &name) const {
  std::size_t count = 0;
  for (const Diagnostic &diagnostic : diagnostics) count += diagnostic.file == name;
  return count;
}

std::string DiagnosticLine(const Diagnostic &diagnostic) {
  std::string message = (diagnostic.warning ? "warning: " : "") + diagnostic.message;
  if (diagnostic.related_line != 0) {
    message += " (the earlier one is at line " + std::to_string(diagnostic.related_line) +
               ", column " + std::to_string(diagnostic.related_column) + ")";
  }
  if (diagnostic.line == 0) return diagnostic.file + ": " + message;
  return diagnostic.file + ":" + std::to_string(diagnostic.line) + ":" +
         std::to_string(diagnostic.column) + ": " + message;
}

const char *KindName(std::uint32_t kind) {
  static const char *const kNames[] = {
      "other",        "unknown_element",       "number_reached",   "not_converted",
      "duplicate",    "empty_structure",       "end_tag_mismatch", "unclosed_element",
      "outside_root", "comment_tag",           "no_root",          "unknown_type",
      "missing_name", "minimum_above_maximum", "default_replaced"};
  static const char *const kToolNames[] = {"unreadable_definition", "required_missing",
                                           "identifier_missing",    "root_name",
                                           "leading_zero",          "address_as_host"};
  if (kind >= kKindUnreadableDefinition &&
      kind - kKindUnreadableDefinition < sizeof kToolNames / sizeof kToolNames[0]) {
    return kToolNames[kind - kKindUnreadableDefinition];
  }
  return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "other";
}

std::size_t CountStartTags(std::string_view text) {
  std::size_t count = 0;
  std::size_t i = 0;
  while ((i = text.find('<', i)) != std::string_view::npos) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (next != '/' && next != '!' && next != '?') ++count;
    char quote = 0;
    for (++i; i < text.size(); ++i) {
      const char c = text[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
  }
  return count;
}

bool HasContent(std::string_view text) {
  for (char c : text) {
    if (!IsBlank(c)) return true;
  }
  return false;
}

namespace {

std::optional<std::string> ReadAll(std::FILE *file) {
  std::string bytes;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  if (std::ferror(file)) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string &path) {
#ifdef _WIN32
  int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  std::FILE *file = _wfopen(wide.c_str(), L"rb");
#else
  std::FILE *file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) return std::nullopt;
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> closer(file, &std::fclose);
  return ReadAll(file);
}

std::optional<std::string> ReadStandardInput() { return ReadAll(stdin); }

}  // namespace qorvcfg_tool
