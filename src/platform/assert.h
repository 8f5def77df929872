// QORVCFG_ASSERT(condition, message): a precondition or invariant that the
// code relies on and no input can break.
//
// Checked in every build without NDEBUG: Debug, RelWithDebInfo as this
// project configures it, and so the sanitizer and Windows builds of the test
// command. Compiled out of Release, where the condition is not evaluated
// (though still compiled, so that it stays true to the code). A failed check
// prints where and why, then aborts.
#pragma once

namespace qorvcfg::platform {

[[noreturn]] void AssertionFailed(const char *file, int line, const char *condition,
                                  const char *message);

}  // namespace qorvcfg::platform

#if !defined(NDEBUG)
#define QORVCFG_ASSERT(condition, message) \
  ((condition) ? static_cast<void>(0)      \
               : ::qorvcfg::platform::AssertionFailed(__FILE__, __LINE__, #condition, message))
#else
#define QORVCFG_ASSERT(condition, message) static_cast<void>(sizeof((condition) ? 1 : 0))
#endif
