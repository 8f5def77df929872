// Characters from a text and from a file: sequence lengths from the lead
// byte, cut sequences, block refills and zero bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/markup.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

std::string Bytes(const SourceChar &ch) {
  return std::string(reinterpret_cast<const char *>(ch.bytes), ch.length);
}

// Reads characters until the source gives anything but Zel_OK.
std::vector<std::string> ReadChars(InputSource *source, ResultCode *last) {
  std::vector<std::string> chars;
  SourceChar ch{};
  while ((*last = SourceReadChar(source, &ch)) == Zel_OK) {
    for (std::uint32_t i = ch.length; i < 8; ++i) {
      EXPECT_EQ(ch.bytes[i], 0) << "byte " << i;
    }
    chars.push_back(Bytes(ch));
  }
  return chars;
}

TEST(InputSource, SplitsTextIntoSequencesByLeadByte) {
  struct Row {
    const char *text;
    const char *chars;  // joined by '|'
  };
  const Row rows[] = {
      {"", ""},
      {"a\xC3\xA9z", "a|\xC3\xA9|z"},
      {"\xEF\xBB\xBF<", "\xEF\xBB\xBF|<"},  // byte order mark: one character
      {"\xE2\x82", "\xE2\x82"},             // cut by the end: delivered short
      {"\x80<a", "\x80<|a"},                // stray continuation swallows the `<`
      {"\xBF\n", "\xBF\n"},
      {"\xFEzy", "\xFEz|y"},
      {"\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80|!"},
      {"\xF8zyxwvu", "\xF8zyxw|v|u"},
      {"\xFCzyxwvu", "\xFCzyxwv|u"},
      {"\xC3<", "\xC3<"},  // continuation bytes are not examined
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    InputSource source;
    SourceInitText(&source, row.text);
    ResultCode last = Zel_OK;
    std::string joined;
    for (const std::string &c : ReadChars(&source, &last))
      joined += (joined.empty() ? "" : "|") + c;
    EXPECT_EQ(joined, row.chars);
    EXPECT_EQ(last, Zel_EEOF);
    EXPECT_EQ(source.at_end, 1u);
    SourceChar untouched{};
    untouched.length = 7;
    EXPECT_EQ(SourceReadChar(&source, &untouched), Zel_EEOF);
    EXPECT_EQ(untouched.length, 7u);
  }
}

TEST(InputSource, ZeroByteEndsTextButNotFile) {
  const std::string bytes("a\0b", 3);
  InputSource source;
  SourceInitText(&source, bytes.c_str());
  ResultCode last = Zel_OK;
  EXPECT_EQ(ReadChars(&source, &last), std::vector<std::string>{"a"});

  const std::string path = TempPath("zero");
  WriteFile(path, bytes);
  platform::FileHandle file = platform::kInvalidFile;
  ASSERT_EQ(platform::OpenForReading(path.c_str(), &file), Zel_OK);
  SourceInitFile(&source, file);
  EXPECT_EQ(ReadChars(&source, &last), (std::vector<std::string>{"a", std::string(1, '\0'), "b"}));
  EXPECT_EQ(last, Zel_EEOF);
  platform::Close(file);
}

TEST(InputSource, RefillsFileBlocksAcrossBoundaries) {
  struct Row {
    std::string bytes;
    std::size_t chars;
    std::string last_char;
  };
  const Row rows[] = {
      {"", 0, ""},
      {std::string(1024, 'a'), 1024, "a"},
      {std::string(1023, 'a') + "\xE2\x82\xAC" + "b", 1025, "b"},  // sequence across a refill
      {std::string(2047, 'a') + "\xC3", 2048, "\xC3"},             // cut by the end of the file
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.bytes.size());
    const std::string path = TempPath("block");
    WriteFile(path, row.bytes);
    platform::FileHandle file = platform::kInvalidFile;
    ASSERT_EQ(platform::OpenForReading(path.c_str(), &file), Zel_OK);
    InputSource source;
    SourceInitFile(&source, file);
    ResultCode last = Zel_OK;
    const std::vector<std::string> chars = ReadChars(&source, &last);
    EXPECT_EQ(last, Zel_EEOF);
    ASSERT_EQ(chars.size(), row.chars);
    std::string joined;
    for (const std::string &c : chars) joined += c;
    EXPECT_EQ(joined, row.bytes);
    if (!chars.empty()) {
      EXPECT_EQ(chars.back(), row.last_char);
    }
    unsigned char byte = 0;
    EXPECT_EQ(SourceReadByte(&source, &byte), Zel_EEOF);  // stays at the end
    platform::Close(file);
  }
}

}  // namespace
}  // namespace qorvcfg::test
