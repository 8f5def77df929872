// Checks the children of one element against a grammar and converts the
// accepted ones. Lenient: whatever does not fit is left out silently.
#include <cstring>

#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

bool SameText(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

ResultCode ConvertByKind(const ElementDescriptor *row, const MarkupElement *element,
                         std::uint32_t depth, ConvertedNode **out) {
  switch (row->kind) {
    case ValueKind::kName:
      return ConvertName(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kInteger:
      return ConvertInteger(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kString:
      return ConvertString(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kBoolean:
      return ConvertBoolean(element, out);
    case ValueKind::kIpAddress:
      return ConvertIpAddress(element, out);
    case ValueKind::kEnumList:
      return ConvertEnumList(element, static_cast<const ConstraintRecord *>(row->aux), out);
    case ValueKind::kKeyword:
      return ConvertKeyword(element, static_cast<const KeywordEntry *>(row->aux), out);
    case ValueKind::kNested:
      return ConvertNested(element, static_cast<const ElementDescriptor *>(row->aux), depth, out);
    case ValueKind::kDefault:
      return ConvertDefault(element, out);
    default:
      return Zel_EINVAL;
  }
}

bool IsKnownKind(ValueKind kind) {
  const auto k = static_cast<std::uint32_t>(kind);
  return k >= 1 && k <= 9;
}

const ConvertedNode *FirstNamed(const ConvertedNode *list, const char *name) {
  for (; list != nullptr; list = list->next) {
    if (SameText(list->descriptor->name, name)) return list;
  }
  return nullptr;
}

// ---- Duplicate lookup -------------------------------------------------------
// Nodes that compare equal always hash alike, so a new node is compared only
// with accepted nodes of the same hash; the answer is the one a walk over all
// accepted nodes would give. Nodes that never compare equal are not hashed.

constexpr std::uint64_t kFnvStart = 1469598103934665603ull;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
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

// False when the node never compares equal to another node.
bool HashNode(const ConvertedNode *node, std::uint64_t *out) {
  std::uint64_t h = HashText(kFnvStart, node->descriptor->name);
  h = Mix(h, static_cast<std::uint64_t>(node->kind));
  const NodeValue &v = node->value;
  switch (node->kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      h = HashText(h, v.text);
      break;
    case ValueKind::kInteger:
      h = Mix(h, static_cast<std::uint64_t>(v.integer));
      break;
    case ValueKind::kBoolean:
      h = Mix(h, v.boolean);
      break;
    case ValueKind::kIpAddress:
      h = Mix(h, v.ipaddr.form);
      if (v.ipaddr.form == Zel_IP_FORM_HOSTNAME) {
        h = HashText(h, v.ipaddr.host_name);
      } else if (v.ipaddr.form == Zel_IP_FORM_NUMERIC && v.ipaddr.family == Zel_IP_FAMILY_V4) {
        h = HashBytes(Mix(h, 4), v.ipaddr.address, 4);
      } else if (v.ipaddr.form == Zel_IP_FORM_NUMERIC && v.ipaddr.family == Zel_IP_FAMILY_V6) {
        h = HashBytes(Mix(h, 6), v.ipaddr.address, 16);
      } else {
        return false;
      }
      break;
    case ValueKind::kNested: {
      h = Mix(h, reinterpret_cast<std::uintptr_t>(node->descriptor));
      const auto *nested = static_cast<const ElementDescriptor *>(node->descriptor->aux);
      bool has_key = false;
      for (const ElementDescriptor *row = nested; row != nullptr; row = row->next) {
        if (row->identifier != 1) continue;
        has_key = true;
        const ConvertedNode *key = FirstNamed(v.nested, row->name);
        std::uint64_t key_hash = 0;
        if (key == nullptr || !HashNode(key, &key_hash)) return false;
        h = Mix(h, key_hash);
      }
      if (!has_key) {
        // Equal nodes hold the same set of child names, in any order.
        std::uint64_t names = 0;
        for (const ConvertedNode *x = v.nested; x != nullptr; x = x->next) {
          if (FirstNamed(v.nested, x->descriptor->name) == x) {
            names += HashText(kFnvStart, x->descriptor->name);
          }
        }
        h = Mix(h, names);
      }
      break;
    }
    default:
      return false;
  }
  *out = h;
  return true;
}

// Open-addressing table of accepted nodes by hash. If it cannot grow, the
// lookup falls back to walking the whole accepted list.
class DuplicateTable {
 public:
  DuplicateTable() = default;
  DuplicateTable(const DuplicateTable &) = delete;
  DuplicateTable &operator=(const DuplicateTable &) = delete;
  ~DuplicateTable() { platform::Free(slots_); }

  [[nodiscard]] bool IsDuplicate(const ConvertedNode *node, const ConvertedNode *accepted) const {
    if (failed_) return FindDuplicateNode(node, accepted) != Zel_OK;
    std::uint64_t h = 0;
    if (!HashNode(node, &h) || slots_ == nullptr) return false;
    for (std::size_t i = h & (capacity_ - 1);; i = (i + 1) & (capacity_ - 1)) {
      const Slot &slot = slots_[i];
      if (slot.node == nullptr) return false;
      if (slot.hash == h && CompareNodes(node, slot.node)) return true;
    }
  }

  void Add(const ConvertedNode *node) {
    if (failed_) return;
    std::uint64_t h = 0;
    if (!HashNode(node, &h)) return;
    if ((used_ + 1) * 2 > capacity_ && !Grow()) {
      failed_ = true;
      return;
    }
    Place(h, node);
    ++used_;
  }

 private:
  struct Slot {
    std::uint64_t hash;
    const ConvertedNode *node;
  };

  void Place(std::uint64_t h, const ConvertedNode *node) {
    std::size_t i = h & (capacity_ - 1);
    while (slots_[i].node != nullptr) i = (i + 1) & (capacity_ - 1);
    slots_[i] = Slot{h, node};
  }

  bool Grow() {
    const std::size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
    auto *slots = static_cast<Slot *>(platform::AllocateZeroed(capacity * sizeof(Slot)));
    if (slots == nullptr) return false;
    Slot *old = slots_;
    const std::size_t old_capacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    for (std::size_t i = 0; i < old_capacity; ++i) {
      if (old[i].node != nullptr) Place(old[i].hash, old[i].node);
    }
    platform::Free(old);
    return true;
  }

  Slot *slots_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace

const char *ElementValueText(const MarkupElement *element) {
  for (const MarkupElement *child = element->first_child; child != nullptr; child = child->next) {
    if (child->kind == ElementKind::kText) return child->text;
  }
  return nullptr;
}

ResultCode ConvertElements(const ElementDescriptor *grammar, const MarkupElement *first,
                           ConvertedNode **out) {
  return ConvertElementsAtDepth(grammar, first, 0, out);
}

ResultCode ConvertElementsAtDepth(const ElementDescriptor *grammar, const MarkupElement *first,
                                  std::uint32_t depth, ConvertedNode **out) {
  std::size_t rows = 0;
  for (const ElementDescriptor *row = grammar; row != nullptr; row = row->next) ++rows;
  auto *counters =
      static_cast<std::uint32_t *>(platform::AllocateZeroed(rows * sizeof(std::uint32_t)));
  if (counters == nullptr) return Zel_ENOMEM;

  ConvertedNode *head = nullptr;
  ConvertedNode *tail = nullptr;
  DuplicateTable accepted;
  for (const MarkupElement *element = first; element != nullptr; element = element->next) {
    if (element->kind != ElementKind::kElement) continue;
    const ElementDescriptor *row = grammar;
    std::size_t position = 0;
    while (row != nullptr && !SameText(row->name, element->text)) {
      row = row->next;
      ++position;
    }
    if (row == nullptr) continue;
    if (row->limit != 0 && counters[position] >= row->limit) continue;
    if (!IsKnownKind(row->kind)) continue;
    ConvertedNode *node = nullptr;
    if (ConvertByKind(row, element, depth, &node) != Zel_OK) continue;
    node->descriptor = row;
    if (accepted.IsDuplicate(node, head)) {
      ReleaseNodeList(node);
      continue;
    }
    accepted.Add(node);
    if (tail == nullptr) {
      head = node;
    } else {
      tail->next = node;
    }
    tail = node;
    counters[position] += 1;
  }
  platform::Free(counters);
  *out = head;
  return Zel_OK;
}

ResultCode FindDuplicateNode(const ConvertedNode *node, const ConvertedNode *accepted) {
  for (; accepted != nullptr; accepted = accepted->next) {
    if (CompareNodes(node, accepted)) return Zel_EEXIST;
  }
  return Zel_OK;
}

bool CompareNodes(const ConvertedNode *a, const ConvertedNode *b) {
  if (!SameText(a->descriptor->name, b->descriptor->name)) return false;
  if (a->kind != b->kind) return false;
  switch (a->kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      return SameText(a->value.text, b->value.text);
    case ValueKind::kInteger:
      return a->value.integer == b->value.integer;
    case ValueKind::kBoolean:
      return a->value.boolean == b->value.boolean;
    case ValueKind::kIpAddress: {
      const IpAddressValue &x = a->value.ipaddr;
      const IpAddressValue &y = b->value.ipaddr;
      if (x.form != y.form) return false;
      if (x.form == Zel_IP_FORM_HOSTNAME) return SameText(x.host_name, y.host_name);
      if (x.form != Zel_IP_FORM_NUMERIC || x.family != y.family) return false;
      if (x.family == Zel_IP_FAMILY_V4) return std::memcmp(x.address, y.address, 4) == 0;
      if (x.family == Zel_IP_FAMILY_V6) return std::memcmp(x.address, y.address, 16) == 0;
      return false;
    }
    case ValueKind::kNested:
      return CompareNestedNodes(a, b);
    default:
      return false;
  }
}

bool CompareNestedNodes(const ConvertedNode *a, const ConvertedNode *b) {
  if (a->descriptor != b->descriptor) return false;
  const auto *nested = static_cast<const ElementDescriptor *>(a->descriptor->aux);
  const ConvertedNode *left = a->value.nested;
  const ConvertedNode *right = b->value.nested;
  bool has_key = false;
  for (const ElementDescriptor *row = nested; row != nullptr; row = row->next) {
    if (row->identifier != 1) continue;
    has_key = true;
    const ConvertedNode *x = FirstNamed(left, row->name);
    const ConvertedNode *y = FirstNamed(right, row->name);
    if (x == nullptr || y == nullptr || !CompareNodes(x, y)) return false;
  }
  if (has_key) return true;
  for (const ConvertedNode *x = left; x != nullptr; x = x->next) {
    const ConvertedNode *y = FirstNamed(right, x->descriptor->name);
    if (y == nullptr || !CompareNodes(x, y)) return false;
  }
  for (const ConvertedNode *y = right; y != nullptr; y = y->next) {
    if (FirstNamed(left, y->descriptor->name) == nullptr) return false;
  }
  return true;
}

}  // namespace qorvcfg
