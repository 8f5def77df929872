// Definitions: the definition file's grammar, item definitions built from it,
// and the data grammar derived from them at every read.
//
// Who owns what: an item owns its name, its texts, its default's payload,
// its word list, its bounds and its children; a chain of items belongs to
// its handle (ReleaseItemList frees it). The definition grammars are
// constant tables. A data grammar is built for one read and freed after it;
// its rows point at the items' names and words, which outlive it.
// What a failure leaves: nothing; a build that runs out of memory frees
// what it made.
#pragma once

#include "qorvcfg.h"
#include "schema/schema.h"

namespace qorvcfg {

extern const KeywordEntry TypeKeywordList[6];
extern const ElementDescriptor DefinitionItemGrammar[13];
extern const ElementDescriptor DefinitionHeaderGrammar[5];

// Builds one item from the converted nodes of an `item` element; takes what
// it keeps from the nodes. Null when memory ran out (nothing left behind).
// Items nest to any depth; the build follows them with an explicit stack.
// With a reporter, what was repaired (no name, no type, a maximum below the
// minimum, a default not used) is reported; offset is the item element's.
[[nodiscard]] ItemDefinition *BuildItemDefinition(ConvertedNode *nodes,
                                                  ReadDiagnostics *diagnostics = nullptr,
                                                  std::uint32_t offset = kNoOffset);
// An item's minimum and maximum, read as one ConstraintRecord: they follow
// each other in ItemDefinition as the record's two fields do.
static_assert(offsetof(ConstraintRecord, minimum) == 0 &&
                  offsetof(ItemDefinition, maximum) - offsetof(ItemDefinition, minimum) ==
                      offsetof(ConstraintRecord, maximum),
              "an item's bounds lie as a ConstraintRecord does");
[[nodiscard]] inline const ConstraintRecord *BoundsOf(const ItemDefinition *item) {
  return reinterpret_cast<const ConstraintRecord *>(&item->minimum);
}

// Releases a chain of items with everything they own, children included.
void ReleaseItemList(ItemDefinition *first);

// The grammar of a data file level; null for a level without items, a
// structure without children anywhere below, or when memory ran out.
[[nodiscard]] ElementDescriptor *BuildDataGrammar(const ItemDefinition *first);
void ReleaseDataGrammar(ElementDescriptor *first);

}  // namespace qorvcfg
