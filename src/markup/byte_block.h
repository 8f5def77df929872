// Sixteen bytes of markup looked at together: each test gives a mask with
// bit i set when byte i passes it, so that the lexer passes over runs of
// blanks, names and plain text a block at a time.
//
// What holds: a block is read from any position up to the end of the input,
// which the input buffer's zero padding makes safe. A block owns nothing.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qorvcfg {

inline constexpr std::uint32_t kByteBlockSize = 16;

// The index of the lowest set bit of a non-zero mask.
[[nodiscard]] inline std::uint32_t LowestBit(std::uint32_t mask) {
  return static_cast<std::uint32_t>(__builtin_ctz(mask));
}

#if defined(__SSE2__)

class ByteBlock {
 public:
  explicit ByteBlock(const char *at)
      : bytes_(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at))) {}

  // Bytes other than space, tab, line feed, vertical tab, form feed and
  // carriage return.
  [[nodiscard]] std::uint32_t NotBlank() const {
    const __m128i from_tab = _mm_sub_epi8(bytes_, _mm_set1_epi8('\t'));
    const __m128i tab_to_return =
        _mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8(4)), from_tab);
    return ~Mask(_mm_or_si128(tab_to_return, Equal(' '))) & 0xFFFFu;
  }
  // Bytes that may end a name: 0x00 to 0x20, quotes, `>` and bytes with the
  // top bit set (the lead and continuation bytes of UTF-8).
  [[nodiscard]] std::uint32_t NameStops() const {
    const __m128i control_space_or_high = _mm_cmplt_epi8(bytes_, _mm_set1_epi8(0x21));
    return Mask(_mm_or_si128(_mm_or_si128(control_space_or_high, Equal('>')),
                             _mm_or_si128(Equal('"'), Equal('\''))));
  }
  // Bytes that may end a text: `<` and bytes with the top bit set.
  [[nodiscard]] std::uint32_t TextStops() const { return Mask(_mm_or_si128(bytes_, Equal('<'))); }
  // Bytes that matter inside a tag: `>`, quotes and bytes with the top bit set.
  [[nodiscard]] std::uint32_t TagStops() const {
    return Mask(
        _mm_or_si128(_mm_or_si128(bytes_, Equal('>')), _mm_or_si128(Equal('"'), Equal('\''))));
  }

 private:
  [[nodiscard]] __m128i Equal(char c) const { return _mm_cmpeq_epi8(bytes_, _mm_set1_epi8(c)); }
  static std::uint32_t Mask(__m128i flags) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(flags));
  }
  __m128i bytes_;
};

#else

// The same tests a byte at a time, for targets without SSE2.
class ByteBlock {
 public:
  explicit ByteBlock(const char *at) {
    for (std::uint32_t i = 0; i < kByteBlockSize; ++i) {
      bytes_[i] = static_cast<unsigned char>(at[i]);
    }
  }
  [[nodiscard]] std::uint32_t NotBlank() const {
    return Mask([](unsigned char b) { return b != ' ' && (b < '\t' || b > '\r'); });
  }
  [[nodiscard]] std::uint32_t NameStops() const {
    return Mask([](unsigned char b) {
      return b <= 0x20 || b >= 0x80 || b == '>' || b == '"' || b == '\'';
    });
  }
  [[nodiscard]] std::uint32_t TextStops() const {
    return Mask([](unsigned char b) { return b == '<' || b >= 0x80; });
  }
  [[nodiscard]] std::uint32_t TagStops() const {
    return Mask([](unsigned char b) { return b >= 0x80 || b == '>' || b == '"' || b == '\''; });
  }

 private:
  template <typename Test>
  std::uint32_t Mask(Test test) const {
    std::uint32_t mask = 0;
    for (std::uint32_t i = 0; i < kByteBlockSize; ++i) {
      mask |= std::uint32_t{test(bytes_[i])} << i;
    }
    return mask;
  }
  unsigned char bytes_[kByteBlockSize];
};

#endif

}  // namespace qorvcfg
