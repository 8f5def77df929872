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
    const auto *value = reinterpret_cast<const DataValue *>(at);
    if (TextOrder(value->item->name, item_name) == 0) return value;
  }
  return nullptr;
}

}  // namespace

std::int32_t ValueCompare(const void *stored, const void *other) {
  const auto *a = static_cast<const DataValue *>(stored);
  const auto *b = static_cast<const DataValue *>(other);
  // A value always equals itself, also a structure whose members would not
  // compare equal to each other; removal relies on that.
  if (a == b) return 0;
  const std::int32_t names = TextOrder(a->item->name, b->item->name);
  if (names != 0) return names;
  if (a->record.type != b->record.type) {
    return static_cast<std::int32_t>(a->record.type - b->record.type);
  }
  const DataPayload &x = a->record.payload;
  const DataPayload &y = b->record.payload;
  switch (a->record.type) {
    case Zel_TYPE_INTEGER:
      return IntegerOrder(x.integer, y.integer);
    case Zel_TYPE_STRING:
      return TextOrder(x.text, y.text);
    case Zel_TYPE_ENUMERATION:
      return TextOrder(x.keyword, y.keyword);
    case Zel_TYPE_BOOLEAN:
      return static_cast<std::int32_t>(x.boolean - y.boolean);
    case Zel_TYPE_IPADDR:
      return IpOrder(a, b);
    case Zel_TYPE_STRUCTURE:
      return StructureCompare(a, b);
    default:
      return IdentityOrder(a, b);
  }
}

std::int32_t StructureCompare(const DataValue *a, const DataValue *b) {
  if (a->item != b->item) return IdentityOrder(a, b);
  auto *nested_a = const_cast<DataContainer *>(&a->record.nested);
  auto *nested_b = const_cast<DataContainer *>(&b->record.nested);
  bool has_identifier = false;
  std::int32_t result = 0;
  for (const ItemDefinition *child = a->item->children; child != nullptr && result == 0;
       child = child->next) {
    if (child->identifier != 1) continue;
    has_identifier = true;
    result = IdentityOrder(a, b);
    const DataValue *x = FirstValueOf(nested_a, child->name);
    if (x == nullptr) break;
    const DataValue *y = FirstValueOf(nested_b, child->name);
    if (y == nullptr) break;
    result = ValueCompare(x, y);
  }
  if (has_identifier) return result;

  ListLinks *head_a = ListHead(nested_a);
  ListLinks *head_b = ListHead(nested_b);
  for (ListLinks *at = head_a->next; at != head_a && result == 0; at = at->next) {
    const auto *x = reinterpret_cast<const DataValue *>(at);
    result = IdentityOrder(a, b);
    const DataValue *y = FirstValueOf(nested_b, x->item->name);
    if (y != nullptr) result = ValueCompare(x, y);
  }
  for (ListLinks *at = head_b->next; at != head_b && result == 0; at = at->next) {
    const auto *y = reinterpret_cast<const DataValue *>(at);
    result = IdentityOrder(a, b);
    if (FirstValueOf(nested_a, y->item->name) != nullptr) result = 0;
  }
  return result;
}

}  // namespace qorvcfg
