// One value as the writer writes it, and whether reading gives it back. Not
// exported from the shared library: the tool, the tests and the fuzz targets
// reach them through the core.
#include <cstring>

#include "base/utf8.h"
#include "qorvcfg_diagnostics.h"
#include "writer/value_to_text.h"

using namespace qorvcfg;

namespace {

bool IsBlank(unsigned char b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

// Whether text ends inside a character as the reader counts bytes.
bool EndsInsideCharacter(const char *text, std::size_t size) {
  std::size_t at = 0;
  while (at < size) at += SequenceLength(static_cast<unsigned char>(text[at]));
  return at != size;
}

uint32_t TextReadBack(const char *text) {
  if (text == nullptr || text[0] == '\0') return QORVCFG_READ_BACK_EMPTY;
  const std::size_t size = std::strlen(text);
  if (std::memchr(text, '<', size) != nullptr) return QORVCFG_READ_BACK_LESS_THAN;
  if (EndsInsideCharacter(text, size)) return QORVCFG_READ_BACK_SPLIT_CHARACTER;
  if (IsBlank(static_cast<unsigned char>(text[0]))) return QORVCFG_READ_BACK_LEADING_SPACE;
  return QORVCFG_READ_BACK_SAME;
}

}  // namespace

extern "C" {

size_t Qorvcfg_ValueToText(ItemType type, const DataPayload *payload, uint32_t flags, char *buffer,
                           size_t size) {
  if (payload == nullptr) return 0;
  DataRecord record{};
  record.type = type;
  record.payload = *payload;
  char numeric[writer::kLongestValueText];
  const char *text = nullptr;
  const char *end =
      writer::ValueText(numeric, record, (flags & QORVCFG_TEXT_SHORT_IPV6) != 0, &text);
  const char *from = text != nullptr ? text : numeric;
  const std::size_t length =
      text != nullptr ? std::strlen(text) : static_cast<std::size_t>(end - numeric);
  if (buffer != nullptr && size > 0) {
    const std::size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, from, copied);
    buffer[copied] = '\0';
  }
  return length;
}

uint32_t Qorvcfg_ValueReadBack(ItemType type, const DataPayload *payload) {
  if (payload == nullptr) return QORVCFG_READ_BACK_SAME;
  switch (type) {
    case Zel_TYPE_STRING:
      return TextReadBack(payload->text);
    case Zel_TYPE_ENUMERATION:
      return TextReadBack(payload->keyword);
    case Zel_TYPE_IPADDR: {
      const IpAddressValue &ip = payload->ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) return TextReadBack(ip.host_name);
      for (std::uint8_t byte : ip.mask) {
        if (byte != 0) return QORVCFG_READ_BACK_MASK;
      }
      return QORVCFG_READ_BACK_SAME;
    }
    default:
      return QORVCFG_READ_BACK_SAME;
  }
}

}  // extern "C"
