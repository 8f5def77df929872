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

// Queues the children that decide whether two structures are equal: kSame
// when they are queued, kDifferent when the structures already differ,
// kUnknown when the queue could not grow.
Sameness QueueNestedPairs(const ConvertedNode *a, const ConvertedNode *b, NodePairs *pairs) {
  if (a->descriptor != b->descriptor) return Sameness::kDifferent;
  const auto *nested = static_cast<const ElementDescriptor *>(a->descriptor->aux);
  const ConvertedNode *left = a->value.nested;
  const ConvertedNode *right = b->value.nested;
  bool has_key = false;
  for (const ElementDescriptor *row = nested; row != nullptr; row = row->next) {
    if (row->identifier != 1) continue;
    has_key = true;
    const ConvertedNode *x = FirstNamed(left, row->name);
    const ConvertedNode *y = FirstNamed(right, row->name);
    if (x == nullptr || y == nullptr) return Sameness::kDifferent;
    if (!pairs->Push(x, y)) return Sameness::kUnknown;
  }
  if (has_key) return Sameness::kSame;
  for (const ConvertedNode *x = left; x != nullptr; x = x->next) {
    const ConvertedNode *y = FirstNamed(right, x->descriptor->name);
    if (y == nullptr) return Sameness::kDifferent;
    if (!pairs->Push(x, y)) return Sameness::kUnknown;
  }
  for (const ConvertedNode *y = right; y != nullptr; y = y->next) {
    if (FirstNamed(left, y->descriptor->name) == nullptr) return Sameness::kDifferent;
  }
  return Sameness::kSame;
}

Sameness ComparePairs(NodePairs *pairs) {
  const ConvertedNode *a = nullptr;
  const ConvertedNode *b = nullptr;
  while (pairs->Pop(&a, &b)) {
    if (!SameText(a->descriptor->name, b->descriptor->name) || a->kind != b->kind) {
      return Sameness::kDifferent;
    }
    if (a->kind == ValueKind::kNested) {
      const Sameness queued = QueueNestedPairs(a, b, pairs);
      if (queued != Sameness::kSame) return queued;
    } else if (!SameScalar(a, b)) {
      return Sameness::kDifferent;
    }
  }
  return Sameness::kSame;
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

Sameness NodesEqual(const ConvertedNode *a, const ConvertedNode *b) {
  NodePairs pairs;
  if (!pairs.Push(a, b)) return Sameness::kUnknown;
  return ComparePairs(&pairs);
}

}  // namespace qorvcfg
