// A converted node against a loaded value: the rules of sibling equality,
// read from the value's record and nested list instead of a second node.
#include "store/loaded_value_matching.h"

#include <cstring>

#include "base/pair_stack.h"
#include "schema/schema.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

// The value type a node kind is loaded as; 0 for kinds that never load.
// The node kinds that load as values, beside the value type of each.
struct LoadedKind {
  ValueKind kind;
  ItemType type;
};
constexpr LoadedKind kLoadedKinds[] = {
    {ValueKind::kInteger, Zel_TYPE_INTEGER},     {ValueKind::kString, Zel_TYPE_STRING},
    {ValueKind::kBoolean, Zel_TYPE_BOOLEAN},     {ValueKind::kIpAddress, Zel_TYPE_IPADDR},
    {ValueKind::kKeyword, Zel_TYPE_ENUMERATION}, {ValueKind::kNested, Zel_TYPE_STRUCTURE},
};

// The value type a node kind is loaded as; 0 for kinds that never load.
ItemType LoadedType(ValueKind kind) {
  for (const LoadedKind &row : kLoadedKinds) {
    if (row.kind == kind) return row.type;
  }
  return Zel_TYPE_NONE;
}

// The node kind a value type is loaded from.
ValueKind NodeKindOf(ItemType type) {
  for (const LoadedKind &row : kLoadedKinds) {
    if (row.type == type) return row.kind;
  }
  return ValueKind::kNone;
}

const ConvertedNode *FirstNamedNode(const ConvertedNode *list, const char *name) {
  for (; list != nullptr; list = list->next) {
    if (SameText(list->descriptor->name, name)) return list;
  }
  return nullptr;
}

const DataValue *FirstNamedValue(const DataContainer *container, const char *name) {
  const auto *head = reinterpret_cast<const ListLinks *>(container);
  for (const ListLinks *link = head->next; link != head; link = link->next) {
    const auto *value = reinterpret_cast<const DataValue *>(link);
    if (SameText(value->item->name, name)) return value;
  }
  return nullptr;
}

bool SameScalar(const ConvertedNode *node, const DataValue *value) {
  const DataPayload &p = value->record.payload;
  switch (node->kind) {
    case ValueKind::kString:
    case ValueKind::kKeyword:
      return SameText(node->value.text, p.text);
    case ValueKind::kInteger:
      return node->value.integer == p.integer;
    case ValueKind::kBoolean:
      return node->value.boolean == p.boolean;
    case ValueKind::kIpAddress:
      return SameIpAddress(node->value.ipaddr, p.ipaddr);
    default:
      return false;
  }
}

using NodeValuePairs = PairStack<ConvertedNode, DataValue>;

// The children that decide whether a structure node equals a structure
// value; false when they already differ.
bool QueueChildren(const ConvertedNode *node, const DataValue *value, NodeValuePairs *pairs) {
  // One row per item, naming it: the same row means the same item.
  if (node->descriptor->name != value->item->name) return false;
  const auto *rows = static_cast<const ElementDescriptor *>(node->descriptor->aux);
  const ConvertedNode *children = node->value.nested;
  const DataContainer *nested = &value->record.nested;
  bool has_key = false;
  for (const ElementDescriptor *row = rows; row != nullptr; row = row->next) {
    if (row->identifier != 1) continue;
    has_key = true;
    const ConvertedNode *x = FirstNamedNode(children, row->name);
    const DataValue *y = FirstNamedValue(nested, row->name);
    if (x == nullptr || y == nullptr || !pairs->Push(x, y)) return false;
  }
  if (has_key) return true;
  // The loaded value takes the place of the stored one: each of its members
  // meets the first same-named member of the node, and every member of the
  // node must have a same-named one in the value.
  const auto *head = reinterpret_cast<const ListLinks *>(nested);
  for (const ListLinks *link = head->next; link != head; link = link->next) {
    const auto *y = reinterpret_cast<const DataValue *>(link);
    const ConvertedNode *x = FirstNamedNode(children, y->item->name);
    if (x == nullptr || !pairs->Push(x, y)) return false;
  }
  for (const ConvertedNode *x = children; x != nullptr; x = x->next) {
    if (FirstNamedValue(nested, x->descriptor->name) == nullptr) return false;
  }
  return true;
}

// A loaded value's scalar as the node it came from held it.
NodeValue ScalarOf(const DataValue *value) {
  NodeValue scalar{};
  const DataPayload &p = value->record.payload;
  switch (value->record.type) {
    case Zel_TYPE_INTEGER:
      scalar.integer = p.integer;
      break;
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      scalar.text = p.text;
      break;
    case Zel_TYPE_BOOLEAN:
      scalar.boolean = p.boolean;
      break;
    case Zel_TYPE_IPADDR:
      scalar.ipaddr = p.ipaddr;
      break;
    default:
      break;
  }
  return scalar;
}

}  // namespace

bool HashLoadedValue(const DataValue *value, std::uint64_t *out) {
  const ValueKind kind = NodeKindOf(value->record.type);
  if (kind == ValueKind::kNone) return false;
  std::uint64_t h = SiblingHashStart(value->item->name, kind);
  if (!SiblingHashAdd(kind, ScalarOf(value), &h)) return false;
  if (kind == ValueKind::kNested) {
    // The item's children stand for the rows of the structure's grammar.
    const DataContainer *nested = &value->record.nested;
    bool has_key = false;
    for (const ItemDefinition *child = value->item->children; child != nullptr;
         child = child->next) {
      if (child->identifier != 1) continue;
      has_key = true;
      const DataValue *key = FirstNamedValue(nested, child->name);
      if (key == nullptr) return false;
      const ValueKind key_kind = NodeKindOf(key->record.type);
      std::uint64_t key_hash = SiblingHashStart(child->name, key_kind);
      if (!SiblingHashAdd(key_kind, ScalarOf(key), &key_hash)) return false;
      h = SiblingHashCombine(h, key_hash);
    }
    if (!has_key) {
      std::uint64_t names = 0;
      const auto *head = reinterpret_cast<const ListLinks *>(nested);
      for (const ListLinks *link = head->next; link != head; link = link->next) {
        const auto *x = reinterpret_cast<const DataValue *>(link);
        if (FirstNamedValue(nested, x->item->name) == x) names += SiblingNameHash(x->item->name);
      }
      h = SiblingHashCombine(h, names);
    }
  }
  *out = SiblingHashFinish(h);
  return true;
}

bool NodeEqualsValue(const ConvertedNode *node, const DataValue *value) {
  NodeValuePairs pairs;
  if (!pairs.Push(node, value)) return false;
  const ConvertedNode *x = nullptr;
  const DataValue *y = nullptr;
  while (pairs.Pop(&x, &y)) {
    if (!SameText(x->descriptor->name, y->item->name)) return false;
    const ItemType type = LoadedType(x->kind);
    if (type == Zel_TYPE_NONE || type != y->record.type) return false;
    if (type == Zel_TYPE_STRUCTURE) {
      if (!QueueChildren(x, y, &pairs)) return false;
    } else if (!SameScalar(x, y)) {
      return false;
    }
  }
  return true;
}

}  // namespace qorvcfg
