#include "value_format.h"

#include "qorvcfg_diagnostics.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

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

// Windows error numbers that the library reports for files, in words.
struct SystemError {
  std::uint32_t number;
  const char *text;
};

constexpr SystemError kSystemErrors[] = {
    {2, "file not found"},  {3, "folder not found"},     {5, "access denied"},
    {32, "file in use"},    {33, "file locked"},         {170, "file busy"},
    {123, "bad file name"}, {206, "file name too long"}, {112, "disk full"},
    {267, "not a folder"},
};

// Length of the UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

#ifndef _WIN32
// The system's words for errno, starting in lower case: "is a directory".
std::string SystemWords(int number) {
  std::string words = std::strerror(number);
  if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z')
    words[0] = static_cast<char>(words[0] - 'A' + 'a');
  return words;
}
#endif

}  // namespace

std::string CodeText(ResultCode result) {
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
    std::snprintf(buffer, sizeof buffer, "%s|%u 0x%08X", name, static_cast<unsigned>(extra),
                  static_cast<unsigned>(result));
  } else {
    std::snprintf(buffer, sizeof buffer, "%s 0x%08X", name, static_cast<unsigned>(result));
  }
  return buffer;
}

std::string SystemErrorText(ResultCode result) {
  const std::uint32_t number = result & ~Zel_CODE_MASK;
  for (const SystemError &error : kSystemErrors) {
    if (error.number == number) return error.text;
  }
  return "system error " + std::to_string(number);
}

std::string FileFailureText(ResultCode result, const std::string &path) {
  const ResultCode code = result & Zel_CODE_MASK;
  if (code == Zel_ENOMEM) return "out of memory";
  if (code != Zel_ESYSTEM && code != Zel_EBUSY) return "cannot read";
#ifndef _WIN32
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return "cannot open: " + SystemWords(errno);
  if (S_ISDIR(status.st_mode)) return "cannot open: " + SystemWords(EISDIR);
  const int file = open(path.c_str(), O_RDONLY);
  if (file < 0) return "cannot open: " + SystemWords(errno);
  close(file);
#else
  (void)path;
#endif
  return "cannot open: " + SystemErrorText(result);
}

std::string WriteFailureText(ResultCode result, const std::string &path) {
#ifndef _WIN32
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return SystemWords(EISDIR);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (access(folder.c_str(), W_OK) != 0) return SystemWords(errno);
#else
  (void)path;
#endif
  return SystemErrorText(result);
}

const char *TypeName(ItemType type) {
  static const char *const kNames[] = {"none",   "integer",     "string",   "boolean",
                                       "ipaddr", "enumeration", "structure"};
  return type <= Zel_TYPE_STRUCTURE ? kNames[type] : "unknown";
}

std::string PayloadText(ItemType type, const DataPayload &payload) {
  char buffer[96];
  const std::size_t length =
      Qorvcfg_ValueToText(type, &payload, QORVCFG_TEXT_SHORT_IPV6, buffer, sizeof buffer);
  if (length < sizeof buffer) return std::string(buffer, length);
  std::string text(length + 1, '\0');
  Qorvcfg_ValueToText(type, &payload, QORVCFG_TEXT_SHORT_IPV6, text.data(), text.size());
  text.resize(length);
  return text;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (std::size_t length = Utf8Length(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      out += "\\ufffd";
    }
    ++i;
  }
  return out + "\"";
}

std::string PayloadJson(ItemType type, const DataPayload &payload) {
  switch (type) {
    case Zel_TYPE_INTEGER:
      return std::to_string(payload.integer);
    case Zel_TYPE_BOOLEAN:
      return payload.boolean ? "true" : "false";
    default:
      return JsonString(PayloadText(type, payload));
  }
}

}  // namespace qorvcfg_tool
