// Values typed on the command line: converted by the library's own
// conversions for their item, as reading converts a data file's text.
#pragma once

#include <string>

#include "qorvcfg.h"

namespace qorvcfg_tool {

// A value converted for its item and ready to be handed to Zel_DataChange.
class ConvertedValue {
 public:
  ConvertedValue() = default;
  ConvertedValue(const ConvertedValue &) = delete;
  ConvertedValue &operator=(const ConvertedValue &) = delete;
  ~ConvertedValue();

  // Zel_OK, or the library's refusal with why in words. An address may carry
  // a mask, which reading refuses but the file holds.
  ResultCode Convert(const ItemDefinition *item, const std::string &text, std::string *why);

  // The contents as Zel_DataChange takes them.
  const void *Pointer() const;

  std::string Text() const;

  // Why reading the written file would not give this value back; empty when
  // it would.
  std::string ReadBackProblem() const;

 private:
  // ADDRESS/MASK, the mask a prefix length or an address of the same family.
  bool ConvertMasked(const ItemDefinition *item, const std::string &text);

  ItemType type_ = Zel_TYPE_NONE;
  DataPayload payload_{};
};

// A value text in its stored form, for comparing what the user typed with
// what is stored ("0x10" and "16" match); the text itself when it does not
// convert.
std::string Canonical(const ItemDefinition *item, const std::string &text);

// Converts text for item as reading would, refusing what the library
// refuses and, unless forced, what the data file would not give back (with
// force, a warning on standard error).
void ConvertForEdit(const ItemDefinition *item, const std::string &text, const std::string &context,
                    bool force, ConvertedValue *value);

}  // namespace qorvcfg_tool
