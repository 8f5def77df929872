// The order of values: duplicates and listing order of every type, and the
// identity and all-values rules of structures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <initializer_list>

#include "store/store.h"

namespace qorvcfg {
namespace {

int Sign(std::int32_t r) { return (r > 0) - (r < 0); }

ItemDefinition Item(const char *name, ItemType type) {
  ItemDefinition item{};
  item.name = const_cast<char *>(name);
  item.type = type;
  return item;
}

DataPayload Integer(std::int64_t v) {
  DataPayload p{};
  p.integer = v;
  return p;
}
DataPayload Text(const char *text) {
  DataPayload p{};
  p.text = const_cast<char *>(text);
  return p;
}
DataPayload Boolean(std::uint32_t v) {
  DataPayload p{};
  p.boolean = v;
  return p;
}
DataPayload Ip(std::uint16_t family, std::initializer_list<std::uint8_t> address,
               std::uint8_t mask_byte = 0, std::uint8_t beyond = 0) {
  DataPayload p{};
  p.ipaddr.form = Zel_IP_FORM_NUMERIC;
  p.ipaddr.family = family;
  std::copy(address.begin(), address.end(), p.ipaddr.address);
  if (family == Zel_IP_FAMILY_V4) p.ipaddr.address[4] = beyond;  // not part of the address
  p.ipaddr.mask[0] = mask_byte;
  return p;
}
DataPayload Host(const char *name) {
  DataPayload p{};
  p.ipaddr.form = Zel_IP_FORM_HOSTNAME;
  p.ipaddr.host_name = const_cast<char *>(name);
  return p;
}

// Values with stable addresses; structures get an empty list to link into.
class Values {
 public:
  DataValue *Make(ItemDefinition *item, DataPayload payload = {}) {
    DataValue &v = values_.emplace_back();
    v.item = item;
    v.record.type = item->type;
    v.record.payload = payload;
    ContainerMakeEmpty(&v.record.nested);
    return &v;
  }
  // A structure value holding the given child values, in this order.
  DataValue *Structure(ItemDefinition *item, std::initializer_list<DataValue *> children) {
    DataValue *s = Make(item);
    for (DataValue *child : children) LinkValue(&s->record.nested, child);
    return s;
  }

 private:
  std::deque<DataValue> values_;
};

TEST(ValueCompare, ScalarsOrderByTypeRules) {
  ItemDefinition integer = Item("n", Zel_TYPE_INTEGER), string = Item("s", Zel_TYPE_STRING),
                 boolean = Item("b", Zel_TYPE_BOOLEAN), ipaddr = Item("i", Zel_TYPE_IPADDR),
                 keyword = Item("e", Zel_TYPE_ENUMERATION);
  const std::int64_t kMax = INT64_MAX, kMin = INT64_MIN;
  struct Case {
    ItemDefinition *item;
    DataPayload a, b;
    int sign;
  } cases[] = {
      {&integer, Integer(5), Integer(3), 1},
      {&integer, Integer(-1), Integer(1), -1},
      {&integer, Integer(7), Integer(7), 0},
      {&integer, Integer(kMax), Integer(kMin), 1},  // differences beyond 32 bits saturate
      {&integer, Integer(kMin), Integer(kMax), -1},
      {&integer, Integer(kMax), Integer(-1), 1},
      {&integer, Integer(0x100000000), Integer(0), 1},
      {&integer, Integer(0), Integer(0x100000000), -1},
      {&integer, Integer(0x80000000), Integer(0), 1},
      {&integer, Integer(0), Integer(0x80000000), -1},
      {&string, Text("abc"), Text("abd"), -1},
      {&string, Text("ab"), Text("abc"), -1},
      {&string, Text("abc"), Text("ab"), 1},
      {&string, Text("abc"), Text("abc"), 0},
      {&string, Text(""), Text("a"), -1},
      {&string, Text("\x80"), Text("z"), 1},  // bytes are unsigned
      {&string, Text("a\xff"), Text("a\x01"), 1},
      {&keyword, Text("red"), Text("green"), 1},
      {&keyword, Text("red"), Text("red"), 0},
      {&boolean, Boolean(1), Boolean(0), 1},
      {&boolean, Boolean(0), Boolean(1), -1},
      {&boolean, Boolean(1), Boolean(1), 0},
      {&ipaddr, Ip(4, {10, 0, 0, 1}, 0xff), Ip(4, {10, 0, 0, 1}, 0xff), 0},
      {&ipaddr, Ip(4, {10, 0, 0, 1}, 0xff), Ip(4, {10, 0, 0, 1}), 0},  // masks take no part
      {&ipaddr, Ip(4, {10, 0, 0, 1}, 0, 1), Ip(4, {10, 0, 0, 1}, 0, 2), 0},
      {&ipaddr, Ip(4, {10, 0, 0, 1}), Ip(4, {10, 0, 0, 2}), -1},
      {&ipaddr, Ip(4, {200, 0, 0, 1}), Ip(4, {10, 0, 0, 1}), 1},
      {&ipaddr, Ip(4, {255, 255, 255, 255}), Ip(6, {0}), -1},  // IPv4 below IPv6
      {&ipaddr, Ip(6, {0xfe, 0x80}), Ip(6, {0xfe, 0x80}), 0},
      {&ipaddr, Ip(6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}),
       Ip(6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 1},
      {&ipaddr, Host("zeta"), Ip(4, {0, 0, 0, 0}), -1},  // host names below numbers
      {&ipaddr, Ip(6, {0}), Host("a"), 1},
      {&ipaddr, Host("alpha"), Host("beta"), -1},
      {&ipaddr, Host("alpha"), Host("alpha"), 0},
  };
  Values values;
  for (const Case &c : cases) {
    const auto index = &c - cases;
    DataValue *a = values.Make(c.item, c.a);
    DataValue *b = values.Make(c.item, c.b);
    EXPECT_EQ(Sign(ValueCompare(a, b)), c.sign) << "case " << index;
    EXPECT_EQ(Sign(ValueCompare(b, a)), -c.sign) << "case " << index << " reversed";
    EXPECT_EQ(ValueCompare(a, a), 0) << "case " << index;
  }
}

TEST(ValueCompare, NamesThenTypesDecideFirst) {
  ItemDefinition alpha = Item("alpha", Zel_TYPE_INTEGER), beta = Item("beta", Zel_TYPE_INTEGER),
                 longer = Item("alphabet", Zel_TYPE_INTEGER), text = Item("alpha", Zel_TYPE_STRING);
  Values values;
  DataValue *a = values.Make(&alpha, Integer(INT64_MAX));
  EXPECT_LT(ValueCompare(a, values.Make(&beta, Integer(1))), 0);
  EXPECT_LT(ValueCompare(a, values.Make(&longer, Integer(1))), 0);
  EXPECT_LT(ValueCompare(a, values.Make(&text, Text("x"))), 0) << "integer type below string";
  // An equal item name from another definition still compares by payload.
  ItemDefinition twin = Item("alpha", Zel_TYPE_INTEGER);
  EXPECT_EQ(ValueCompare(a, values.Make(&twin, Integer(INT64_MAX))), 0);
}

TEST(ValueCompare, ValuesWithoutOrderFollowTheirAddresses) {
  ItemDefinition none = Item("x", Zel_TYPE_NONE), first = Item("s", Zel_TYPE_STRUCTURE),
                 second = Item("s", Zel_TYPE_STRUCTURE);
  Values values;
  const std::pair<DataValue *, DataValue *> pairs[] = {
      {values.Make(&none), values.Make(&none)},
      {values.Make(&first), values.Make(&second)},  // structures of different items
  };
  for (const auto &[a, b] : pairs) {
    EXPECT_EQ(Sign(ValueCompare(a, b)), a < b ? -1 : 1);
    EXPECT_EQ(Sign(ValueCompare(b, a)), a < b ? 1 : -1);
    EXPECT_EQ(ValueCompare(a, a), 0);
  }
}

TEST(StructureCompare, IdentifierChildrenDecideAlone) {
  ItemDefinition id = Item("id", Zel_TYPE_INTEGER), note = Item("note", Zel_TYPE_STRING),
                 s = Item("s", Zel_TYPE_STRUCTURE);
  id.identifier = 1;
  note.next = &id;  // the identifier need not be the first child
  s.children = &note;
  Values v;
  auto make = [&](std::initializer_list<DataValue *> children) {
    return v.Structure(&s, children);
  };
  DataValue *one = make({v.Make(&note, Text("p")), v.Make(&id, Integer(1))});
  DataValue *one_other_note = make({v.Make(&id, Integer(1)), v.Make(&note, Text("q"))});
  DataValue *two = make({v.Make(&id, Integer(2))});
  DataValue *one_then_five = make({v.Make(&id, Integer(1)), v.Make(&id, Integer(5))});
  DataValue *missing = make({v.Make(&note, Text("p"))});
  DataValue *missing_too = make({v.Make(&note, Text("p"))});

  EXPECT_EQ(ValueCompare(one, one_other_note), 0);
  EXPECT_LT(ValueCompare(one, two), 0);
  EXPECT_GT(ValueCompare(two, one), 0);
  EXPECT_EQ(ValueCompare(one, one_then_five), 0) << "only the first value counts";
  EXPECT_NE(ValueCompare(missing, one), 0);
  EXPECT_NE(ValueCompare(one, missing), 0);
  EXPECT_NE(ValueCompare(missing, missing_too), 0) << "a missing identifier is never equal";
  EXPECT_EQ(ValueCompare(missing, missing), 0);
}

TEST(StructureCompare, WithoutIdentifiersAllValuesCount) {
  ItemDefinition x = Item("x", Zel_TYPE_INTEGER), y = Item("y", Zel_TYPE_INTEGER),
                 s = Item("s", Zel_TYPE_STRUCTURE);
  x.next = &y;
  s.children = &x;
  Values v;
  auto make = [&](std::initializer_list<DataValue *> children) {
    return v.Structure(&s, children);
  };
  DataValue *x1 = make({v.Make(&x, Integer(1))});
  DataValue *x1_again = make({v.Make(&x, Integer(1))});
  DataValue *x2 = make({v.Make(&x, Integer(2))});
  DataValue *x1_y2 = make({v.Make(&x, Integer(1)), v.Make(&y, Integer(2))});
  DataValue *y2_x1 = make({v.Make(&y, Integer(2)), v.Make(&x, Integer(1))});
  DataValue *empty = make({});
  DataValue *empty_too = make({});
  DataValue *twice = make({v.Make(&x, Integer(1)), v.Make(&x, Integer(2))});
  DataValue *twice_too = make({v.Make(&x, Integer(1)), v.Make(&x, Integer(2))});

  EXPECT_EQ(ValueCompare(x1, x1_again), 0);
  EXPECT_LT(ValueCompare(x1, x2), 0);
  EXPECT_NE(ValueCompare(x1, x1_y2), 0) << "y only in the second";
  EXPECT_NE(ValueCompare(x1_y2, x1), 0) << "y only in the first";
  EXPECT_EQ(ValueCompare(x1_y2, y2_x1), 0) << "list order does not matter";
  EXPECT_EQ(ValueCompare(empty, empty_too), 0);
  EXPECT_NE(ValueCompare(empty, x1), 0);
  EXPECT_NE(ValueCompare(x1, empty), 0);
  // Each value meets the first of its item in the other: x=2 against x=1.
  EXPECT_NE(ValueCompare(twice, twice_too), 0);
  EXPECT_EQ(ValueCompare(twice, twice), 0);
}

}  // namespace
}  // namespace qorvcfg
