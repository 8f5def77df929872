#include "writer/value_to_text.h"

#include <array>
#include <cstring>

namespace qorvcfg::writer {
namespace {

// "00" to "99".
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// A byte in decimal without leading zeros: its length, then its digits.
constexpr std::array<std::array<char, 4>, 256> kByteDecimal = [] {
  std::array<std::array<char, 4>, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int at = 1;
    if (i >= 100) table[i][at++] = static_cast<char>('0' + i / 100);
    if (i >= 10) table[i][at++] = static_cast<char>('0' + i / 10 % 10);
    table[i][at++] = static_cast<char>('0' + i % 10);
    table[i][0] = static_cast<char>(at - 1);
  }
  return table;
}();

// A byte as two lower-case hexadecimal digits.
constexpr std::array<char, 512> kByteHex = [] {
  std::array<char, 512> table{};
  constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 256; ++i) {
    table[2 * i] = kDigits[i >> 4];
    table[2 * i + 1] = kDigits[i & 15];
  }
  return table;
}();

// The longest: "-9223372036854775808".
constexpr std::size_t kLongestInteger = 20;
// An IPv6 address with its mask.
constexpr std::size_t kLongestAddress = 79;

std::size_t DecimalDigits(std::uint64_t value) {
  std::size_t digits = 1;
  while (value >= 100) {
    value /= 100;
    digits += 2;
  }
  return value >= 10 ? digits + 1 : digits;
}

// Writes value in decimal at `at` (room for kLongestInteger bytes); gives
// the end.
char *Integer(char *at, std::int64_t value) {
  // Negated as unsigned, so the least value keeps its magnitude.
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) {
    *at++ = '-';
    magnitude = 0 - magnitude;
  }
  char *end = at + DecimalDigits(magnitude);
  char *digit = end;
  while (magnitude >= 100) {
    const std::size_t pair = static_cast<std::size_t>(magnitude % 100) * 2;
    magnitude /= 100;
    digit -= 2;
    std::memcpy(digit, &kDigitPairs[pair], 2);
  }
  if (magnitude >= 10) {
    digit -= 2;
    std::memcpy(digit, &kDigitPairs[static_cast<std::size_t>(magnitude) * 2], 2);
  } else {
    *--digit = static_cast<char>('0' + magnitude);
  }
  return end;
}

void PutInteger(OutputBuffer &out, std::int64_t value) {
  char *const start = out.Room(kLongestInteger);
  out.Advance(static_cast<std::size_t>(Integer(start, value) - start));
}

char *Dotted(char *at, const std::uint8_t *bytes) {
  for (int i = 0; i < 4; ++i) {
    if (i != 0) *at++ = '.';
    const auto &entry = kByteDecimal[bytes[i]];
    std::memcpy(at, &entry[1], 3);
    at += entry[0];
  }
  return at;
}

char *Colons(char *at, const std::uint8_t *bytes) {
  for (int i = 0; i < 16; i += 2) {
    if (i != 0) *at++ = ':';
    std::memcpy(at, &kByteHex[2 * bytes[i]], 2);
    std::memcpy(at + 2, &kByteHex[2 * bytes[i + 1]], 2);
    at += 4;
  }
  return at;
}

// The shortest form: groups without leading zeros, the longest run of two
// or more zero groups (the first of equal runs) as "::".
char *CompressedColons(char *at, const std::uint8_t *bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  unsigned groups[8];
  for (int i = 0; i < 8; ++i)
    groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  int run_start = -1, run_length = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > run_length) run_start = i, run_length = j - i;
    i = j > i ? j : i + 1;
  }
  for (int i = 0; i < 8; ++i) {
    if (i == run_start) {
      *at++ = ':';
      *at++ = ':';
      i += run_length - 1;
      continue;
    }
    if (i != 0 && at[-1] != ':') *at++ = ':';
    bool digits = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = groups[i] >> shift & 15;
      if (digit != 0 || digits || shift == 0) *at++ = kDigits[digit], digits = true;
    }
  }
  return at;
}

bool AnyNonZero(const std::uint8_t *bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return true;
  }
  return false;
}

void PutText(OutputBuffer &out, const char *text) {
  if (text != nullptr) out.Put(text, std::strlen(text));
}

void PutAddress(OutputBuffer &out, const IpAddressValue &ip) {
  if (ip.form == Zel_IP_FORM_HOSTNAME) {
    PutText(out, ip.host_name);
    return;
  }
  if (ip.form != Zel_IP_FORM_NUMERIC) return;
  if (ip.family != Zel_IP_FAMILY_V4 && ip.family != Zel_IP_FAMILY_V6) return;
  char *const start = out.Room(kLongestAddress);
  out.Advance(static_cast<std::size_t>(NumericAddress(start, ip, false) - start));
}

}  // namespace

char *NumericAddress(char *at, const IpAddressValue &ip, bool compressed) {
  const bool v4 = ip.family == Zel_IP_FAMILY_V4;
  auto six = compressed ? CompressedColons : Colons;
  at = v4 ? Dotted(at, ip.address) : six(at, ip.address);
  if (AnyNonZero(ip.mask, v4 ? 4 : 16)) {
    *at++ = '/';
    at = v4 ? Dotted(at, ip.mask) : six(at, ip.mask);
  }
  return at;
}

char *ValueText(char *at, const DataRecord &record, bool compressed, const char **text) {
  *text = nullptr;
  switch (record.type) {
    case Zel_TYPE_INTEGER:
      return Integer(at, record.payload.integer);
    case Zel_TYPE_STRING:
      *text = record.payload.text;
      return at;
    case Zel_TYPE_BOOLEAN:
      std::memcpy(at, record.payload.boolean != 0 ? "TRUE" : "FALSE", 5);
      return at + (record.payload.boolean != 0 ? 4 : 5);
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = record.payload.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) *text = ip.host_name;
      const bool numeric = ip.form == Zel_IP_FORM_NUMERIC &&
                           (ip.family == Zel_IP_FAMILY_V4 || ip.family == Zel_IP_FAMILY_V6);
      return numeric ? NumericAddress(at, ip, compressed) : at;
    }
    case Zel_TYPE_ENUMERATION:
      *text = record.payload.keyword;
      return at;
    default:
      return at;
  }
}

void PutValueText(OutputBuffer &out, const DataRecord &record) {
  switch (record.type) {
    case Zel_TYPE_INTEGER:
      PutInteger(out, record.payload.integer);
      break;
    case Zel_TYPE_STRING:
      PutText(out, record.payload.text);
      break;
    case Zel_TYPE_BOOLEAN:
      if (record.payload.boolean != 0) {
        out.Put("TRUE", 4);
      } else {
        out.Put("FALSE", 5);
      }
      break;
    case Zel_TYPE_IPADDR:
      PutAddress(out, record.payload.ipaddr);
      break;
    case Zel_TYPE_ENUMERATION:
      PutText(out, record.payload.keyword);
      break;
    default:
      break;
  }
}

}  // namespace qorvcfg::writer
