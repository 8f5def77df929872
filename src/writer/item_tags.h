// What the writer needs of the item definitions: each item's name with its
// length measured once, and how deep the items nest.
//
// What holds: the table borrows its storage from the writer and the names
// from the items, which outlive it; it owns nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorvcfg.h"

namespace qorvcfg::writer {

struct ItemName {
  const ItemDefinition *item;
  const char *text;
  std::uint32_t length;
  bool padded;  // text is readable for kNamePadding bytes past its start
};

// Names of at most this many bytes are copied as one fixed-size piece.
inline constexpr std::size_t kNamePadding = 32;

// Sizes found by walking the item tree of a level and every level below it.
struct ItemTreeSize {
  std::size_t items = 0;
  std::size_t name_bytes = 0;
  std::uint32_t depth = 0;  // levels of items: 1 for items without structures
};

// Gives false when memory for the walk runs out.
[[nodiscard]] bool MeasureItemTree(ItemDefinition *first, ItemTreeSize *size);

// An open-addressed table from item to name, filled from the item tree.
class ItemNameTable {
 public:
  [[nodiscard]] static std::size_t SlotsFor(std::size_t items);
  [[nodiscard]] static std::size_t BytesFor(const ItemTreeSize &size);

  // storage holds BytesFor(size) bytes, aligned for pointers, and outlives
  // the table. Gives false when memory for the walk runs out.
  [[nodiscard]] bool Fill(ItemDefinition *first, const ItemTreeSize &size, void *storage);

  // The name of an item of the tree; for any other item, its name measured now.
  [[nodiscard]] ItemName Find(const ItemDefinition *item) const {
    std::size_t slot = Hash(item);
    while (true) {
      const ItemName &entry = slots_[slot];
      if (entry.item == item) return entry;
      if (entry.item == nullptr) return Measured(item);
      slot = (slot + 1) & mask_;
    }
  }

 private:
  [[nodiscard]] std::size_t Hash(const ItemDefinition *item) const {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(item));
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  [[nodiscard]] static ItemName Measured(const ItemDefinition *item);

  ItemName *slots_ = nullptr;
  std::size_t mask_ = 0;
  unsigned shift_ = 63;
};

}  // namespace qorvcfg::writer
