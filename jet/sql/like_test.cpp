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

}  // namespace
}  // namespace jet::sql
