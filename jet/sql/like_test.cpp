#include "jet/sql/like.h"

#include <gtest/gtest.h>

namespace jet::sql {
namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

struct LikeCase {
  const char* pattern;
  const char* text;
  bool matches;
};

TEST(LikePatternTest, Wildcards) {
  const LikeCase cases[] = {
      {"%", "", true},           {"%", "anything", true},    {"%%", "", true},
      {"abc", "abc", true},      {"abc", "ABC", true},       {"abc", "abcd", false},
      {"a%", "a", true},         {"a%", "ba", false},        {"%a", "ba", true},
      {"%b%", "abc", true},      {"%x%", "abc", false},      {"_", "a", true},
      {"_", "", false},          {"_", "ab", false},         {"a_c", "abc", true},
      {"a_c", "ac", false},      {"%50%%", "1500", true},    {"%50%%", "5x0", false},
      {"%50%%", "50%", true},    {"[abc]", "b", true},       {"[abc]", "B", true},
      {"[abc]", "d", false},     {"[a-c]x", "cx", true},     {"[a-c]x", "dx", false},
      {"[!a-c]x", "dx", true},   {"[!a-c]x", "ax", false},   {"[!abc]", "", false},
      {"[%]", "%", true},        {"[%]", "a", false},        {"[_]", "_", true},
      {"100[%]", "100%", true},  {"100[%]", "1000", false},  {"[-a]", "-", true},
      {"[a-]", "-", true},       {"[a!]", "!", true},        {"a]", "a]", true},
      {"*", "*", true},          {"*", "x", false},          {"?", "x", false},
      {"a[]b", "ab", true},      {"%a%b%a%", "xaybza", true}, {"%a%b%a%", "xayza", false},
      {"%aab", "aaab", true},    {"a%a%a", "aa", false},     {"%", "line1\nline2", true},
  };
  for (const LikeCase& c : cases) {
    LikePattern pattern;
    ASSERT_TRUE(LikePattern::Compile(c.pattern, &pattern).ok()) << c.pattern;
    EXPECT_EQ(pattern.Matches(c.text), c.matches) << "'" << c.text << "' LIKE '" << c.pattern << "'";
  }
}

TEST(LikePatternTest, WholeCharactersAndCaseBeyondAscii) {
  struct Case {
    std::string pattern, text;
    bool matches;
  } cases[] = {
      {U8(u8"%函数%"), U8(u8"函数的定义与调用"), true},
      {U8(u8"函_"), U8(u8"函数"), true},
      {U8(u8"函_"), U8(u8"函数数"), false},
      {U8(u8"_"), U8(u8"😀"), true},  // one character outside the BMP
      {U8(u8"[数字]%"), U8(u8"数据"), true},
      {U8(u8"ÄBC"), U8(u8"äbc"), true},
      {U8(u8"привет"), U8(u8"ПРИВЕТ"), true},
      {U8(u8"%‘%"), U8(u8"it‘s"), true},
  };
  for (const Case& c : cases) {
    LikePattern pattern;
    ASSERT_TRUE(LikePattern::Compile(c.pattern, &pattern).ok()) << c.pattern;
    EXPECT_EQ(pattern.Matches(c.text), c.matches) << c.text << " LIKE " << c.pattern;
  }
}

TEST(LikePatternTest, MalformedPatternsAreErrors) {
  for (const char* p : {"[", "abc[", "[abc", "%[a-", "[z-a]"}) {
    LikePattern pattern;
    const Status status = LikePattern::Compile(p, &pattern);
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << p;
    EXPECT_NE(status.message().find("invalid pattern"), std::string::npos);
  }
}

TEST(LikePatternTest, LongTextWithManyWildcardsStaysFast) {
  LikePattern pattern;
  ASSERT_TRUE(LikePattern::Compile("%a%a%a%a%a%a%b", &pattern).ok());
  EXPECT_FALSE(pattern.Matches(std::string(200000, 'a')));
}

// '%keyword%' is decided by a byte search when case folding cannot reach
// the keyword's characters from others; these cases straddle that line.
TEST(LikePatternTest, KeywordSearchKeepsCaseAndCharacterRules) {
  struct Case {
    std::string pattern, text;
    bool matches;
  } cases[] = {
      {U8(u8"%鲲鹏算法%"), U8(u8"前文鲲鹏算法后文"), true},
      {U8(u8"%鲲鹏算法%"), U8(u8"鲲鹏 算法"), false},
      {U8(u8"%鲲鹏%"), U8(u8"鲲鹏"), true},
      {"%Python%", "learn PYTHON today", true},
      {"%python%", "pyth on", false},
      {"%a1%", "xA1x", true},
      {U8(u8"%ä%"), U8(u8"xÄx"), true},    // Latin-1 letters fold: not a byte search
      {U8(u8"%я%"), U8(u8"ЖЯ"), true},     // Cyrillic too
      {U8(u8"%ｂ%"), U8(u8"Ｂ"), true},     // full-width Latin
      {U8(u8"%函数%"), U8(u8"函"), false},  // a keyword longer than the text
      {U8(u8"%数%"), U8(u8"数"), true},
      {U8(u8"%😀%"), U8(u8"a😀b"), true},
      {U8(u8"%一%"), U8(u8"丁"), false},  // shares leading UTF-8 bytes only
      {"%[x]%", "x", true},                       // a list: the general matcher
  };
  for (const Case& c : cases) {
    LikePattern pattern;
    ASSERT_TRUE(LikePattern::Compile(c.pattern, &pattern).ok()) << c.pattern;
    EXPECT_EQ(pattern.Matches(c.text), c.matches) << c.text << " LIKE " << c.pattern;
  }
}

}  // namespace
}  // namespace jet::sql
