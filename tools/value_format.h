// Text forms of result codes, types and values for the command-line tool.
// Values are written in the data file's notation, so that what the tool
// prints is what a data file holds.
#pragma once

#include <string>
#include <string_view>

#include "qorvcfg.h"

namespace qorvcfg_tool {

// "Zel_ERANGE 0x0A400000"; the codes that carry a system error number show
// it: "Zel_ESYSTEM|2 0x01400002".
std::string CodeText(ResultCode result);

// The system error number that a result carries, in words: "file not found".
std::string SystemErrorText(ResultCode result);

// What a failed open or read of the file at path means, in the system's
// words: "cannot open: is a directory". On Windows the words follow the
// result's error number; elsewhere the file is looked at again, since the
// library reports every failure in Windows numbers.
std::string FileFailureText(ResultCode result, const std::string &path);

// Why the file at path cannot be written, in the system's words where the
// system tells more than the result's error number.
std::string WriteFailureText(ResultCode result, const std::string &path);

// "integer", "string", ...; "none" for type 0.
const char *TypeName(ItemType type);

// The text of a payload as a data file holds it (an address with its mask
// when it has one), IPv6 addresses in their compressed form ("fe80::1").
// Empty for a structure.
std::string PayloadText(ItemType type, const DataPayload &payload);

// A JSON string literal of text: quotes, backslashes and control characters
// escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// The payload in its type's natural JSON form: a number, true or false, or a
// string.
std::string PayloadJson(ItemType type, const DataPayload &payload);

}  // namespace qorvcfg_tool
