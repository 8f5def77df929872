// Reads data into a handle: derive the data grammar, parse with it, and load
// each converted node as a value, descending into structures with an
// explicit stack rather than recursion.
#include <cstring>

#include "api/observed_reads.h"
#include "definition/definition.h"
#include "markup/markup.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

// Every loaded value is made here: zeroed, unlinked, with an empty nested
// container.
DataValue *NewLoadedValue(OrphanList *orphans) {
  auto *value = static_cast<DataValue *>(platform::AllocateZeroed(sizeof(DataValue)));
  if (value == nullptr) return nullptr;
  value->orphans = orphans;
  ContainerMakeEmpty(&value->record.nested);
  return value;
}

// Fills the record of a value from a node of any kind but nested.
void ScalarToRecord(DataValue *value, ConvertedNode *node) {
  DataRecord &record = value->record;
  NodeValue &source = node->value;
  switch (node->kind) {
    case ValueKind::kInteger:
      record.type = Zel_TYPE_INTEGER;
      record.payload.integer = source.integer;
      return;
    case ValueKind::kString:
      record.type = Zel_TYPE_STRING;
      record.payload.text = source.text;
      node->kind = ValueKind::kNone;
      return;
    case ValueKind::kBoolean:
      record.type = Zel_TYPE_BOOLEAN;
      record.payload.boolean = source.boolean;
      return;
    case ValueKind::kIpAddress:
      record.type = Zel_TYPE_IPADDR;
      record.payload.ipaddr = source.ipaddr;
      node->kind = ValueKind::kNone;
      return;
    case ValueKind::kKeyword:
      record.type = Zel_TYPE_ENUMERATION;
      record.payload.keyword = source.text;
      node->kind = ValueKind::kNone;
      return;
    default:
      record.type = Zel_TYPE_NONE;
      return;
  }
}

// One level being loaded: its nodes, its container, and the structure
// value that owns the container (none at the top).
struct LoadFrame {
  ConvertedNode *cursor;
  DataContainer *container;
  DataValue *owner;
  std::int64_t owner_position;  // the owner's item in the enclosing container
};

class LoadStack {
 public:
  LoadStack() = default;
  LoadStack(const LoadStack &) = delete;
  LoadStack &operator=(const LoadStack &) = delete;
  ~LoadStack() { platform::Free(frames_); }
  [[nodiscard]] bool Push(const LoadFrame &frame) {
    if (size_ == capacity_) {
      const std::size_t grown = capacity_ == 0 ? 16 : capacity_ * 2;
      auto *fresh = static_cast<LoadFrame *>(platform::Allocate(grown * sizeof(LoadFrame)));
      if (fresh == nullptr) return false;
      if (size_ != 0) std::memcpy(fresh, frames_, size_ * sizeof(LoadFrame));
      platform::Free(frames_);
      frames_ = fresh;
      capacity_ = grown;
    }
    frames_[size_++] = frame;
    return true;
  }
  [[nodiscard]] std::size_t Size() const { return size_; }
  [[nodiscard]] LoadFrame &Top() { return frames_[size_ - 1]; }
  LoadFrame Pop() { return frames_[--size_]; }

 private:
  LoadFrame *frames_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// After a failure: every level from the innermost out is emptied, and each
// structure value that was being filled is released.
ResultCode Unwind(LoadStack *stack, ResultCode failure) {
  while (stack->Size() != 0) {
    const LoadFrame level = stack->Pop();
    for (std::uint32_t i = 0; i < level.container->count; ++i) {
      (void)IndexClear(level.container->indexes[i], ValueUnlinkRelease);
    }
    if (level.owner != nullptr) {
      ContainerClear(&level.owner->record.nested);
      ContainerMakeEmpty(&level.owner->record.nested);
      level.owner->record.type = Zel_TYPE_NONE;
      ValueRelease(level.owner);
    }
  }
  return failure;
}

}  // namespace

ResultCode LoadConvertedNodes(ConvertedNode *nodes, DataContainer *container, OrphanList *orphans) {
  LoadStack stack;
  if (!stack.Push(LoadFrame{nodes, container, nullptr, 0})) {
    return Unwind(&stack, Zel_ENOMEM);
  }
  while (stack.Size() != 0) {
    LoadFrame &level = stack.Top();
    if (level.cursor == nullptr) {
      // A structure's children are all in: the structure joins its level.
      const LoadFrame done = stack.Pop();
      if (done.owner == nullptr) break;
      DataValue *value = done.owner;
      value->record.type = Zel_TYPE_STRUCTURE;
      value->record.payload.structure = value->record.nested.next;
      DataContainer *parent = stack.Top().container;
      const ResultCode result = IndexInsert(parent->indexes[done.owner_position], value);
      if (result != Zel_OK) {
        ValueRelease(value);
        return Unwind(&stack, result);
      }
      LinkValue(parent, value);
      continue;
    }
    ConvertedNode *node = level.cursor;
    level.cursor = node->next;
    DataValue *value = NewLoadedValue(orphans);
    if (value == nullptr) return Unwind(&stack, Zel_ENOMEM);
    const std::int64_t position = FindItemByName(level.container, node->descriptor->name);
    if (position < 0) {
      ValueRelease(value);
      return Unwind(&stack, Zel_ENOTFOUND);
    }
    value->item = level.container->items[position];
    if (node->kind == ValueKind::kNested) {
      const ResultCode result = ContainerInit(&value->record.nested, value->item->children);
      if (result != Zel_OK) {
        ValueRelease(value);
        return Unwind(&stack, result);
      }
      if (!stack.Push(LoadFrame{node->value.nested, &value->record.nested, value, position})) {
        ContainerClear(&value->record.nested);
        ContainerMakeEmpty(&value->record.nested);
        ValueRelease(value);
        return Unwind(&stack, Zel_ENOMEM);
      }
      continue;
    }
    ScalarToRecord(value, node);
    const ResultCode result = IndexInsert(level.container->indexes[position], value);
    if (result != Zel_OK) {
      ValueRelease(value);
      return Unwind(&stack, result);
    }
    LinkValue(level.container, value);
  }
  return Zel_OK;
}

ResultCode ReadConfigReporting(std::uint32_t mode, const char *input, ConfigHandle *handle,
                               ReadDiagnostics *diagnostics) {
  if (input == nullptr || handle == nullptr) return Zel_EINVAL;
  ElementDescriptor *grammar = BuildDataGrammar(handle->items);
  if (grammar == nullptr) return Zel_ENOMEM;
  ConvertedNode *nodes = nullptr;
  ResultCode result = ParseMarkup(mode, input, grammar, &nodes, diagnostics);
  if (result == Zel_OK) {
    result = LoadConvertedNodes(nodes, &handle->data, &StateOf(handle)->orphans);
    ReleaseNodeList(nodes);
  }
  ReleaseDataGrammar(grammar);
  return result;
}

ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle) {
  return ReadConfigReporting(mode, input, handle, nullptr);
}

}  // namespace qorvcfg
