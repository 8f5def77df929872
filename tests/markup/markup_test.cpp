// Reading markup: characters, tokens, the element tree and the parse entry,
// from texts and files alike.
#include "markup/markup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "schema/schema.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

// Starts source on a file holding bytes; the caller closes the handle.
platform::FileHandle FileSource(const std::string &bytes, InputSource *source) {
  const std::string path = TempPath("markup");
  WriteFile(path, bytes);
  platform::FileHandle file = platform::kInvalidFile;
  EXPECT_EQ(platform::OpenForReading(path.c_str(), &file), Zel_OK);
  SourceInitFile(source, file);
  return file;
}

TEST(InputSource, CutsSequencesByLeadByte) {
  const struct {
    std::string bytes, chars;  // characters joined by '|'
  } rows[] = {
      {"\xEF\xBB\xBF<", "\xEF\xBB\xBF|<"},  // byte order mark: one character
      {"\xE2\x82", "\xE2\x82"},             // cut by the end: delivered short
      {"\x80<a", "\x80<|a"},                // continuation bytes are not examined
      {"\xFEzy", "\xFEz|y"},
      {"\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80|!"},
      {"\xFCzyxwvu", "\xFCzyxwv|u"},
      {std::string("a\0b", 3), std::string("a|\0|b", 5)},  // a text would end at the zero
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.bytes);
    InputSource source;
    const platform::FileHandle file = FileSource(row.bytes, &source);
    std::string chars;
    SourceChar ch{};
    ResultCode last;
    while ((last = SourceReadChar(&source, &ch)) == Zel_OK) {
      for (std::uint32_t i = ch.length; i < 8; ++i) EXPECT_EQ(ch.bytes[i], 0) << "byte " << i;
      chars +=
          (chars.empty() ? "" : "|") + std::string(reinterpret_cast<char *>(ch.bytes), ch.length);
    }
    EXPECT_EQ(chars, row.chars);
    EXPECT_EQ(last, Zel_EEOF);
    ch.length = 7;
    EXPECT_EQ(SourceReadChar(&source, &ch), Zel_EEOF);  // stays at the end
    EXPECT_EQ(ch.length, 7u);
    platform::Close(file);
  }
}

// Lexes the whole source; *last gets the code that ended it. The caller frees the list.
MarkupToken *LexAll(InputSource *source, ResultCode *last) {
  MarkupToken *head = NewTokenList();
  for (MarkupToken *token = nullptr; (*last = LexNextToken(source, &token)) == Zel_OK;) {
    AppendToken(head, token);
  }
  return head;
}

// The token texts joined by '|', each token checked for kind and length.
std::string TokenTexts(const MarkupToken *head) {
  std::string joined;
  for (const MarkupToken *t = head->next; t != head; t = t->next) {
    EXPECT_EQ(t->kind, t->text[0] == '<' ? TokenKind::kTag : TokenKind::kText) << t->text;
    EXPECT_EQ(t->length, std::strlen(t->text) + 1) << t->text;
    joined += (t == head->next ? "" : "|") + std::string(t->text);
  }
  return joined;
}

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
  for (const MarkupElement *c = node->first_child; c != nullptr; last = c, c = c->next) {
    EXPECT_EQ(c->parent, node);
    out += (c == node->first_child ? "(" : ",") + Dump(c);
  }
  EXPECT_EQ(node->last_child, last);
  return last != nullptr ? out + ")" : out;
}

// Tags run from `<` to the first `>` outside quotes, texts from the first
// non-blank character to the next `<`; end tags close whatever is open.
TEST(Markup, TokensAndElementTree) {
  const struct {
    const char *text;
    const char *tokens;  // null: not checked
    const char *tree;    // top-level elements separated by blanks; null: the lexer refuses
  } rows[] = {
      {"  hello world  <b>", "hello world  |<b>", "b"},
      {"<a<b><c/>", "<a<b>|<c/>", "a<b(c)"},
      // The apostrophe takes over the open quote; the tag runs on.
      {"<a x=\"it's\">b\">c", "<a x=\"it's\">b\">|c", "a(\"c\")"},
      {"<!-- a > b -->", "<!-- a >|b -->", ""},
      {"a \"b' & c > d", "a \"b' & c > d", ""},
      {"<\xC3\xA9>\xC2\xA0<z>", "<\xC3\xA9>|\xC2\xA0|<z>", "\xC3\xA9(\"\xC2\xA0\",z)"},
      {"\x80<a>", "\x80<a>", ""},  // the `<` went into the first character
      {" \t\r\n\v\f", "", ""},
      {"x<a y='>'", "x", nullptr},
      {"<a><b>1</d><c/>", nullptr, "a(b(\"1\"),c)"},  // names not compared; left open
      {"</a><a>1</a></a></b>", nullptr, "a(\"1\")"},  // stray end tags
      {"<?xml version='1.0'?><!-- c --><a><!-- in -->1<?pi?></a><!-- after -->", nullptr,
       "a(\"1\")"},
      {"\xEF\xBB\xBFlead<x>1</x>mid<y>2 \n</y>end", nullptr, "x(\"1\") y(\"2 \n\")"},
      {"<item type='x'>v</item><i /><j/>", nullptr, "item(\"v\") i j"},
      {"<><c/></>< a/>", nullptr, "''(c) ''"},
      {"<!DOCTYPE x><a/>", nullptr, "!DOCTYPE(a)"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    InputSource source;
    SourceInitText(&source, row.text);
    ResultCode last = Zel_OK;
    MarkupToken *tokens = LexAll(&source, &last);
    const std::string texts = TokenTexts(tokens);
    if (row.tokens != nullptr) {
      EXPECT_EQ(texts, row.tokens);
    }
    EXPECT_EQ(last, row.tree != nullptr ? Zel_EEOF : Zel_EINVAL);
    if (row.tree != nullptr) {
      MarkupElement *first = reinterpret_cast<MarkupElement *>(&source);  // must be replaced
      EXPECT_EQ(BuildElementTree(tokens, &first), Zel_OK);
      std::string tree;
      for (const MarkupElement *top = first; top != nullptr; top = top->next) {
        EXPECT_EQ(top->parent, nullptr);
        tree += (top == first ? "" : " ") + Dump(top);
      }
      EXPECT_EQ(tree, row.tree);
      FreeElementChain(first);
    }
    FreeTokenList(tokens);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

// Work buffers grow as a token passes 1024-byte multiples, also in the middle
// of a character of several bytes, and characters straddle file blocks.
TEST(Lexer, TokensAroundBufferSizes) {
  for (std::size_t n : {1022u, 1023u, 1024u, 1025u, 2047u, 2048u, 2049u}) {
    SCOPED_TRACE(n);
    const std::string tag = "<" + std::string(n - 2, 'x') + ">";
    const std::string text = std::string(n - 2, 'y') + "\xE2\x82\xAC";
    InputSource source;
    const platform::FileHandle file = FileSource(tag + text + tag, &source);
    ResultCode last = Zel_OK;
    MarkupToken *tokens = LexAll(&source, &last);
    platform::Close(file);
    EXPECT_EQ(last, Zel_EEOF);
    EXPECT_EQ(TokenTexts(tokens), tag + "|" + text + "|" + tag);
    FreeTokenList(tokens);
  }
}

// v: any integer; a: nested, with this grammar again inside.
extern const ElementDescriptor kGrammar[2];
const ElementDescriptor kGrammar[2] = {
    {&kGrammar[1], "v", ValueKind::kInteger, 0, 0, 0, nullptr},
    {nullptr, "a", ValueKind::kNested, 0, 0, 0, &kGrammar[0]},
};

std::string Values(const ConvertedNode *node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    out += (out.empty() ? "" : " ") + (node->kind == ValueKind::kInteger
                                           ? std::to_string(node->value.integer)
                                           : "a{" + Values(node->value.nested) + "}");
  }
  return out;
}

ConvertedNode kSentinel{}, *const kUntouched = &kSentinel;  // what out holds until written

ResultCode Parse(std::uint32_t mode, const char *input, ConvertedNode **out) {
  *out = kUntouched;
  return ParseMarkup(mode, input, kGrammar, out);
}

TEST(ParseMarkup, ConvertsChildrenOfFirstTopLevelElement) {
  const struct {
    const char *text;
    ResultCode result;
    const char *values;  // null: out stays untouched
  } rows[] = {
      {"<config><v>1</v><a><v>2</v></a></config>", Zel_OK, "1 a{2}"},
      {"<?xml?>\n<foo><v>1</v>text<x>9</x></foo><config><v>2</v></config>", Zel_OK, "1"},
      {"<config></config>", Zel_OK, ""},
      {"", Zel_OK, nullptr},  // an empty file too
      {"<config><v>1</v></config", Zel_EINVAL, nullptr},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    const std::string path = TempPath("input");
    WriteFile(path, row.text);
    for (std::uint32_t mode : {1u, 2u}) {
      SCOPED_TRACE(mode);
      const std::int64_t live = platform::LiveAllocations();
      ConvertedNode *out = nullptr;
      EXPECT_EQ(Parse(mode, mode == 1 ? path.c_str() : row.text, &out), row.result);
      if (row.values == nullptr) {
        EXPECT_EQ(out, kUntouched);
      } else {
        EXPECT_EQ(Values(out), row.values);
        ReleaseNodeList(out);
      }
      EXPECT_EQ(platform::LiveAllocations(), live);
    }
  }
}

TEST(ParseMarkup, RefusesMissingInputsAndBadModes) {
  const std::int64_t live = platform::LiveAllocations();
  ConvertedNode *out = nullptr;
  EXPECT_EQ(Parse(1, TempPath("missing").c_str(), &out), Zel_ESYSTEM | 2);
  for (std::uint32_t mode : {0u, 1u, 2u, 3u}) {
    EXPECT_EQ(Parse(mode, mode % 3 ? nullptr : "<config><v>1</v></config>", &out), Zel_EINVAL);
    EXPECT_EQ(out, kUntouched);
  }
  EXPECT_EQ(platform::LiveAllocations(), live);
}

// A million open elements: the tree is built and freed without recursion,
// and conversion stops following the nesting at its depth limit.
TEST(ParseMarkup, MillionDeepDocument) {
  constexpr int kDepth = 1000000;
  constexpr int kWithValue = 1500;
  std::string text = "<config>";
  text.reserve(kWithValue * 13 + kDepth * 3 + 64);
  for (int i = 0; i < kWithValue; ++i) text += "<a><v>1</v>";
  for (int i = kWithValue; i < kDepth; ++i) text += "<a>";
  text += "deepest text";

  const std::int64_t live = platform::LiveAllocations();
  ConvertedNode *out = nullptr;
  ASSERT_EQ(ParseMarkup(2, text.c_str(), kGrammar, &out), Zel_OK);
  std::uint32_t levels = 0;  // each level holds v=1, then the next level
  std::uint32_t values = 0;
  for (const ConvertedNode *node = out; node != nullptr;) {
    if (node->kind == ValueKind::kNested) {
      ++levels;
      node = node->value.nested;
    } else {
      values += node->kind == ValueKind::kInteger && node->value.integer == 1;
      node = node->next;
    }
  }
  EXPECT_EQ(levels, kMaxNestingDepth);
  EXPECT_EQ(values, kMaxNestingDepth);
  ReleaseNodeList(out);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg::test
