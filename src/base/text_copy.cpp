#include "base/text_copy.h"

#include <cstring>

#include "platform/platform.h"

namespace qorvcfg {

ResultCode DuplicateText(const char *text, char **out) {
  if (text == nullptr || out == nullptr) return Zel_EINVAL;
  char *copy = CopyTextBytes(text, std::strlen(text));
  if (copy == nullptr) return Zel_ENOMEM;
  *out = copy;
  return Zel_OK;
}

char *CopyTextBytes(const char *bytes, std::size_t length) {
  auto *copy = static_cast<char *>(platform::Allocate(length + 1));
  if (copy == nullptr) return nullptr;
  if (length != 0) std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace qorvcfg
