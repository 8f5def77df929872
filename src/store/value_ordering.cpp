// The order of values: which values of an item count as duplicates, and the
// order in which an item's values are listed.
#include <cstring>

#include "store/store.h"

namespace qorvcfg {
namespace {

// Fixed for two live values, zero only for a value against itself.
std::int32_t IdentityOrder(const DataValue *a, const DataValue *b) {
  const auto x = reinterpret_cast<std::uintptr_t>(a);
  const auto y = reinterpret_cast<std::uintptr_t>(b);
  if (x == y) return 0;
  return x < y ? -1 : 1;
}

std::int32_t TextOrder(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  const auto *x = reinterpret_cast<const unsigned char *>(a);
  const auto *y = reinterpret_cast<const unsigned char *>(b);
  for (;; ++x, ++y) {
    if (*x != *y) return static_cast<std::int32_t>(*x) - static_cast<std::int32_t>(*y);
    if (*x == 0) return 0;
  }
}

std::int32_t IntegerOrder(std::int64_t a, std::int64_t b) {
  if (a == b) return 0;
  // The difference saturated to 32 bits; computed without overflow.
  if (a > b) {
    const std::uint64_t diff = static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b);
    return diff >= 2147483647u ? 2147483647 : static_cast<std::int32_t>(diff);
  }
  const std::uint64_t diff = static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
  return diff >= 2147483648u ? INT32_MIN : -static_cast<std::int32_t>(diff);
}

std::int32_t IpOrder(const DataValue *va, const DataValue *vb) {
  const IpAddressValue &a = va->record.payload.ipaddr;
  const IpAddressValue &b = vb->record.payload.ipaddr;
  if (a.form != b.form)
    return static_cast<std::int32_t>(a.form) - static_cast<std::int32_t>(b.form);
  if (a.form == Zel_IP_FORM_HOSTNAME) return TextOrder(a.host_name, b.host_name);
  if (a.form != Zel_IP_FORM_NUMERIC) return IdentityOrder(va, vb);
  if (a.family != b.family) {
    return static_cast<std::int32_t>(a.family) - static_cast<std::int32_t>(b.family);
  }
  std::size_t bytes = 0;
  if (a.family == Zel_IP_FAMILY_V4) {
    bytes = 4;
  } else if (a.family == Zel_IP_FAMILY_V6) {
    bytes = 16;
  } else {
    return IdentityOrder(va, vb);
  }
  for (std::size_t i = 0; i < bytes; ++i) {
    if (a.address[i] != b.address[i]) {
      return static_cast<std::int32_t>(a.address[i]) - static_cast<std::int32_t>(b.address[i]);
    }
  }
  return 0;
}

const DataValue *FirstValueOf(DataContainer *container, const char *item_name) {
  ListLinks *head = ListHead(container);
  for (ListLinks *at = head->next; at != head; at = at->next) {
    const DataValue *value = ValueOfLinks(at);
    const char *name = value->item->name;
    if (name == item_name || TextOrder(name, item_name) == 0) return value;
  }
  return nullptr;
}

DataContainer *Nested(const DataValue *value) {
  return const_cast<DataContainer *>(&value->record.nested);
}

// Compares two values unless both are structures of one item, which the
// caller must descend into; gives false in that case.
bool CompareFlat(const DataValue *a, const DataValue *b, std::int32_t *result) {
  if (a == b) {
    *result = 0;  // also a structure whose members would not compare equal
    return true;
  }
  if (a->item != b->item) {
    const std::int32_t names = TextOrder(a->item->name, b->item->name);
    if (names != 0) {
      *result = names;
      return true;
    }
  }
  if (a->record.type != b->record.type) {
    *result = static_cast<std::int32_t>(a->record.type - b->record.type);
    return true;
  }
  const DataPayload &x = a->record.payload;
  const DataPayload &y = b->record.payload;
  switch (a->record.type) {
    case Zel_TYPE_INTEGER:
      *result = IntegerOrder(x.integer, y.integer);
      return true;
    case Zel_TYPE_STRING:
      *result = TextOrder(x.text, y.text);
      return true;
    case Zel_TYPE_ENUMERATION:
      *result = TextOrder(x.keyword, y.keyword);
      return true;
    case Zel_TYPE_BOOLEAN:
      *result = static_cast<std::int32_t>(x.boolean - y.boolean);
      return true;
    case Zel_TYPE_IPADDR:
      *result = IpOrder(a, b);
      return true;
    case Zel_TYPE_STRUCTURE:
      if (a->item == b->item) return false;
      *result = IdentityOrder(a, b);
      return true;
    default:
      *result = IdentityOrder(a, b);
      return true;
  }
}

bool HasIdentifier(const ItemDefinition *item) {
  for (const ItemDefinition *child = item->children; child != nullptr; child = child->next) {
    if (child->identifier == 1) return true;
  }
  return false;
}

// Goes on comparing structures a and b of one item, after their member pair
// whose a side is done (which compared equal), or from the start when done is
// null. Gives true with the level's result, or false with the member pair
// (two structures of one item) that must be compared first.
bool ContinueLevel(const DataValue *a, const DataValue *b, const DataValue *done,
                   std::int32_t *result, const DataValue **next_a, const DataValue **next_b) {
  std::int32_t r = 0;
  if (HasIdentifier(a->item)) {
    const ItemDefinition *child = done != nullptr ? done->item->next : a->item->children;
    for (; child != nullptr; child = child->next) {
      if (child->identifier != 1) continue;
      r = IdentityOrder(a, b);
      const DataValue *x = FirstValueOf(Nested(a), child->name);
      if (x == nullptr) break;
      const DataValue *y = FirstValueOf(Nested(b), child->name);
      if (y == nullptr) break;
      if (!CompareFlat(x, y, &r)) {
        *next_a = x;
        *next_b = y;
        return false;
      }
      if (r != 0) break;
    }
    *result = r;
    return true;
  }
  // Every member of a against the first same-named member of b...
  ListLinks *head_a = ListHead(Nested(a));
  ListLinks *at = done != nullptr ? done->links.next : head_a->next;
  for (; at != head_a; at = at->next) {
    const DataValue *x = ValueOfLinks(at);
    r = IdentityOrder(a, b);
    const DataValue *y = FirstValueOf(Nested(b), x->item->name);
    if (y != nullptr && !CompareFlat(x, y, &r)) {
      *next_a = x;
      *next_b = y;
      return false;
    }
    if (r != 0) {
      *result = r;
      return true;
    }
  }
  // ...then every item with members in b must have some in a.
  ListLinks *head_b = ListHead(Nested(b));
  for (at = head_b->next; at != head_b && r == 0; at = at->next) {
    const DataValue *y = ValueOfLinks(at);
    r = FirstValueOf(Nested(a), y->item->name) != nullptr ? 0 : IdentityOrder(a, b);
  }
  *result = r;
  return true;
}

// A scalar that ValueCompare orders by its contents alone: never by its
// address, and through a sign that cannot wrap.
bool ScalarHasContentOrder(const DataValue *value) {
  const DataPayload &payload = value->record.payload;
  switch (value->record.type) {
    case Zel_TYPE_INTEGER:
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      return true;
    case Zel_TYPE_BOOLEAN:
      // Two words compare by their difference, whose sign wraps above this.
      return payload.boolean <= static_cast<std::uint32_t>(INT32_MAX);
    case Zel_TYPE_IPADDR:
      if (payload.ipaddr.form == Zel_IP_FORM_HOSTNAME) return true;
      return payload.ipaddr.form == Zel_IP_FORM_NUMERIC &&
             (payload.ipaddr.family == Zel_IP_FAMILY_V4 ||
              payload.ipaddr.family == Zel_IP_FAMILY_V6);
    default:
      return false;
  }
}

// The first bytes of a text, up to its end, as a number that orders as the
// texts do where the numbers differ: bytes past the end count as zero.
std::uint64_t TextPrefix(const char *text, std::size_t bytes) {
  std::uint64_t prefix = 0;
  bool ended = text == nullptr;
  for (std::size_t i = 0; i < bytes; ++i) {
    ended = ended || text[i] == '\0';
    prefix = (prefix << 8) | (ended ? 0u : static_cast<unsigned char>(text[i]));
  }
  return prefix;
}

// The prefix of a scalar that ScalarHasContentOrder accepts.
std::uint64_t ScalarPrefix(const DataValue *value) {
  const DataPayload &payload = value->record.payload;
  switch (value->record.type) {
    case Zel_TYPE_INTEGER:
      return static_cast<std::uint64_t>(payload.integer) ^ (std::uint64_t{1} << 63);
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      return TextPrefix(payload.text, 8);
    case Zel_TYPE_BOOLEAN:
      return payload.boolean;
    case Zel_TYPE_IPADDR: {
      // Host names first, then addresses: IPv4, then IPv6, each by its bytes.
      const IpAddressValue &ip = payload.ipaddr;
      if (ip.form == Zel_IP_FORM_HOSTNAME) return TextPrefix(ip.host_name, 7);
      const bool v6 = ip.family == Zel_IP_FAMILY_V6;
      std::uint64_t prefix = v6 ? 3 : 2;
      for (std::size_t i = 0; i < 7; ++i)
        prefix = (prefix << 8) | (v6 || i < 4 ? ip.address[i] : 0);
      return prefix;
    }
    default:
      return 0;
  }
}

}  // namespace

bool ContentOrderPrefix(const DataValue *value, std::uint64_t *prefix) {
  if (value->record.type != Zel_TYPE_STRUCTURE) {
    if (!ScalarHasContentOrder(value)) return false;
    *prefix = ScalarPrefix(value);
    return true;
  }
  // A keyed structure orders first by its first identifier child's value.
  const DataValue *first_key = nullptr;
  for (const ItemDefinition *child = value->item->children; child != nullptr; child = child->next) {
    if (child->identifier != 1) continue;
    const DataValue *key = FirstValueOf(Nested(value), child->name);
    if (key == nullptr || !ScalarHasContentOrder(key)) return false;
    if (first_key == nullptr) first_key = key;
  }
  if (first_key == nullptr) return false;
  *prefix = ScalarPrefix(first_key);
  return true;
}

bool HasContentOrder(const DataValue *value) {
  if (value->record.type != Zel_TYPE_STRUCTURE) return ScalarHasContentOrder(value);
  // A keyed structure orders by the first value of each identifier child;
  // a missing one, or one that is itself ordered by address, lets the
  // address decide.
  bool keyed = false;
  for (const ItemDefinition *child = value->item->children; child != nullptr; child = child->next) {
    if (child->identifier != 1) continue;
    keyed = true;
    const DataValue *key = FirstValueOf(Nested(value), child->name);
    if (key == nullptr || !ScalarHasContentOrder(key)) return false;
  }
  return keyed;
}

std::int32_t ValueCompare(const void *stored, const void *other) {
  const auto *a = static_cast<const DataValue *>(stored);
  const auto *b = static_cast<const DataValue *>(other);
  std::int32_t result = 0;
  if (CompareFlat(a, b, &result)) return result;
  return StructureCompare(a, b);
}

std::int32_t ValueCompareSameItem(const void *stored, const void *other) {
  const auto *a = static_cast<const DataValue *>(stored);
  const auto *b = static_cast<const DataValue *>(other);
  if (a->record.type == b->record.type) {
    switch (a->record.type) {
      case Zel_TYPE_INTEGER:
        return IntegerOrder(a->record.payload.integer, b->record.payload.integer);
      case Zel_TYPE_STRING:
      case Zel_TYPE_ENUMERATION:
        return TextOrder(a->record.payload.text, b->record.payload.text);
      default:
        break;
    }
  }
  return ValueCompare(stored, other);
}

// Descends into member structures without recursion: the way back up is the
// container each member is linked into, and where to go on at a level follows
// from the member pair just finished. A result other than zero at any depth
// decides every level above it.
std::int32_t StructureCompare(const DataValue *a, const DataValue *b) {
  if (a->item != b->item) return IdentityOrder(a, b);
  const DataValue *top_a = a;
  const DataValue *top_b = b;
  const DataValue *done = nullptr;
  for (;;) {
    std::int32_t result = 0;
    const DataValue *next_a = nullptr;
    const DataValue *next_b = nullptr;
    if (!ContinueLevel(a, b, done, &result, &next_a, &next_b)) {
      a = next_a;
      b = next_b;
      done = nullptr;
      continue;
    }
    if (result != 0 || (a == top_a && b == top_b)) return result;
    done = a;
    a = OwnerOfNested(a->container);
    b = OwnerOfNested(b->container);
  }
}

}  // namespace qorvcfg
