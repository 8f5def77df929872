// Builds elements from tokens, one child of the root at a time. Nothing here
// recurses: elements are reached through parent links.
#include <cstring>
#include <string_view>

#include "base/read_diagnostics.h"
#include "markup/lexer.h"
#include "markup/markup.h"

namespace qorvcfg {

// ---- Arena ------------------------------------------------------------------
struct ElementArena::Chunk {
  Chunk *next;
  std::uint32_t capacity;
  MarkupElement elements[1];  // capacity of them
};

namespace {

constexpr std::uint32_t kFirstChunk = 64;
constexpr std::uint32_t kLargestChunk = 1u << 16;

bool StartsWith(const char *tag, std::uint32_t length, std::string_view prefix) {
  return length >= prefix.size() && std::memcmp(tag, prefix.data(), prefix.size()) == 0;
}

}  // namespace

ElementArena::~ElementArena() {
  while (first_ != nullptr) {
    Chunk *next = first_->next;
    platform::Free(first_);
    first_ = next;
  }
}

MarkupElement *ElementArena::NewInNextChunk() {
  Chunk *next = current_ != nullptr ? current_->next : first_;
  if (next == nullptr) {
    std::uint32_t capacity = current_ != nullptr ? current_->capacity * 2 : kFirstChunk;
    if (capacity > kLargestChunk) capacity = kLargestChunk;
    next = static_cast<Chunk *>(
        platform::Allocate(sizeof(Chunk) + (capacity - 1) * sizeof(MarkupElement)));
    if (next == nullptr) return nullptr;
    next->next = nullptr;
    next->capacity = capacity;
    if (current_ != nullptr) {
      current_->next = next;
    } else {
      first_ = next;
    }
  }
  Rewind(Mark{next, next->elements});
  return next_++;
}

void ElementArena::Rewind(Mark mark) {
  current_ = mark.chunk;
  next_ = mark.next;
  end_ = current_ != nullptr ? current_->elements + current_->capacity : nullptr;
}

QorvcfgValueSpan SpanOfElement(const MarkupElement *element, const char *input) {
  QorvcfgValueSpan span{};
  span.element_begin = element->offset;
  span.element_end = element->end;
  span.content_begin = element->content_begin;
  span.content_end = element->content_end;
  span.text_begin = span.text_end = element->content_begin;
  if (element->value != nullptr) {
    span.text_begin = static_cast<std::uint32_t>(element->value - input);
    span.text_end = span.text_begin + static_cast<std::uint32_t>(std::strlen(element->value));
  }
  return span;
}

// ---- Tree builder -------------------------------------------------------------
void TreeBuilder::ChildComplete(MarkupElement *child) {
  if (handler_ == nullptr) return;
  handler_(context_, child);
  root_->first_child = nullptr;
  root_->last_child = nullptr;
  arena_->Rewind(children_mark_);
}

inline ResultCode TreeBuilder::Add(InputSource *source, const MarkupToken &token) {
  char *bytes = source->data + token.offset;
  if (token.kind == TokenKind::kText) {
    Text(bytes, token);
    return Zel_OK;
  }
  // A tag: its first byte may already be the zero that ended a text.
  switch (bytes[1]) {
    case '/':
      EndTag(bytes, token);
      return Zel_OK;
    case '!':
    case '?':
      if (bytes[1] == '?' || StartsWith(bytes + 1, token.length - 1, "!--")) {
        SpecialTag(bytes, token);
        return Zel_OK;
      }
      break;
    default:
      break;
  }
  return StartTag(bytes, token);
}

inline void TreeBuilder::Text(char *text, const MarkupToken &token) {
  // The `<` after the text (or the zero after the input) ends it in place.
  text[token.length] = '\0';
  if (current_ != nullptr) {
    if (current_->value == nullptr) current_->value = text;
  } else if (diagnostics_ != nullptr && outside_depth_ == 0) {
    diagnostics_->Report(QORVCFG_DIAG_OUTSIDE_ROOT, token.offset, {},
                         "text outside the root element");
  }
}

// Comments and declarations leave no trace.
void TreeBuilder::SpecialTag(const char *tag, const MarkupToken &token) {
  if (tag[1] == '?' || diagnostics_ == nullptr) return;
  // A comment that holds a `>` ends there, and the rest of it is read as
  // markup; one that ends in `-->` is harmless.
  const std::uint32_t length = token.length;
  const bool whole = length >= 7 && std::string_view(tag + length - 3, 3) == "-->";
  if (!whole) {
    diagnostics_->Report(QORVCFG_DIAG_COMMENT_TAG, token.offset, {},
                         "a comment that holds '>' ends there: the rest is read as markup");
  }
}

// An end tag closes the innermost open element whatever its name.
inline void TreeBuilder::EndTag(const char *tag, const MarkupToken &token) {
  if (diagnostics_ != nullptr) ReportEndTag(tag, token);
  if (current_ != nullptr) {
    MarkupElement *closed = current_;
    closed->content_end = token.offset;
    closed->end = token.offset + token.length;
    current_ = closed->parent;
    if (current_ == nullptr) {
      root_closed_ = true;
    } else if (current_ == root_) {
      ChildComplete(closed);
    }
  } else if (outside_depth_ != 0) {
    --outside_depth_;
  }
}

void TreeBuilder::ReportEndTag(const char *tag, const MarkupToken &token) {
  const std::string_view closing(tag + 2, token.name_length);
  MessageText message;
  if (current_ == nullptr && root_closed_ && outside_depth_ != 0) {
    // closes an element outside the root
  } else if (current_ == nullptr) {
    message.Add("end tag </").Add(closing).Add("> closes no open element");
  } else if (closing != std::string_view(current_->name, current_->name_length)) {
    message.Add("end tag </").Add(closing).Add("> closes <");
    message.Add(std::string_view(current_->name, current_->name_length)).Add(">");
  }
  if (message.Text()[0] != '\0') {
    diagnostics_->Report(QORVCFG_DIAG_END_TAG_MISMATCH, token.offset, closing, message.Text());
  }
}

inline ResultCode TreeBuilder::StartTag(const char *tag, const MarkupToken &token) {
  const std::uint32_t length = token.length;
  const bool self_closing = length >= 3 && tag[length - 2] == '/';
  if (root_closed_) {
    // Elements after the first top-level element are never converted.
    if (diagnostics_ != nullptr && outside_depth_ == 0) {
      const std::string_view name(tag + 1, token.name_length);
      MessageText message;
      message.Add("element <").Add(name).Add("> outside the root element");
      diagnostics_->Report(QORVCFG_DIAG_OUTSIDE_ROOT, token.offset, name, message.Text());
    }
    if (!self_closing) ++outside_depth_;
    return Zel_OK;
  }
  MarkupElement *element = arena_->New();
  if (element == nullptr) return Zel_ENOMEM;
  const std::uint32_t after = token.offset + length;
  *element = MarkupElement{nullptr,           current_,     nullptr, nullptr, tag + 1, nullptr,
                           token.name_length, token.offset, after,   after,   after};
  if (current_ == nullptr) {
    root_ = element;
    children_mark_ = arena_->Now();
  } else {
    if (current_->last_child == nullptr) {
      current_->first_child = element;
    } else {
      current_->last_child->next = element;
    }
    current_->last_child = element;
  }
  if (!self_closing) {
    current_ = element;
  } else if (element == root_) {
    root_closed_ = true;
  } else if (current_ == root_) {
    ChildComplete(element);
  }
  return Zel_OK;
}

ResultCode TreeBuilder::Read(InputSource *source) {
  input_length_ = source->length;
  lexer::Lexer lexer(source);
  MarkupToken token;
  ResultCode result;
  while ((result = lexer.Next(&token)) == Zel_OK) {
    result = Add(source, token);
    if (result != Zel_OK) return result;
  }
  return IsEndOfInput(result) ? Zel_OK : result;
}

void TreeBuilder::Finish() {
  if (root_ == nullptr) {
    if (diagnostics_ != nullptr) {
      diagnostics_->Report(QORVCFG_DIAG_NO_ROOT, kNoOffset, {}, "the input holds no element");
    }
    return;
  }
  if (current_ == nullptr) return;
  // Open elements lie on the path of last children from the root down, and
  // end with the input.
  for (MarkupElement *open = root_; open != nullptr; open = open->last_child) {
    open->content_end = open->end = input_length_;
    if (open == current_) break;
  }
  if (diagnostics_ != nullptr) {
    for (const MarkupElement *open = root_; open != nullptr; open = open->last_child) {
      const std::string_view name(open->name, open->name_length);
      MessageText message;
      message.Add("<").Add(name).Add("> still open at the end of input");
      diagnostics_->Report(QORVCFG_DIAG_UNCLOSED_ELEMENT, open->offset, name, message.Text());
      if (open == current_) break;
    }
  }
  MarkupElement *pending = root_->last_child;
  current_ = nullptr;
  if (pending != nullptr) ChildComplete(pending);
}

}  // namespace qorvcfg
