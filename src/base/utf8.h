// The length of a character as the reader cuts it.
#pragma once

#include <cstdint>

namespace qorvcfg {

// Bytes the reader takes as one character, from its lead byte: one below
// 0x80, two to six by the lead's high bits (110xxxxx to 1111110x), and two
// for any other byte with its top bit set (a continuation byte, 0xFE, 0xFF).
// The bytes after the lead are taken whatever they are.
[[nodiscard]] constexpr std::uint32_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC0 || lead >= 0xFE) return 2;
  return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : 6;
}

}  // namespace qorvcfg
