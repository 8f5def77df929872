// Hands the lexer one character at a time: the raw bytes of one UTF-8
// sequence, its length found from the lead byte and never decoded.
#include <cstring>

#include "markup/markup.h"

namespace qorvcfg {

const Utf8LeadRow Utf8LeadTable[7] = {
    {1, 0x80, 0x00}, {2, 0xE0, 0xC0}, {3, 0xF0, 0xE0}, {4, 0xF8, 0xF0},
    {5, 0xFC, 0xF8}, {6, 0xFE, 0xFC}, {0, 0x00, 0x00},
};

void SourceInitFile(InputSource *source, platform::FileHandle file) {
  source->mode = SourceMode::kFile;
  source->file = file;
  source->data = source->buffer;
  source->at_end = 0;
  source->position = 0;
  source->available = 0;
  source->saved = SourceChar{};
}

void SourceInitText(InputSource *source, const char *text) {
  source->mode = SourceMode::kText;
  source->file = platform::kInvalidFile;
  source->data = reinterpret_cast<const unsigned char *>(text);
  source->at_end = 0;
  source->position = 0;
  source->available = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::strlen(text)));
  source->saved = SourceChar{};
}

ResultCode SourceReadByte(InputSource *source, unsigned char *out) {
  if (source->at_end == 1) return Zel_EEOF;
  if (!(source->position < source->available)) {
    if (source->mode != SourceMode::kFile) {
      source->at_end = 1;
      return Zel_EEOF;
    }
    source->position = 0;
    std::uint32_t read_count = 0;
    const ResultCode result =
        platform::ReadBlock(source->file, source->buffer, kSourceBlockSize, &read_count);
    if (result != Zel_OK) return result;
    source->available = static_cast<std::int32_t>(read_count);
    if (!(source->position < source->available)) {
      source->at_end = 1;
      return Zel_EEOF;
    }
  }
  *out = source->data[source->position];
  source->position += 1;
  return Zel_OK;
}

namespace {

std::uint32_t SequenceLength(unsigned char lead) {
  for (const Utf8LeadRow *row = Utf8LeadTable; row->length != 0; ++row) {
    if ((lead & row->mask) == row->value) return row->length > 8 ? 8 : row->length;
  }
  return (lead & 0x80) != 0 ? 2 : 1;
}

}  // namespace

ResultCode SourceReadChar(InputSource *source, SourceChar *out) {
  SourceChar ch{};
  unsigned char byte = 0;
  ResultCode result = SourceReadByte(source, &byte);
  if (result != Zel_OK) return result;
  ch.bytes[0] = byte;
  ch.length = 1;
  const std::uint32_t length = SequenceLength(byte);
  while (ch.length < length) {
    result = SourceReadByte(source, &byte);
    if (IsEndOfInput(result)) break;  // a sequence cut off by the end is delivered short
    if (result != Zel_OK) return result;
    ch.bytes[ch.length++] = byte;
  }
  *out = ch;
  return Zel_OK;
}

}  // namespace qorvcfg
