// Walks the item tree without recursion: a stack on the heap keeps, for each
// level entered, the item to go on with when that level is done.
#include "writer/item_tags.h"

#include <cstring>

#include "base/walk_stack.h"
#include "platform/platform.h"

namespace qorvcfg::writer {
namespace {

using ResumeStack = WalkStack<ItemDefinition *, 64>;

// Calls visit(item, depth) for every item, parents before their children.
template <typename Visit>
[[nodiscard]] bool WalkItems(ItemDefinition *first, Visit &&visit) {
  ResumeStack resume;
  std::uint32_t depth = 1;
  ItemDefinition *item = first;
  while (item != nullptr) {
    visit(item, depth);
    if (item->children != nullptr) {
      if (!resume.Push(item->next)) return false;
      item = item->children;
      ++depth;
      continue;
    }
    item = item->next;
    while (item == nullptr && !resume.Empty()) {
      item = resume.Pop();
      --depth;
    }
  }
  return true;
}

std::uint32_t NameLength(const ItemDefinition *item) {
  return item->name == nullptr ? 0 : static_cast<std::uint32_t>(std::strlen(item->name));
}

}  // namespace

bool MeasureItemTree(ItemDefinition *first, ItemTreeSize *size) {
  ItemTreeSize found;
  const bool walked = WalkItems(first, [&](const ItemDefinition *item, std::uint32_t depth) {
    ++found.items;
    found.name_bytes += NameLength(item);
    if (depth > found.depth) found.depth = depth;
  });
  if (walked) *size = found;
  return walked;
}

std::size_t ItemNameTable::SlotsFor(std::size_t items) {
  std::size_t slots = 16;
  while (slots < items * 2) slots *= 2;
  return slots;
}

std::size_t ItemNameTable::BytesFor(const ItemTreeSize &size) {
  return SlotsFor(size.items) * sizeof(ItemName) + size.name_bytes + kNamePadding;
}

bool ItemNameTable::Fill(ItemDefinition *first, const ItemTreeSize &size, void *storage) {
  const std::size_t slots = SlotsFor(size.items);
  slots_ = static_cast<ItemName *>(storage);
  mask_ = slots - 1;
  shift_ = 64;
  for (std::size_t n = slots; n > 1; n /= 2) --shift_;
  for (std::size_t i = 0; i < slots; ++i) slots_[i] = ItemName{nullptr, nullptr, 0, false};
  // The names follow the slots one after the other; the padding at the end
  // keeps a fixed-size copy of the last one inside the block.
  char *names = reinterpret_cast<char *>(slots_ + slots);
  std::memset(names + size.name_bytes, 0, kNamePadding);
  return WalkItems(first, [&](const ItemDefinition *item, std::uint32_t) {
    const std::uint32_t length = NameLength(item);
    if (length != 0) std::memcpy(names, item->name, length);
    std::size_t slot = Hash(item);
    while (slots_[slot].item != nullptr) slot = (slot + 1) & mask_;
    slots_[slot] = ItemName{item, names, length, true};
    names += length;
  });
}

ItemName ItemNameTable::Measured(const ItemDefinition *item) {
  return ItemName{item, item->name != nullptr ? item->name : "", NameLength(item), false};
}

}  // namespace qorvcfg::writer
