// The writer's output: bytes collect in one heap block and go to the file in
// large pieces. A failed write of a piece is ignored and writing goes on.
//
// What holds: the buffer borrows its block (kOutputBlockSize bytes) and the
// file from the writer, which outlive it; at most kOutputCapacity bytes wait
// to be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/assert.h"
#include "platform/platform.h"

namespace qorvcfg::writer {

// Bytes collected before a write to the file.
inline constexpr std::size_t kOutputCapacity = 128 * 1024;
// Room past the capacity, so that a piece of at most kOverCopy bytes may be
// copied whole even where only part of it counts.
inline constexpr std::size_t kOverCopy = 128;
inline constexpr std::size_t kOutputBlockSize = kOutputCapacity + kOverCopy;

class OutputBuffer {
 public:
  // block holds kOutputBlockSize bytes and outlives the buffer.
  OutputBuffer(platform::FileHandle file, char *block)
      : file_(file), begin_(block), at_(block), limit_(block + kOutputCapacity) {}
  OutputBuffer(const OutputBuffer &) = delete;
  OutputBuffer &operator=(const OutputBuffer &) = delete;

  // Makes room for size bytes (size <= kOutputCapacity) and gives where they
  // go. Up to kOverCopy bytes may be stored from there; Advance says how many
  // count.
  [[nodiscard]] char *Room(std::size_t size) {
    QORVCFG_ASSERT(size <= kOutputCapacity, "room for more than the buffer holds");
    if (size > static_cast<std::size_t>(limit_ - at_)) Flush();
    return at_;
  }
  void Advance(std::size_t size) {
    QORVCFG_ASSERT(size <= static_cast<std::size_t>(limit_ + kOverCopy - at_),
                   "advancing past the room made");
    at_ += size;
  }

  void Put(const char *bytes, std::size_t size) {
    if (size <= static_cast<std::size_t>(limit_ - at_)) {
      std::memcpy(at_, bytes, size);
      at_ += size;
      return;
    }
    PutLong(bytes, size);
  }

  // Writes what is collected.
  void Flush() {
    if (at_ != begin_) {
      (void)platform::WriteBytes(file_, begin_, static_cast<std::uint32_t>(at_ - begin_));
    }
    at_ = begin_;
  }

 private:
  void PutLong(const char *bytes, std::size_t size);

  platform::FileHandle file_;
  char *begin_;
  char *at_;
  char *limit_;
};

}  // namespace qorvcfg::writer
