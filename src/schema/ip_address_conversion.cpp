// Host names, dotted IPv4 and colon IPv6 addresses.
#include <cstring>

#include "base/text_copy.h"
#include "markup/markup.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The common address: four dotted groups of digits, each at most 255, and
// the end of the text; what the general parse makes of it, without first
// measuring the text. False for any other text, which the general parse
// then reads.
bool ParsePlainIpv4(const char *text, IpAddressValue *out) {
  std::uint8_t bytes[4];
  std::size_t at = 0;
  for (int group = 0; group < 4; ++group) {
    if (group > 0 && text[at++] != '.') return false;
    if (!IsDigit(text[at])) return false;
    std::uint32_t value = 0;
    for (; IsDigit(text[at]); ++at) {
      value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
      if (value > 255) return false;
    }
    bytes[group] = static_cast<std::uint8_t>(value);
  }
  if (text[at] != '\0') return false;
  out->form = Zel_IP_FORM_NUMERIC;
  out->family = Zel_IP_FAMILY_V4;
  std::memcpy(out->address, bytes, 4);
  return true;
}

}  // namespace

ResultCode ParseIpv4Text(const char *text, std::size_t length, std::size_t *end,
                         std::uint8_t out[4]) {
  std::size_t at = 0;
  std::uint8_t bytes[4] = {};
  for (int group = 0; group < 4; ++group) {
    if (group > 0) {
      if (at >= length || text[at] != '.') return Zel_EINVAL;
      ++at;
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    while (at < length && IsDigit(text[at])) {
      value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
      if (value > 255) return Zel_EINVAL;
      ++at;
      ++digits;
    }
    if (digits == 0) return Zel_EINVAL;
    bytes[group] = static_cast<std::uint8_t>(value);
  }
  std::memcpy(out, bytes, 4);
  *end = at;
  return Zel_OK;
}

ResultCode ParseIpv6Text(const char *text, std::size_t length, std::size_t *end,
                         std::uint8_t out[16]) {
  std::uint8_t bytes[16] = {};
  std::size_t at = 0;
  int slots = 0;
  int compression = -1;
  std::size_t last_end = 0;
  while (slots < 8) {
    const std::size_t run_start = at;
    std::uint32_t value = 0;
    while (at < length && HexValue(text[at]) >= 0 && at - run_start < 5) {
      value = value * 16 + static_cast<std::uint32_t>(HexValue(text[at]));
      ++at;
    }
    const std::size_t digits = at - run_start;
    if (digits > 4) break;  // a run of more than four digits ends the parse
    if (at >= length) {
      bytes[2 * slots] = static_cast<std::uint8_t>(value >> 8);
      bytes[2 * slots + 1] = static_cast<std::uint8_t>(value);
      ++slots;
      last_end = at;
      break;
    }
    if (text[at] != ':') break;
    if (digits == 0 && run_start != 0) {
      if (compression >= 0) break;
      compression = slots;
    }
    bytes[2 * slots] = static_cast<std::uint8_t>(value >> 8);
    bytes[2 * slots + 1] = static_cast<std::uint8_t>(value);
    ++slots;
    last_end = at;
    ++at;  // past the ':'
  }
  if (slots < 3) return Zel_EINVAL;
  if (compression < 0 && slots < 8) return Zel_EINVAL;
  if (compression >= 0 && slots == 8) return Zel_EINVAL;
  if (compression >= 0) {
    std::uint8_t moved[16] = {};
    std::memcpy(moved, bytes, 2 * (compression + 1));
    const int shift = 8 - slots;
    for (int j = compression + 1; j < slots; ++j) {
      moved[2 * (j + shift)] = bytes[2 * j];
      moved[2 * (j + shift) + 1] = bytes[2 * j + 1];
    }
    std::memcpy(bytes, moved, 16);
  }
  std::memcpy(out, bytes, 16);
  *end = last_end;
  return Zel_OK;
}

ResultCode ParseIpText(const char *text, IpAddressValue *out, bool borrow) {
  if (text == nullptr) return Zel_EINVAL;
  if (ParsePlainIpv4(text, out)) return Zel_OK;
  if (IsNameText(text) == Zel_OK) {
    char *copy = const_cast<char *>(text);
    if (!borrow && DuplicateText(text, &copy) != Zel_OK) return Zel_ENOMEM;
    out->form = Zel_IP_FORM_HOSTNAME;
    out->family = 0;
    out->host_name = copy;
    return Zel_OK;
  }
  const std::size_t length = std::strlen(text);
  std::size_t end = 0;
  std::uint8_t bytes[16] = {};
  if (ParseIpv4Text(text, length, &end, bytes) == Zel_OK) {
    if (end != length) return Zel_EINVAL;
    out->form = Zel_IP_FORM_NUMERIC;
    out->family = Zel_IP_FAMILY_V4;
    std::memcpy(out->address, bytes, 4);
    return Zel_OK;
  }
  if (ParseIpv6Text(text, length, &end, bytes) == Zel_OK && end == length) {
    out->form = Zel_IP_FORM_NUMERIC;
    out->family = Zel_IP_FAMILY_V6;
    std::memcpy(out->address, bytes, 16);
    return Zel_OK;
  }
  return Zel_EINVAL;
}

ResultCode ConvertIpAddress(const MarkupElement *element, ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr) return Zel_EINVAL;
  IpAddressValue value{};
  const ResultCode parsed = ParseIpText(text, &value, source != nullptr);
  if (parsed != Zel_OK) return parsed;
  ConvertedNode *node = NewNode(ValueKind::kIpAddress, source);
  if (node == nullptr) {
    if (source == nullptr) platform::Free(value.host_name);
    return Zel_ENOMEM;
  }
  node->value.ipaddr = value;
  *out = node;
  return Zel_OK;
}

}  // namespace qorvcfg
