// Text forms of result codes and values for the command-line tool. Values are
// written in the data file's notation, so that what the tool prints is what a
// data file holds.
#pragma once

#include <cstdint>
#include <string>

#include "qorvcfg.h"

namespace qorvcfg_tool {

// "Zel_ERANGE (0x0A400000)"; the codes that carry a system error number show
// it: "Zel_ESYSTEM|2 (0x01400002)".
std::string ResultText(ResultCode result);

// "integer", "string", ...; "none" for type 0.
const char *TypeName(ItemType type);

// The text of a payload as the writer puts it in a data file (an address
// with its mask when it has one). Empty for a structure.
std::string PayloadText(ItemType type, const DataPayload &payload);

// A value given on the command line, parsed by its item's type and ready to
// be handed to Zel_DataChange.
class NewValue {
 public:
  // Zel_OK; Zel_EINVAL when the text cannot be read as the type; Zel_ERANGE
  // for an integer beyond 64 bits. Bounds and enumeration words are left to
  // the library's own checks.
  ResultCode Parse(ItemType type, const std::string &text);

  // What Zel_DataChange takes for the type; valid while this object lives.
  const void *Pointer();

  // The value in the data file's notation.
  std::string Text();

  // An address with a mask: the data file cannot read it back.
  bool HasMask() const;

 private:
  ItemType type_ = Zel_TYPE_NONE;
  std::int64_t integer_ = 0;
  std::uint32_t boolean_ = 0;
  IpAddressValue ip_{};
  std::string text_;  // string, enumeration word or host name
};

}  // namespace qorvcfg_tool
