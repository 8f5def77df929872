// The element tree: nesting, self-closing tags, end tags that close whatever
// is open, and tags and texts that leave no trace.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"
#include "markup/token_helpers.h"
#include "platform/platform.h"

namespace qorvcfg::test {
namespace {

// name(child,...) for an element ('' for an empty name), "text" for a text;
// checks the links on the way.
std::string Dump(const MarkupElement *node) {
  if (node->kind == ElementKind::kText) {
    EXPECT_EQ(node->first_child, nullptr);
    return '"' + std::string(node->text) + '"';
  }
  EXPECT_EQ(node->kind, ElementKind::kElement);
  std::string out = node->text[0] == '\0' ? "''" : node->text;
  const MarkupElement *last = nullptr;
  for (const MarkupElement *c = node->first_child; c != nullptr; c = c->next) {
    EXPECT_EQ(c->parent, node);
    out += (c == node->first_child ? "(" : ",") + Dump(c);
    last = c;
  }
  EXPECT_EQ(node->last_child, last);
  return last != nullptr ? out + ")" : out;
}

TEST(ElementTree, BuildsTreeFromTokens) {
  struct Row {
    const char *text;
    const char *tree;  // top-level elements separated by blanks
  };
  const Row rows[] = {
      {"<a><b>1</b><d>2</d></a>", "a(b(\"1\"),d(\"2\"))"},
      {"<a>x<b/>y</a>", "a(\"x\",b,\"y\")"},
      {"<a><b>1</d><c/></a>", "a(b(\"1\"),c)"},  // end tag names are not compared
      {"<a><b>1</b>", "a(b(\"1\"))"},            // left open
      {"</a><a>1</a></a></b>", "a(\"1\")"},      // stray end tags
      {"<a> </a><b></b>", "a b"},
      {"<?xml version='1.0'?><!-- c --><a><!-- in -->1<?pi?></a><!-- after -->", "a(\"1\")"},
      {"\xEF\xBB\xBFlead<x>1</x>mid<y>2 \n</y>end", "x(\"1\") y(\"2 \n\")"},
      {"<item type='x'>v</item><i /><j/>", "item(\"v\") i j"},
      {"<a/b><c/></a/b>", "a/b(c)"},
      {"<a<b><c/>", "a<b(c)"},
      {"<><c/></>< a/>", "''(c) ''"},
      {"<!DOCTYPE x><a/>", "!DOCTYPE(a)"},
      {"only text", ""},
      {"<!-- only --><?x?>", ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    InputSource source;
    SourceInitText(&source, row.text);
    ResultCode last = Zel_OK;
    MarkupToken *tokens = LexAll(&source, &last);
    ASSERT_EQ(last, Zel_EEOF);
    MarkupElement *first = reinterpret_cast<MarkupElement *>(&source);  // must be replaced
    EXPECT_EQ(BuildElementTree(tokens, &first), Zel_OK);
    FreeTokenList(tokens);
    std::string tree;
    for (const MarkupElement *top = first; top != nullptr; top = top->next) {
      EXPECT_EQ(top->parent, nullptr);
      tree += (top == first ? "" : " ") + Dump(top);
    }
    EXPECT_EQ(tree, row.tree);
    FreeElementChain(first);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

}  // namespace
}  // namespace qorvcfg::test
