// Reads data into a handle: derive the data grammar, parse with it, and load
// each converted node as a value, descending into structures with an
// explicit stack rather than recursion.
#include <cstring>

#include "base/read_diagnostics.h"
#include "base/text_copy.h"
#include "base/walk_stack.h"
#include "definition/definition.h"
#include "markup/markup.h"
#include "platform/platform.h"
#include "store/loaded_value_matching.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

// Fills the record of a value from a node of any kind but nested. A node
// that owns its texts gives them up; borrowed texts are copied, and only
// that copy can fail.
ResultCode ScalarToRecord(DataValue *value, ConvertedNode *node, bool borrowed) {
  DataRecord &record = value->record;
  NodeValue &source = node->value;
  switch (node->kind) {
    case ValueKind::kInteger:
      record.type = Zel_TYPE_INTEGER;
      record.payload.integer = source.integer;
      return Zel_OK;
    case ValueKind::kString:
    case ValueKind::kKeyword:
      record.type = node->kind == ValueKind::kString ? Zel_TYPE_STRING : Zel_TYPE_ENUMERATION;
      if (borrowed) return RecordCopyText(&record, source.text);
      record.payload.text = source.text;
      node->kind = ValueKind::kNone;
      return Zel_OK;
    case ValueKind::kBoolean:
      record.type = Zel_TYPE_BOOLEAN;
      record.payload.boolean = source.boolean;
      return Zel_OK;
    case ValueKind::kIpAddress:
      record.type = Zel_TYPE_IPADDR;
      record.payload.ipaddr = source.ipaddr;
      if (borrowed) {
        record.payload.ipaddr.host_name = nullptr;
        if (source.ipaddr.host_name == nullptr) return Zel_OK;
        return DuplicateText(source.ipaddr.host_name, &record.payload.ipaddr.host_name);
      }
      node->kind = ValueKind::kNone;
      return Zel_OK;
    default:
      record.type = Zel_TYPE_NONE;
      return Zel_OK;
  }
}

// One level being loaded: its nodes, its container, and the structure
// value that owns the container (none at the top).
struct LoadFrame {
  ConvertedNode *cursor;
  DataContainer *container;
  DataValue *owner;
  std::int64_t owner_position;  // the owner's item in the enclosing container
  const MarkupElement *owner_element;
};

using LoadStack = WalkStack<LoadFrame, 8>;  // most data nests no deeper

void EmptyContainer(DataContainer *container) { ContainerReleaseValues(container); }

// The container's item that a grammar row stands for: the item at the row's
// place, which lends the row its name, or else the first item of that name.
std::int64_t ItemOfRow(const DataContainer *container, const ElementDescriptor *row) {
  const std::uint32_t at = row->position;
  if (at < container->count && container->items[at]->name == row->name) return at;
  return FindItemByName(container, row->name);
}

// After a failure: every level from the innermost out is emptied (the top
// level only when asked), and each structure value that was being filled is
// released.
ResultCode Unwind(LoadStack *stack, ResultCode failure, bool empty_top) {
  while (stack->Size() != 0) {
    const LoadFrame level = stack->Pop();
    if (level.owner != nullptr || empty_top) EmptyContainer(level.container);
    if (level.owner != nullptr) {
      ContainerRelease(&level.owner->record.nested);
      ContainerInitEmpty(&level.owner->record.nested);
      level.owner->record.type = Zel_TYPE_NONE;
      ValueRelease(level.owner);
    }
  }
  return failure;
}

[[gnu::cold, gnu::noinline]] void ReportLinked(ReadDiagnostics *spans, const MarkupElement *element,
                                               const DataValue *value, const DataValue *owner) {
  QorvcfgValueSpan span = SpanOfElement(element, spans->Input());
  span.value = &value->record;
  span.parent = owner != nullptr ? &owner->record : nullptr;
  spans->ReportSpan(span);
}

struct LoadOptions {
  bool empty_top;  // a failure empties the top container too
  bool borrowed;   // the nodes' texts are not theirs to give
  // Values of the top container are linked without their index and added
  // here (ContainerLinkUnindexed); the read fills the indexes at its end.
  PendingValues *pending = nullptr;
  ReadDiagnostics *spans = nullptr;  // each value linked is reported with its element
};

// Inserts a value into level's container, or only links it there.
ResultCode InsertOrLink(DataContainer *container, std::uint32_t position, DataValue *value,
                        PendingValues *pending) {
  if (pending == nullptr) return ContainerInsertValue(container, position, value);
  return ContainerLinkUnindexed(container, position, value, pending);
}

// Loads nodes into container, descending into structures. With spans, each
// value linked is reported with its element.
ResultCode LoadNodes(ConvertedNode *nodes, DataContainer *container, ValuePool *pool,
                     const LoadOptions &options) {
  const bool empty_top = options.empty_top;
  const bool borrowed = options.borrowed;
  ReadDiagnostics *spans = options.spans;
  LoadStack stack;
  if (!stack.Push(LoadFrame{nodes, container, nullptr, 0, nullptr})) {
    return Unwind(&stack, Zel_ENOMEM, empty_top);
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
      const ResultCode result =
          InsertOrLink(parent, static_cast<std::uint32_t>(done.owner_position), value,
                       stack.Size() == 1 ? options.pending : nullptr);
      if (result != Zel_OK) {
        ValueRelease(value);
        return Unwind(&stack, result, empty_top);
      }
      if (spans != nullptr) ReportLinked(spans, done.owner_element, value, stack.Top().owner);
      continue;
    }
    ConvertedNode *node = level.cursor;
    level.cursor = node->next;
    // Unlinked, with an empty nested container; its item is set once the
    // node's row has been matched.
    DataValue *value = NewLoadedValue(nullptr, pool);
    if (value == nullptr) return Unwind(&stack, Zel_ENOMEM, empty_top);
    const std::int64_t position = ItemOfRow(level.container, node->descriptor);
    if (position < 0) {
      ValueRelease(value);
      return Unwind(&stack, Zel_ENOTFOUND, empty_top);
    }
    value->item = level.container->items[position];
    if (node->kind == ValueKind::kNested) {
      const ResultCode result = ContainerInit(&value->record.nested, value->item->children);
      if (result != Zel_OK) {
        ValueRelease(value);
        return Unwind(&stack, result, empty_top);
      }
      if (!stack.Push(LoadFrame{node->value.nested, &value->record.nested, value, position,
                                node->element})) {
        ContainerRelease(&value->record.nested);
        ContainerInitEmpty(&value->record.nested);
        ValueRelease(value);
        return Unwind(&stack, Zel_ENOMEM, empty_top);
      }
      continue;
    }
    ResultCode result = ScalarToRecord(value, node, borrowed);
    if (result == Zel_OK) {
      result = InsertOrLink(level.container, static_cast<std::uint32_t>(position), value,
                            stack.Size() == 1 ? options.pending : nullptr);
    }
    if (result != Zel_OK) {
      ValueRelease(value);
      return Unwind(&stack, result, empty_top);
    }
    if (spans != nullptr) ReportLinked(spans, node->element, value, level.owner);
  }
  return Zel_OK;
}

// Loads each accepted child of the root as soon as it is converted, and
// finds whether an earlier sibling of this read equals it, in one of two
// ways (Mode). A read that fails in its markup takes its values out again; a
// read that fails while loading empties the container.
class RootLoader {
 public:
  RootLoader(DataContainer *container, ValuePool *pool, ReadDiagnostics *diagnostics)
      : container_(container),
        pool_(pool),
        spans_(diagnostics != nullptr && diagnostics->WantsSpans() ? diagnostics : nullptr),
        mark_(ListHead(container)->prev),
        keep_offsets_(diagnostics != nullptr),
        defer_repeats_(diagnostics == nullptr) {
    mode_ = mark_ != ListHead(container) ? Mode::kOneByOne : Mode::kAtEnd;
  }
  RootLoader(const RootLoader &) = delete;
  RootLoader &operator=(const RootLoader &) = delete;
  ~RootLoader() {
    platform::Free(values_);
    PendingRelease(&pending_);
    NodeSourceRelease(&nodes_);
  }

  [[nodiscard]] RootNodeSink Sink() { return RootNodeSink{this, &OfferThunk, &TakeThunk, &nodes_}; }
  [[nodiscard]] ResultCode Failure() const { return failure_; }

  // Takes out every value this read linked; the container is as before it.
  void TakeBack() {
    if (mode_ != Mode::kOneByOne) {
      Empty();  // it was empty before, and some values may be in no index yet
      return;
    }
    ListLinks *head = ListHead(container_);
    while (head->prev != mark_) {
      DataValue *value = ValueOfLinks(head->prev);
      const std::int64_t position = FindItemByPointer(container_, value->item);
      if (position >= 0) (void)IndexRemoveNode(container_->indexes[position], &value->node);
      UnlinkValue(value);
      ValueRelease(value);
    }
  }
  void Empty() { EmptyContainer(container_); }

  // After a read that loaded everything: the values still out of their
  // indexes go in. The table is given back first, so that the two are never
  // held together.
  [[nodiscard]] ResultCode IndexValues() {
    platform::Free(values_);
    values_ = nullptr;
    capacity_ = used_ = 0;
    const ResultCode result = mode_ == Mode::kAtEnd
                                  ? ContainerIndexPending(container_, &pending_, defer_repeats_)
                                  : Zel_OK;
    PendingRelease(&pending_);
    return result;
  }

 private:
  enum class Mode {
    // Into a container that holds values already: the table answers, and
    // each value goes into its index at once.
    kOneByOne,
    // Into an empty container: the values are only linked, and each index
    // takes its values at the end of the read, sorted. The table answers
    // for the values whose repeats cannot wait (Defers).
    kAtEnd,
  };
  // The table is three arrays in one block: the value of each slot, the low
  // half of its node's hash (which picks the slot, and checks candidates),
  // and, only when positions are reported, its element's offset: twelve
  // bytes a slot for plain reads.
  // Never 0, which marks an empty slot: a probe that finds no match reads
  // only the small array of checks.
  static std::uint32_t Check(std::uint64_t hash) {
    const auto check = static_cast<std::uint32_t>(hash);
    return check != 0 ? check : 1;
  }
  [[nodiscard]] std::uint32_t *Checks() const {
    return reinterpret_cast<std::uint32_t *>(values_ + capacity_);
  }
  [[nodiscard]] std::uint32_t *Offsets() const { return Checks() + capacity_; }

  static bool OfferThunk(void *self, const ConvertedNode *node, std::uint32_t *offset) {
    return static_cast<RootLoader *>(self)->Offer(node, offset);
  }
  static ResultCode TakeThunk(void *self, ConvertedNode *node) {
    return static_cast<RootLoader *>(self)->Take(node);
  }

  // Whether an earlier sibling equals node.
  bool Offer(const ConvertedNode *node, std::uint32_t *offset) {
    if (mode_ == Mode::kAtEnd && Defers(node)) {
      deferred_ = node;  // Take decides
      return false;
    }
    bool repeated = false;
    // A repeat that cannot be decided for want of memory fails loading, as
    // making the value would: never a repeat by default, nor a value taken
    // for new.
    if (!FindInTable(node, offset, &repeated)) {
      failed_ = Zel_ENOMEM;
      return false;
    }
    return repeated;
  }

  // Whether repeats of node are left for the end of the read to find: its
  // item takes any number of values, so leaving a repeat in until then
  // changes no count, and only values that order by their contents are
  // told apart there (Take looks the others up when it has made them). The
  // table never holds a value of such an item that orders by its contents,
  // and no value it holds can equal one of those.
  [[nodiscard]] bool Defers(const ConvertedNode *node) const {
    return defer_repeats_ && node->descriptor->limit == 0;
  }
  // Adds a value of this read to the table; false when the table could not
  // grow. The table is what loading knows of the values it made, so that is
  // an allocation failure of loading: the read answers Zel_ENOMEM and the
  // container is emptied.
  [[nodiscard]] bool Keep(const DataValue *value, std::uint64_t hash, std::uint32_t offset) {
    // At most three quarters full.
    if ((used_ + 1) * 4 > capacity_ * 3 && !Grow()) return false;
    Place(value, Check(hash), offset);
    ++used_;
    return true;
  }

  // Whether a value of this read equals node, in *repeated; false when a
  // comparison ran out of memory and could not decide.
  [[nodiscard]] bool FindInTable(const ConvertedNode *node, std::uint32_t *offset, bool *repeated) {
    *repeated = false;
    // Take follows at once for a node that has no equal: it reuses the hash.
    hashed_node_ = node;
    hashed_ = HashNode(node, &hash_);
    if (!hashed_ || values_ == nullptr) return true;
    const std::uint32_t check = Check(hash_);
    for (std::size_t i = check & (capacity_ - 1);; i = (i + 1) & (capacity_ - 1)) {
      const std::uint32_t at = Checks()[i];
      if (at == 0) return true;
      if (at != check) continue;
      const Sameness same = NodeEqualsValue(node, values_[i]);
      if (same == Sameness::kUnknown) return false;
      if (same == Sameness::kSame) {
        *offset = keep_offsets_ ? Offsets()[i] : kNoOffset;
        *repeated = true;
        return true;
      }
    }
  }

  ResultCode Take(ConvertedNode *node) {
    if (failed_ != Zel_OK) {
      ReleaseNodeList(node, &nodes_);
      failure_ = failed_;
      return failure_;
    }
    if (deferred_ == node) {
      deferred_ = nullptr;
      const ResultCode result = TakeDeferred(node);
      ReleaseNodeList(node, &nodes_);
      if (result != Zel_OK) failure_ = result;
      return result;
    }
    std::uint64_t hash = hash_;
    const bool hashed = hashed_node_ == node ? hashed_ : HashNode(node, &hash);
    hashed_node_ = nullptr;
    const std::uint32_t offset = node->offset;
    const ResultCode result = LoadNodes(node, container_, pool_,
                                        {.empty_top = false,
                                         .borrowed = true,
                                         .pending = mode_ == Mode::kAtEnd ? &pending_ : nullptr,
                                         .spans = spans_});
    ReleaseNodeList(node, &nodes_);
    if (result != Zel_OK) {
      failure_ = result;
      return result;
    }
    if (hashed && !Keep(ValueOfLinks(ListHead(container_)->prev), hash, offset)) {
      failure_ = Zel_ENOMEM;
      return Zel_ENOMEM;
    }
    return Zel_OK;
  }

  // Loads a node whose repeats the end of the read finds when its value
  // orders by its contents; one ordered by its address is looked up in the
  // table now, and left out again when it repeats an earlier sibling.
  ResultCode TakeDeferred(const ConvertedNode *node) {
    const ResultCode result =
        LoadNodes(const_cast<ConvertedNode *>(node), container_, pool_,
                  {.empty_top = false, .borrowed = true, .pending = &pending_});
    if (result != Zel_OK) return result;
    DataValue *value = ValueOfLinks(ListHead(container_)->prev);
    if (PendingOrdersByContents(value)) return Zel_OK;
    bool repeated = false;
    std::uint32_t offset = kNoOffset;
    if (!FindInTable(node, &offset, &repeated)) return Zel_ENOMEM;
    hashed_node_ = nullptr;  // the node goes when this returns
    if (repeated) {
      PendingDropLast(&pending_);
      UnlinkValue(value);
      ValueRelease(value);
      return Zel_OK;
    }
    return hashed_ && !Keep(value, hash_, kNoOffset) ? Zel_ENOMEM : Zel_OK;
  }

  void Place(const DataValue *value, std::uint32_t check, std::uint32_t offset) {
    std::size_t i = check & (capacity_ - 1);
    while (Checks()[i] != 0) i = (i + 1) & (capacity_ - 1);
    values_[i] = value;
    Checks()[i] = check;
    if (keep_offsets_) Offsets()[i] = offset;
  }

  bool Grow() {
    const std::size_t grown = capacity_ == 0 ? 64 : capacity_ * 2;
    const std::size_t slot_bytes =
        sizeof(DataValue *) + sizeof(std::uint32_t) * (keep_offsets_ ? 2 : 1);
    auto *fresh = static_cast<const DataValue **>(platform::AllocateZeroed(grown * slot_bytes));
    if (fresh == nullptr) return false;
    const DataValue **old_values = values_;
    const std::uint32_t *old_checks = Checks();
    const std::uint32_t *old_offsets = Offsets();
    const std::size_t old_capacity = capacity_;
    values_ = fresh;
    capacity_ = grown;
    for (std::size_t i = 0; i < old_capacity; ++i) {
      if (old_values[i] != nullptr) {
        Place(old_values[i], old_checks[i], keep_offsets_ ? old_offsets[i] : kNoOffset);
      }
    }
    platform::Free(old_values);
    return true;
  }

  DataContainer *container_;
  ValuePool *pool_;
  ReadDiagnostics *spans_;  // null unless the read reports where values came from
  ListLinks *mark_;         // the last value before this read
  ResultCode failure_ = Zel_OK;
  bool keep_offsets_;
  // A read without reports leaves repeats of items without a limit for its
  // end to find (Defers).
  bool defer_repeats_;
  const ConvertedNode *deferred_ = nullptr;  // the node Offer left for Take to decide
  const DataValue **values_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  const ConvertedNode *hashed_node_ = nullptr;  // the node Offer last hashed
  std::uint64_t hash_ = 0;
  bool hashed_ = false;
  Mode mode_;
  PendingValues pending_;       // Mode::kAtEnd: the values waiting for their index
  ResultCode failed_ = Zel_OK;  // what Offer left for Take
  NodeSource nodes_{nullptr};   // the nodes of the read, whose texts stay in its input
};

}  // namespace

ResultCode LoadConvertedNodes(ConvertedNode *nodes, DataContainer *container, ValuePool *pool) {
  return LoadNodes(nodes, container, pool, {.empty_top = true, .borrowed = false});
}

ResultCode ReadConfigReporting(std::uint32_t mode, const char *input, ConfigHandle *handle,
                               ReadDiagnostics *diagnostics) {
  if (input == nullptr || handle == nullptr) return Zel_EINVAL;
  ElementDescriptor *grammar = BuildDataGrammar(handle->items);
  if (grammar == nullptr) return Zel_ENOMEM;
  ResultCode result;
  {
    RootLoader loader(&handle->data, &StateOf(handle)->values, diagnostics);
    const RootNodeSink sink = loader.Sink();
    ConvertedNode *nodes = nullptr;  // stays empty: the loader takes every node
    result = ParseMarkup(mode, input, grammar, &nodes, diagnostics, &sink);
    ReleaseNodeList(nodes);
    if (result != Zel_OK) {
      loader.TakeBack();  // a markup error or an input that could not be read
    } else if (loader.Failure() != Zel_OK) {
      loader.Empty();
      result = loader.Failure();
    } else if ((result = loader.IndexValues()) != Zel_OK) {
      loader.Empty();
    }
  }
  ReleaseDataGrammar(grammar);
  return result;
}

ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle) {
  return ReadConfigReporting(mode, input, handle, nullptr);
}

}  // namespace qorvcfg
