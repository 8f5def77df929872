// The text of a value that is not a structure, formatted straight into the
// output: decimal integers, TRUE/FALSE, dotted and colon addresses, texts.
// It owns nothing and never fails.
#pragma once

#include "qorvcfg.h"
#include "writer/output_buffer.h"

namespace qorvcfg::writer {

void PutValueText(OutputBuffer &out, const DataRecord &record);

// The longest text ValueText writes: an IPv6 address with its mask.
inline constexpr std::size_t kLongestValueText = 79;

// The same text for others than the writer: an integer, a boolean or a
// numeric address is written at `at` (room for kLongestValueText bytes) and
// the end given; a string, keyword or host name is not copied but given in
// *text (null for none). With compressed, IPv6 addresses take their shortest
// form ("fe80::1") instead of the eight groups a data file gets.
char *ValueText(char *at, const DataRecord &record, bool compressed, const char **text);

// A numeric address, with its mask when it has one, at `at`; gives the end.
char *NumericAddress(char *at, const IpAddressValue &ip, bool compressed);

}  // namespace qorvcfg::writer
