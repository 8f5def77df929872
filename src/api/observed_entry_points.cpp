// Reads that also report what they left out or repaired. Not exported from
// the shared library: the tool and the tests reach them through the core.
#include "api/observed_reads.h"
#include "base/read_diagnostics.h"
#include "qorvcfg_diagnostics.h"
#include "store/store.h"

using namespace qorvcfg;

namespace {
constexpr std::uint32_t kModeFile = 1;
constexpr std::uint32_t kModeText = 2;

void IgnoreDiagnostic(void *, const QorvcfgDiagnostic *) {}
}  // namespace

extern "C" {

ResultCode Qorvcfg_ConfigCreateObserved(const char *path, ConfigHandle **handle_out,
                                        QorvcfgDiagnosticFn observer, void *context) {
  if (observer == nullptr) return CreateConfigReporting(path, handle_out, nullptr);
  ReadDiagnostics diagnostics(observer, context);
  return CreateConfigReporting(path, handle_out, &diagnostics);
}

ResultCode Qorvcfg_ConfigReadObserved(const char *path, ConfigHandle *handle,
                                      QorvcfgDiagnosticFn observer, void *context) {
  if (observer == nullptr) return ReadConfigReporting(kModeFile, path, handle, nullptr);
  ReadDiagnostics diagnostics(observer, context);
  return ReadConfigReporting(kModeFile, path, handle, &diagnostics);
}

ResultCode Qorvcfg_ConfigReadFromDataObserved(const char *text, ConfigHandle *handle,
                                              QorvcfgDiagnosticFn observer, void *context) {
  if (observer == nullptr) return ReadConfigReporting(kModeText, text, handle, nullptr);
  ReadDiagnostics diagnostics(observer, context);
  return ReadConfigReporting(kModeText, text, handle, &diagnostics);
}

ResultCode Qorvcfg_ConfigReadFromDataSpans(const char *text, ConfigHandle *handle,
                                           QorvcfgDiagnosticFn observer, void *context,
                                           QorvcfgSpanFn spans, void *span_context) {
  if (spans == nullptr) return Zel_EINVAL;
  ReadDiagnostics diagnostics(observer != nullptr ? observer : &IgnoreDiagnostic, context);
  diagnostics.SetSpans(spans, span_context);
  return ReadConfigReporting(kModeText, text, handle, &diagnostics);
}

}  // extern "C"
