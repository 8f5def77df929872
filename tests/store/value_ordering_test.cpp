// The order of values: duplicates and listing order of every type, and the
// identity and all-values rules of structures.
#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <vector>

#include "store/store.h"

namespace qorvcfg {
namespace {

ItemDefinition Item(const char *name, ItemType type, ItemDefinition *next = nullptr) {
  ItemDefinition item{};
  item.name = const_cast<char *>(name);
  item.type = type;
  item.next = next;
  return item;
}
DataPayload Text(const char *text) { return {.text = const_cast<char *>(text)}; }
// A numeric address with one byte set (the mask takes no part), or a host name.
DataPayload Ip(std::uint16_t family, int at, std::uint8_t byte, std::uint8_t mask = 0,
               const char *host = nullptr) {
  DataPayload p{};
  p.ipaddr.form = host ? Zel_IP_FORM_HOSTNAME : Zel_IP_FORM_NUMERIC;
  p.ipaddr.family = host ? 0 : family;
  p.ipaddr.host_name = const_cast<char *>(host);
  p.ipaddr.address[at] = byte;
  p.ipaddr.mask[0] = mask;
  return p;
}
DataPayload Host(const char *name) { return Ip(0, 0, 0, 0, name); }

// Values with stable addresses; a structure links the given children in order.
struct Values {
  std::deque<DataValue> store;
  DataValue *operator()(ItemDefinition *item, DataPayload payload = {},
                        std::initializer_list<DataValue *> children = {}) {
    DataValue &v = store.emplace_back();
    v.item = item;
    v.record.type = item->type;
    v.record.payload = payload;
    ContainerInitEmpty(&v.record.nested);
    for (DataValue *child : children) LinkValue(&v.record.nested, child);
    return &v;
  }
};

// Compares both ways; kNe: unequal either way.
enum Relation { kLt = -1, kEq = 0, kGt = 1, kNe = 2 };
struct Case {
  DataValue *a, *b;
  Relation relation;
};
void ExpectRelations(std::initializer_list<Case> cases) {
  auto sign = [](std::int32_t r) { return (r > 0) - (r < 0); };
  int row = 0;
  for (const Case &c : cases) {
    const int ab = sign(ValueCompare(c.a, c.b)), ba = sign(ValueCompare(c.b, c.a));
    EXPECT_TRUE(c.relation == kNe ? ab != 0 && ba != 0 : ab == c.relation && ba == -c.relation)
        << "row " << row++ << ": " << ab << ", reversed " << ba;
  }
}

TEST(ValueCompare, NamesThenTypesThenPayloadOrAddress) {
  ItemDefinition n = Item("n", Zel_TYPE_INTEGER), twin = Item("n", Zel_TYPE_INTEGER),
                 o = Item("o", Zel_TYPE_INTEGER), text = Item("n", Zel_TYPE_STRING),
                 s = Item("s", Zel_TYPE_STRING), ip = Item("i", Zel_TYPE_IPADDR),
                 e = Item("e", Zel_TYPE_ENUMERATION), none = Item("x", Zel_TYPE_NONE),
                 s1 = Item("s", Zel_TYPE_STRUCTURE), s2 = Item("s", Zel_TYPE_STRUCTURE);
  Values v;
  auto i = [&](std::int64_t value, ItemDefinition *item = nullptr) {
    return v(item != nullptr ? item : &n, {.integer = value});
  };
  DataValue *x = v(&none), *y = v(&none), *p = v(&s1), *q = v(&s2);
  ExpectRelations({
      {i(0x100000000), i(0), kGt},  // differences do not wrap
      {i(0x80000000), i(0), kGt},
      {i(INT64_MAX), i(1, &o), kLt},             // the name decides first,
      {i(INT64_MAX), v(&text, Text("x")), kLt},  // then the type,
      {i(1), i(1, &twin), kEq},                  // not the item itself
      {v(&s, Text("ab")), v(&s, Text("abc")), kLt},
      {v(&s, Text("abc")), v(&s, Text("abc")), kEq},
      {v(&s, Text("\x80")), v(&s, Text("z")), kGt},  // bytes are unsigned
      {v(&e, Text("red")), v(&e, Text("green")), kGt},
      {v(&ip, Ip(4, 4, 1, 0xff)), v(&ip, Ip(4, 4, 2)), kEq},  // only four bytes count
      {v(&ip, Ip(4, 3, 1)), v(&ip, Ip(4, 3, 2)), kLt},
      {v(&ip, Ip(6, 15, 2)), v(&ip, Ip(6, 15, 1)), kGt},
      {v(&ip, Host("alpha")), v(&ip, Host("beta")), kLt},
      // Values without an order, and structures of different items, follow addresses.
      {x, y, x < y ? kLt : kGt},
      {p, q, p < q ? kLt : kGt},
  });
}

TEST(StructureCompare, IdentifiersDecideAloneOtherwiseAllValuesCount) {
  ItemDefinition id = Item("id", Zel_TYPE_INTEGER), note = Item("note", Zel_TYPE_STRING, &id),
                 keyed = Item("k", Zel_TYPE_STRUCTURE), y = Item("y", Zel_TYPE_INTEGER),
                 x = Item("x", Zel_TYPE_INTEGER, &y), plain = Item("p", Zel_TYPE_STRUCTURE);
  id.identifier = 1;
  keyed.children = &note;  // the identifier need not be the first child
  plain.children = &x;
  Values v;
  auto k = [&](std::initializer_list<DataValue *> children) { return v(&keyed, {}, children); };
  auto p = [&](std::initializer_list<DataValue *> children) { return v(&plain, {}, children); };
  auto i = [&](ItemDefinition *item, std::int64_t value) { return v(item, {.integer = value}); };
  DataValue *one = k({v(&note, Text("p")), i(&id, 1)}), *missing = k({v(&note, Text("p"))});
  DataValue *twice = p({i(&x, 1), i(&x, 2)});
  ExpectRelations({
      {one, k({i(&id, 1), v(&note, Text("q"))}), kEq},
      {one, k({i(&id, 2)}), kLt},
      {one, k({i(&id, 1), i(&id, 5)}), kEq},  // only the first value counts
      {missing, one, kNe},
      {missing, k({v(&note, Text("p"))}), kNe},  // a missing identifier is never equal
      {p({i(&x, 1)}), p({i(&x, 1)}), kEq},
      {p({i(&x, 1)}), p({i(&x, 2)}), kLt},
      {p({i(&x, 1)}), p({i(&x, 1), i(&y, 2)}), kNe},
      {p({i(&x, 1), i(&y, 2)}), p({i(&y, 2), i(&x, 1)}), kEq},  // list order does not matter
      {twice, p({i(&x, 1), i(&x, 2)}), kNe},  // x=2 meets the first x of the other
      {twice, twice, kEq},
  });
}

// Reads sort values by their prefix before comparing them: of two values of
// one item, a smaller prefix must mean a lower value, and a value without an
// order by contents must have no prefix.
TEST(ContentOrderPrefix, NeverContradictsTheOrder) {
  ItemDefinition n = Item("n", Zel_TYPE_INTEGER), s = Item("s", Zel_TYPE_STRING),
                 b = Item("b", Zel_TYPE_BOOLEAN), ip = Item("i", Zel_TYPE_IPADDR),
                 id = Item("id", Zel_TYPE_STRING), keyed = Item("k", Zel_TYPE_STRUCTURE);
  id.identifier = 1;
  keyed.children = &id;
  Values v;
  auto i = [&](std::int64_t value) { return v(&n, {.integer = value}); };
  auto t = [&](const char *text) { return v(&s, Text(text)); };
  auto k = [&](const char *key) { return v(&keyed, {}, {v(&id, Text(key))}); };
  DataValue *odd_form = v(&ip, Ip(4, 0, 1));
  odd_form->record.payload.ipaddr.form = 7;
  const std::vector<std::vector<DataValue *>> items = {
      {i(INT64_MIN), i(-1), i(0), i(1), i(0x100000000), i(INT64_MAX)},
      {t(""), t("a"), t("abcdefgh"), t("abcdefghi"), t("abcdefgz"), t("\xff"),
       v(&s, Text(nullptr))},
      {v(&b, {.boolean = 0}), v(&b, {.boolean = 1}), v(&b, {.boolean = 0x7fffffff})},
      {v(&ip, Host("alpha")), v(&ip, Host("alphabet")), v(&ip, Ip(4, 0, 9)), v(&ip, Ip(4, 3, 1)),
       v(&ip, Ip(4, 5, 1)), v(&ip, Ip(6, 0, 1)), v(&ip, Ip(6, 15, 1))},
      {k("b"), k("a"), k("abcdefgh1"), k("abcdefgh2")},
  };
  for (const auto &values : items) {
    for (DataValue *a : values) {
      for (DataValue *c : values) {
        std::uint64_t pa = 0, pc = 0;
        ASSERT_TRUE(ContentOrderPrefix(a, &pa) && ContentOrderPrefix(c, &pc));
        if (pa < pc) {
          EXPECT_LT(ValueCompareSameItem(a, c), 0) << a->item->name;
        }
      }
    }
  }
  std::uint64_t prefix = 0;
  EXPECT_FALSE(ContentOrderPrefix(odd_form, &prefix));
  EXPECT_FALSE(ContentOrderPrefix(v(&b, {.boolean = 0x80000000u}), &prefix));
  EXPECT_FALSE(ContentOrderPrefix(v(&keyed), &prefix));  // its key is missing
}

}  // namespace
}  // namespace qorvcfg
