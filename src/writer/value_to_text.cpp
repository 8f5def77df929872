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

void PutInteger(OutputBuffer &out, std::int64_t value) {
  char *at = out.Room(kLongestInteger);
  char *const start = at;
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
  out.Advance(static_cast<std::size_t>(end - start));
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
  const bool v4 = ip.family == Zel_IP_FAMILY_V4;
  if (!v4 && ip.family != Zel_IP_FAMILY_V6) return;
  char *const start = out.Room(kLongestAddress);
  char *at = v4 ? Dotted(start, ip.address) : Colons(start, ip.address);
  if (AnyNonZero(ip.mask, v4 ? 4 : 16)) {
    *at++ = '/';
    at = v4 ? Dotted(at, ip.mask) : Colons(at, ip.mask);
  }
  out.Advance(static_cast<std::size_t>(at - start));
}

}  // namespace

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
