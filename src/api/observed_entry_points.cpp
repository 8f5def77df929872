// Reads that also report what they left out or repaired. Not exported from
// the shared library: the tool and the tests reach them through the core.
#include "qorvcfg_diagnostics.h"

extern "C" {

// For now the observer is not called: the reads answer exactly as the plain
// functions, and report nothing.
ResultCode Qorvcfg_ConfigCreateObserved(const char *path, ConfigHandle **handle_out,
                                        QorvcfgDiagnosticFn /*observer*/, void * /*context*/) {
  return Zel_ConfigCreate(path, handle_out);
}

ResultCode Qorvcfg_ConfigReadObserved(const char *path, ConfigHandle *handle,
                                      QorvcfgDiagnosticFn /*observer*/, void * /*context*/) {
  return Zel_ConfigRead(path, handle);
}

ResultCode Qorvcfg_ConfigReadFromDataObserved(const char *text, ConfigHandle *handle,
                                              QorvcfgDiagnosticFn /*observer*/,
                                              void * /*context*/) {
  return Zel_ConfigReadFromData(text, handle);
}

}  // extern "C"
