// Lexing helpers shared by the markup tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "markup/markup.h"

namespace qorvcfg::test {

// Lexes the whole input into a token list; *last gets the result that ended
// the loop. The caller frees the list.
inline MarkupToken *LexAll(InputSource *source, ResultCode *last) {
  MarkupToken *head = NewTokenList();
  EXPECT_NE(head, nullptr);
  for (;;) {
    MarkupToken *token = nullptr;
    *last = LexNextToken(source, &token);
    if (*last != Zel_OK) return head;
    AppendToken(head, token);
  }
}

// The token texts joined by '|', each token checked for kind and length.
inline std::string TokenTexts(const MarkupToken *head) {
  std::string joined;
  for (const MarkupToken *t = head->next; t != head; t = t->next) {
    const bool tag = t->text[0] == '<';
    EXPECT_EQ(t->kind, tag ? TokenKind::kTag : TokenKind::kText) << t->text;
    EXPECT_EQ(t->length, std::strlen(t->text) + 1) << t->text;
    if (t != head->next) joined += '|';
    joined += t->text;
  }
  return joined;
}

}  // namespace qorvcfg::test
