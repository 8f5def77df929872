// Enumeration lists, nested elements and default texts.
#include <cstring>

#include "base/text_copy.h"
#include "markup/markup.h"
#include "platform/platform.h"
#include "schema/schema.h"

namespace qorvcfg {

ResultCode ConvertEnumList(const MarkupElement *element, const ConstraintRecord *bounds,
                           ConvertedNode **out) {
  ConvertedNode *node = NewNode(ValueKind::kNone);
  if (node == nullptr) return Zel_ENOMEM;
  KeywordEntry *head = nullptr;
  KeywordEntry *tail = nullptr;
  for (const MarkupElement *child = element->first_child; child != nullptr; child = child->next) {
    const char *word = child->name;
    const std::size_t word_length = child->name_length;
    const auto length = static_cast<std::int64_t>(word_length);
    if (bounds != nullptr && (length < bounds->minimum || length > bounds->maximum)) continue;
    bool repeated = false;
    for (const KeywordEntry *e = head; e != nullptr && !repeated; e = e->next) {
      repeated = std::strncmp(e->keyword, word, word_length) == 0 && e->keyword[word_length] == 0;
    }
    if (repeated) continue;
    const char *text = ElementValueText(child);
    KeywordEntry *entry =
        NewKeywordEntry(word, word_length, text, text != nullptr ? std::strlen(text) : 0);
    if (entry == nullptr) {
      ReleaseKeywordList(head);
      platform::Free(node);
      return Zel_ENOMEM;
    }
    if (tail == nullptr) {
      head = entry;
    } else {
      tail->next = entry;
    }
    tail = entry;
  }
  if (head == nullptr) {
    platform::Free(node);
    return Zel_EINVAL;
  }
  node->kind = ValueKind::kEnumList;
  node->value.entries = head;
  *out = node;
  return Zel_OK;
}

ResultCode ConvertDefault(const MarkupElement *element, ConvertedNode **out, NodeSource *source) {
  const char *text = ElementValueText(element);
  if (text == nullptr) return Zel_EINVAL;
  ConvertedNode *node = NewNode(ValueKind::kString, source);
  if (node == nullptr) return Zel_ENOMEM;
  if (SetNodeText(node, text, source) != Zel_OK) {
    DiscardNode(node, source);
    return Zel_ENOMEM;
  }
  *out = node;
  return Zel_OK;
}

}  // namespace qorvcfg
