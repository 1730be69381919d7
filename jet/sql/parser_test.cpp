#include "jet/sql/parser.h"

#include <gtest/gtest.h>

namespace jet::sql {
namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

TEST(ParserTest, SelectWithEverything) {
  Statement st;
  ASSERT_TRUE(Parse("select [a b], c FROM t where x = 1 and not (y like 'q%' or z is not null) "
                    "ORDER BY c DESC, [a b] asc;",
                    &st)
                  .ok());
  const auto& s = std::get<SelectStatement>(st);
  EXPECT_FALSE(s.all_columns);
  EXPECT_EQ(s.columns, (std::vector<std::string>{"a b", "c"}));
  EXPECT_EQ(s.table, "t");
  ASSERT_TRUE(s.where);
  EXPECT_EQ(s.where->kind, ExprKind::kAnd);
  EXPECT_EQ(s.where->right->kind, ExprKind::kNot);
  EXPECT_EQ(s.where->right->left->kind, ExprKind::kOr);
  EXPECT_EQ(s.where->right->left->right->kind, ExprKind::kIsNull);
  EXPECT_TRUE(s.where->right->left->right->negated);
  ASSERT_EQ(s.order_by.size(), 2u);
  EXPECT_FALSE(s.order_by[0].ascending);
  EXPECT_TRUE(s.order_by[1].ascending);
}

TEST(ParserTest, TheProgramsStatementsParse) {
  // The knowledge table's statements as the program splices them (UTF-8 here).
  const std::string statements[] = {
      U8(u8"select * from 知识点 order by ID desc"),
      U8(u8"select * from 知识点 where 标题 like'%函数%' or 内容 like'%函数%'"),
      U8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('t','it‘s','')"),
      U8(u8"update 知识点 set 标题='a',内容='b',资料链接='c' where ID=12"),
      U8(u8"delete from 知识点 where ID=12"),
  };
  for (const std::string& sql : statements) {
    Statement st;
    EXPECT_TRUE(Parse(sql, &st).ok()) << sql << ": " << Parse(sql, &st).ToString();
  }
  Statement st;
  ASSERT_TRUE(Parse(statements[1], &st).ok());
  const auto& s = std::get<SelectStatement>(st);
  EXPECT_EQ(s.table, U8(u8"知识点"));
  EXPECT_EQ(s.where->kind, ExprKind::kOr);
  EXPECT_EQ(s.where->left->left->column, U8(u8"标题"));
  EXPECT_EQ(std::get<std::string>(s.where->left->right->value), U8(u8"%函数%"));
}

TEST(ParserTest, LiteralsAndQuotes) {
  Statement st;
  ASSERT_TRUE(Parse("INSERT INTO t (a,b,c,d,e,f,g) VALUES ('it''s', -5, 2.5, True, null, #2020-02-29 10:11:12#, 1e3)",
                    &st)
                  .ok());
  const auto& s = std::get<InsertStatement>(st);
  ASSERT_EQ(s.values.size(), 7u);
  EXPECT_EQ(std::get<std::string>(s.values[0].value), "it's");
  EXPECT_EQ(std::get<std::int64_t>(s.values[1].value), -5);
  EXPECT_EQ(s.values[1].number_text, "-5");
  EXPECT_DOUBLE_EQ(std::get<double>(s.values[2].value), 2.5);
  EXPECT_EQ(std::get<bool>(s.values[3].value), true);
  EXPECT_TRUE(IsNull(s.values[4].value));
  EXPECT_TRUE(s.values[5].is_date);
  EXPECT_DOUBLE_EQ(std::get<DateTime>(s.values[5].value).days, 43890 + (10 * 3600 + 11 * 60 + 12) / 86400.0);
  EXPECT_DOUBLE_EQ(std::get<double>(s.values[6].value), 1000);
}

TEST(ParserTest, CreateTable) {
  Statement st;
  ASSERT_TRUE(Parse(U8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, n TEXT(50) NOT NULL, "
                       u8"b BIT, g GUID, c CURRENCY, d DATETIME, s SINGLE, x DOUBLE, y BYTE, z SHORT, l LONG, "
                       u8"m LONGTEXT, a AUTOINCREMENT, t TEXT)"),
                    &st)
                  .ok());
  const auto& s = std::get<CreateTableStatement>(st);
  ASSERT_EQ(s.columns.size(), 15u);
  EXPECT_TRUE(s.columns[0].autonumber);
  EXPECT_EQ(s.columns[0].type, ColumnType::kLong);
  EXPECT_EQ(s.primary_key, std::vector<std::string>{"ID"});
  EXPECT_EQ(s.columns[1].type, ColumnType::kMemo);
  EXPECT_EQ(s.columns[2].text_length, 50);
  EXPECT_TRUE(s.columns[2].not_null);
  EXPECT_EQ(s.columns[14].text_length, 255);
  ASSERT_TRUE(Parse("create table t (a long, b long, constraint pk primary key (a, b))", &st).ok());
  EXPECT_EQ(std::get<CreateTableStatement>(st).primary_key, (std::vector<std::string>{"a", "b"}));
}

TEST(ParserTest, MalformedStatementsAreSyntaxErrors) {
  const char* cases[] = {
      "select * from t; delete from t",  // a second statement
      "select * from t; --",             // a comment after the end
      "select * from t x",               // stray text
      "select * from t where a = 'open",  // literal not closed
      "select * from [t",                // bracket not closed
      "select * from t where",           // nothing after WHERE
      "select from t",                   // no columns
      "select * from t order by",        // no order column
      "select * from t where a = = 1",
      "delete from t where ID=",         // an empty id
      "update t set a = 'x' where",
      "update t set a 'x'",
      "INSERT INTO t (a,b) VALUES ('x')",  // counts differ
      "INSERT INTO t (a) VALUES (b)",      // values are literals
      "drop table t",
      "",
      "create table t (a TEXT(0))",
      "create table t (a WIDGET)",
      "select * from t where a = 12abc",
  };
  for (const char* sql : cases) {
    Statement st;
    const Status status = Parse(sql, &st);
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << sql;
  }
}

TEST(ParserTest, KeywordsInAnyCaseAndBracketedKeywordNames) {
  Statement st;
  ASSERT_TRUE(Parse("SeLeCt [select], [from] FrOm [order] WhErE [where] Is NuLl", &st).ok());
  const auto& s = std::get<SelectStatement>(st);
  EXPECT_EQ(s.columns, (std::vector<std::string>{"select", "from"}));
  EXPECT_EQ(s.table, "order");
  EXPECT_FALSE(Parse("select select from t", &st).ok());
}

TEST(ParserTest, OverlyComplexExpressionsAreRefused) {
  Statement st;
  EXPECT_TRUE(Parse("select * from t where " + std::string(50, '(') + "a=1" + std::string(50, ')'), &st).ok());
  for (const std::string& sql :
       {"select * from t where " + std::string(100000, '(') + "a=1" + std::string(100000, ')'),
        "select * from t where a=1" + [] {
          std::string s;
          for (int i = 0; i < 50000; ++i) s += " or a=1";
          return s;
        }(),
        "select * from t where " + [] {
          std::string s;
          for (int i = 0; i < 100000; ++i) s += "not ";
          return s + "a=1";
        }()}) {
    const Status status = Parse(sql, &st);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("too complex"), std::string::npos) << status.message();
  }
}

TEST(ParserTest, ErrorNamesThePosition) {
  Statement st;
  const Status status = Parse("select * from t junk", &st);
  EXPECT_NE(status.message().find("position 17"), std::string::npos) << status.message();
}

}  // namespace
}  // namespace jet::sql
