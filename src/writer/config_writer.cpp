// Writes one element per value, structures nesting their members. Output is
// collected in a buffer and written in large pieces; only the write of the
// closing line decides the result.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "store/store.h"
#include "writer/writer.h"

namespace qorvcfg {
namespace {

constexpr std::size_t kBufferSize = 16384;

class BufferedFile {
 public:
  explicit BufferedFile(platform::FileHandle file) : file_(file) {}

  void Put(const char *bytes, std::size_t size) {
    while (size > 0) {
      if (used_ == kBufferSize) Flush();
      std::size_t part = kBufferSize - used_;
      if (part > size) part = size;
      std::memcpy(buffer_ + used_, bytes, part);
      used_ += part;
      bytes += part;
      size -= part;
    }
  }
  void Put(const char *text) {
    if (text != nullptr) Put(text, std::strlen(text));
  }

  // Writes what is buffered; a failure is ignored, as for every write but
  // the closing line.
  void Flush() {
    if (used_ != 0) (void)platform::WriteBytes(file_, buffer_, static_cast<std::uint32_t>(used_));
    used_ = 0;
  }

 private:
  platform::FileHandle file_;
  std::size_t used_ = 0;
  char buffer_[kBufferSize];
};

void PutIndent(BufferedFile &out, std::uint32_t depth) {
  for (std::uint32_t i = 0; i < depth; ++i) out.Put("  ", 2);
}

bool AnyNonZero(const std::uint8_t *bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] != 0) return true;
  }
  return false;
}

void FormatV4(char *at, const std::uint8_t *b) {
  std::sprintf(at, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

void FormatV6(char *at, const std::uint8_t *b) {
  std::sprintf(at, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", b[0],
               b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
               b[14], b[15]);
}

void PutAddress(BufferedFile &out, const IpAddressValue &ip) {
  char text[96];
  text[0] = '\0';
  if (ip.form == Zel_IP_FORM_HOSTNAME) {
    out.Put(ip.host_name);
    return;
  }
  if (ip.form != Zel_IP_FORM_NUMERIC) return;
  if (ip.family == Zel_IP_FAMILY_V4) {
    FormatV4(text, ip.address);
    if (AnyNonZero(ip.mask, 4)) {
      const std::size_t at = std::strlen(text);
      text[at] = '/';
      FormatV4(text + at + 1, ip.mask);
    }
  } else if (ip.family == Zel_IP_FAMILY_V6) {
    FormatV6(text, ip.address);
    if (AnyNonZero(ip.mask, 16)) {
      const std::size_t at = std::strlen(text);
      text[at] = '/';
      FormatV6(text + at + 1, ip.mask);
    }
  }
  out.Put(text);
}

void PutValueText(BufferedFile &out, const DataRecord &record) {
  char text[32];
  switch (record.type) {
    case Zel_TYPE_INTEGER:
      std::snprintf(text, sizeof text, "%" PRId64, record.payload.integer);
      out.Put(text);
      break;
    case Zel_TYPE_STRING:
      out.Put(record.payload.text);
      break;
    case Zel_TYPE_BOOLEAN:
      out.Put(record.payload.boolean != 0 ? "TRUE" : "FALSE");
      break;
    case Zel_TYPE_IPADDR:
      PutAddress(out, record.payload.ipaddr);
      break;
    case Zel_TYPE_ENUMERATION:
      out.Put(record.payload.keyword);
      break;
    default:
      break;
  }
}

void WriteContainerValues(BufferedFile &out, DataContainer *container, std::uint32_t depth) {
  ListLinks *head = ListHead(container);
  for (ListLinks *at = head->next; at != head; at = at->next) {
    auto *value = reinterpret_cast<DataValue *>(at);
    const char *name = value->item->name;
    PutIndent(out, depth);
    out.Put("<", 1);
    out.Put(name);
    out.Put(">", 1);
    if (value->record.type == Zel_TYPE_STRUCTURE) {
      WriteContainerValues(out, &value->record.nested, depth + 1);
      PutIndent(out, depth);
    } else {
      PutValueText(out, value->record);
    }
    out.Put("</", 2);
    out.Put(name);
    out.Put(">\n", 2);
  }
}

}  // namespace

ResultCode WriteConfigFile(const char *path, DataContainer *container) {
  platform::FileHandle file = platform::kInvalidFile;
  const ResultCode opened = platform::OpenForWriting(path, &file);
  if (opened != Zel_OK) return opened;
  {
    // The buffer lives on the stack: writing needs no memory of its own.
    BufferedFile out(file);
    out.Put("<config>\n", 9);
    WriteContainerValues(out, container, 1);
    out.Flush();
  }
  const ResultCode result = platform::WriteBytes(file, "</config>\n", 10);
  platform::Close(file);
  return result;
}

}  // namespace qorvcfg
