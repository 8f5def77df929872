// Turns a token list into a tree of elements and text nodes. Building and
// freeing never recurse, so documents of any depth are safe.
#include <cstring>

#include "api/text_copy.h"
#include "markup/markup.h"

namespace qorvcfg {
namespace {

bool IsBlankByte(unsigned char b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

bool StartsWith(const char *text, const char *prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A start tag is self-closing when the byte before its closing `>` is `/`.
bool IsSelfClosing(const MarkupToken *token) {
  const std::uint32_t bytes = token->length - 1;
  return bytes >= 2 && token->text[bytes - 1] == '>' && token->text[bytes - 2] == '/';
}

MarkupElement *NewElement() {
  return static_cast<MarkupElement *>(platform::AllocateZeroed(sizeof(MarkupElement)));
}

// Makes a node from a token; null when it cannot be made.
MarkupElement *ElementFromToken(const MarkupToken *token) {
  MarkupElement *node = NewElement();
  if (node == nullptr) return nullptr;
  if (FillElementFromToken(node, token->text) != Zel_OK) {
    platform::Free(node);
    return nullptr;
  }
  return node;
}

}  // namespace

ResultCode FillElementFromToken(MarkupElement *node, const char *token_text) {
  if (node == nullptr) return Zel_EINVAL;
  if (token_text == nullptr) {
    ClearElement(node);
    return Zel_OK;
  }
  char *copy = nullptr;
  ElementKind kind;
  if (token_text[0] == '<') {
    const char *name = token_text + 1;
    std::size_t length = 0;
    while (name[length] != '\0' && name[length] != '>' &&
           !IsBlankByte(static_cast<unsigned char>(name[length]))) {
      ++length;
    }
    if (name[length] == '>' && length > 0 && name[length - 1] == '/') --length;
    copy = CopyTextBytes(name, length);
    kind = ElementKind::kElement;
  } else {
    copy = CopyTextBytes(token_text, std::strlen(token_text));
    kind = ElementKind::kText;
  }
  if (copy == nullptr) return Zel_ENOMEM;
  ClearElement(node);
  node->kind = kind;
  node->text = copy;
  return Zel_OK;
}

ResultCode AppendChild(MarkupElement *parent, MarkupElement *child) {
  if (parent == nullptr || parent->kind != ElementKind::kElement || child == nullptr) {
    return Zel_EINVAL;
  }
  DetachFromParent(child);
  child->parent = parent;
  child->next = nullptr;
  if (parent->last_child == nullptr) {
    parent->first_child = child;
  } else {
    parent->last_child->next = child;
  }
  parent->last_child = child;
  return Zel_OK;
}

void DetachFromParent(MarkupElement *node) {
  MarkupElement *parent = node->parent;
  if (parent == nullptr) return;
  MarkupElement *before = nullptr;
  MarkupElement *at = parent->first_child;
  while (at != nullptr && at != node) {
    before = at;
    at = at->next;
  }
  if (at == node) {
    if (before == nullptr) {
      parent->first_child = node->next;
    } else {
      before->next = node->next;
    }
    if (parent->last_child == node) parent->last_child = before;
  }
  node->next = nullptr;
  node->parent = nullptr;
}

void ClearElement(MarkupElement *node) {
  if (node == nullptr) return;
  // Frees the subtree from the leaves up, walking down through first
  // children and back up through parent links: no recursion.
  MarkupElement *at = node->first_child;
  while (at != nullptr) {
    if (at->first_child != nullptr) {
      at = at->first_child;
      continue;
    }
    MarkupElement *parent = at->parent;
    parent->first_child = at->next;
    if (parent->first_child == nullptr) parent->last_child = nullptr;
    platform::Free(at->text);
    platform::Free(at);
    at = parent == node ? node->first_child : parent;
  }
  platform::Free(node->text);
  node->text = nullptr;
  node->first_child = nullptr;
  node->last_child = nullptr;
  node->kind = ElementKind::kCleared;
}

void FreeElement(MarkupElement *node) {
  if (node == nullptr) return;
  DetachFromParent(node);
  ClearElement(node);
  platform::Free(node);
}

void FreeElementChain(MarkupElement *first) {
  while (first != nullptr) {
    MarkupElement *next = first->next;
    FreeElement(first);
    first = next;
  }
}

ResultCode BuildElementTree(const MarkupToken *head, MarkupElement **out_first) {
  MarkupElement *first = nullptr;
  MarkupElement *last_top = nullptr;
  MarkupElement *current = nullptr;
  for (const MarkupToken *token = head->next; token != head; token = token->next) {
    if (token->kind == TokenKind::kTag) {
      const char *text = token->text;
      if (StartsWith(text, "<!--") || StartsWith(text, "<?")) continue;
      if (StartsWith(text, "</")) {
        if (current != nullptr) current = current->parent;
        continue;
      }
      MarkupElement *node = ElementFromToken(token);
      if (node == nullptr) continue;
      if (current == nullptr) {
        if (last_top == nullptr) {
          first = node;
        } else {
          last_top->next = node;
        }
        last_top = node;
      } else {
        (void)AppendChild(current, node);
      }
      if (!IsSelfClosing(token)) current = node;
    } else if (token->kind == TokenKind::kText) {
      if (current == nullptr) continue;
      MarkupElement *node = ElementFromToken(token);
      if (node == nullptr) continue;
      (void)AppendChild(current, node);
    }
  }
  *out_first = first;
  return Zel_OK;
}

}  // namespace qorvcfg
