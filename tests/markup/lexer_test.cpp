// Tokens: tags from `<` to the first `>` outside quotes, texts up to the
// next `<` with their trailing blanks.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"
#include "markup/token_helpers.h"
#include "platform/platform.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

TEST(Lexer, CutsTextIntoTokens) {
  struct Row {
    const char *text;
    const char *tokens;
    ResultCode last;
  };
  const Row rows[] = {
      {"<a>", "<a>", Zel_EEOF},
      {"  hello world  <b>", "hello world  |<b>", Zel_EEOF},
      {"<a x='1>2'>", "<a x='1>2'>", Zel_EEOF},
      {"<a<b>", "<a<b>", Zel_EEOF},
      // The apostrophe takes over the open quote; the tag runs on.
      {"<a x=\"it's\">b\">c", "<a x=\"it's\">b\">|c", Zel_EEOF},
      {"<!-- a > b -->", "<!-- a >|b -->", Zel_EEOF},
      {"<a>\r\n \t</a>", "<a>|</a>", Zel_EEOF},
      {"<a>x \r\n</a>", "<a>|x \r\n|</a>", Zel_EEOF},
      {"a \"b' & c > d", "a \"b' & c > d", Zel_EEOF},
      {"<\xC3\xA9>\xC2\xA0<z>", "<\xC3\xA9>|\xC2\xA0|<z>", Zel_EEOF},
      {"\x80<a>", "\x80<a>", Zel_EEOF},  // the `<` went into the first character
      {" \t\r\n\v\f", "", Zel_EEOF},
      {"", "", Zel_EEOF},
      {"<a", "", Zel_EINVAL},
      {"x<a y='>'", "x", Zel_EINVAL},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    const std::int64_t live = platform::LiveAllocations();
    InputSource source;
    SourceInitText(&source, row.text);
    ResultCode last = Zel_OK;
    MarkupToken *tokens = LexAll(&source, &last);
    EXPECT_EQ(TokenTexts(tokens), row.tokens);
    EXPECT_EQ(last, row.last);
    FreeTokenList(tokens);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

TEST(Lexer, ReadsLongTokensWholeFromTextAndFile) {
  std::string accents;
  for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
  const std::string tag = "<t " + std::string(4000, 'x') + " q='>'>";
  const std::string text = "y" + accents + "\xE2\x82\xAC  ";
  const std::string input = "\n " + tag + "  " + text + "</t>";
  const std::string expected = tag + "|" + text + "|</t>";

  InputSource source;
  SourceInitText(&source, input.c_str());
  ResultCode last = Zel_OK;
  MarkupToken *tokens = LexAll(&source, &last);
  EXPECT_EQ(last, Zel_EEOF);
  EXPECT_EQ(TokenTexts(tokens), expected);
  FreeTokenList(tokens);

  const std::string path = TempPath("long");
  WriteFile(path, input);
  platform::FileHandle file = platform::kInvalidFile;
  ASSERT_EQ(platform::OpenForReading(path.c_str(), &file), Zel_OK);
  SourceInitFile(&source, file);
  tokens = LexAll(&source, &last);
  platform::Close(file);
  EXPECT_EQ(last, Zel_EEOF);
  EXPECT_EQ(TokenTexts(tokens), expected);
  FreeTokenList(tokens);
}

// Work buffers grow as a token passes 1024-byte multiples, also in the middle
// of a character of several bytes.
TEST(Lexer, TokensAroundBufferSizes) {
  for (std::size_t n : {1022u, 1023u, 1024u, 1025u, 2047u, 2048u, 2049u}) {
    SCOPED_TRACE(n);
    const std::string tag = "<" + std::string(n - 2, 'x') + ">";
    const std::string text = std::string(n - 2, 'y') + "\xE2\x82\xAC";
    const std::string input = tag + text + tag;
    InputSource source;
    SourceInitText(&source, input.c_str());
    ResultCode last = Zel_OK;
    MarkupToken *tokens = LexAll(&source, &last);
    EXPECT_EQ(last, Zel_EEOF);
    EXPECT_EQ(TokenTexts(tokens), tag + "|" + text + "|" + tag);
    FreeTokenList(tokens);
  }
}

}  // namespace
}  // namespace qorvcfg::test
