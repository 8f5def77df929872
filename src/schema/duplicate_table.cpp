// Hashing of converted nodes and the table of accepted siblings.
#include "schema/duplicate_table.h"

#include <cstring>

#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

constexpr std::uint64_t kFnvStart = 1469598103934665603ull;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}

// Spreads every input bit over the whole word, so that hashes of sequential
// values do not stay sequential in the low bits that pick a slot.
std::uint64_t Scramble(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

std::uint64_t HashBytes(std::uint64_t h, const void *bytes, std::size_t n) {
  const auto *p = static_cast<const unsigned char *>(bytes);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::uint64_t HashText(std::uint64_t h, const char *text) {
  return text == nullptr ? Mix(h, 0) : HashBytes(h, text, std::strlen(text) + 1);
}

const ConvertedNode *FirstNamed(const ConvertedNode *list, const char *name) {
  for (; list != nullptr; list = list->next) {
    const char *other = list->descriptor->name;
    if (other == name || (other != nullptr && name != nullptr && std::strcmp(other, name) == 0)) {
      return list;
    }
  }
  return nullptr;
}

}  // namespace

std::uint64_t SiblingHashStart(const char *name, ValueKind kind) {
  return Mix(SiblingNameHash(name), static_cast<std::uint64_t>(kind));
}

std::uint64_t SiblingNameHash(const char *name) { return HashText(kFnvStart, name); }

bool SiblingHashAdd(ValueKind kind, const NodeValue &v, std::uint64_t *h) {
  switch (kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      *h = HashText(*h, v.text);
      return true;
    case ValueKind::kInteger:
      *h = Mix(*h, static_cast<std::uint64_t>(v.integer));
      return true;
    case ValueKind::kBoolean:
      *h = Mix(*h, v.boolean);
      return true;
    case ValueKind::kIpAddress:
      *h = Mix(*h, v.ipaddr.form);
      if (v.ipaddr.form == Zel_IP_FORM_HOSTNAME) {
        *h = HashText(*h, v.ipaddr.host_name);
      } else if (v.ipaddr.form == Zel_IP_FORM_NUMERIC && v.ipaddr.family == Zel_IP_FAMILY_V4) {
        *h = HashBytes(Mix(*h, 4), v.ipaddr.address, 4);
      } else if (v.ipaddr.form == Zel_IP_FORM_NUMERIC && v.ipaddr.family == Zel_IP_FAMILY_V6) {
        *h = HashBytes(Mix(*h, 6), v.ipaddr.address, 16);
      } else {
        return false;
      }
      return true;
    case ValueKind::kNested:
      return true;  // the name and kind already set it apart
    default:
      return false;
  }
}

std::uint64_t SiblingHashCombine(std::uint64_t h, std::uint64_t part) { return Mix(h, part); }

std::uint64_t SiblingHashFinish(std::uint64_t h) { return Scramble(h); }

bool HashNode(const ConvertedNode *node, std::uint64_t *out) {
  std::uint64_t h = SiblingHashStart(node->descriptor->name, node->kind);
  if (!SiblingHashAdd(node->kind, node->value, &h)) return false;
  if (node->kind == ValueKind::kNested) {
    const auto *nested = static_cast<const ElementDescriptor *>(node->descriptor->aux);
    bool has_key = false;
    for (const ElementDescriptor *row = nested; row != nullptr; row = row->next) {
      if (row->identifier != 1) continue;
      has_key = true;
      const ConvertedNode *key = FirstNamed(node->value.nested, row->name);
      if (key == nullptr) return false;  // never equal without every key
      std::uint64_t key_hash = SiblingHashStart(row->name, key->kind);
      if (!SiblingHashAdd(key->kind, key->value, &key_hash)) return false;
      h = SiblingHashCombine(h, key_hash);
    }
    if (!has_key) {
      // Equal nodes hold the same set of child names, in any order.
      std::uint64_t names = 0;
      for (const ConvertedNode *x = node->value.nested; x != nullptr; x = x->next) {
        if (FirstNamed(node->value.nested, x->descriptor->name) == x) {
          names += SiblingNameHash(x->descriptor->name);
        }
      }
      h = SiblingHashCombine(h, names);
    }
  }
  *out = SiblingHashFinish(h);
  return true;
}

const ConvertedNode *DuplicateTable::FindEqual(const ConvertedNode *node,
                                               const ConvertedNode *accepted, bool *undecided) {
  *undecided = false;
  // The first comparison that answers anything but kDifferent ends the search.
  auto decides = [&](const ConvertedNode *candidate) {
    const Sameness same = NodesEqual(candidate, node);
    *undecided = same == Sameness::kUnknown;
    return same != Sameness::kDifferent;
  };
  if (failed || slots == nullptr) {
    // At one level a name always finds the same row, so siblings of another
    // row have another name and are never equal.
    for (; accepted != nullptr; accepted = accepted->next) {
      if (accepted->descriptor == node->descriptor && decides(accepted)) {
        return *undecided ? nullptr : accepted;
      }
    }
    return nullptr;
  }
  std::uint64_t h = 0;
  if (!HashNode(node, &h)) return nullptr;
  for (std::size_t i = h & (capacity - 1);; i = (i + 1) & (capacity - 1)) {
    const Slot &slot = slots[i];
    if (slot.node == nullptr) return nullptr;
    if (slot.hash == h && decides(slot.node)) return *undecided ? nullptr : slot.node;
  }
}

void DuplicateTable::Add(const ConvertedNode *node, const ConvertedNode *accepted) {
  ++used;
  if (failed || used <= kWalked) return;
  if (used * 2 > capacity && !Grow()) {
    failed = true;
    return;
  }
  if (slots != nullptr && used == kWalked + 1) {
    for (; accepted != nullptr; accepted = accepted->next) Place(accepted);  // node among them
  } else {
    Place(node);
  }
}

void DuplicateTable::Release() {
  platform::Free(slots);
  *this = kEmptyDuplicateTable;
}

void DuplicateTable::Place(const ConvertedNode *node) {
  std::uint64_t hash = 0;
  if (!HashNode(node, &hash)) return;  // never equal to anything: not kept
  std::size_t i = hash & (capacity - 1);
  while (slots[i].node != nullptr) i = (i + 1) & (capacity - 1);
  slots[i] = Slot{hash, node};
}

bool DuplicateTable::Grow() {
  const std::size_t grown = capacity == 0 ? 16 : capacity * 2;
  auto *fresh = static_cast<Slot *>(platform::AllocateZeroed(grown * sizeof(Slot)));
  if (fresh == nullptr) return false;
  Slot *old = slots;
  const std::size_t old_capacity = capacity;
  slots = fresh;
  capacity = grown;
  for (std::size_t i = 0; i < old_capacity; ++i) {
    if (old[i].node == nullptr) continue;
    std::size_t at = old[i].hash & (capacity - 1);
    while (slots[at].node != nullptr) at = (at + 1) & (capacity - 1);
    slots[at] = old[i];
  }
  platform::Free(old);
  return true;
}

}  // namespace qorvcfg
