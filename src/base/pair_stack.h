// Pairs still to compare when two nested things are compared without
// recursion.
#pragma once

#include "base/walk_stack.h"

namespace qorvcfg {

template <typename A, typename B>
class PairStack {
 public:
  // False when the stack could not grow.
  [[nodiscard]] bool Push(const A *a, const B *b) { return pairs_.Push(Pair{a, b}); }
  [[nodiscard]] bool Pop(const A **a, const B **b) {
    if (pairs_.Empty()) return false;
    const Pair top = pairs_.Pop();
    *a = top.a;
    *b = top.b;
    return true;
  }

 private:
  struct Pair {
    const A *a;
    const B *b;
  };
  WalkStack<Pair, 32> pairs_;
};

}  // namespace qorvcfg
