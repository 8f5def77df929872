// The explicit stack of a walk that must not recurse: the first frames in
// place, more on the platform heap, growing by doubling. Frames are plain
// records, moved with memcpy.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/platform.h"

namespace qorvcfg {

template <typename Frame, std::size_t kInPlace>
class WalkStack {
  static_assert(std::is_trivially_copyable_v<Frame> && kInPlace > 0);

 public:
  WalkStack() = default;
  WalkStack(const WalkStack &) = delete;
  WalkStack &operator=(const WalkStack &) = delete;
  ~WalkStack() {
    if (frames_ != in_place_) platform::Free(frames_);
  }

  // A new top frame to fill in, or null when the stack could not grow.
  [[nodiscard]] Frame *Push() {
    if (size_ == capacity_) {
      const std::size_t grown = capacity_ * 2;
      auto *fresh = static_cast<Frame *>(platform::Allocate(grown * sizeof(Frame)));
      if (fresh == nullptr) return nullptr;
      std::memcpy(static_cast<void *>(fresh), frames_, size_ * sizeof(Frame));
      if (frames_ != in_place_) platform::Free(frames_);
      frames_ = fresh;
      capacity_ = grown;
    }
    return &frames_[size_++];
  }
  [[nodiscard]] bool Push(const Frame &frame) {
    Frame *top = Push();
    if (top == nullptr) return false;
    *top = frame;
    return true;
  }
  [[nodiscard]] std::size_t Size() const { return size_; }
  [[nodiscard]] bool Empty() const { return size_ == 0; }
  [[nodiscard]] Frame &Top() { return frames_[size_ - 1]; }
  Frame Pop() { return frames_[--size_]; }

 private:
  Frame in_place_[kInPlace];
  Frame *frames_ = in_place_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kInPlace;
};

}  // namespace qorvcfg
