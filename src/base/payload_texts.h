// The texts a value's payload owns.
//
// What holds: a string's or an enumeration's text and an address's host
// name are the only texts a payload owns. A text that lies inside the
// payload itself (a short one a value keeps there) is no heap block.
#pragma once

#include "qorvcfg.h"

namespace qorvcfg {

// Frees the texts a payload of the type owns and sets their pointers to
// null; a text kept inside the payload itself is not freed.
void ReleasePayloadTexts(ItemType type, DataPayload *payload);

}  // namespace qorvcfg
