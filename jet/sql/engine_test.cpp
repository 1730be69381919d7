// The SQL engine over databases it made itself: LIKE and comparisons on a
// small knowledge table, every column type through INSERT and SELECT, and
// statements that fail leaving the file exactly as it was.
#include "jet/engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "jet/create.h"
#include "jet/sql/value_text.h"

namespace jet {
namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("engine_test_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".mdb"))
                .string();
    std::filesystem::remove(path_);
    ASSERT_TRUE(CreateDatabase(path_).ok());
    ConnectionOptions options;
    options.sync = false;
    ASSERT_TRUE(Connection::Open(path_, options, &connection_).ok());
  }
  void TearDown() override {
    connection_.reset();
    std::filesystem::remove(path_);
  }

  Result Run(const std::string& sql) {
    Result result;
    const Status status = connection_->Execute(sql, &result);
    EXPECT_TRUE(status.ok()) << sql << ": " << status.ToString();
    return result;
  }
  Status Fail(const std::string& sql) {
    Result result;
    return connection_->Execute(sql, &result);
  }

  // The knowledge table with titles chosen for the pattern cases; IDs 1..n.
  void MakeKnowledgeTable() {
    Run(U8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)"));
    const char8_t* titles[] = {u8"函数的定义与调用", u8"500 apples", u8"5000", u8"50% off",
                               u8"ABC",             u8"abc",        u8"a_c",  u8"",
                               u8"[x]",             u8"it‘s"};
    for (const char8_t* title : titles)
      Run(U8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('") + U8(title) + "','c','')");
    Run(U8(u8"INSERT INTO 知识点 (内容) VALUES ('no title')"));  // ID 11: NULL title
  }

  std::set<long> Ids(const std::string& where) {
    Result result = Run(U8(u8"select ID from 知识点 where ") + where);
    std::set<long> ids;
    for (const Row& row : result.rows) ids.insert(static_cast<long>(std::get<std::int64_t>(row[0])));
    return ids;
  }

  std::string path_;
  std::unique_ptr<Connection> connection_;
};

TEST_F(EngineTest, LikeAndComparisonsOnTheKnowledgeTable) {
  MakeKnowledgeTable();
  const std::string t = U8(u8"标题");
  struct Case {
    std::string where;
    std::set<long> ids;
  } cases[] = {
      {t + " like '%%'", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},  // the empty keyword: every non-null title
      {t + " like '%50%%'", {2, 3, 4}},                    // "50%" also finds 500 and 5000
      {t + U8(u8" like '%函数%'"), {1}},
      {t + U8(u8" like '函数'"), {}},
      {t + " like 'abc'", {5, 6}},                          // case is ignored
      {t + " like 'a_c'", {5, 6, 7}},
      {t + " like 'a[_]c'", {7}},
      {t + " like '[a-b]%'", {5, 6, 7}},
      {t + " like '[!a-b5]%'", {1, 9, 10}},  // not a, b or 5 first; '' has no first character
      {t + " like '[[]x]'", {9}},
      {t + U8(u8" like '%‘%'"), {10}},
      {t + " like '_'", {}},
      {t + " like ''", {8}},
      {t + " not like '%a%'", {1, 3, 4, 8, 9, 10}},        // NULL is neither like nor not like
      {t + " = 'abc'", {5, 6}},
      {t + " <> 'abc'", {1, 2, 3, 4, 7, 8, 9, 10}},
      {t + " < '5'", {8}},
      {t + " is null", {11}},
      {t + " is not null and ID > 9", {10}},
      {"ID >= 3 and ID <= 4 or ID = 11", {3, 4, 11}},
      {"not (ID <> 2)", {2}},
      {"ID = 2.0", {2}},
  };
  for (const Case& c : cases) EXPECT_EQ(Ids(c.where), c.ids) << c.where;
  EXPECT_NE(Fail(U8(u8"select * from 知识点 where 标题 like '[abc'")).message().find("invalid pattern"),
            std::string::npos);
}

TEST_F(EngineTest, SelectOrdersAndProjects) {
  MakeKnowledgeTable();
  Result r = Run(U8(u8"SELECT 标题, ID FROM 知识点 WHERE ID <= 3 ORDER BY ID DESC"));
  ASSERT_EQ(r.columns.size(), 2u);
  EXPECT_EQ(r.columns[0].name, U8(u8"标题"));
  EXPECT_EQ(r.columns[1].type, ColumnType::kLong);
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(std::get<std::int64_t>(r.rows[0][1]), 3);
  EXPECT_EQ(std::get<std::string>(r.rows[2][0]), U8(u8"函数的定义与调用"));
  // Texts sort ignoring case, NULL first, '[' before letters; ties by the next key.
  r = Run(U8(u8"select ID from 知识点 where ID >= 5 and ID <= 11 order by 标题, ID desc"));
  std::vector<std::int64_t> ids;
  for (const Row& row : r.rows) ids.push_back(std::get<std::int64_t>(row[0]));
  EXPECT_EQ(ids, (std::vector<std::int64_t>{11, 8, 9, 7, 6, 5, 10}));
}

TEST_F(EngineTest, EveryColumnTypeRoundTrips) {
  Run("CREATE TABLE T (id COUNTER PRIMARY KEY, t TEXT(5), m MEMO, b BIT, y BYTE, s SHORT, l LONG, "
      "d DOUBLE, f SINGLE, c CURRENCY, dt DATETIME, g GUID)");
  Run("INSERT INTO T (t, m, b, y, s, l, d, f, c, dt, g) VALUES ('it''s', 'memo', True, 255, -32768, "
      "2147483647, 0.1, 3.14, 12.3456, #2020-02-29 13:14:15#, '{12345678-1234-5678-9ABC-DEF001234567}')");
  Run("INSERT INTO T (t) VALUES (NULL)");
  Result r = Run("select * from T order by id");
  ASSERT_EQ(r.rows.size(), 2u);
  const char* expected[] = {"1", "it's", "memo", "TRUE", "255", "-32768", "2147483647", "0.1", "3.14",
                            "12.3456", "2020-02-29 13:14:15", "{12345678-1234-5678-9ABC-DEF001234567}"};
  for (std::size_t i = 0; i < r.columns.size(); ++i)
    EXPECT_EQ(FormatValue(r.rows[0][i], r.columns[i].type), expected[i]) << r.columns[i].name;
  EXPECT_EQ(FormatValue(r.rows[1][3]), "FALSE");  // Yes/No is never NULL
  EXPECT_TRUE(IsNull(r.rows[1][1]));
}

TEST_F(EngineTest, WritesCountTheirRowsAndAutoNumbersGrow) {
  MakeKnowledgeTable();
  EXPECT_EQ(Run(U8(u8"update 知识点 set 资料链接='x' where ID > 8")).rows_affected, 3);
  EXPECT_EQ(Run(U8(u8"update 知识点 set 资料链接='x' where ID = 99")).rows_affected, 0);
  EXPECT_EQ(Run(U8(u8"delete from 知识点 where ID >= 10")).rows_affected, 2);
  EXPECT_EQ(Run(U8(u8"delete from 知识点 where ID = 10")).rows_affected, 0);
  Run(U8(u8"INSERT INTO 知识点 (标题) VALUES ('new')"));
  Result r = Run(U8(u8"select ID, 资料链接 from 知识点 where 标题 = 'new'"));
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(std::get<std::int64_t>(r.rows[0][0]), 12);  // a deleted number is not reused
  r = Run(U8(u8"select 资料链接 from 知识点 where ID = 9"));
  EXPECT_EQ(std::get<std::string>(r.rows[0][0]), "x");
  Run(U8(u8"delete from 知识点"));
  EXPECT_TRUE(Run(U8(u8"select * from 知识点")).rows.empty());
}

TEST_F(EngineTest, FailedStatementsLeaveTheFileAsItWas) {
  Run(U8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 TEXT(4), 内容 MEMO, 资料链接 MEMO)"));
  Run(U8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('a','b','c')"));
  const std::string before = ReadFile(path_);
  struct Case {
    std::string sql;
    const char* message_part;
  } cases[] = {
      {U8(u8"INSERT INTO 知识点 (标题) VALUES ('toolong')"), "too long"},
      {U8(u8"INSERT INTO 知识点 (没有) VALUES ('x')"), "no column"},
      {U8(u8"INSERT INTO 知识点 (ID, 标题) VALUES (1, 'dup')"), ""},
      {U8(u8"INSERT INTO 知识点 (标题) VALUES ('x'); delete from 知识点"), "syntax error"},
      {U8(u8"delete from 知识点 where ID=1 junk"), "syntax error"},
      {U8(u8"delete from 知识点 where ID="), "syntax error"},
      {U8(u8"update 知识点 set ID = 5"), "not updateable"},
      {U8(u8"update 知识点 set 标题 = 'x' where 内容 = 5"), "mismatch"},
      {U8(u8"update 知识点 set 标题='it's' where ID=1"), "syntax error"},  // an apostrophe in a title
      {U8(u8"CREATE TABLE 知识点 (a LONG)"), "already exists"},
      {"CREATE TABLE x (a LONG, A TEXT)", "twice"},
      {"CREATE TABLE x (a LONG, PRIMARY KEY (b))", "primary key"},
      {"select * from nowhere", ""},
  };
  for (const Case& c : cases) {
    const Status status = Fail(c.sql);
    EXPECT_FALSE(status.ok()) << c.sql;
    EXPECT_NE(status.message().find(c.message_part), std::string::npos) << c.sql << ": " << status.message();
  }
  EXPECT_EQ(ReadFile(path_), before);
  Result r = Run(U8(u8"select * from 知识点"));
  EXPECT_EQ(r.rows.size(), 1u);
}

TEST_F(EngineTest, ReadOnlyConnectionRefusesWrites) {
  Run("CREATE TABLE T (a LONG)");
  connection_.reset();
  ConnectionOptions options;
  options.read_only = true;
  ASSERT_TRUE(Connection::Open(path_, options, &connection_).ok());
  EXPECT_TRUE(Run("select * from T").is_query);
  EXPECT_FALSE(Fail("INSERT INTO T (a) VALUES (1)").ok());
}

// `ID = n` is answered by the primary key's index; the same rows must come
// back as from a scan (`ID >= n AND ID <= n` is not looked up), across leaf
// splits, deleted rows and rows moved by a growing update.
TEST_F(EngineTest, KeyEqualityThroughTheIndexAgreesWithAScan) {
  Run(U8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)"));
  const int rows = 1500;  // several index leaves
  for (int i = 1; i <= rows; ++i)
    Run(U8(u8"INSERT INTO 知识点 (标题,内容) VALUES ('t") + std::to_string(i) + "','c')");
  for (int id : {2, 400, 401, 1500}) {
    EXPECT_EQ(Run(U8(u8"DELETE FROM 知识点 WHERE ID = ") + std::to_string(id)).rows_affected, 1) << id;
  }
  const std::string t = U8(u8"标题");
  const std::string big(3000, 'x');  // no longer fits beside its neighbours: the row moves
  for (int id : {3, 700}) {
    EXPECT_EQ(Run(U8(u8"UPDATE 知识点 SET 资料链接 = '") + big + "', " + t + " = 'moved' WHERE ID = " + std::to_string(id))
                  .rows_affected,
              1);
  }
  for (int id : {1, 2, 3, 399, 400, 401, 402, 700, 1499, 1500, 1501, 0, -1}) {
    const std::string n = std::to_string(id);
    EXPECT_EQ(Ids("ID = " + n), Ids("ID >= " + n + " and ID <= " + n)) << id;
    EXPECT_EQ(Ids(n + " = ID"), Ids("ID = " + n)) << id;
    EXPECT_EQ(Ids("ID = " + n + " and " + t + " = 'moved'"), Ids("ID >= " + n + " and ID <= " + n + " and " + t + " = 'moved'"))
        << id;
  }
  EXPECT_EQ(Ids("ID = 3"), std::set<long>{3});
  EXPECT_EQ(Ids("ID = 99999999999"), std::set<long>{});
  EXPECT_EQ(Ids("ID = 5 or ID = 6"), (std::set<long>{5, 6}));  // OR: scanned
  Result r = Run(U8(u8"SELECT 资料链接 FROM 知识点 WHERE ID = 700"));
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(r.rows[0][0]), big);
  // Statements on keys that are gone change nothing and say so.
  EXPECT_EQ(Run(U8(u8"DELETE FROM 知识点 WHERE ID = 400")).rows_affected, 0);
  EXPECT_EQ(Run(U8(u8"UPDATE 知识点 SET 标题 = 'x' WHERE ID = 1501")).rows_affected, 0);
  EXPECT_EQ(Run(U8(u8"DELETE FROM 知识点 WHERE ID = 3 AND 标题 = 'not this'")).rows_affected, 0);
  EXPECT_EQ(Run(U8(u8"DELETE FROM 知识点 WHERE ID = 3")).rows_affected, 1);
  EXPECT_EQ(Run(U8(u8"select ID from 知识点")).rows.size(), std::size_t(rows - 5));
}

}  // namespace
}  // namespace jet
