// Writes one element per value, structures nesting their members. The walk
// follows the value lists: it enters a structure through its nested container
// and leaves it through the container's owner, keeping only the container of
// each level entered, so any depth runs in constant stack. Output collects in
// one heap block; only the write of the closing line decides the result.
#include <array>
#include <cstddef>
#include <cstring>

#include "platform/platform.h"
#include "store/store.h"
#include "writer/item_tags.h"
#include "writer/output_buffer.h"
#include "writer/value_to_text.h"
#include "writer/writer.h"

namespace qorvcfg {
namespace writer {
namespace {

constexpr std::size_t kSpaceRun = kOverCopy;
constexpr std::array<char, kSpaceRun> kSpaces = [] {
  std::array<char, kSpaceRun> spaces{};
  spaces.fill(' ');
  return spaces;
}();

// Two spaces per level.
void PutIndent(OutputBuffer &out, std::uint32_t depth) {
  std::size_t left = std::size_t{2} * depth;
  if (left <= kSpaceRun) {
    std::memcpy(out.Room(left), kSpaces.data(), kSpaceRun);
    out.Advance(left);
    return;
  }
  for (; left > kSpaceRun; left -= kSpaceRun) out.Put(kSpaces.data(), kSpaceRun);
  out.Put(kSpaces.data(), left);
}

// "<name>" or "</name>\n".
void PutTag(OutputBuffer &out, const ItemName &name, bool closing) {
  const std::size_t opening = closing ? 2 : 1;
  const std::size_t ending = closing ? 2 : 1;
  if (name.padded && name.length <= kNamePadding) {
    char *at = out.Room(opening + kNamePadding + ending);
    std::memcpy(at, "</", 2);
    std::memcpy(at + opening, name.text, kNamePadding);
    std::memcpy(at + opening + name.length, ">\n", 2);
    out.Advance(opening + name.length + ending);
    return;
  }
  out.Put("</", opening);
  out.Put(name.text, name.length);
  out.Put(">\n", ending);
}

DataValue *OwnerOf(DataContainer *nested) {
  return ValueFromRecord(reinterpret_cast<DataRecord *>(reinterpret_cast<char *>(nested) -
                                                        offsetof(DataRecord, nested)));
}

// Values and their texts are reached through pointers, which the processor
// cannot follow ahead of time, and each is usually a cache miss. They tend to
// lie in memory in the order they were made, at similar distances: ask for
// the next one and, guessing that the distance repeats, a few after it.
void PrefetchAhead(const void *current, const void *next) {
  constexpr std::uintptr_t kAhead = 8;
  const auto to = reinterpret_cast<std::uintptr_t>(next);
  const std::uintptr_t stride = to - reinterpret_cast<std::uintptr_t>(current);
  for (std::uintptr_t i = 0; i < kAhead; ++i) {
    __builtin_prefetch(reinterpret_cast<const void *>(to + i * stride));
  }
}

const char *TextOf(const DataRecord &record) {
  switch (record.type) {
    case Zel_TYPE_STRING:
      return record.payload.text;
    case Zel_TYPE_ENUMERATION:
      return record.payload.keyword;
    case Zel_TYPE_IPADDR:
      return record.payload.ipaddr.form == Zel_IP_FORM_HOSTNAME ? record.payload.ipaddr.host_name
                                                                : nullptr;
    default:
      return nullptr;
  }
}

// levels holds max_depth containers: levels[d - 1] is the container being
// written at depth d.
void WriteContainerValues(OutputBuffer &out, const ItemNameTable &names, DataContainer *top,
                          DataContainer **levels, std::uint32_t max_depth) {
  std::uint32_t depth = 1;
  DataContainer *container = top;
  levels[0] = top;
  ListLinks *at = ListHead(top)->next;
  const char *last_text = nullptr;
  while (true) {
    if (at == ListHead(container)) {
      if (depth == 1) return;
      // The level is done: close the structure that owns it.
      DataValue *owner = OwnerOf(container);
      --depth;
      container = levels[depth - 1];
      PutIndent(out, depth);
      PutTag(out, names.Find(owner->item), true);
      at = owner->links.next;
      continue;
    }
    auto *value = reinterpret_cast<DataValue *>(at);
    const bool structure = value->record.type == Zel_TYPE_STRUCTURE;
    const ListLinks *next = structure ? ListHead(&value->record.nested)->next : at->next;
    PrefetchAhead(at, next);
    const char *text = TextOf(value->record);
    if (text != nullptr) {
      if (last_text != nullptr) PrefetchAhead(last_text, text);
      last_text = text;
    }
    const ItemName name = names.Find(value->item);
    PutIndent(out, depth);
    PutTag(out, name, false);
    if (structure && depth < max_depth) {
      container = &value->record.nested;
      levels[depth++] = container;
      at = ListHead(container)->next;
      continue;
    }
    // A structure deeper than its items can nest would hold nothing to write.
    if (structure) {
      PutIndent(out, depth);
    } else {
      PutValueText(out, value->record);
    }
    PutTag(out, name, true);
    at = at->next;
  }
}

// The one heap block of a write: the output, the item names, and the
// container of each level.
class WriteMemory {
 public:
  WriteMemory() = default;
  WriteMemory(const WriteMemory &) = delete;
  WriteMemory &operator=(const WriteMemory &) = delete;
  ~WriteMemory() { platform::Free(block_); }

  [[nodiscard]] bool Prepare(DataContainer *top) {
    ItemDefinition *first = top->count != 0 ? top->items[0] : nullptr;
    ItemTreeSize size;
    if (!MeasureItemTree(first, &size)) return false;
    // The top level counts even without items.
    max_depth_ = size.depth == 0 ? 1 : size.depth;
    const std::size_t levels_bytes = std::size_t{max_depth_} * sizeof(DataContainer *);
    const std::size_t names_bytes = ItemNameTable::BytesFor(size);
    block_ = static_cast<char *>(platform::Allocate(levels_bytes + names_bytes + kOutputBlockSize));
    if (block_ == nullptr) return false;
    levels_ = reinterpret_cast<DataContainer **>(block_);
    output_ = block_ + levels_bytes + names_bytes;
    return names_.Fill(first, size, block_ + levels_bytes);
  }

  [[nodiscard]] char *output() const { return output_; }
  [[nodiscard]] const ItemNameTable &names() const { return names_; }
  [[nodiscard]] DataContainer **levels() const { return levels_; }
  [[nodiscard]] std::uint32_t max_depth() const { return max_depth_; }

 private:
  char *block_ = nullptr;
  char *output_ = nullptr;
  DataContainer **levels_ = nullptr;
  std::uint32_t max_depth_ = 1;
  ItemNameTable names_;
};

}  // namespace

}  // namespace writer

ResultCode WriteConfigFile(const char *path, DataContainer *container) {
  // Memory comes first: when it runs out, the file is not touched.
  writer::WriteMemory memory;
  if (!memory.Prepare(container)) return Zel_ENOMEM;
  platform::FileHandle file = platform::kInvalidFile;
  const ResultCode opened = platform::OpenForWriting(path, &file);
  if (opened != Zel_OK) return opened;
  writer::OutputBuffer out(file, memory.output());
  out.Put("<config>\n", 9);
  writer::WriteContainerValues(out, memory.names(), container, memory.levels(), memory.max_depth());
  out.Flush();
  const ResultCode result = platform::WriteBytes(file, "</config>\n", 10);
  platform::Close(file);
  return result;
}

}  // namespace qorvcfg
