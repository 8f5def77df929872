// Compares a converted node with a value already loaded from an earlier
// sibling, so that a read that loads each node at once can still leave out
// repeated siblings.
#pragma once

namespace qorvcfg {

struct ConvertedNode;
struct DataValue;

// True exactly when node would compare equal to the node that value was
// loaded from. Structures follow their children with a worklist, to any
// depth; running out of memory for it counts as a difference.
[[nodiscard]] bool NodeEqualsValue(const ConvertedNode *node, const DataValue *value);

}  // namespace qorvcfg
