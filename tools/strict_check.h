// What reading a data file accepts but is likely a mistake: the warnings of
// "check --strict", each at its element.
#pragma once

#include "session.h"

namespace qorvcfg_tool {

// Names the closest item in each diagnostic of an element that named no
// item: "...; did you mean port?".
void SuggestItemNames(Session &session);

// Adds a warning for a required item without a value (at the top and in
// each structure value), a structure value without its identifier, a root
// element not named config, an integer written with a leading zero, and an
// address text that reads as a host name though it looks like a number or an
// IPv6 address.
void AddStrictWarnings(Session &session);

}  // namespace qorvcfg_tool
