// Runs work on a thread of its own with a stack of a given size, for tests
// that prove a walk takes no stack in proportion to nesting depth.
#pragma once

#include <cstddef>
#include <functional>

namespace qorvcfg::test {

// Starts a thread whose stack holds stack_size bytes, runs work on it and
// waits for it to end.
void RunOnStack(std::size_t stack_size, const std::function<void()> &work);

}  // namespace qorvcfg::test
