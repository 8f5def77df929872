// Converted nodes and keyword entries: making and releasing them.
#include <cstring>

#include "base/text_copy.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {

ConvertedNode *NewNode(ValueKind kind, NodeSource *source) {
  ConvertedNode *node = nullptr;
  if (source != nullptr && source->spare != nullptr) {
    node = source->spare;
    source->spare = node->next;
    std::memset(static_cast<void *>(node), 0, sizeof *node);
  } else {
    node = static_cast<ConvertedNode *>(platform::AllocateZeroed(sizeof(ConvertedNode)));
    if (node == nullptr) return nullptr;
  }
  node->kind = kind;
  return node;
}

ResultCode SetNodeText(ConvertedNode *node, const char *text, const NodeSource *source) {
  if (source != nullptr) {
    node->value.text = const_cast<char *>(text);
    return Zel_OK;
  }
  return DuplicateText(text, &node->value.text);
}

void DiscardNode(ConvertedNode *node, NodeSource *source) {
  if (source == nullptr) {
    platform::Free(node);
    return;
  }
  node->next = source->spare;
  source->spare = node;
}

void NodeSourceRelease(NodeSource *source) {
  while (source->spare != nullptr) {
    ConvertedNode *node = source->spare;
    source->spare = node->next;
    platform::Free(node);
  }
}

void ReleaseNodeValue(ConvertedNode *node, const NodeSource *source) {
  if (node == nullptr) return;
  switch (node->kind) {
    case ValueKind::kName:
    case ValueKind::kString:
    case ValueKind::kKeyword:
      if (source == nullptr) platform::Free(node->value.text);
      break;
    case ValueKind::kIpAddress:
      if (source == nullptr) platform::Free(node->value.ipaddr.host_name);
      break;
    case ValueKind::kEnumList:
      ReleaseKeywordList(node->value.entries);
      break;
    case ValueKind::kNested:
      ReleaseNodeList(node->value.nested);
      break;
    default:
      break;
  }
  node->kind = ValueKind::kNone;
}

void ReleaseNodeList(ConvertedNode *first, NodeSource *source) {
  while (first != nullptr) {
    ConvertedNode *node = first;
    first = node->next;
    if (node->kind == ValueKind::kNested && node->value.nested != nullptr) {
      // The nested nodes join the rest of the walk: no recursion, however deep.
      ConvertedNode *last = node->value.nested;
      while (last->next != nullptr) last = last->next;
      last->next = first;
      first = node->value.nested;
      node->kind = ValueKind::kNone;
    }
    ReleaseNodeValue(node, source);
    DiscardNode(node, source);
  }
}

namespace {
constexpr std::size_t RoundUp8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }
}  // namespace

KeywordEntry *NewKeywordEntry(const char *keyword, std::size_t keyword_length, const char *text,
                              std::size_t text_length) {
  // One block: the entry, then the keyword and the text, each zero-terminated
  // and each in a region rounded up to a multiple of 8 bytes.
  const std::size_t keyword_region = RoundUp8(keyword_length + 1);
  const std::size_t text_region = RoundUp8(text_length + 1);
  auto *block = static_cast<char *>(
      platform::AllocateZeroed(sizeof(KeywordEntry) + keyword_region + text_region));
  if (block == nullptr) return nullptr;
  auto *entry = reinterpret_cast<KeywordEntry *>(block);
  entry->next = nullptr;
  entry->keyword = block + sizeof(KeywordEntry);
  entry->text = entry->keyword + keyword_region;
  if (keyword_length != 0) std::memcpy(entry->keyword, keyword, keyword_length);
  if (text != nullptr && text_length != 0) std::memcpy(entry->text, text, text_length);
  return entry;
}

void ReleaseKeywordList(KeywordEntry *first) {
  while (first != nullptr) {
    KeywordEntry *next = first->next;
    platform::Free(first);
    first = next;
  }
}

}  // namespace qorvcfg
