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
// laid out as the writer lays it out.
struct DataText {
  std::string text;
  std::size_t values = 0;
};
[[nodiscard]] DataText MakeData(std::size_t structures, std::size_t addresses);
// About the given number of values, nine in ten of them in structures.
[[nodiscard]] DataText MakeDataOfValues(std::size_t values);

// A definition of structures nested depth levels deep, an integer innermost.
[[nodiscard]] std::string MakeDeepDefinition(std::size_t depth);
// Data of structures nested depth levels deep in that definition.
[[nodiscard]] std::string MakeDeepData(std::size_t depth);

}  // namespace qorvcfg::bench
