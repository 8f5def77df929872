#include "writer/output_buffer.h"

namespace qorvcfg::writer {

void OutputBuffer::PutLong(const char *bytes, std::size_t size) {
  while (size > 0) {
    if (at_ == limit_) Flush();
    std::size_t part = static_cast<std::size_t>(limit_ - at_);
    if (part > size) part = size;
    std::memcpy(at_, bytes, part);
    at_ += part;
    bytes += part;
    size -= part;
  }
}

}  // namespace qorvcfg::writer
