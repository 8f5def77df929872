// Pairs still to compare when two nested things are compared without
// recursion: a few in place, more on the heap.
#pragma once

#include <cstddef>
#include <cstring>

#include "platform/platform.h"

namespace qorvcfg {

template <typename A, typename B>
class PairStack {
 public:
  PairStack() = default;
  PairStack(const PairStack &) = delete;
  PairStack &operator=(const PairStack &) = delete;
  ~PairStack() {
    if (pairs_ != in_place_) platform::Free(pairs_);
  }
  // False when the stack could not grow.
  [[nodiscard]] bool Push(const A *a, const B *b) {
    if (size_ == capacity_) {
      auto *grown = static_cast<Pair *>(platform::Allocate(2 * capacity_ * sizeof(Pair)));
      if (grown == nullptr) return false;
      std::memcpy(grown, pairs_, size_ * sizeof(Pair));
      if (pairs_ != in_place_) platform::Free(pairs_);
      pairs_ = grown;
      capacity_ *= 2;
    }
    pairs_[size_++] = Pair{a, b};
    return true;
  }
  [[nodiscard]] bool Pop(const A **a, const B **b) {
    if (size_ == 0) return false;
    --size_;
    *a = pairs_[size_].a;
    *b = pairs_[size_].b;
    return true;
  }

 private:
  struct Pair {
    const A *a;
    const B *b;
  };
  Pair in_place_[32];
  Pair *pairs_ = in_place_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 32;
};

}  // namespace qorvcfg
