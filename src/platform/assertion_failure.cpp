// Where a failed QORVCFG_ASSERT ends: one line on the standard error, then
// an abort, which a debugger or the sanitizers stop at.
#include <cstdio>
#include <cstdlib>

#include "platform/assert.h"

namespace qorvcfg::platform {

void AssertionFailed(const char *file, int line, const char *condition, const char *message) {
  std::fprintf(stderr, "%s:%d: qorvcfg assertion failed: %s (%s)\n", file, line, message,
               condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace qorvcfg::platform
