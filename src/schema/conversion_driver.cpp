// Checks the children of one element against a grammar and converts the
// accepted ones. Lenient: whatever does not fit is left out silently.
#include <cstring>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

bool SameText(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

ResultCode ConvertByKind(const ElementDescriptor *row, const MarkupElement *element,
                         std::uint32_t depth, ConvertedNode **out) {
  switch (row->kind) {
    case ValueKind::kName:
      return ConvertName(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kInteger:
      return ConvertInteger(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kString:
      return ConvertString(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kBoolean:
      return ConvertBoolean(element, out);
    case ValueKind::kIpAddress:
      return ConvertIpAddress(element, out);
    case ValueKind::kEnumList:
      return ConvertEnumList(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kKeyword:
      return ConvertKeyword(element, static_cast<const KeywordEntry *>(row->aux), out);
    case ValueKind::kNested:
      return ConvertNested(element, static_cast<const ElementDescriptor *>(row->aux), depth, out);
    case ValueKind::kDefault:
      return ConvertDefault(element, out);
    default:
      return Zel_EINVAL;
  }
}

bool IsKnownKind(ValueKind kind) {
  const auto k = static_cast<std::uint32_t>(kind);
  return k >= 1 && k <= 9;
}

const ConvertedNode *FirstNamed(const ConvertedNode *list, const char *name) {
  for (; list != nullptr; list = list->next) {
    if (SameText(list->descriptor->name, name)) return list;
  }
  return nullptr;
}

}  // namespace

const char *ElementValueText(const MarkupElement *element) {
  for (const MarkupElement *child = element->first_child; child != nullptr; child = child->next) {
    if (child->kind == ElementKind::kText) return child->text;
  }
  return nullptr;
}

ResultCode ConvertElements(const ElementDescriptor *grammar, const MarkupElement *first,
                           ConvertedNode **out) {
  return ConvertElementsAtDepth(grammar, first, 0, out);
}

ResultCode ConvertElementsAtDepth(const ElementDescriptor *grammar, const MarkupElement *first,
                                  std::uint32_t depth, ConvertedNode **out) {
  std::size_t rows = 0;
  for (const ElementDescriptor *row = grammar; row != nullptr; row = row->next) ++rows;
  auto *counters =
      static_cast<std::uint32_t *>(platform::AllocateZeroed(rows * sizeof(std::uint32_t)));
  if (counters == nullptr) return Zel_ENOMEM;

  ConvertedNode *head = nullptr;
  ConvertedNode *tail = nullptr;
  for (const MarkupElement *element = first; element != nullptr; element = element->next) {
    if (element->kind != ElementKind::kElement) continue;
    const ElementDescriptor *row = grammar;
    std::size_t position = 0;
    while (row != nullptr && !SameText(row->name, element->text)) {
      row = row->next;
      ++position;
    }
    if (row == nullptr) continue;
    if (row->limit != 0 && counters[position] >= row->limit) continue;
    if (!IsKnownKind(row->kind)) continue;
    ConvertedNode *node = nullptr;
    if (ConvertByKind(row, element, depth, &node) != Zel_OK) continue;
    node->descriptor = row;
    if (FindDuplicateNode(node, head) != Zel_OK) {
      ReleaseNodeList(node);
      continue;
    }
    if (tail == nullptr) {
      head = node;
    } else {
      tail->next = node;
    }
    tail = node;
    counters[position] += 1;
  }
  platform::Free(counters);
  *out = head;
  return Zel_OK;
}

ResultCode FindDuplicateNode(const ConvertedNode *node, const ConvertedNode *accepted) {
  for (; accepted != nullptr; accepted = accepted->next) {
    if (CompareNodes(node, accepted)) return Zel_EEXIST;
  }
  return Zel_OK;
}

bool CompareNodes(const ConvertedNode *a, const ConvertedNode *b) {
  if (!SameText(a->descriptor->name, b->descriptor->name)) return false;
  if (a->kind != b->kind) return false;
  switch (a->kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      return SameText(a->value.text, b->value.text);
    case ValueKind::kInteger:
      return a->value.integer == b->value.integer;
    case ValueKind::kBoolean:
      return a->value.boolean == b->value.boolean;
    case ValueKind::kIpAddress: {
      const IpAddressValue &x = a->value.ipaddr;
      const IpAddressValue &y = b->value.ipaddr;
      if (x.form != y.form) return false;
      if (x.form == Zel_IP_FORM_HOSTNAME) return SameText(x.host_name, y.host_name);
      if (x.form != Zel_IP_FORM_NUMERIC || x.family != y.family) return false;
      if (x.family == Zel_IP_FAMILY_V4) return std::memcmp(x.address, y.address, 4) == 0;
      if (x.family == Zel_IP_FAMILY_V6) return std::memcmp(x.address, y.address, 16) == 0;
      return false;
    }
    case ValueKind::kNested:
      return CompareNestedNodes(a, b);
    default:
      return false;
  }
}

bool CompareNestedNodes(const ConvertedNode *a, const ConvertedNode *b) {
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
    if (x == nullptr || y == nullptr || !CompareNodes(x, y)) return false;
  }
  if (has_key) return true;
  for (const ConvertedNode *x = left; x != nullptr; x = x->next) {
    const ConvertedNode *y = FirstNamed(right, x->descriptor->name);
    if (y == nullptr || !CompareNodes(x, y)) return false;
  }
  for (const ConvertedNode *y = right; y != nullptr; y = y->next) {
    if (FirstNamed(left, y->descriptor->name) == nullptr) return false;
  }
  return true;
}

}  // namespace qorvcfg
