// Builds an item definition from the converted nodes of one `item` element,
// with the fallbacks that make every field usable.
#include <cstring>

#include "api/text_copy.h"
#include "definition/definition.h"
#include "platform/platform.h"

namespace qorvcfg {
namespace {

// The nodes of one item, by the row that accepted them.
struct ItemNodes {
  ConvertedNode *name = nullptr;
  ConvertedNode *description = nullptr;
  ConvertedNode *dispstring = nullptr;
  ConvertedNode *identifier = nullptr;
  ConvertedNode *necessity = nullptr;
  ConvertedNode *hidden = nullptr;
  ConvertedNode *number = nullptr;
  ConvertedNode *type = nullptr;
  ConvertedNode *enumeration = nullptr;
  ConvertedNode *default_text = nullptr;
  ConvertedNode *minimum = nullptr;
  ConvertedNode *maximum = nullptr;
};

struct NamedSlot {
  const char *row;
  ConvertedNode *ItemNodes::*slot;
};

constexpr NamedSlot kSlots[] = {
    {"name", &ItemNodes::name},
    {"description", &ItemNodes::description},
    {"dispstring", &ItemNodes::dispstring},
    {"identifier", &ItemNodes::identifier},
    {"necessity", &ItemNodes::necessity},
    {"hidden", &ItemNodes::hidden},
    {"number", &ItemNodes::number},
    {"type", &ItemNodes::type},
    {"enum", &ItemNodes::enumeration},
    {"default", &ItemNodes::default_text},
    {"minimum", &ItemNodes::minimum},
    {"maximum", &ItemNodes::maximum},
};

constexpr const char *kTypeWords[] = {"integer", "string",      "boolean",
                                      "ipaddr",  "enumeration", "structure"};

// Moves a node's text out of the node.
char *TakeText(ConvertedNode *node) {
  if (node == nullptr || node->kind == ValueKind::kNone) return nullptr;
  char *text = node->value.text;
  node->kind = ValueKind::kNone;
  return text;
}

// The text a node still holds, without taking it.
const char *PeekText(const ConvertedNode *node) {
  return node != nullptr && node->kind != ValueKind::kNone ? node->value.text : nullptr;
}

std::uint32_t BooleanOr(const ConvertedNode *node, std::uint32_t absent) {
  return node != nullptr ? node->value.boolean : absent;
}

ItemType TypeFromWord(const ConvertedNode *node) {
  const char *word = PeekText(node);
  if (word == nullptr) return Zel_TYPE_NONE;
  for (std::uint32_t i = 0; i < 6; ++i) {
    if (std::strcmp(word, kTypeWords[i]) == 0) return i + 1;
  }
  return Zel_TYPE_NONE;
}

void FillBounds(ItemDefinition *item, const ItemNodes &nodes) {
  if (item->type != Zel_TYPE_INTEGER && item->type != Zel_TYPE_STRING) return;
  const bool integer = item->type == Zel_TYPE_INTEGER;
  item->minimum =
      nodes.minimum != nullptr ? nodes.minimum->value.integer : (integer ? INT64_MIN : 0);
  if (nodes.maximum != nullptr) {
    const std::int64_t maximum = nodes.maximum->value.integer;
    item->maximum = maximum >= item->minimum ? maximum : item->minimum;
  } else {
    item->maximum = integer ? INT64_MAX : 2147483646;
  }
}

// The default of an enumeration: a given word that names an entry stays;
// anything else, or no default at all, falls back to the first entry's word.
// Without entries there is no default. False when memory ran out.
bool FillEnumerationDefault(ItemDefinition *item, ConvertedNode *default_node) {
  const char *given = PeekText(default_node);
  if (given != nullptr && IsNameText(given) == Zel_OK) {
    for (const KeywordEntry *e = item->entries; e != nullptr; e = e->next) {
      if (std::strcmp(e->keyword, given) == 0) {
        item->default_value.payload.keyword = TakeText(default_node);
        return true;
      }
    }
  }
  if (item->entries == nullptr) return true;
  const char *first = item->entries->keyword;
  item->default_value.payload.keyword = CopyTextBytes(first, std::strlen(first));
  return item->default_value.payload.keyword != nullptr;
}

bool FillDefault(ItemDefinition *item, ConvertedNode *default_node) {
  DataPayload &payload = item->default_value.payload;
  item->default_value.type = item->type;
  const char *text = PeekText(default_node);
  switch (item->type) {
    case Zel_TYPE_INTEGER: {
      std::int64_t value = 0;
      if (text != nullptr && ParseSignedText(text, std::strlen(text), &value) == Zel_OK &&
          value >= item->minimum && value <= item->maximum) {
        payload.integer = value;
      } else {
        payload.integer = item->minimum > 0 ? item->minimum : 0;
      }
      return true;
    }
    case Zel_TYPE_STRING: {
      if (text != nullptr) {
        const auto length = static_cast<std::int64_t>(std::strlen(text));
        if (length >= item->minimum && length <= item->maximum) {
          payload.text = TakeText(default_node);
          return true;
        }
      }
      const std::size_t spaces = item->minimum > 0 ? static_cast<std::size_t>(item->minimum) : 0;
      payload.text = static_cast<char *>(platform::Allocate(spaces + 1));
      if (payload.text != nullptr) {
        std::memset(payload.text, ' ', spaces);
        payload.text[spaces] = '\0';
      }
      return true;
    }
    case Zel_TYPE_BOOLEAN: {
      std::uint32_t value = 0;
      payload.boolean = ParseBooleanWord(text, &value) == Zel_OK ? value : 0;
      return true;
    }
    case Zel_TYPE_IPADDR: {
      IpAddressValue value{};
      if (ParseIpText(text, &value) == Zel_OK) payload.ipaddr = value;
      return true;
    }
    case Zel_TYPE_ENUMERATION:
      return FillEnumerationDefault(item, default_node);
    default:
      return true;  // structures and items without a type have no default
  }
}

}  // namespace

ItemDefinition *BuildItemDefinition(ConvertedNode *nodes) {
  auto *item = static_cast<ItemDefinition *>(platform::AllocateZeroed(sizeof(ItemDefinition)));
  if (item == nullptr) return nullptr;

  ItemNodes found;
  ItemDefinition *last_child = nullptr;
  for (ConvertedNode *node = nodes; node != nullptr; node = node->next) {
    const char *row = node->descriptor->name;
    if (std::strcmp(row, "item") == 0) {
      if (node->kind != ValueKind::kNested) continue;
      ItemDefinition *child = BuildItemDefinition(node->value.nested);
      if (child == nullptr) {
        ReleaseItemList(item->children);
        platform::Free(item);
        return nullptr;
      }
      if (last_child == nullptr) {
        item->children = child;
      } else {
        last_child->next = child;
      }
      last_child = child;
      continue;
    }
    for (const NamedSlot &slot : kSlots) {
      if (std::strcmp(row, slot.row) == 0) found.*(slot.slot) = node;
    }
  }

  item->type = TypeFromWord(found.type);
  FillBounds(item, found);
  item->default_value.type = item->type;
  if (item->type == Zel_TYPE_ENUMERATION && found.enumeration != nullptr &&
      found.enumeration->kind == ValueKind::kEnumList) {
    item->entries = found.enumeration->value.entries;
  }
  // The default is settled before anything is taken from the nodes, so that
  // a failure leaves the nodes as they were.
  if (!FillDefault(item, found.default_text)) {
    ReleaseItemList(item->children);
    platform::Free(item);
    return nullptr;
  }
  if (item->entries != nullptr) found.enumeration->kind = ValueKind::kNone;

  item->next = nullptr;
  item->name = TakeText(found.name);
  item->description = TakeText(found.description);
  item->dispstring = TakeText(found.dispstring);
  item->hidden = BooleanOr(found.hidden, 0);
  item->number =
      found.number != nullptr ? static_cast<std::uint32_t>(found.number->value.integer) : 1;
  item->identifier = BooleanOr(found.identifier, 0);
  if (item->type == Zel_TYPE_STRUCTURE || item->type == Zel_TYPE_NONE) item->identifier = 0;
  item->necessity = BooleanOr(found.necessity, 1);
  if (item->identifier == 1) item->necessity = 1;
  return item;
}

void ReleasePayloadTexts(ItemType type, DataPayload *payload) {
  if (type == Zel_TYPE_STRING || type == Zel_TYPE_ENUMERATION) {
    platform::Free(payload->text);
  } else if (type == Zel_TYPE_IPADDR) {
    platform::Free(payload->ipaddr.host_name);
  }
}

void ReleaseItemList(ItemDefinition *first) {
  while (first != nullptr) {
    ItemDefinition *next = first->next;
    platform::Free(first->name);
    platform::Free(first->description);
    platform::Free(first->dispstring);
    ReleasePayloadTexts(first->default_value.type, &first->default_value.payload);
    ReleaseKeywordList(first->entries);
    ReleaseItemList(first->children);
    platform::Free(first);
    first = next;
  }
}

}  // namespace qorvcfg
