// The table of accepted siblings spreads sequential values over its slots:
// a lookup looks at a few slots, not at a run that grows with the level.
#include "schema/duplicate_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg::test {
namespace {

const ElementDescriptor kKeyRows[1] = {{nullptr, "id", ValueKind::kInteger, 0, 1, 0, nullptr}};
const ElementDescriptor kServer{nullptr, "server", ValueKind::kNested, 0, 0, 0, kKeyRows};
const ElementDescriptor kAddress{nullptr, "address", ValueKind::kIpAddress, 0, 0, 0, nullptr};
const ElementDescriptor kPort{nullptr, "port", ValueKind::kInteger, 0, 0, 0, nullptr};
const ElementDescriptor kName{nullptr, "name", ValueKind::kString, 0, 0, 0, nullptr};

// Sibling i of a level: sequential numbers in the forms real files hold.
struct Siblings {
  std::vector<ConvertedNode> nodes, keys;
  std::vector<std::string> texts;
  Siblings(int count, int kinds) : nodes(count), keys(count), texts(count) {
    for (int i = 0; i < count; ++i) {
      const int n = i / kinds;
      ConvertedNode &node = nodes[i];
      switch (kinds == 1 ? 2 : i % kinds) {
        case 0:  // a structure with key child id n
          keys[i].descriptor = &kKeyRows[0];
          keys[i].kind = ValueKind::kInteger;
          keys[i].value.integer = n;
          node.descriptor = &kServer;
          node.value.nested = &keys[i];
          break;
        case 1:  // the address 10.x.y.z of n
          node.descriptor = &kAddress;
          node.value.ipaddr.form = Zel_IP_FORM_NUMERIC;
          node.value.ipaddr.family = Zel_IP_FAMILY_V4;
          for (int b = 0; b < 4; ++b) {
            node.value.ipaddr.address[b] =
                static_cast<std::uint8_t>(b == 0 ? 10 : n >> (24 - 8 * b));
          }
          break;
        case 2:
          node.descriptor = &kPort;
          node.value.integer = n;
          break;
        default:
          texts[i] = "host" + std::to_string(n);
          node.descriptor = &kName;
          node.value.text = texts[i].data();
          break;
      }
      node.kind = node.descriptor->kind;
    }
  }
};

// The slots the lookups of all stored nodes look at: each from the slot its
// hash picks to its own.
std::uint64_t LookupSlots(const DuplicateTable &table) {
  std::uint64_t slots = 0;
  for (std::size_t i = 0; i < table.capacity; ++i) {
    const DuplicateTable::Slot &slot = table.slots[i];
    if (slot.node != nullptr) slots += ((i - slot.hash) & (table.capacity - 1)) + 1;
  }
  return slots;
}

TEST(DuplicateTable, SequentialSiblingsTakeFewProbes) {
  constexpr int kCount = 200000;
  for (int kinds : {1, 2, 4}) {
    SCOPED_TRACE(kinds);
    Siblings level(kCount, kinds);
    Siblings again(kCount, kinds);
    DuplicateTable table = kEmptyDuplicateTable;
    bool undecided = false;
    for (int i = 0; i < kCount; ++i) {
      ASSERT_EQ(table.FindEqual(&level.nodes[i], i == 0 ? nullptr : &level.nodes[0], &undecided),
                nullptr);
      if (i > 0) level.nodes[i - 1].next = &level.nodes[i];
      table.Add(&level.nodes[i], &level.nodes[0]);
    }
    for (int i = 0; i < kCount; ++i) {
      ASSERT_EQ(table.FindEqual(&again.nodes[i], &level.nodes[0], &undecided), &level.nodes[i]);
    }
    EXPECT_LT(LookupSlots(table), 2u * kCount);  // two slots a lookup on average
    table.Release();
  }
}

}  // namespace
}  // namespace qorvcfg::test
