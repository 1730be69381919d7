// The database operations over our engine, on a knowledge table the engine
// created: the record set's states, the results of each operation in each
// of them, and texts crossing in GB18030.
#include "store/database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "jet/create.h"
#include "jet/engine.h"
#include "store/statements.h"
#include "text/gb18030.h"

namespace store {
namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("store_jet_test_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

class StoreJetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".mdb"));
    std::filesystem::remove(path_);
    ASSERT_TRUE(jet::CreateDatabase(path_).ok());
    std::unique_ptr<jet::Connection> c;
    ASSERT_TRUE(jet::Connection::Open(path_, {}, &c).ok());
    jet::Result r;
    ASSERT_TRUE(c->Execute(U8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)"), &r).ok());
    for (const char8_t* title : {u8"函数的定义与调用", u8"500 apples", u8"指针"})
      ASSERT_TRUE(c->Execute(U8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('") + U8(title) + U8(u8"','内容','')"), &r).ok());
    ASSERT_TRUE(c->Execute(U8(u8"INSERT INTO 知识点 (标题) VALUES ('空')"), &r).ok());  // NULL content and link
  }
  void TearDown() override { std::filesystem::remove(path_); }

  void Connect() {
    ASSERT_EQ(ConnectAccess(connection_, path_, ""), 1) << LastError(connection_);
    ASSERT_EQ(AttachConnection(records_, connection_), 1);
  }
  std::string Field(const char* column) {
    Text value = "stale";
    ReadFieldText(records_, column, value);
    return value;
  }

  std::string path_;
  DBConnection connection_;
  RecordSet records_;
};

TEST_F(StoreJetTest, ConnectAccessRefusesMissingAndDamagedFiles) {
  DBConnection c;
  EXPECT_EQ(ConnectAccess(c, TempPath("missing.mdb"), ""), 0);
  EXPECT_NE(LastError(c), "");
  const std::string text_file = TempPath("notes.mdb");
  std::ofstream(text_file) << "these are notes, not a database\n";
  EXPECT_EQ(ConnectAccess(c, text_file, ""), 0);
  std::filesystem::remove(text_file);
  EXPECT_EQ(ConnectAccess(c, path_, ""), 1);
  EXPECT_EQ(CloseConnection(c), 1);
  EXPECT_EQ(CloseConnection(c), 1);  // closing what is closed does nothing
}

TEST(StoreJetPasswordTest, AProtectedFileNeedsItsPassword) {
  const std::string sample = "../shared/jet-samples/password/V2000_with-password.mdb";
  if (!std::filesystem::exists(sample)) {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << "../shared/jet-samples is missing (CI=true)";
    GTEST_SKIP() << "../shared/jet-samples is missing; skipping the password sample";
  }
  const std::string copy = TempPath("protected.mdb");
  std::filesystem::copy_file(sample, copy, std::filesystem::copy_options::overwrite_existing);
  DBConnection c;
  EXPECT_EQ(ConnectAccess(c, copy, ""), 0);  // the program's empty password
  EXPECT_EQ(ConnectAccess(c, copy, "wrong"), 0);
  ASSERT_EQ(ConnectAccess(c, copy, "password"), 1) << LastError(c);
  RecordSet r;
  AttachConnection(r, c);
  ASSERT_EQ(OpenRecordSet(r, "select * from Table1", 1), 1) << LastError(r);
  EXPECT_EQ(RecordCount(r), 3);
  CloseConnection(c);
  std::filesystem::remove(copy);
}

TEST_F(StoreJetTest, WalkingASelectToTheEndAndBeyond) {
  EXPECT_EQ(RecordCount(records_), -1);
  EXPECT_EQ(OpenRecordSet(records_, "select * from 知识点", 1), 0);  // not attached yet
  Connect();
  EXPECT_EQ(RecordCount(records_), -1);
  EXPECT_EQ(MoveNext(records_), 0);
  EXPECT_EQ(Field("ID"), "");

  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1) << LastError(records_);
  ASSERT_EQ(RecordCount(records_), 4);
  EXPECT_EQ(Field("ID"), "4");  // newest first; the first record is current
  EXPECT_EQ(Field("标题"), "空");
  EXPECT_EQ(Field("内容"), "");  // NULL
  Text value;
  EXPECT_EQ(ReadFieldText(records_, "内容", value), 1);
  EXPECT_EQ(ReadFieldText(records_, "没有这列", value), 0);
  EXPECT_EQ(value, "");
  EXPECT_EQ(ReadFieldText(records_, "id", value), 1);  // names ignore letter case
  EXPECT_EQ(MoveNext(records_), 1);
  EXPECT_EQ(MoveNext(records_), 1);
  EXPECT_EQ(MoveNext(records_), 1);
  EXPECT_EQ(Field("标题"), "函数的定义与调用");
  EXPECT_EQ(Field("内容"), "内容");
  EXPECT_EQ(MoveNext(records_), 1);  // from the last record onto the end
  EXPECT_EQ(Field("ID"), "");
  EXPECT_EQ(ReadFieldText(records_, "ID", value), 0);
  EXPECT_EQ(MoveNext(records_), 0);
  EXPECT_EQ(RecordCount(records_), 4);
  EXPECT_EQ(MoveFirst(records_), 1);
  EXPECT_EQ(Field("ID"), "4");

  CloseRecordSet(records_);
  EXPECT_EQ(RecordCount(records_), -1);
  CloseRecordSet(records_);  // closing what is closed does nothing
  EXPECT_EQ(MoveFirst(records_), 0);
}

TEST_F(StoreJetTest, SearchesFindByWildcards) {
  Connect();
  ASSERT_EQ(OpenRecordSet(records_, *SearchStatement("50%"), 1), 1) << LastError(records_);
  ASSERT_EQ(RecordCount(records_), 1);  // "50%" finds "500 apples"
  EXPECT_EQ(Field("ID"), "2");
  ASSERT_EQ(OpenRecordSet(records_, *SearchStatement(""), 1), 1);
  EXPECT_EQ(RecordCount(records_), 4);  // every title is non-null
  ASSERT_EQ(OpenRecordSet(records_, *SearchStatement("不存在"), 1), 1);
  EXPECT_EQ(RecordCount(records_), 0);
  EXPECT_EQ(MoveFirst(records_), 0);
  EXPECT_EQ(Field("ID"), "");
}

TEST_F(StoreJetTest, WritesLeaveTheSetClosedAndCountRows) {
  Connect();
  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  const std::string emoji = text::Gb18030FromUtf8(U8(u8"😀"));
  ASSERT_EQ(OpenRecordSet(records_, *InsertStatement("新" + emoji, EscapeApostrophes("it's"), "http://x"), 1), 1)
      << LastError(records_);
  EXPECT_EQ(RecordCount(records_), -1);
  EXPECT_EQ(RowsAffected(records_), 1);
  ASSERT_EQ(OpenRecordSet(records_, *UpdateStatement("t", "c", "l", "999"), 1), 1);  // no row matched
  EXPECT_EQ(RowsAffected(records_), 0);
  ASSERT_EQ(OpenRecordSet(records_, DeleteStatement("1"), 1), 1);
  EXPECT_EQ(RowsAffected(records_), 1);

  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  ASSERT_EQ(RecordCount(records_), 4);
  EXPECT_EQ(Field("ID"), "5");
  EXPECT_EQ(Field("标题"), "新" + emoji);  // outside GBK, four GB18030 bytes
  EXPECT_EQ(RestoreApostrophes(Field("内容")), "it's");
  EXPECT_EQ(RowsAffected(records_), -1);
}

TEST_F(StoreJetTest, RefusedStatementsGiveZeroAndACloseSet) {
  Connect();
  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  const Text refused[] = {"update 知识点 set 标题='it's' where ID=1", DeleteStatement(""),
                          "select * from 知识点; delete from 知识点", "select * from 没有"};
  for (const Text& statement : refused) {
    EXPECT_EQ(OpenRecordSet(records_, statement, 1), 0) << text::Utf8FromGb18030(statement);
    EXPECT_EQ(RecordCount(records_), -1);
    EXPECT_NE(LastError(records_), "");
  }
  EXPECT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 2), 0);  // only SQL text
  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  EXPECT_EQ(RecordCount(records_), 4);  // nothing of the refused statements ran
}

TEST_F(StoreJetTest, ClosingTheConnectionClosesItsRecordSet) {
  Connect();
  ASSERT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  EXPECT_EQ(CloseConnection(connection_), 1);
  EXPECT_EQ(RecordCount(records_), -1);
  EXPECT_EQ(Field("ID"), "");
  EXPECT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 0);
  ASSERT_EQ(ConnectAccess(connection_, path_, ""), 1);  // ready to open again, still attached
  EXPECT_EQ(OpenRecordSet(records_, std::string(SelectAllStatement()), 1), 1);
  EXPECT_EQ(RecordCount(records_), 4);
}

TEST_F(StoreJetTest, ARecordSetOutlivingItsConnectionIsSafe) {
  RecordSet records;
  {
    DBConnection connection;
    ASSERT_EQ(ConnectAccess(connection, path_, ""), 1);
    AttachConnection(records, connection);
    ASSERT_EQ(OpenRecordSet(records, std::string(SelectAllStatement()), 1), 1);
  }
  EXPECT_EQ(RecordCount(records), -1);
  EXPECT_EQ(OpenRecordSet(records, std::string(SelectAllStatement()), 1), 0);
}

}  // namespace
}  // namespace store
