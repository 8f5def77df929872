// Compares a converted node with a value already loaded from an earlier
// sibling, so that a read that loads each node at once can still leave out
// repeated siblings.
//
// What holds: the answers are those that comparing the two nodes would
// give, and they change nothing; the node and the value stay their owners'.
#pragma once

#include <cstdint>

#include "base/pair_stack.h"

namespace qorvcfg {

struct ConvertedNode;
struct DataValue;

// kSame exactly when node would compare equal to the node that value was
// loaded from. Structures follow their children with a worklist, to any
// depth; kUnknown when the worklist could not grow.
[[nodiscard]] Sameness NodeEqualsValue(const ConvertedNode *node, const DataValue *value);

// The hash that HashNode gives the node value was loaded from, or false
// when that node has none; so values of a read can join a table of nodes.
[[nodiscard]] bool HashLoadedValue(const DataValue *value, std::uint64_t *out);

}  // namespace qorvcfg
