// One value converted from its text by the rules that reading applies, with a
// refusal explained in words. Not exported from the shared library.
#include <charconv>
#include <cstring>

#include "base/text_copy.h"
#include "platform/platform.h"
#include "qorvcfg_diagnostics.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

// Writes one line into the caller's buffer, cut to its size.
class Explanation {
 public:
  Explanation(char *buffer, std::size_t size) : buffer_(buffer), size_(buffer ? size : 0) {
    if (size_ > 0) buffer_[0] = '\0';
  }

  // Sets the line to the pieces in order (texts and numbers) and gives result.
  template <typename... Pieces>
  ResultCode Refuse(ResultCode result, const Pieces &...pieces) {
    used_ = 0;
    if (size_ > 0) buffer_[0] = '\0';
    (Append(pieces), ...);
    return result;
  }

  // "not one of a, b, c", as far as it fits.
  ResultCode RefuseWord(const KeywordEntry *words) {
    if (words == nullptr) return Refuse(Zel_EINVAL, "the item has no words to choose from");
    Refuse(Zel_EINVAL, "not one of ");
    for (const KeywordEntry *entry = words; entry != nullptr; entry = entry->next) {
      if (entry != words) Append(", ");
      Append(entry->keyword);
    }
    return Zel_EINVAL;
  }

 private:
  void Append(const char *text) {
    for (; *text != '\0' && used_ + 1 < size_; ++text) buffer_[used_++] = *text;
    if (size_ > 0) buffer_[used_] = '\0';
  }
  void Append(std::int64_t number) {
    char digits[24];
    char *end = std::to_chars(digits, digits + sizeof digits - 1, number).ptr;
    *end = '\0';
    Append(digits);
  }

  char *buffer_;
  std::size_t size_;
  std::size_t used_ = 0;
};

bool Within(std::int64_t value, const ItemDefinition *item) {
  return value >= item->minimum && value <= item->maximum;
}

ResultCode ConvertText(const ItemDefinition *item, const char *text, DataPayload *out,
                       Explanation *why) {
  const std::int64_t minimum = item->minimum;
  const std::int64_t maximum = item->maximum;
  switch (item->type) {
    case Zel_TYPE_INTEGER: {
      std::int64_t value = 0;
      const ResultCode parsed = ParseSignedText(text, std::strlen(text), &value);
      if (parsed == Zel_ERANGE) return why->Refuse(Zel_ERANGE, "beyond 64 bits");
      if (parsed != Zel_OK) {
        return why->Refuse(Zel_EINVAL, "not an integer (decimal, 0x hexadecimal or 0 octal)");
      }
      if (!Within(value, item)) {
        return why->Refuse(Zel_ERANGE, "out of bounds ", minimum, "..", maximum);
      }
      out->integer = value;
      return Zel_OK;
    }
    case Zel_TYPE_STRING: {
      const auto length = static_cast<std::int64_t>(std::strlen(text));
      if (!Within(length, item)) {
        return why->Refuse(Zel_ERANGE, "length ", length, " out of bounds ", minimum, "..",
                           maximum);
      }
      return DuplicateText(text, &out->text);
    }
    case Zel_TYPE_BOOLEAN: {
      std::uint32_t value = 0;
      if (ParseBooleanWord(text, &value) != Zel_OK) {
        return why->Refuse(Zel_EINVAL, "not TRUE or FALSE");
      }
      out->boolean = value;
      return Zel_OK;
    }
    case Zel_TYPE_IPADDR: {
      IpAddressValue value{};
      const ResultCode parsed = ParseIpText(text, &value);
      if (parsed == Zel_EINVAL) {
        return why->Refuse(Zel_EINVAL, "not an IPv4 or IPv6 address or a host name");
      }
      if (parsed == Zel_OK) out->ipaddr = value;
      return parsed;
    }
    case Zel_TYPE_ENUMERATION: {
      const KeywordEntry *entry = IsNameText(text) == Zel_OK ? item->entries : nullptr;
      while (entry != nullptr && std::strcmp(entry->keyword, text) != 0) entry = entry->next;
      if (entry == nullptr) return why->RefuseWord(item->entries);
      return DuplicateText(text, &out->keyword);
    }
    case Zel_TYPE_STRUCTURE:
      return why->Refuse(Zel_EINVAL, "a structure has no value of its own");
    default:
      return why->Refuse(Zel_EINVAL, "the item has no type");
  }
}

}  // namespace
}  // namespace qorvcfg

extern "C" {

ResultCode Qorvcfg_ValueFromText(const ItemDefinition *item, const char *text, DataPayload *out,
                                 char *why, size_t why_size) {
  qorvcfg::Explanation explanation(why, why_size);
  if (item == nullptr || text == nullptr || out == nullptr) {
    return explanation.Refuse(Zel_EINVAL, "no item, text or payload");
  }
  DataPayload converted{};
  const ResultCode result = qorvcfg::ConvertText(item, text, &converted, &explanation);
  if (result == Zel_ENOMEM) return explanation.Refuse(Zel_ENOMEM, "out of memory");
  if (result == Zel_OK) *out = converted;
  return result;
}

void Qorvcfg_ValueRelease(ItemType type, DataPayload *payload) {
  if (payload == nullptr) return;
  switch (type) {
    case Zel_TYPE_STRING:
      qorvcfg::platform::Free(payload->text);
      payload->text = nullptr;
      break;
    case Zel_TYPE_ENUMERATION:
      qorvcfg::platform::Free(payload->keyword);
      payload->keyword = nullptr;
      break;
    case Zel_TYPE_IPADDR:
      qorvcfg::platform::Free(payload->ipaddr.host_name);
      payload->ipaddr.host_name = nullptr;
      break;
    default:
      break;
  }
}

}  // extern "C"
