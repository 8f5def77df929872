// Checks the children of one element against a grammar and converts the
// accepted ones. Lenient: whatever does not fit is left out (and reported to
// a reporter when there is one). Nested elements are followed with an
// explicit stack of levels, never by recursion.
#include <cstring>
#include <string_view>

#include "base/walk_stack.h"
#include "markup/markup.h"
#include "platform/assert.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

bool IsKnownKind(ValueKind kind) {
  const auto k = static_cast<std::uint32_t>(kind);
  return k >= 1 && k <= 9;
}

std::string_view NameOf(const MarkupElement *element) {
  return {element->name, element->name_length};
}

// A level that is converting the children of one nested element.
struct NestedFrame {
  ConversionLevel level;
  const MarkupElement *owner;    // the nested element
  const ElementDescriptor *row;  // its row at the enclosing level
  std::size_t position;          // that row's place in its grammar
  const MarkupElement *cursor;   // the next child to convert
};

// The stack of nested levels; a few in place: most elements nest only that deep.
using FrameStack = WalkStack<NestedFrame, 4>;

void Report(ReadDiagnostics *diagnostics, QorvcfgDiagnosticKind kind, const MarkupElement *element,
            const MessageText &message, std::uint32_t related = kNoOffset) {
  diagnostics->Report(kind, element->offset, NameOf(element), message.Text(), related);
}

// What was left out, reported only with a reporter. Out of line and cold, so
// that the hot paths carry no message buffers.
enum class LeftOut { kDuplicate, kUnknown, kNumberReached, kEmptyStructure };

[[gnu::cold, gnu::noinline]] void ReportLeftOut(ReadDiagnostics *diagnostics, LeftOut why,
                                                const MarkupElement *element,
                                                std::uint64_t detail = 0,
                                                std::uint32_t related = kNoOffset) {
  MessageText message;
  message.Add(NameOf(element));
  switch (why) {
    case LeftOut::kDuplicate:
      message.Add(": equal to an earlier sibling");
      Report(diagnostics, QORVCFG_DIAG_DUPLICATE, element, message, related);
      return;
    case LeftOut::kUnknown:
      message.Add(": no such item at this level");
      Report(diagnostics, QORVCFG_DIAG_UNKNOWN_ELEMENT, element, message);
      return;
    case LeftOut::kNumberReached:
      message.Add(": number of values ").AddInteger(static_cast<std::int64_t>(detail));
      message.Add(" reached");
      Report(diagnostics, QORVCFG_DIAG_NUMBER_REACHED, element, message);
      return;
    case LeftOut::kEmptyStructure:
      message.Add(": none of its children was accepted");
      Report(diagnostics, QORVCFG_DIAG_EMPTY_STRUCTURE, element, message);
      return;
  }
}

[[gnu::cold, gnu::noinline]] void ReportNotConverted(ReadDiagnostics *diagnostics,
                                                     const ElementDescriptor *row,
                                                     const MarkupElement *element,
                                                     ResultCode result) {
  MessageText message;
  DescribeConversionFailure(row, element, result, &message);
  Report(diagnostics, QORVCFG_DIAG_NOT_CONVERTED, element, message);
}

// Keeps node at level unless an equal sibling was accepted before.
void Accept(ConversionLevel *level, const ElementDescriptor *row, std::size_t position,
            const MarkupElement *element, ConvertedNode *node, ReadDiagnostics *diagnostics) {
  node->descriptor = row;
  node->offset = element->offset;
  node->element = element;
  if (level->sink != nullptr) {
    std::uint32_t earlier = kNoOffset;
    if (level->sink->offer(level->sink->context, node, &earlier)) {
      if (diagnostics != nullptr) {
        ReportLeftOut(diagnostics, LeftOut::kDuplicate, element, 0, earlier);
      }
      ReleaseNodeList(node, level->nodes);
      return;
    }
    level->Counters()[position] += 1;
    level->stopped = level->sink->take(level->sink->context, node);
    return;
  }
  // Equal nodes have one name and so one row: none of this row's was taken
  // yet, none is equal.
  bool undecided = false;
  const ConvertedNode *equal = level->Counters()[position] == 0
                                   ? nullptr
                                   : level->accepted.FindEqual(node, level->head, &undecided);
  if (undecided) {
    // Telling a repeat is part of converting the element: when a comparison
    // runs out of memory the element is left out, as any element whose
    // conversion runs out of memory, and the walk goes on.
    ReleaseNodeList(node, level->nodes);
    return;
  }
  if (equal != nullptr) {
    if (diagnostics != nullptr) {
      ReportLeftOut(diagnostics, LeftOut::kDuplicate, element, 0, equal->offset);
    }
    ReleaseNodeList(node, level->nodes);
    return;
  }
  if (level->tail == nullptr) {
    level->head = node;
  } else {
    level->tail->next = node;
  }
  level->tail = node;
  level->accepted.Add(node, level->head);
  level->Counters()[position] += 1;
}

// Starts converting one element at level. Gives the row when the element is
// nested and must be followed into its children, else handles it whole.
const ElementDescriptor *Offer(ConversionLevel *level, const MarkupElement *element,
                               std::size_t *position, ReadDiagnostics *diagnostics) {
  const ElementDescriptor *row = LevelFindRow(level, element, position);
  if (row == nullptr) {
    if (diagnostics != nullptr) ReportLeftOut(diagnostics, LeftOut::kUnknown, element);
    return nullptr;
  }
  if (row->limit != 0 && level->Counters()[*position] >= row->limit) {
    if (diagnostics != nullptr) {
      ReportLeftOut(diagnostics, LeftOut::kNumberReached, element, row->limit);
    }
    return nullptr;
  }
  if (!IsKnownKind(row->kind)) return nullptr;
  if (row->kind == ValueKind::kNested) return row;
  ConvertedNode *node = nullptr;
  const ResultCode result = ConvertByKind(row, element, &node, level->nodes);
  if (result != Zel_OK) {
    if (diagnostics != nullptr && result != Zel_ENOMEM) {
      ReportNotConverted(diagnostics, row, element, result);
    }
    return nullptr;
  }
  Accept(level, row, *position, element, node, diagnostics);
  return nullptr;
}

}  // namespace

const char *ElementValueText(const MarkupElement *element) { return element->value; }

namespace {

// NameHead of an element's name, read as one word: the input that holds the
// name ends in kInputPadding zero bytes, so 8 bytes can always be read.
std::uint64_t ElementNameHead(const char *name, std::size_t length) {
  static_assert(kInputPadding >= 8);
  if constexpr (std::endian::native != std::endian::little) return NameHead(name, length);
  std::uint64_t word = 0;
  std::memcpy(&word, name, sizeof word);
  return length >= 8 ? word : word & ((std::uint64_t{1} << (8 * length)) - 1);
}

// Whether row is named by the length bytes at name.
bool RowNamed(const ElementDescriptor *row, const char *name, std::size_t length) {
  const char *row_name = row->name;
  if (row_name == nullptr) return false;
  if (row->name_length != ElementDescriptor::kUnknownLength) {
    return row->name_length == length && ElementNameHead(name, length) == row->name_head &&
           (length <= 8 || std::memcmp(row_name + 8, name + 8, length - 8) == 0);
  }
  // Same bytes up to length, where the row's name must end; the row's name
  // ends at its first zero byte, which stops the walk early.
  std::size_t i = 0;
  while (i < length && row_name[i] == name[i]) ++i;
  return i == length && row_name[length] == '\0';
}

}  // namespace

const ElementDescriptor *FindRow(const ElementDescriptor *grammar, const char *name,
                                 std::size_t length, std::size_t *position) {
  QORVCFG_ASSERT(name != nullptr || length == 0, "a name to look for");
  std::size_t at = 0;
  for (const ElementDescriptor *row = grammar; row != nullptr; row = row->next, ++at) {
    if (RowNamed(row, name, length)) {
      *position = at;
      return row;
    }
  }
  return nullptr;
}

const ElementDescriptor *LevelFindRow(ConversionLevel *level, const MarkupElement *element,
                                      std::size_t *position) {
  // Siblings mostly come in the order of their rows, or repeat one: the row
  // of the last element and the one after it are tried first.
  const ElementDescriptor *last = level->last_row;
  if (last != nullptr && last->name_unique) {
    if (RowNamed(last, element->name, element->name_length)) {
      *position = level->last_position;
      return last;
    }
    const ElementDescriptor *next = last->next;
    if (next != nullptr && next->name_unique &&
        RowNamed(next, element->name, element->name_length)) {
      level->last_row = next;
      *position = ++level->last_position;
      return next;
    }
  }
  const ElementDescriptor *row =
      FindRow(level->grammar, element->name, element->name_length, position);
  if (row != nullptr) {
    level->last_row = row;
    level->last_position = *position;
  }
  return row;
}

bool LevelStart(ConversionLevel *level, const ElementDescriptor *grammar) {
  // Rows are counted only as far as the counters in place reach.
  std::size_t rows = 0;
  const ElementDescriptor *row = grammar;
  for (; row != nullptr && rows <= ConversionLevel::kRowsInPlace; row = row->next) ++rows;
  std::uint32_t *spilled = nullptr;
  if (rows > ConversionLevel::kRowsInPlace) {
    for (; row != nullptr; row = row->next) ++rows;
    spilled = static_cast<std::uint32_t *>(platform::AllocateZeroed(rows * sizeof(std::uint32_t)));
    if (spilled == nullptr) return false;
  }
  *level = ConversionLevel{grammar, spilled, {},      kEmptyDuplicateTable,
                           nullptr, nullptr, nullptr, nullptr,
                           Zel_OK,  nullptr, 0};
  return true;
}

ConvertedNode *LevelFinish(ConversionLevel *level) {
  platform::Free(level->spilled);
  level->spilled = nullptr;
  level->accepted.Release();
  return level->head;
}

void LevelConvertElement(ConversionLevel *base, const MarkupElement *element,
                         ReadDiagnostics *diagnostics) {
  if (base->stopped != Zel_OK) return;
  FrameStack stack;
  // Enters a nested element: a new level over its children.
  auto enter = [&](const MarkupElement *owner, const ElementDescriptor *row, std::size_t position) {
    NestedFrame *frame = stack.Push();
    if (frame == nullptr) return;
    if (!LevelStart(&frame->level, static_cast<const ElementDescriptor *>(row->aux))) {
      stack.Pop();
      return;
    }
    frame->level.nodes = base->nodes;  // every level of a read takes nodes from one place
    frame->owner = owner;
    frame->row = row;
    frame->position = position;
    frame->cursor = owner->first_child;
  };

  std::size_t position = 0;
  const ElementDescriptor *row = Offer(base, element, &position, diagnostics);
  if (row != nullptr) enter(element, row, position);
  while (stack.Size() != 0) {
    NestedFrame &top = stack.Top();
    if (top.cursor != nullptr) {
      const MarkupElement *child = top.cursor;
      top.cursor = child->next;
      const ElementDescriptor *child_row = Offer(&top.level, child, &position, diagnostics);
      if (child_row != nullptr) enter(child, child_row, position);
      continue;
    }
    // Every child is done: the nested element becomes one node, or is
    // dropped when none of its children was accepted.
    ConvertedNode *children = LevelFinish(&top.level);
    const MarkupElement *owner = top.owner;
    const ElementDescriptor *owner_row = top.row;
    const std::size_t owner_position = top.position;
    stack.Pop();
    ConversionLevel *parent = stack.Size() != 0 ? &stack.Top().level : base;
    if (children == nullptr) {
      if (diagnostics != nullptr) ReportLeftOut(diagnostics, LeftOut::kEmptyStructure, owner);
      continue;
    }
    ConvertedNode *node = NewNode(ValueKind::kNested, base->nodes);
    if (node == nullptr) {
      ReleaseNodeList(children, base->nodes);
      continue;
    }
    node->value.nested = children;
    Accept(parent, owner_row, owner_position, owner, node, diagnostics);
  }
}

ResultCode ConvertElements(const ElementDescriptor *grammar, const MarkupElement *first,
                           ConvertedNode **out, ReadDiagnostics *diagnostics) {
  ConversionLevel level;
  if (!LevelStart(&level, grammar)) return Zel_ENOMEM;
  for (const MarkupElement *element = first; element != nullptr; element = element->next) {
    LevelConvertElement(&level, element, diagnostics);
  }
  *out = LevelFinish(&level);
  return Zel_OK;
}

ResultCode ConvertNested(const MarkupElement *element, const ElementDescriptor *grammar,
                         ConvertedNode **out) {
  ConvertedNode *node = NewNode(ValueKind::kNested);
  if (node == nullptr) return Zel_ENOMEM;
  ConvertedNode *nested = nullptr;
  const ResultCode result = ConvertElements(grammar, element->first_child, &nested);
  if (result != Zel_OK || nested == nullptr) {
    platform::Free(node);
    return result != Zel_OK ? result : Zel_EINVAL;
  }
  node->value.nested = nested;
  *out = node;
  return Zel_OK;
}

// An accepted sibling is compared with the new node in the order in which an
// index compares a stored value with a new one, so that a read never gives
// loading two siblings that its index would refuse as equal.
ResultCode FindDuplicateNode(const ConvertedNode *node, const ConvertedNode *accepted) {
  for (; accepted != nullptr; accepted = accepted->next) {
    const Sameness same = NodesEqual(accepted, node);
    if (same != Sameness::kDifferent) return same == Sameness::kSame ? Zel_EEXIST : Zel_ENOMEM;
  }
  return Zel_OK;
}

}  // namespace qorvcfg
