// Compares a converted node with a value already loaded from an earlier
// sibling, so that a read that loads each node at once can still leave out
// repeated siblings.
//
// What holds: the answers are those that comparing the two nodes would
// give, and they change nothing; the node and the value stay their owners'.
#pragma once

#include <cstdint>

namespace qorvcfg {

struct ConvertedNode;
struct DataValue;

// True exactly when node would compare equal to the node that value was
// loaded from. Structures follow their children with a worklist, to any
// depth; running out of memory for it counts as a difference.
[[nodiscard]] bool NodeEqualsValue(const ConvertedNode *node, const DataValue *value);

// The hash that HashNode gives the node value was loaded from, or false
// when that node has none; so values of a read can join a table of nodes.
[[nodiscard]] bool HashLoadedValue(const DataValue *value, std::uint64_t *out);

}  // namespace qorvcfg
