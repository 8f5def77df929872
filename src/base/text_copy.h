// Text copies shared by every subsystem.
#pragma once

#include <cstddef>

#include "qorvcfg.h"

namespace qorvcfg {

// Copies a zero-terminated text, terminator included, into a new allocation
// of exactly that size. Zel_EINVAL for a null text or out, Zel_ENOMEM when
// the allocation fails (out untouched).
[[nodiscard]] ResultCode DuplicateText(const char *text, char **out);

// Copies length bytes and a terminating zero into a new allocation; null
// when memory runs out.
[[nodiscard]] char *CopyTextBytes(const char *bytes, std::size_t length);

}  // namespace qorvcfg
