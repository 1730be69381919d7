// The knowledge table's statements, byte for byte, their refusal of
// apostrophes and the content's apostrophe substitution.
#include "store/statements.h"

#include <gtest/gtest.h>

#include <string>

namespace store {
namespace {

struct StatementCase {
  const char* name;
  std::optional<Text> built;
  std::string expected;
};

TEST(StatementsTest, SplicesExactlyTheFixedPieces) {
  const StatementCase cases[] = {
      {"search for 函数", SearchStatement("函数"),
       "select * from 知识点 where 标题 like'%函数%' or 内容 like'%函数%'"},
      {"search, empty keyword", SearchStatement(""), "select * from 知识点 where 标题 like'%%' or 内容 like'%%'"},
      {"search, wildcard kept", SearchStatement("50%"),
       "select * from 知识点 where 标题 like'%50%%' or 内容 like'%50%%'"},
      {"insert", InsertStatement("标题一", "内容\r\n第二行", "http://example.com/a?b=1"),
       "INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('标题一','内容\r\n第二行','http://example.com/a?b=1')"},
      {"insert, empty pieces", InsertStatement("", "", ""), "INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('','','')"},
      {"insert, escaped content", InsertStatement("t", EscapeApostrophes("it's"), "l"),
       "INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('t','it‘s','l')"},
      {"update", UpdateStatement("新标题", "新内容", "D:\\资料\\a.doc", "7"),
       "update 知识点 set 标题='新标题',内容='新内容',资料链接='D:\\资料\\a.doc' where ID=7"},
      {"update, empty pieces", UpdateStatement("", "", "", ""),
       "update 知识点 set 标题='',内容='',资料链接='' where ID="},
      {"delete of ID 12", DeleteStatement("12"), "delete from 知识点 where ID=12"},
      {"delete, empty id", DeleteStatement(""), "delete from 知识点 where ID="},
      {"select all", Text(SelectAllStatement()), "select * from 知识点 order by ID desc"},
  };
  for (const StatementCase& c : cases) {
    ASSERT_TRUE(c.built.has_value()) << c.name;
    EXPECT_EQ(*c.built, c.expected) << c.name;
  }
}

// The table name and the search statement as bytes, independent of how the
// test's own literals are compiled.
TEST(StatementsTest, StatementsAreGb18030Bytes) {
  EXPECT_EQ(*SearchStatement("\xBA\xAF\xCA\xFD"),  // 函数
            "select * from \xD6\xAA\xCA\xB6\xB5\xE3 where \xB1\xEA\xCC\xE2 like'%\xBA\xAF\xCA\xFD%' or "
            "\xC4\xDA\xC8\xDD like'%\xBA\xAF\xCA\xFD%'");
  EXPECT_EQ(DeleteStatement("12"), "delete from \xD6\xAA\xCA\xB6\xB5\xE3 where ID=12");
}

TEST(StatementsTest, RefusesAnApostropheInTitleLinkOrKeyword) {
  const struct {
    const char* name;
    std::optional<Text> built;
  } cases[] = {
      {"keyword", SearchStatement("it's")},
      {"keyword, only an apostrophe", SearchStatement("'")},
      {"keyword closing the literal", SearchStatement("x%' or 1=1 or 标题 like'")},
      {"insert title", InsertStatement("it's", "c", "l")},
      {"insert link", InsertStatement("t", "c", "http://x/'")},
      {"update title", UpdateStatement("'", "c", "l", "1")},
      {"update link", UpdateStatement("t", "c", "a'b", "1")},
      // A lone byte from 0x80 up before the apostrophe: the character rule
      // would step over it, the refusal does not.
      {"keyword, apostrophe after a lone lead byte", SearchStatement("\xB0'")},
      {"insert title, apostrophe after a lone lead byte", InsertStatement("\xB0'", "c", "l")},
      // Content is escaped before it is spliced; what still holds an
      // apostrophe (not escaped, or hidden from the substitution) is refused.
      {"insert content not escaped", InsertStatement("t", "it's", "l")},
      {"update content not escaped", UpdateStatement("t", "it's", "l", "1")},
      {"insert content, apostrophe the substitution cannot see", InsertStatement("t", EscapeApostrophes("\xB0'"), "l")},
  };
  for (const auto& c : cases) EXPECT_FALSE(c.built.has_value()) << c.name;
}

TEST(StatementsTest, AcceptsTheStandInAnywhere) {
  EXPECT_TRUE(SearchStatement("it‘s").has_value());
  EXPECT_TRUE(InsertStatement("it‘s", "‘", "‘").has_value());
  EXPECT_TRUE(UpdateStatement("‘", "‘", "‘", "1").has_value());
}

struct SubstitutionCase {
  const char* name;
  std::string typed, stored, shown;
};

// typed -> EscapeApostrophes -> stored -> RestoreApostrophes -> shown.
// "啊瓳" holds the bytes A1 AE across its two characters.
const SubstitutionCase kSubstitutionCases[] = {
    {"empty", "", "", ""},
    {"no apostrophe", "函数的定义", "函数的定义", "函数的定义"},
    {"it's", "it's", "it‘s", "it's"},
    {"apostrophes only", "'''", "‘‘‘", "'''"},
    {"multi-line", "'a'\r\n'b'", "‘a‘\r\n‘b‘", "'a'\r\n'b'"},
    {"typed stand-in shows as apostrophe", "‘引用’", "‘引用’", "'引用’"},
    {"both kinds", "'‘", "‘‘", "''"},
    {"straddling bytes are left", "啊瓳'", "啊瓳‘", "啊瓳'"},
    {"four-byte characters whole", "😀'𠀀'", "😀‘𠀀‘", "😀'𠀀'"},
};

TEST(ApostropheSubstitutionTest, EscapesAndRestores) {
  for (const SubstitutionCase& c : kSubstitutionCases) {
    const Text stored = EscapeApostrophes(c.typed);
    EXPECT_EQ(stored, c.stored) << c.name;
    EXPECT_EQ(stored.find('\''), std::string::npos) << c.name;
    EXPECT_EQ(RestoreApostrophes(stored), c.shown) << c.name;
    // Saving what is shown stores the same text again.
    EXPECT_EQ(EscapeApostrophes(RestoreApostrophes(stored)), stored) << c.name;
  }
}

}  // namespace
}  // namespace store
