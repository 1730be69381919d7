// New databases and tables, as the engine makes them, read back by the
// engine, by mdbtools and by mdb-reader; the checker on them, clean and
// damaged.
#include "jet/create.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jet/check.h"
#include "jet/index.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = ::pclose(p);
  if (status) *status = rc;
  return out;
}

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

bool CiMode() {
  const char* ci = std::getenv("CI");
  return ci && std::string(ci) == "true";
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("create_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "data.mdb").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<Database> OpenForWriting() {
    OpenOptions o;
    o.read_only = false;
    std::unique_ptr<Database> db;
    Status s = Database::Open(path_, o, &db);
    EXPECT_TRUE(s.ok()) << s.ToString();
    if (db) InstallIndexMaintainer(*db);
    return db;
  }

  static TableSpec KnowledgeTable() {
    return TableSpec{U8(u8"知识点"),
                     {{"ID", ColumnType::kLong, 255, true},
                      {U8(u8"标题"), ColumnType::kMemo},
                      {U8(u8"内容"), ColumnType::kMemo},
                      {U8(u8"资料链接"), ColumnType::kMemo}},
                     {"ID"}};
  }

  std::vector<std::string> Check(Database& db) {
    std::vector<std::string> problems;
    Status s = CheckDatabase(db, &problems);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return problems;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(CreateTest, ANewDatabaseHoldsJetsSystemTablesAndNothingElse) {
  ASSERT_TRUE(CreateDatabase(path_).ok());
  auto db = OpenForWriting();
  ASSERT_TRUE(db);
  EXPECT_TRUE(db->TableNames().empty());
  for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    std::shared_ptr<const TableDef> t;
    EXPECT_TRUE(db->GetTable(system, &t).ok()) << system;
  }
  EXPECT_EQ(db->info().jet_version, 4);
  EXPECT_FALSE(db->info().has_password);
  EXPECT_TRUE(Check(*db).empty());
  if (!Have("mdb-tables")) {
    if (CiMode()) FAIL() << "mdbtools missing";
    GTEST_SKIP() << "mdbtools missing; skipping the independent reader";
  }
  EXPECT_EQ(Shell("mdb-tables -S -1 " + path_), "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
  EXPECT_EQ(Shell("mdb-ver " + path_), "JET4\n");
  // Creating over an existing file is refused and leaves it alone.
  const auto before = FileBytes(path_);
  EXPECT_EQ(CreateDatabase(path_).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(FileBytes(path_), before);
}

TEST_F(CreateTest, TheKnowledgeTableIsReadAlikeByAllThreeReaders) {
  ASSERT_TRUE(CreateDatabase(path_).ok());
  auto db = OpenForWriting();
  ASSERT_TRUE(CreateTable(*db, KnowledgeTable()).ok());
  ASSERT_EQ(db->TableNames(), std::vector<std::string>{U8(u8"知识点")});
  std::shared_ptr<const TableDef> t;
  ASSERT_TRUE(db->GetTable(U8(u8"知识点"), &t).ok());
  ASSERT_EQ(t->indexes.size(), 1u);
  EXPECT_TRUE(t->indexes[0].primary());
  EXPECT_TRUE(t->columns[0].autonumber());

  struct Note {
    std::string title, content, link;
  };
  const std::string long_text(20000, 'x');
  const Note notes[] = {{U8(u8"函数的定义与调用"), U8(u8"定义‘函数’时"), "http://a.example/1"},
                        {U8(u8"emoji 😀"), "", ""},
                        {"plain", long_text, U8(u8"资料")}};
  ASSERT_TRUE(db->BeginWrite().ok());
  for (const Note& n : notes) {
    Row row{std::monostate{}, n.title, n.content.empty() ? Value{} : Value{n.content}, n.link};
    ASSERT_TRUE(db->InsertRow(*t, &row, nullptr).ok());
  }
  ASSERT_TRUE(db->Commit().ok());
  for (const std::string& p : Check(*db)) ADD_FAILURE() << p;

  if (!Have("mdb-export")) {
    if (CiMode()) FAIL() << "mdbtools missing";
    GTEST_SKIP() << "mdbtools missing; skipping the independent readers";
  }
  std::string csv = Shell("mdb-export " + path_ + " " + U8(u8"知识点"));
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, U8(u8"ID,标题,内容,资料链接"));
  std::getline(lines, line);
  EXPECT_EQ(line, U8(u8"1,\"函数的定义与调用\",\"定义‘函数’时\",\"http://a.example/1\""));
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("2,\"emoji ", 0), 0u) << line;  // mdbtools prints characters beyond UCS-2 as ??
  std::getline(lines, line);
  EXPECT_EQ(line, "3,\"plain\",\"" + long_text + U8(u8"\",\"资料\""));

  if (!fs::exists("tests/node/node_modules/mdb-reader")) {
    if (CiMode()) FAIL() << "mdb-reader missing in tests/node (npm ci)";
    GTEST_SKIP() << "mdb-reader missing in tests/node; skipping it";
  }
  std::string json = Shell("node tests/node/read_table.mjs " + path_ + " " + U8(u8"知识点"));
  std::istringstream rows(json);
  std::getline(rows, line);
  EXPECT_EQ(line, U8(u8"{\"ID\":1,\"标题\":\"函数的定义与调用\",\"内容\":\"定义‘函数’时\",\"资料链接\":\"http://a.example/1\"}"));
  std::getline(rows, line);
  EXPECT_EQ(line, U8(u8"{\"ID\":2,\"标题\":\"emoji 😀\",\"内容\":null,\"资料链接\":\"\"}"));
  std::getline(rows, line);
  EXPECT_NE(line.find(long_text), std::string::npos);
}

TEST_F(CreateTest, BadTableSpecsAreRefusedAndLeaveTheFileAsItWas) {
  ASSERT_TRUE(CreateDatabase(path_).ok());
  auto db = OpenForWriting();
  ASSERT_TRUE(CreateTable(*db, KnowledgeTable()).ok());
  const auto before = FileBytes(path_);
  struct Case {
    const char* name;
    TableSpec design;
    Status::Code code;
  };
  const Case cases[] = {
      {"existing name, other case", TableSpec{U8(u8"知识点"), {{"A", ColumnType::kLong}}, {}}, Status::Code::kInvalidArgument},
      {"no columns", TableSpec{"T", {}, {}}, Status::Code::kInvalidArgument},
      {"column twice", TableSpec{"T", {{"a", ColumnType::kLong}, {"A", ColumnType::kText}}, {}}, Status::Code::kInvalidArgument},
      {"counter on text", TableSpec{"T", {{"a", ColumnType::kText, 10, true}}, {}}, Status::Code::kInvalidArgument},
      {"text too wide", TableSpec{"T", {{"a", ColumnType::kText, 300}}, {}}, Status::Code::kInvalidArgument},
      {"key not a column", TableSpec{"T", {{"a", ColumnType::kLong}}, {"b"}}, Status::Code::kInvalidArgument},
      {"key on a memo", TableSpec{"T", {{"a", ColumnType::kMemo}}, {"a"}}, Status::Code::kNotSupported},
      {"key on a text", TableSpec{"T", {{"a", ColumnType::kText, 20}}, {"a"}}, Status::Code::kNotSupported},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateTable(*db, c.design).code(), c.code) << c.name;
    EXPECT_EQ(FileBytes(path_), before) << c.name;
  }
}

TEST_F(CreateTest, TheCheckerFindsAWrongRowCountAndAMissingIndexEntry) {
  ASSERT_TRUE(CreateDatabase(path_).ok());
  auto db = OpenForWriting();
  ASSERT_TRUE(CreateTable(*db, TableSpec{"T", {{"ID", ColumnType::kLong, 255, true}, {"V", ColumnType::kDouble}}, {"ID"}}).ok());
  std::shared_ptr<const TableDef> t;
  ASSERT_TRUE(db->GetTable("T", &t).ok());
  ASSERT_TRUE(db->BeginWrite().ok());
  for (int i = 0; i < 50; ++i) {
    Row row{std::monostate{}, 0.5 * i};
    ASSERT_TRUE(db->InsertRow(*t, &row, nullptr).ok());
  }
  ASSERT_TRUE(db->Commit().ok());
  ASSERT_TRUE(Check(*db).empty());

  // Damage one thing at a time in the pages, through the pager.
  const std::uint32_t tdef = t->tdef_page, root = t->real_indexes[0].first_page;
  auto patch = [&](std::uint32_t page, std::size_t offset, std::uint8_t value) {
    ASSERT_TRUE(db->pager().BeginWrite().ok());
    PageBytes bytes;
    ASSERT_TRUE(db->pager().Read(page, &bytes).ok());
    std::vector<std::uint8_t> changed = *bytes;
    changed[offset] = value;
    ASSERT_TRUE(db->pager().Write(page, changed).ok());
    ASSERT_TRUE(db->pager().Commit().ok());
  };
  PageBytes original;
  ASSERT_TRUE(db->pager().BeginRead().ok());
  ASSERT_TRUE(db->pager().Read(tdef, &original).ok());
  db->pager().EndRead();
  patch(tdef, 0x10, 49);  // the row count
  auto problems = Check(*db);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("counts 49 rows, the pages hold 50"), std::string::npos) << problems[0];
  patch(tdef, 0x10, (*original)[0x10]);

  // The first leaf entry's row number points at a row that does not exist.
  ASSERT_TRUE(db->pager().BeginRead().ok());
  PageBytes leaf;
  ASSERT_TRUE(db->pager().Read(root, &leaf).ok());
  db->pager().EndRead();
  const bool single_leaf = (*leaf)[0] == 0x04;
  ASSERT_TRUE(single_leaf);
  patch(root, 0x1E0 + 8, 0xEE);
  problems = Check(*db);
  ASSERT_EQ(problems.size(), 2u) << (problems.empty() ? "" : problems[0]);
  EXPECT_NE(problems[0].find("1 rows have no index entry"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("1 index entries match no row"), std::string::npos) << problems[1];
}

}  // namespace
}  // namespace jet
