// The program's texts: the bytes of its literals, ReplaceText's character
// rule, JoinTexts and TextEquals.
#include "text/text.h"

#include <gtest/gtest.h>

#include <string>

namespace text {
namespace {

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

// The build compiles narrow literals into GB18030; u8"" literals stay UTF-8.
TEST(TextLiteralTest, NarrowLiteralsAreGb18030Bytes) {
  EXPECT_EQ(Hex("搜索"), "CB D1 CB F7");
  EXPECT_EQ(Hex("知识点"), "D6 AA CA B6 B5 E3");
  EXPECT_EQ(Hex("‘"), "A1 AE");
  EXPECT_EQ(Hex("😀"), "94 39 FC 36");  // outside GBK: a four-byte character
  const std::u8string utf8 = u8"搜索";
  EXPECT_EQ(Hex(std::string(utf8.begin(), utf8.end())), "E6 90 9C E7 B4 A2");
}

struct ReplaceCase {
  const char* name;
  std::string text, find, replacement, expected;
};

// "啊" is B0 A1 and "瓳" is AE 40: together they hold A1 AE ("‘") across the
// boundary, which is not a character of the text.
const ReplaceCase kReplaceCases[] = {
    {"empty text", "", "'", "‘", ""},
    {"empty find leaves the text", "it's", "", "x", "it's"},
    {"empty text and find", "", "", "x", ""},
    {"no occurrence", "abc", "'", "‘", "abc"},
    {"one apostrophe", "it's", "'", "‘", "it‘s"},
    {"only apostrophes", "''''", "'", "‘", "‘‘‘‘"},
    {"apostrophes at both ends", "'quoted'", "'", "‘", "‘quoted‘"},
    {"replacement by nothing", "a'b'c", "'", "", "abc"},
    {"left to right without overlap", "aaaaa", "aa", "b", "bba"},
    {"replacement is not rescanned", "'", "'", "''", "''"},
    {"pattern longer than text", "ab", "abc", "x", "ab"},
    {"stand-in back to apostrophe", "it‘s ‘x‘", "‘", "'", "it's 'x'"},
    {"A1 AE across two characters is no stand-in", "啊瓳", "‘", "'", "啊瓳"},
    {"straddle next to a real stand-in", "啊瓳‘啊瓳", "‘", "'", "啊瓳'啊瓳"},
    {"straddle after an odd number of ASCII bytes", "x啊瓳", "‘", "'", "x啊瓳"},
    {"two-byte character matched whole", "搜索搜", "搜", "查", "查索查"},
    {"second half of a character never matches", "\xB0\xA1\xB0\xA1", "\xA1\xB0", "x", "\xB0\xA1\xB0\xA1"},
    {"four-byte characters stay whole", "😀'😀‘𠀀", "'", "‘", "😀‘😀‘𠀀"},
    {"four-byte characters stay whole when restoring", "😀‘𠀀‘😀", "‘", "'", "😀'𠀀'😀"},
    {"four-byte character as the pattern", "a😀b😀", "😀", "x", "axbx"},
    {"lone lead byte at the end is copied", "it's\xB0", "'", "‘", "it‘s\xB0"},
    {"lone lead byte before the pattern's length runs out", "\xB0", "'", "‘", "\xB0"},
};

TEST(ReplaceTextTest, ReplacesWholeCharactersLeftToRight) {
  for (const ReplaceCase& c : kReplaceCases) {
    EXPECT_EQ(Hex(ReplaceText(c.text, c.find, c.replacement)), Hex(c.expected)) << c.name;
  }
}

TEST(ReplaceTextTest, ContentFullOfApostrophesLosesEveryOne) {
  const std::string content(10000, '\'');
  const Text escaped = ReplaceText(content, "'", "‘");
  EXPECT_EQ(escaped.size(), 20000u);
  EXPECT_EQ(escaped.find('\''), std::string::npos);
  EXPECT_EQ(ReplaceText(escaped, "‘", "'"), content);
}

TEST(JoinTextsTest, JoinsInOrderWithNothingBetween) {
  EXPECT_EQ(JoinTexts({}), "");
  EXPECT_EQ(JoinTexts({"", "", ""}), "");
  EXPECT_EQ(JoinTexts({"a"}), "a");
  EXPECT_EQ(JoinTexts({"select ", "", "* ", "from 知识点"}), "select * from 知识点");
  const std::string with_nul("a\0b", 3);
  EXPECT_EQ(JoinTexts({with_nul, "c"}), std::string("a\0bc", 4));
}

TEST(TextEqualsTest, ComparesEveryByte) {
  EXPECT_TRUE(TextEquals("", ""));
  EXPECT_TRUE(TextEquals("标题", "标题"));
  EXPECT_FALSE(TextEquals("标题", "标"));
  EXPECT_FALSE(TextEquals("Link", "link"));
  EXPECT_FALSE(TextEquals(std::string("a\0", 2), "a"));
}

}  // namespace
}  // namespace text
