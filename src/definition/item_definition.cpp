// Builds an item definition from the converted nodes of one `item` element,
// with the fallbacks that make every field usable.
#include <cstring>
#include <string_view>

#include "base/text_copy.h"
#include "base/walk_stack.h"
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

// One item whose nodes are being walked; its child items are built first.
struct ItemFrame {
  ItemDefinition *item;
  ConvertedNode *cursor;  // the next node of the item
  ItemNodes found;
  ItemDefinition *last_child;
  std::uint32_t offset;  // of the item element, for diagnostics
};

using ItemStack = WalkStack<ItemFrame, 16>;

// Reports, when asked, what the builder repaired in an item.
void ReportRepairs(const ItemDefinition *item, const ItemNodes &found, std::uint32_t offset,
                   bool default_used, ReadDiagnostics *diagnostics) {
  const char *name = PeekText(found.name);
  const std::string_view shown = name != nullptr ? std::string_view(name) : std::string_view();
  auto start = [&](MessageText *message) {
    message->Add("item ");
    if (name != nullptr)
      message->AddQuoted(name);
    else
      message->Add("without a name");
    message->Add(": ");
  };
  if (name == nullptr) {
    diagnostics->Report(QORVCFG_DIAG_MISSING_NAME, offset, {},
                        "item without a usable name; no value can name it");
  }
  if (item->type == Zel_TYPE_NONE) {
    MessageText message;
    start(&message);
    message.Add("no known type word; it takes no values");
    diagnostics->Report(QORVCFG_DIAG_UNKNOWN_TYPE,
                        found.type != nullptr ? found.type->offset : offset, shown, message.Text());
  }
  if (found.maximum != nullptr && found.minimum != nullptr &&
      (item->type == Zel_TYPE_INTEGER || item->type == Zel_TYPE_STRING) &&
      found.maximum->value.integer < item->minimum) {
    MessageText message;
    start(&message);
    message.Add("maximum ").AddInteger(found.maximum->value.integer).Add(" below minimum ");
    message.AddInteger(item->minimum).Add("; maximum taken as ").AddInteger(item->maximum);
    diagnostics->Report(QORVCFG_DIAG_MINIMUM_ABOVE_MAXIMUM, found.maximum->offset, shown,
                        message.Text());
  }
  const char *given = PeekText(found.default_text);
  if (given != nullptr && !default_used && item->type != Zel_TYPE_STRUCTURE &&
      item->type != Zel_TYPE_NONE) {
    MessageText message;
    start(&message);
    message.Add("default ").AddQuoted(given);
    message.Add(item->type == Zel_TYPE_ENUMERATION ? " names no word" : " does not convert");
    diagnostics->Report(QORVCFG_DIAG_DEFAULT_REPLACED, found.default_text->offset, shown,
                        message.Text());
  }
}

// Whether the item's default text is the one its default holds.
bool DefaultTextUsed(const ItemDefinition *item, const char *text) {
  if (text == nullptr) return true;
  const DataPayload &payload = item->default_value.payload;
  switch (item->type) {
    case Zel_TYPE_INTEGER: {
      std::int64_t value = 0;
      return ParseSignedText(text, std::strlen(text), &value) == Zel_OK && value >= item->minimum &&
             value <= item->maximum;
    }
    case Zel_TYPE_STRING:
    case Zel_TYPE_ENUMERATION:
      return payload.text == text;
    case Zel_TYPE_BOOLEAN: {
      std::uint32_t value = 0;
      return ParseBooleanWord(text, &value) == Zel_OK;
    }
    case Zel_TYPE_IPADDR:
      return payload.ipaddr.form != 0;
    default:
      return true;
  }
}

// Fills an item from its nodes once its children are built. False when
// memory ran out; the item then owns nothing taken from the nodes.
bool FinishItem(ItemDefinition *item, ItemNodes &found, std::uint32_t offset,
                ReadDiagnostics *diagnostics) {
  item->type = TypeFromWord(found.type);
  FillBounds(item, found);
  item->default_value.type = item->type;
  if (item->type == Zel_TYPE_ENUMERATION && found.enumeration != nullptr &&
      found.enumeration->kind == ValueKind::kEnumList) {
    item->entries = found.enumeration->value.entries;
  }
  // The default is settled before anything is taken from the nodes, so that
  // a failure leaves the nodes as they were.
  const char *given = PeekText(found.default_text);
  if (!FillDefault(item, found.default_text)) {
    item->entries = nullptr;
    item->default_value.type = Zel_TYPE_NONE;
    return false;
  }
  if (item->entries != nullptr) found.enumeration->kind = ValueKind::kNone;
  if (diagnostics != nullptr) {
    ReportRepairs(item, found, offset, DefaultTextUsed(item, given), diagnostics);
  }

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
  return true;
}

}  // namespace

ItemDefinition *BuildItemDefinition(ConvertedNode *nodes, ReadDiagnostics *diagnostics,
                                    std::uint32_t offset) {
  auto *root = static_cast<ItemDefinition *>(platform::AllocateZeroed(sizeof(ItemDefinition)));
  if (root == nullptr) return nullptr;
  ItemStack stack;
  bool failed = !stack.Push(ItemFrame{root, nodes, ItemNodes{}, nullptr, offset});
  while (!failed && stack.Size() != 0) {
    ItemFrame &frame = stack.Top();
    if (frame.cursor == nullptr) {
      failed = !FinishItem(frame.item, frame.found, frame.offset, diagnostics);
      stack.Pop();
      continue;
    }
    ConvertedNode *node = frame.cursor;
    frame.cursor = node->next;
    const char *row = node->descriptor->name;
    if (std::strcmp(row, "item") != 0) {
      for (const NamedSlot &slot : kSlots) {
        if (std::strcmp(row, slot.row) == 0) frame.found.*(slot.slot) = node;
      }
      continue;
    }
    if (node->kind != ValueKind::kNested) continue;
    // A child item: linked at once, so that a failure releases it with the rest.
    auto *child = static_cast<ItemDefinition *>(platform::AllocateZeroed(sizeof(ItemDefinition)));
    if (child == nullptr) {
      failed = true;
      continue;
    }
    if (frame.last_child == nullptr) {
      frame.item->children = child;
    } else {
      frame.last_child->next = child;
    }
    frame.last_child = child;
    failed = !stack.Push(ItemFrame{child, node->value.nested, ItemNodes{}, nullptr, node->offset});
  }
  if (failed) {
    ReleaseItemList(root);
    return nullptr;
  }
  return root;
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
    ItemDefinition *item = first;
    first = item->next;
    if (item->children != nullptr) {
      // The children join the rest of the walk: no recursion, however deep.
      ItemDefinition *last = item->children;
      while (last->next != nullptr) last = last->next;
      last->next = first;
      first = item->children;
    }
    platform::Free(item->name);
    platform::Free(item->description);
    platform::Free(item->dispstring);
    ReleasePayloadTexts(item->default_value.type, &item->default_value.payload);
    ReleaseKeywordList(item->entries);
    platform::Free(item);
  }
}

}  // namespace qorvcfg
