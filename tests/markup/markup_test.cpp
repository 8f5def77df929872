// Reading markup: tokens and the element tree, from texts and files alike.
#include "markup/markup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_files.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qorvcfg::test {
namespace {

// Opens a source on bytes: as a file (mode 1), which may hold zero bytes,
// or as a text (mode 2).
InputSource OpenSource(const std::string &bytes, std::uint32_t mode = 2) {
  InputSource source{};
  if (mode == 1) {
    const std::string path = TempPath("markup");
    WriteFile(path, bytes);
    EXPECT_EQ(SourceOpen(1, path.c_str(), &source), Zel_OK);
  } else {
    EXPECT_EQ(SourceOpen(2, bytes.c_str(), &source), Zel_OK);
  }
  return source;
}

// The token texts joined by |; *last gets the code that ended lexing.
std::string Tokens(const std::string &bytes, ResultCode *last, std::uint32_t mode = 2) {
  InputSource source = OpenSource(bytes, mode);
  std::string out;
  MarkupToken token{};
  while ((*last = LexNextToken(&source, &token)) == Zel_OK) {
    const std::string text(source.data + token.offset, token.length);
    EXPECT_EQ(token.kind, text[0] == '<' ? TokenKind::kTag : TokenKind::kText) << text;
    out += (out.empty() ? "" : "|") + text;
  }
  SourceClose(&source);
  return out;
}

// name="value"(children) for the root and everything in it.
std::string Dump(const MarkupElement *root) {
  std::string out;
  const MarkupElement *node = root;
  while (node != nullptr) {
    out += node->name_length == 0 ? "''" : std::string(node->name, node->name_length);
    if (node->value != nullptr) out += "=\"" + std::string(node->value) + "\"";
    if (node->first_child != nullptr) {
      out += "(";
      node = node->first_child;
      continue;
    }
    while (node != root && node->next == nullptr) {
      node = node->parent;
      out += ")";
    }
    if (node == root) break;
    out += ",";
    node = node->next;
  }
  return out;
}

// The tree the builder keeps of the first top-level element.
std::string Tree(const std::string &bytes, std::uint32_t mode = 2) {
  InputSource source = OpenSource(bytes, mode);
  ElementArena arena;
  TreeBuilder tree(&arena, nullptr, nullptr, nullptr);
  if (tree.Read(&source) == Zel_OK) tree.Finish();
  std::string out = tree.Root() != nullptr ? Dump(tree.Root()) : "";
  SourceClose(&source);
  return out;
}

// Tags run from `<` to the first `>` outside quotes, texts from the first
// non-blank character to the next `<`; a lead byte takes its sequence's bytes
// along; end tags close whatever is open; only the first top-level element
// is kept, with the first text of each element.
TEST(Markup, TokensAndElementTree) {
  const struct {
    const char *text;
    const char *tokens;  // null: not checked
    const char *tree;    // the first top-level element; null: the lexer refuses
  } rows[] = {
      {"  hello world  <b>", "hello world  |<b>", "b"},
      {"<a<b><c/>", "<a<b>|<c/>", "a<b(c)"},
      // The apostrophe takes over the open quote; the tag runs on.
      {"<a x=\"it's\">b\">c", "<a x=\"it's\">b\">|c", "a=\"c\""},
      {"<!-- a > b -->", "<!-- a >|b -->", ""},
      {"a \"b' & c > d", "a \"b' & c > d", ""},
      {"<\xC3\xA9>\xC2\xA0<z>", "<\xC3\xA9>|\xC2\xA0|<z>", "\xC3\xA9=\"\xC2\xA0\"(z)"},
      {"\x80<a>", "\x80<a>", ""},                         // the `<` went into the first character
      {"<a \xE2>'>x", "<a \xE2>'>|x", "a=\"x\""},         // so does a `>` in a tag
      {"<a>\xE2\x82", "<a>|\xE2\x82", "a=\"\xE2\x82\""},  // cut short by the end
      {" \t\r\n\v\f", "", ""},
      {"x<a y='>'", "x", nullptr},
      {"<a \xF0>>", nullptr, nullptr},
      {"<a>x<b/>y</a>", nullptr, "a=\"x\"(b)"},
      {"<a><b>1</d><c/>", nullptr, "a(b=\"1\",c)"},  // names not compared; left open
      {"</a><a>1</a></a></b>", nullptr, "a=\"1\""},  // stray end tags
      {"<?xml version='1.0'?><!-- c --><a><!-- in -->1<?pi?></a><!-- after -->", nullptr,
       "a=\"1\""},
      {"\xEF\xBB\xBFlead<x>1</x>mid<y>2 \n</y>end", nullptr, "x=\"1\""},
      {"<item type='x'>v</item><i /><j/>", nullptr, "item=\"v\""},
      {"<><c/></>< a/>", nullptr, "''(c)"},
      {"<!DOCTYPE x><a/>", nullptr, "!DOCTYPE(a)"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    ResultCode last = Zel_OK;
    const std::string texts = Tokens(row.text, &last);
    if (row.tokens != nullptr) {
      EXPECT_EQ(texts, row.tokens);
    }
    EXPECT_EQ(last, row.tree != nullptr ? Zel_EEOF : Zel_EINVAL);
    if (row.tree != nullptr) {
      EXPECT_EQ(Tree(row.text), row.tree);
    }
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

// Blanks, names and texts are passed over in blocks: boundaries at every
// place in and across blocks, and the end of the input right after them,
// are found all the same.
TEST(Lexer, BoundariesAtEveryPlaceOfABlock) {
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n < 20; ++n) sizes.push_back(n);
  for (std::size_t n : {31u, 32u, 33u, 62u, 63u, 64u, 65u, 66u, 127u, 128u, 129u}) {
    sizes.push_back(n);
  }
  for (std::size_t n : sizes) {
    SCOPED_TRACE(n);
    const std::string tag = "<" + std::string(n, 'x') + " q='" + std::string(n % 3, '>') + "'>";
    const std::string text = std::string(n, 'y') + "\xE2\x82\xAC" + std::string(n % 3, ' ');
    ResultCode last = Zel_OK;
    EXPECT_EQ(Tokens(tag + text + tag, &last, 1), tag + "|" + text + "|" + tag);
    EXPECT_EQ(last, Zel_EEOF);
    // A lead byte just before a `<` takes it, wherever the pair falls.
    EXPECT_EQ(Tokens(std::string(n, 'z') + "\xC3<a>", &last, 1), std::string(n, 'z') + "\xC3<a>");
    // Plain tags, runs of blanks and a text that ends the input.
    const std::string name = "n" + std::string(n, 'x');
    const std::string blanks = std::string(n, ' ') + "\r\n" + std::string(n % 5, '\t');
    const std::string value = "v" + std::string(n, 'y');
    const std::string document = "<" + name + ">" + blanks + "<" + name + "/>" + value + "<e>" +
                                 value + "</" + name + ">" + blanks + "</>" + blanks + value;
    EXPECT_EQ(Tokens(document, &last), "<" + name + ">|<" + name + "/>|" + value + "|<e>|" + value +
                                           "|</" + name + ">|</>|" + value);
    EXPECT_EQ(last, Zel_EEOF);
    EXPECT_EQ(Tree(document), name + "=\"" + value + "\"(" + name + ",e=\"" + value + "\")");
    EXPECT_EQ(Tokens("<a>" + blanks + "<" + name, &last), "<a>");
    EXPECT_EQ(last, Zel_EINVAL);
  }
  // In a file a zero byte is a character like any other; a text ends at it
  // when its value is read, and a name ends at it.
  const std::string bytes("<a\0b>1\0002</a>", 12);
  ResultCode last = Zel_OK;
  EXPECT_EQ(Tokens(bytes, &last, 1), bytes.substr(0, 5) + "|" + bytes.substr(5, 3) + "|</a>");
  EXPECT_EQ(Tree(bytes, 1), "a=\"1\"");
}

// Files that are not regular files, and files too large for 32-bit lengths,
// are refused at once instead of being read without end.
TEST(InputSource, RefusesDevicesAndHugeFiles) {
  InputSource source{};
#if defined(_WIN32)
  EXPECT_EQ(SourceOpen(1, "NUL", &source), Zel_ESYSTEM | 1);
#else
  EXPECT_EQ(SourceOpen(1, "/dev/zero", &source), Zel_ESYSTEM | 1);
  EXPECT_EQ(SourceOpen(1, "/dev/null", &source), Zel_ESYSTEM | 1);
  const std::string path = TempPath("huge");
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const bool sparse = ftruncate(fd, 0x80000000LL) == 0;  // one byte beyond the limit
  close(fd);
  if (sparse) {
    EXPECT_EQ(SourceOpen(1, path.c_str(), &source), Zel_ESYSTEM | 223);
  }
  unlink(path.c_str());
#endif
}

}  // namespace
}  // namespace qorvcfg::test
