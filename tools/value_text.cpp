#include "value_text.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace qorvcfg_tool {
namespace {

struct CodeName {
  ResultCode code;
  const char *name;
};

constexpr CodeName kCodeNames[] = {
    {Zel_OK, "Zel_OK"},           {Zel_ESYSTEM, "Zel_ESYSTEM"},   {Zel_EEOF, "Zel_EEOF"},
    {Zel_ENOMEM, "Zel_ENOMEM"},   {Zel_EBUSY, "Zel_EBUSY"},       {Zel_EINVAL, "Zel_EINVAL"},
    {Zel_ENOENT, "Zel_ENOENT"},   {Zel_EEXIST, "Zel_EEXIST"},     {Zel_ENOTFOUND, "Zel_ENOTFOUND"},
    {Zel_EBADTAG, "Zel_EBADTAG"}, {Zel_EFOREIGN, "Zel_EFOREIGN"}, {Zel_ERANGE, "Zel_ERANGE"},
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The data file's rule for host names: a text that begins with a letter, or
// one made of underscores only.
bool IsHostName(std::string_view text) {
  if (text.empty()) return false;
  if (IsLetter(text[0])) return true;
  return text.find_first_not_of('_') == std::string_view::npos;
}

template <typename T>
bool ParseWhole(std::string_view text, int base, T *out) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseIpv4(std::string_view text, std::uint8_t *out) {
  for (int group = 0; group < 4; ++group) {
    std::size_t end = group < 3 ? text.find('.') : text.size();
    unsigned value = 0;
    if (end == std::string_view::npos || end > 3 || !ParseWhole(text.substr(0, end), 10, &value) ||
        value > 255) {
      return false;
    }
    out[group] = static_cast<std::uint8_t>(value);
    text.remove_prefix(group < 3 ? end + 1 : end);
  }
  return true;
}

// Colon groups of up to four hex digits, at most one "::".
bool ParseIpv6(std::string_view text, std::uint8_t *out) {
  auto groups = [](std::string_view part, std::uint16_t *values, int *count) {
    while (!part.empty()) {
      std::size_t end = part.find(':');
      std::string_view group = part.substr(0, end);
      if (*count == 8 || group.size() > 4 || !ParseWhole(group, 16, &values[*count])) return false;
      ++*count;
      if (end == std::string_view::npos) return true;
      part.remove_prefix(end + 1);
      if (part.empty()) return false;  // a trailing single colon
    }
    return true;
  };
  std::uint16_t head[8] = {}, tail[8] = {};
  int head_count = 0, tail_count = 0;
  std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!groups(text, head, &head_count) || head_count != 8) return false;
  } else {
    std::string_view after = text.substr(gap + 2);
    if (after.find("::") != std::string_view::npos ||
        !groups(text.substr(0, gap), head, &head_count) || !groups(after, tail, &tail_count) ||
        head_count + tail_count > 7) {
      return false;
    }
  }
  std::uint16_t all[8] = {};
  for (int i = 0; i < head_count; ++i) all[i] = head[i];
  for (int i = 0; i < tail_count; ++i) all[8 - tail_count + i] = tail[i];
  for (int i = 0; i < 8; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(all[i] >> 8);
    out[2 * i + 1] = static_cast<std::uint8_t>(all[i]);
  }
  return true;
}

// A mask in the address's own notation, or a prefix length.
bool ParseMask(std::string_view text, std::uint16_t family, std::uint8_t *out) {
  unsigned bits = 0;
  unsigned width = family == Zel_IP_FAMILY_V4 ? 32 : 128;
  if (text.size() <= 3 && ParseWhole(text, 10, &bits)) {
    if (bits > width) return false;
    for (unsigned i = 0; i < bits; ++i) out[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
    return true;
  }
  return family == Zel_IP_FAMILY_V4 ? ParseIpv4(text, out) : ParseIpv6(text, out);
}

std::string AddressText(std::uint16_t family, const std::uint8_t *bytes) {
  char buffer[48];
  if (family == Zel_IP_FAMILY_V4) {
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return buffer;
  }
  std::string text;
  for (int i = 0; i < 16; i += 2) {
    std::snprintf(buffer, sizeof buffer, "%s%02x%02x", i ? ":" : "", bytes[i], bytes[i + 1]);
    text += buffer;
  }
  return text;
}

bool AnyByte(const std::uint8_t *bytes, int count) {
  for (int i = 0; i < count; ++i) {
    if (bytes[i] != 0) return true;
  }
  return false;
}

}  // namespace

std::string ResultText(ResultCode result) {
  const char *name = "unknown result";
  std::uint32_t extra = 0;
  for (const CodeName &entry : kCodeNames) {
    if (entry.code == result || (entry.code != Zel_OK && entry.code == (result & Zel_CODE_MASK))) {
      name = entry.name;
      extra = result & ~Zel_CODE_MASK;
      break;
    }
  }
  char buffer[64];
  if (extra != 0) {
    std::snprintf(buffer, sizeof buffer, "%s|%u (0x%08X)", name, static_cast<unsigned>(extra),
                  static_cast<unsigned>(result));
  } else {
    std::snprintf(buffer, sizeof buffer, "%s (0x%08X)", name, static_cast<unsigned>(result));
  }
  return buffer;
}

const char *TypeName(ItemType type) {
  static const char *const kNames[] = {"none",   "integer",     "string",   "boolean",
                                       "ipaddr", "enumeration", "structure"};
  return type <= Zel_TYPE_STRUCTURE ? kNames[type] : "unknown";
}

std::string PayloadText(ItemType type, const DataPayload &payload) {
  switch (type) {
    case Zel_TYPE_INTEGER:
      return std::to_string(payload.integer);
    case Zel_TYPE_STRING:
      return payload.text ? payload.text : "";
    case Zel_TYPE_BOOLEAN:
      return payload.boolean ? "TRUE" : "FALSE";
    case Zel_TYPE_ENUMERATION:
      return payload.keyword ? payload.keyword : "";
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = payload.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) return ip.host_name ? ip.host_name : "";
      if (ip.form != Zel_IP_FORM_NUMERIC ||
          (ip.family != Zel_IP_FAMILY_V4 && ip.family != Zel_IP_FAMILY_V6)) {
        return "";
      }
      std::string text = AddressText(ip.family, ip.address);
      if (AnyByte(ip.mask, ip.family == Zel_IP_FAMILY_V4 ? 4 : 16)) {
        text += "/" + AddressText(ip.family, ip.mask);
      }
      return text;
    }
    default:
      return "";
  }
}

ResultCode NewValue::Parse(ItemType type, const std::string &text) {
  type_ = type;
  text_ = text;
  ip_ = IpAddressValue{};
  switch (type) {
    case Zel_TYPE_INTEGER: {
      std::string_view rest = text;
      bool negative = !rest.empty() && rest[0] == '-';
      if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);
      int base = 10;
      if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        base = 16;
        rest.remove_prefix(2);
      }
      std::uint64_t magnitude = 0;
      auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude, base);
      if (error == std::errc::result_out_of_range) return Zel_ERANGE;
      if (rest.empty() || error != std::errc() || end != rest.data() + rest.size()) {
        return Zel_EINVAL;
      }
      constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
      if (magnitude > (negative ? kLimit : kLimit - 1)) return Zel_ERANGE;
      integer_ = negative ? static_cast<std::int64_t>(0 - magnitude)
                          : static_cast<std::int64_t>(magnitude);
      return Zel_OK;
    }
    case Zel_TYPE_BOOLEAN: {
      std::string upper;
      for (char c : text) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      if (upper != "TRUE" && upper != "FALSE") return Zel_EINVAL;
      boolean_ = upper == "TRUE";
      return Zel_OK;
    }
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      // A '<' would start a tag when the file is read again.
      return text.find('<') == std::string::npos ? Zel_OK : Zel_EINVAL;
    case Zel_TYPE_IPADDR: {
      if (IsHostName(text)) {
        ip_.form = Zel_IP_FORM_HOSTNAME;
        return text.find('<') == std::string::npos ? Zel_OK : Zel_EINVAL;
      }
      std::string_view address = text, mask;
      std::size_t slash = address.find('/');
      if (slash != std::string_view::npos) {
        mask = address.substr(slash + 1);
        address = address.substr(0, slash);
      }
      ip_.form = Zel_IP_FORM_NUMERIC;
      if (ParseIpv4(address, ip_.address)) {
        ip_.family = Zel_IP_FAMILY_V4;
      } else if (ParseIpv6(address, ip_.address)) {
        ip_.family = Zel_IP_FAMILY_V6;
      } else {
        return Zel_EINVAL;
      }
      if (slash != std::string_view::npos && !ParseMask(mask, ip_.family, ip_.mask)) {
        return Zel_EINVAL;
      }
      return Zel_OK;
    }
    default:
      return Zel_EINVAL;
  }
}

const void *NewValue::Pointer() {
  switch (type_) {
    case Zel_TYPE_INTEGER:
      return &integer_;
    case Zel_TYPE_BOOLEAN:
      return &boolean_;
    case Zel_TYPE_IPADDR:
      ip_.host_name = ip_.form == Zel_IP_FORM_HOSTNAME ? text_.data() : nullptr;
      return &ip_;
    default:
      return text_.c_str();
  }
}

std::string NewValue::Text() {
  DataPayload payload{};
  switch (type_) {
    case Zel_TYPE_INTEGER:
      payload.integer = integer_;
      break;
    case Zel_TYPE_BOOLEAN:
      payload.boolean = boolean_;
      break;
    case Zel_TYPE_IPADDR:
      Pointer();
      payload.ipaddr = ip_;
      break;
    default:
      return text_;
  }
  return PayloadText(type_, payload);
}

bool NewValue::HasMask() const {
  return type_ == Zel_TYPE_IPADDR && ip_.form == Zel_IP_FORM_NUMERIC && AnyByte(ip_.mask, 16);
}

}  // namespace qorvcfg_tool
