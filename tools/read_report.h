// What a read left out or repaired: the library's diagnostics, gathered per
// file, and a count of the elements in a data file to check them against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qorvcfg_diagnostics.h"

namespace qorvcfg_tool {

// Kinds of the tool's own, after the library's.
enum ToolKind : std::uint32_t {
  kKindUnreadableDefinition = 100,  // every read of data would fail
  kKindRequiredMissing,             // a required item without a value
  kKindIdentifierMissing,           // a structure value without its identifier
  kKindRootName,                    // a root element not named config
  kKindLeadingZero,                 // an integer read as octal
  kKindAddressAsHost,               // an address text read as a host name
};

struct Diagnostic {
  std::string file;
  std::uint32_t kind = 0;
  std::uint32_t line = 0;
  std::uint32_t column = 0;
  std::string element;
  std::string message;
  std::uint32_t related_line = 0;  // a duplicate's earlier sibling
  std::uint32_t related_column = 0;
  bool warning = false;  // accepted by reading, but likely a mistake
};

// Gathers the diagnostics of reads; pass Observer() and this to the
// library's observed reads after setting file.
class ReadReport {
 public:
  std::string file;  // the name the next diagnostics are filed under
  std::vector<Diagnostic> diagnostics;

  static QorvcfgDiagnosticFn Observer() { return &Observe; }

  // Adds a diagnostic of the tool's own.
  void Add(std::string message) { diagnostics.push_back({file, 0, 0, 0, {}, std::move(message)}); }

  // How many diagnostics are about file.
  [[nodiscard]] std::size_t CountFor(const std::string &name) const;

 private:
  static void Observe(void *context, const QorvcfgDiagnostic *diagnostic) noexcept;
};

// "FILE:LINE:COL: message", or "FILE: message" without a position; a
// warning says so before the message, a duplicate where its earlier sibling
// is after it.
std::string DiagnosticLine(const Diagnostic &diagnostic);

// "unknown_element", "number_reached", ...
const char *KindName(std::uint32_t kind);

// The elements that reading a data text meets, root included: every tag that
// begins with '<' and a byte other than '/', '!' or '?', a tag running to
// the first '>' outside quotes. Each element that reading keeps is a value
// (or the root), so a count above the values plus one means that reading
// left something out.
[[nodiscard]] std::size_t CountStartTags(std::string_view text);

// Whether text holds anything but white space.
[[nodiscard]] bool HasContent(std::string_view text);

// The whole file, or nothing when it cannot be read. path is UTF-8.
std::optional<std::string> ReadWholeFile(const std::string &path);

// All of standard input, or nothing when it cannot be read.
std::optional<std::string> ReadStandardInput();

}  // namespace qorvcfg_tool
