#include "value_input.h"

#include <cstdint>
#include <cstring>

#include "qorvcfg_diagnostics.h"
#include "tool.h"
#include "value_format.h"

namespace qorvcfg_tool {

ConvertedValue::~ConvertedValue() { Qorvcfg_ValueRelease(type_, &payload_); }

ResultCode ConvertedValue::Convert(const ItemDefinition *item, const std::string &text,
                                   std::string *why) {
  Qorvcfg_ValueRelease(type_, &payload_);
  payload_ = DataPayload{};
  type_ = item->type;
  char buffer[256];
  ResultCode result = Qorvcfg_ValueFromText(item, text.c_str(), &payload_, buffer, sizeof buffer);
  if (result == Zel_OK) return result;
  *why = buffer;
  if (result == Zel_EINVAL && item->type == Zel_TYPE_IPADDR && ConvertMasked(item, text)) {
    return Zel_OK;
  }
  return result;
}

const void *ConvertedValue::Pointer() const {
  switch (type_) {
    case Zel_TYPE_INTEGER:
      return &payload_.integer;
    case Zel_TYPE_BOOLEAN:
      return &payload_.boolean;
    case Zel_TYPE_IPADDR:
      return &payload_.ipaddr;
    case Zel_TYPE_STRING:
      return payload_.text;
    default:
      return payload_.keyword;
  }
}

std::string ConvertedValue::Text() const { return PayloadText(type_, payload_); }

std::string ConvertedValue::ReadBackProblem() const {
  switch (Qorvcfg_ValueReadBack(type_, &payload_)) {
    case QORVCFG_READ_BACK_SAME:
      return "";
    case QORVCFG_READ_BACK_LESS_THAN:
      return "reading ends the text at the '<'";
    case QORVCFG_READ_BACK_SPLIT_CHARACTER:
      return "the text ends inside a character, which reading runs on past";
    case QORVCFG_READ_BACK_EMPTY:
      return "reading leaves out an element without text";
    case QORVCFG_READ_BACK_LEADING_SPACE:
      return "reading drops the leading white space";
    case QORVCFG_READ_BACK_MASK:
      return "reading refuses an address with a mask";
    default:
      return "reading would not give it back";
  }
}

bool ConvertedValue::ConvertMasked(const ItemDefinition *item, const std::string &text) {
  const std::size_t slash = text.rfind('/');
  if (slash == std::string::npos) return false;
  DataPayload address{};
  if (Qorvcfg_ValueFromText(item, text.substr(0, slash).c_str(), &address, nullptr, 0) != Zel_OK) {
    return false;
  }
  IpAddressValue &ip = address.ipaddr;
  bool ok = ip.form == Zel_IP_FORM_NUMERIC;
  const std::string mask = text.substr(slash + 1);
  const bool prefix = !mask.empty() && mask.size() <= 3 &&
                      mask.find_first_not_of("0123456789") == std::string::npos;
  if (ok && prefix) {
    ItemDefinition bits{};
    bits.type = Zel_TYPE_INTEGER;
    bits.maximum = ip.family == Zel_IP_FAMILY_V4 ? 32 : 128;
    DataPayload length{};
    ok = Qorvcfg_ValueFromText(&bits, mask.c_str(), &length, nullptr, 0) == Zel_OK;
    for (std::int64_t i = 0; ok && i < length.integer; ++i) {
      ip.mask[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
    }
  } else if (ok) {
    DataPayload form{};
    ok = Qorvcfg_ValueFromText(item, mask.c_str(), &form, nullptr, 0) == Zel_OK &&
         form.ipaddr.form == Zel_IP_FORM_NUMERIC && form.ipaddr.family == ip.family;
    if (ok) std::memcpy(ip.mask, form.ipaddr.address, sizeof ip.mask);
    Qorvcfg_ValueRelease(Zel_TYPE_IPADDR, &form);
  }
  if (!ok) {
    Qorvcfg_ValueRelease(Zel_TYPE_IPADDR, &address);
    return false;
  }
  payload_ = address;
  return true;
}

std::string Canonical(const ItemDefinition *item, const std::string &text) {
  ConvertedValue value;
  std::string why;
  return value.Convert(item, text, &why) == Zel_OK ? value.Text() : text;
}

void ConvertForEdit(const ItemDefinition *item, const std::string &text, const std::string &context,
                    bool force, ConvertedValue *value) {
  std::string why;
  ResultCode result = value->Convert(item, text, &why);
  if (result != Zel_OK) Fail(kValueRefused, context, why, result);
  std::string problem = value->ReadBackProblem();
  if (problem.empty()) return;
  if (!force) {
    Refuse(kValueRefused,
           context + ": would not read back the same: " + problem + "; --force writes it anyway");
  }
  PrintError("qorvcfg: warning: " + context + ": " + problem + "\n");
}

}  // namespace qorvcfg_tool
