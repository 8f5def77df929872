// The input of one parse: a regular file read whole, or a copy of the text,
// in one buffer followed by kInputPadding zero bytes.
#include <cstring>

#include "markup/markup.h"

namespace qorvcfg {
namespace {

// Reads the whole regular file into a new buffer. Reading stops at the size
// the file had when it was opened, or earlier at its end.
ResultCode ReadWholeFile(platform::FileHandle file, InputSource *source) {
  std::uint64_t size = 0;
  if (!platform::RegularFileSize(file, &size)) {
    return Zel_ESYSTEM | platform::kErrorInvalidFunction;
  }
  if (size > kMaxInputBytes) return Zel_ESYSTEM | platform::kErrorFileTooLarge;
  auto *buffer = static_cast<char *>(platform::Allocate(size + kInputPadding));
  if (buffer == nullptr) return Zel_ENOMEM;
  std::uint64_t filled = 0;
  while (filled < size) {
    constexpr std::uint64_t kBlock = 1u << 30;
    const std::uint64_t wanted = size - filled < kBlock ? size - filled : kBlock;
    std::uint32_t count = 0;
    const ResultCode result =
        platform::ReadBlock(file, buffer + filled, static_cast<std::uint32_t>(wanted), &count);
    if (result != Zel_OK) {
      platform::Free(buffer);
      return result;
    }
    if (count == 0) break;
    filled += count;
  }
  std::memset(buffer + filled, 0, kInputPadding);  // the file may have ended early
  *source = InputSource{buffer, static_cast<std::uint32_t>(filled), 0, false};
  return Zel_OK;
}

}  // namespace

ResultCode SourceOpen(std::uint32_t mode, const char *input, InputSource *source) {
  if (input == nullptr) return Zel_EINVAL;
  if (mode == static_cast<std::uint32_t>(ParseMode::kFile)) {
    platform::FileHandle file = platform::kInvalidFile;
    const ResultCode opened = platform::OpenForReading(input, &file);
    if (opened != Zel_OK) return opened;
    const ResultCode result = ReadWholeFile(file, source);
    platform::Close(file);
    return result;
  }
  if (mode != static_cast<std::uint32_t>(ParseMode::kText)) return Zel_EINVAL;
  // The length is a signed 32-bit count: a text of 2 GiB or more reads as
  // what that count gives, an empty text when it is negative.
  const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::strlen(input)));
  const std::uint32_t length = count > 0 ? static_cast<std::uint32_t>(count) : 0;
  auto *buffer = static_cast<char *>(platform::Allocate(std::size_t{length} + kInputPadding));
  if (buffer == nullptr) return Zel_ENOMEM;
  std::memcpy(buffer, input, length);
  std::memset(buffer + length, 0, kInputPadding);
  *source = InputSource{buffer, length, 0, false};
  return Zel_OK;
}

void SourceClose(InputSource *source) {
  platform::Free(source->data);
  source->data = nullptr;
}

char *SourceRelease(InputSource *source) {
  char *data = source->data;
  source->data = nullptr;
  return data;
}

}  // namespace qorvcfg
