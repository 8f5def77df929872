// Whether two converted nodes are equal. Structures are compared through a
// worklist of child pairs, so any nesting depth is followed without recursion.
#include <cstring>

#include "base/pair_stack.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

const ConvertedNode *FirstNamed(const ConvertedNode *list, const char *name) {
  for (; list != nullptr; list = list->next) {
    if (SameText(list->descriptor->name, name)) return list;
  }
  return nullptr;
}

using NodePairs = PairStack<ConvertedNode, ConvertedNode>;

bool SameScalar(const ConvertedNode *a, const ConvertedNode *b) {
  switch (a->kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      return SameText(a->value.text, b->value.text);
    case ValueKind::kInteger:
      return a->value.integer == b->value.integer;
    case ValueKind::kBoolean:
      return a->value.boolean == b->value.boolean;
    case ValueKind::kIpAddress:
      return SameIpAddress(a->value.ipaddr, b->value.ipaddr);
    default:
      return false;
  }
}

// Queues the children that decide whether two structures are equal; false
// when the structures already differ. Running out of memory for the queue
// counts as a difference.
bool QueueNestedPairs(const ConvertedNode *a, const ConvertedNode *b, NodePairs *pairs) {
  if (a->descriptor != b->descriptor) return false;
  const auto *nested = static_cast<const ElementDescriptor *>(a->descriptor->aux);
  const ConvertedNode *left = a->value.nested;
  const ConvertedNode *right = b->value.nested;
  bool has_key = false;
  for (const ElementDescriptor *row = nested; row != nullptr; row = row->next) {
    if (row->identifier != 1) continue;
    has_key = true;
    const ConvertedNode *x = FirstNamed(left, row->name);
    const ConvertedNode *y = FirstNamed(right, row->name);
    if (x == nullptr || y == nullptr || !pairs->Push(x, y)) return false;
  }
  if (has_key) return true;
  for (const ConvertedNode *x = left; x != nullptr; x = x->next) {
    const ConvertedNode *y = FirstNamed(right, x->descriptor->name);
    if (y == nullptr || !pairs->Push(x, y)) return false;
  }
  for (const ConvertedNode *y = right; y != nullptr; y = y->next) {
    if (FirstNamed(left, y->descriptor->name) == nullptr) return false;
  }
  return true;
}

bool ComparePairs(NodePairs *pairs) {
  const ConvertedNode *a = nullptr;
  const ConvertedNode *b = nullptr;
  while (pairs->Pop(&a, &b)) {
    if (!SameText(a->descriptor->name, b->descriptor->name) || a->kind != b->kind) return false;
    if (a->kind == ValueKind::kNested) {
      if (!QueueNestedPairs(a, b, pairs)) return false;
    } else if (!SameScalar(a, b)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool SameText(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

bool SameIpAddress(const IpAddressValue &x, const IpAddressValue &y) {
  if (x.form != y.form) return false;
  if (x.form == Zel_IP_FORM_HOSTNAME) return SameText(x.host_name, y.host_name);
  if (x.form != Zel_IP_FORM_NUMERIC || x.family != y.family) return false;
  if (x.family == Zel_IP_FAMILY_V4) return std::memcmp(x.address, y.address, 4) == 0;
  if (x.family == Zel_IP_FAMILY_V6) return std::memcmp(x.address, y.address, 16) == 0;
  return false;
}

bool CompareNodes(const ConvertedNode *a, const ConvertedNode *b) {
  NodePairs pairs;
  return pairs.Push(a, b) && ComparePairs(&pairs);
}

bool CompareNestedNodes(const ConvertedNode *a, const ConvertedNode *b) {
  NodePairs pairs;
  return QueueNestedPairs(a, b, &pairs) && ComparePairs(&pairs);
}

}  // namespace qorvcfg
