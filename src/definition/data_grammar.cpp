// Derives the grammar of a data file from the item definitions: one row per
// item, structures holding the grammar of their children. Levels are built
// and released with an explicit stack and splicing, to any depth.
#include <cstddef>
#include <cstring>

#include "base/walk_stack.h"
#include "definition/definition.h"
#include "platform/platform.h"

namespace qorvcfg {
namespace {

// One level of items whose rows are being made.
struct GrammarFrame {
  const ItemDefinition *cursor;  // the next item of the level
  ElementDescriptor *head;
  ElementDescriptor *tail;
  ElementDescriptor *owner;  // the structure row that takes this level; null at the top
  std::uint32_t rows;        // rows made so far
};

using GrammarStack = WalkStack<GrammarFrame, 16>;

void FillRow(const ItemDefinition *item, std::uint32_t position, ElementDescriptor *row) {
  row->next = nullptr;
  row->position = position;
  row->name_unique = true;  // the definition keeps one item of a name per level
  row->name_length = item->name != nullptr ? static_cast<std::uint32_t>(std::strlen(item->name))
                                           : ElementDescriptor::kUnknownLength;
  if (item->name != nullptr) row->name_head = NameHead(item->name, row->name_length);
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
      row->kind = ValueKind::kNested;  // aux: the children's grammar, made next
      break;
    default:
      row->kind = ValueKind::kNone;
      break;
  }
}

}  // namespace

ElementDescriptor *BuildDataGrammar(const ItemDefinition *first) {
  if (first == nullptr) return nullptr;
  GrammarStack stack;
  if (!stack.Push(GrammarFrame{first, nullptr, nullptr, nullptr, 0})) return nullptr;
  bool failed = false;
  ElementDescriptor *grammar = nullptr;
  while (stack.Size() != 0) {
    GrammarFrame &level = stack.Top();
    if (level.cursor != nullptr && !failed) {
      const ItemDefinition *item = level.cursor;
      level.cursor = item->next;
      auto *row =
          static_cast<ElementDescriptor *>(platform::AllocateZeroed(sizeof(ElementDescriptor)));
      if (row == nullptr) {
        failed = true;
        continue;
      }
      FillRow(item, level.rows++, row);
      if (level.tail == nullptr) {
        level.head = row;
      } else {
        level.tail->next = row;
      }
      level.tail = row;
      // A structure without children has no grammar, and with it the read
      // has none.
      if (item->type == Zel_TYPE_STRUCTURE &&
          (item->children == nullptr ||
           !stack.Push(GrammarFrame{item->children, nullptr, nullptr, row, 0}))) {
        failed = true;
      }
      continue;
    }
    // The level is done, or abandoned: its rows hang from their owner so
    // that one release finds everything.
    const GrammarFrame done = stack.Pop();
    if (done.owner != nullptr) {
      done.owner->aux = done.head;
    } else {
      grammar = done.head;
    }
  }
  if (failed) {
    ReleaseDataGrammar(grammar);
    return nullptr;
  }
  return grammar;
}

void ReleaseDataGrammar(ElementDescriptor *first) {
  while (first != nullptr) {
    ElementDescriptor *row = first;
    first = const_cast<ElementDescriptor *>(row->next);
    if (row->kind == ValueKind::kNested && row->aux != nullptr) {
      // The nested rows join the rest of the walk.
      auto *nested = static_cast<ElementDescriptor *>(const_cast<void *>(row->aux));
      ElementDescriptor *last = nested;
      while (last->next != nullptr) last = const_cast<ElementDescriptor *>(last->next);
      last->next = first;
      first = nested;
    }
    platform::Free(row);
  }
}

}  // namespace qorvcfg
