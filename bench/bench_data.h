// The texts the benchmark reads: the bench definition and data of a given
// size, and the deep definition and data of the depth row.
#pragma once

#include <cstddef>
#include <string>

namespace qorvcfg::bench {

// A definition with a keyed structure item "server" (identifier "id" and six
// members), an address item "listen" and a few scalar items.
extern const char *const kDefinition;

// Data with the given numbers of structures and addresses and the scalars,
// laid out as the writer lays it out. Ascending, the structures come in the
// order of their identifiers and the addresses in address order, as a writer
// leaves them; shuffled, both come in a random order that is the same in every
// run and on every system, as a list kept by hand does.
enum class Order { kAscending, kShuffled };
struct DataText {
  std::string text;
  std::size_t values = 0;
};
[[nodiscard]] DataText MakeData(std::size_t structures, std::size_t addresses,
                                Order order = Order::kAscending);
// About the given number of values, nine in ten of them in structures.
[[nodiscard]] DataText MakeDataOfValues(std::size_t values, Order order = Order::kAscending);

// A definition of structures nested depth levels deep, an integer innermost.
[[nodiscard]] std::string MakeDeepDefinition(std::size_t depth);
// Data of structures nested depth levels deep in that definition.
[[nodiscard]] std::string MakeDeepData(std::size_t depth);

}  // namespace qorvcfg::bench
