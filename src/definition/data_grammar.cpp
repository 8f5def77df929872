// Derives the grammar of a data file from the item definitions: one row per
// item, structures holding the grammar of their children.
#include <cstddef>

#include "definition/definition.h"
#include "platform/platform.h"

namespace qorvcfg {

ElementDescriptor *BuildDataGrammar(const ItemDefinition *first) {
  if (first == nullptr) return nullptr;
  ElementDescriptor *head = nullptr;
  ElementDescriptor *tail = nullptr;
  bool failed = false;
  for (const ItemDefinition *item = first; item != nullptr && !failed; item = item->next) {
    auto *row =
        static_cast<ElementDescriptor *>(platform::AllocateZeroed(sizeof(ElementDescriptor)));
    if (row == nullptr) {
      failed = true;
      break;
    }
    row->next = nullptr;
    row->name = item->name;
    row->limit = item->number;
    row->identifier = item->identifier;
    row->necessity = item->necessity;
    switch (item->type) {
      case Zel_TYPE_INTEGER:
        row->kind = ValueKind::kInteger;
        row->aux = &item->minimum;  // minimum and maximum lie side by side
        break;
      case Zel_TYPE_STRING:
        row->kind = ValueKind::kString;
        row->aux = &item->minimum;
        break;
      case Zel_TYPE_BOOLEAN:
        row->kind = ValueKind::kBoolean;
        break;
      case Zel_TYPE_IPADDR:
        row->kind = ValueKind::kIpAddress;
        break;
      case Zel_TYPE_ENUMERATION:
        row->kind = ValueKind::kKeyword;
        row->aux = item->entries;
        break;
      case Zel_TYPE_STRUCTURE:
        row->kind = ValueKind::kNested;
        row->aux = BuildDataGrammar(item->children);
        if (row->aux == nullptr) failed = true;
        break;
      default:
        row->kind = ValueKind::kNone;
        break;
    }
    if (tail == nullptr) {
      head = row;
    } else {
      tail->next = row;
    }
    tail = row;
  }
  if (failed) {
    ReleaseDataGrammar(head);
    return nullptr;
  }
  return head;
}

void ReleaseDataGrammar(ElementDescriptor *first) {
  while (first != nullptr) {
    auto *next = const_cast<ElementDescriptor *>(first->next);
    if (first->kind == ValueKind::kNested) {
      ReleaseDataGrammar(static_cast<ElementDescriptor *>(const_cast<void *>(first->aux)));
    }
    platform::Free(first);
    first = next;
  }
}

}  // namespace qorvcfg
