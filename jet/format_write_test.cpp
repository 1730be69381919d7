// Writing rows: what we insert, update and delete reads back the same through
// our engine and through mdbtools, in new databases and in copies of the
// Access-made samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/index.h"
#include "jet/test_support.h"

namespace jet {
namespace {

std::string U8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

class RowWrites : public ::testing::Test {
 protected:
  std::unique_ptr<Database> Open(const std::string& path) {
    std::unique_ptr<Database> db;
    OpenOptions options;
    options.read_only = false;
    options.sync = false;
    Status s = Database::Open(path, options, &db);
    EXPECT_TRUE(s.ok()) << s.ToString();
    if (db) InstallIndexMaintainer(*db);
    return db;
  }
  std::shared_ptr<const TableDef> Table(Database& db, const std::string& name) {
    std::shared_ptr<const TableDef> t;
    EXPECT_TRUE(db.GetTable(name, &t).ok()) << name;
    return t;
  }
  // Runs `body` in one write transaction; commits when it succeeds.
  template <typename F>
  Status Write(Database& db, F body) {
    JET_RETURN_IF_ERROR(db.BeginWrite());
    Status s = body();
    if (!s.ok()) {
      db.Rollback();
      return s;
    }
    return db.Commit();
  }
  std::vector<std::pair<RowId, Row>> Rows(Database& db, const TableDef& t) {
    std::vector<std::pair<RowId, Row>> rows;
    Status s = db.Scan(t, {}, [&](RowId id, const Row& r) {
      rows.emplace_back(id, r);
      return true;
    });
    EXPECT_TRUE(s.ok()) << s.ToString();
    return rows;
  }
  static std::vector<std::string> Problems(Database& db) {
    std::vector<std::string> problems;
    Status s = CheckDatabase(db, &problems);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return problems;
  }
  // No problem beyond those the file had before we wrote (Access leaves
  // some, e.g. stale row counts of system tables).
  void ExpectClean(Database& db, const std::vector<std::string>& before = {}) {
    for (const auto& p : Problems(db)) {
      if (std::find(before.begin(), before.end(), p) == before.end()) ADD_FAILURE() << p;
    }
  }
  std::vector<std::string> ProblemsOf(const std::string& path) {
    std::unique_ptr<Database> db;
    EXPECT_TRUE(Database::Open(path, {}, &db).ok());
    return db ? Problems(*db) : std::vector<std::string>{};
  }
  std::string NewKnowledgeDatabase(const std::string& name) {
    std::string path = testing::TempPath(name);
    std::filesystem::remove(path);
    EXPECT_TRUE(CreateDatabase(path).ok());
    auto db = Open(path);
    TableSpec design;
    design.name = U8(u8"知识点");
    design.columns = {{"ID", ColumnType::kLong, 255, true, true},
                    {U8(u8"标题"), ColumnType::kMemo},
                    {U8(u8"内容"), ColumnType::kMemo},
                    {U8(u8"资料链接"), ColumnType::kMemo}};
    design.primary_key = {"ID"};
    Status s = CreateTable(*db, design);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return path;
  }
};

Row Note(Value title, Value content, Value link) { return Row{Value{}, std::move(title), std::move(content), std::move(link)}; }

TEST_F(RowWrites, KnowledgeRowsReadBackByUsAndMdbtools) {
  const std::string path = NewKnowledgeDatabase("knowledge.mdb");
  const std::string five_mb = [] {
    std::string s;
    while (s.size() < 5 * 1024 * 1024) s += U8(u8"函数的定义与调用 line of a long content 0123456789\n");
    return s;
  }();
  std::vector<Row> notes = {
      Note(U8(u8"函数的定义与调用"), U8(u8"用‘def’定义函数"), std::string("http://example.com/a")),
      Note(U8(u8"emoji 😀 outside GBK"), std::string(""), Value{}),
      Note(std::string("long"), five_mb, std::string("")),
      Note(Value{}, Value{}, Value{}),
      Note(std::string(300, 'x'), std::string(5000, 'y'), U8(u8"链接")),  // just past inline, one LVAL page
  };
  {
    auto db = Open(path);
    auto t = Table(*db, U8(u8"知识点"));
    ASSERT_TRUE(Write(*db, [&]() -> Status {
      for (Row& r : notes) JET_RETURN_IF_ERROR(db->InsertRow(*t, &r, nullptr));
      return Status::Ok();
    }).ok());
    for (std::size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i][0], Value(std::int64_t(i + 1))) << "AutoNumber";
  }
  auto db = Open(path);
  auto t = Table(*db, U8(u8"知识点"));
  auto rows = Rows(*db, *t);
  ASSERT_EQ(rows.size(), notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(rows[i].second, notes[i]) << "row " << i;
  std::uint32_t count = 0;
  ASSERT_TRUE(db->RowCount(*t, &count).ok());
  EXPECT_EQ(count, notes.size());
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, t->name), "");
  ExpectClean(*db);

  // Update: a short row grows, the 5 MB memo is replaced (its pages freed).
  Row changed = rows[0].second;
  changed[2] = std::string(3000, 'z');
  Row shrunk = rows[2].second;
  shrunk[2] = std::string("short now");
  ASSERT_TRUE(Write(*db, [&]() -> Status {
    JET_RETURN_IF_ERROR(db->UpdateRow(*t, rows[0].first, changed));
    JET_RETURN_IF_ERROR(db->UpdateRow(*t, rows[2].first, shrunk));
    return db->DeleteRow(*t, rows[1].first);
  }).ok());
  Row back;
  ASSERT_TRUE(db->ReadRow(*t, rows[0].first, &back).ok());
  EXPECT_EQ(back, changed) << "the row keeps its RowId";
  EXPECT_EQ(Rows(*db, *t).size(), notes.size() - 1);
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, t->name), "");
  ExpectClean(*db);

  // A deleted AutoNumber value is not handed out again.
  Row next = Note(std::string("after delete"), Value{}, Value{});
  ASSERT_TRUE(Write(*db, [&] { return db->InsertRow(*t, &next, nullptr); }).ok());
  EXPECT_EQ(next[0], Value(std::int64_t(notes.size() + 1)));
}

TEST_F(RowWrites, UpdatesThatNoLongerFitMoveTheRow) {
  const std::string path = testing::TempPath("moves.mdb");
  std::filesystem::remove(path);
  ASSERT_TRUE(CreateDatabase(path).ok());
  auto db = Open(path);
  TableSpec design;
  design.name = "Words";
  design.columns = {{"A", ColumnType::kText, 255}, {"B", ColumnType::kText, 255}, {"N", ColumnType::kLong}};
  ASSERT_TRUE(CreateTable(*db, design).ok());
  auto t = Table(*db, "Words");
  // Rows of ~420 bytes: nine fill a 4 KB page almost to the end.
  std::vector<RowId> ids;
  ASSERT_TRUE(Write(*db, [&]() -> Status {
    for (int i = 0; i < 30; ++i) {
      Row r{std::string(200, char('a' + i % 26)), U8(u8"短"), std::int64_t(i)};
      RowId id;
      JET_RETURN_IF_ERROR(db->InsertRow(*t, &r, &id));
      ids.push_back(id);
    }
    return Status::Ok();
  }).ok());
  // Grow every row of the first page: most no longer fit and move.
  std::vector<Row> expected;
  ASSERT_TRUE(Write(*db, [&]() -> Status {
    for (int i = 0; i < 30; ++i) {
      Row r{std::string(250, char('A' + i % 26)), std::string(240, 'm'), std::int64_t(i * 10)};
      if (ids[i].page == ids[0].page) JET_RETURN_IF_ERROR(db->UpdateRow(*t, ids[i], r));
      else JET_RETURN_IF_ERROR(db->ReadRow(*t, ids[i], &r));
      expected.push_back(r);
    }
    return Status::Ok();
  }).ok());
  for (int i = 0; i < 30; ++i) {
    Row r;
    ASSERT_TRUE(db->ReadRow(*t, ids[i], &r).ok());
    EXPECT_EQ(r, expected[i]) << i;
  }
  EXPECT_EQ(Rows(*db, *t).size(), 30u) << "moved rows are visited once";
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, "Words"), "");
  ExpectClean(*db);
  // Deleting a moved row frees both its slots.
  ASSERT_TRUE(Write(*db, [&] { return db->DeleteRow(*t, ids[1]); }).ok());
  EXPECT_EQ(Rows(*db, *t).size(), 29u);
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, "Words"), "");
  ExpectClean(*db);
}

TEST_F(RowWrites, DeletedSpaceIsReused) {
  const std::string path = NewKnowledgeDatabase("reuse.mdb");
  auto db = Open(path);
  auto t = Table(*db, U8(u8"知识点"));
  auto fill = [&] {
    return Write(*db, [&]() -> Status {
      for (int i = 0; i < 300; ++i) {
        Row r = Note(std::string("title ") + std::to_string(i), std::string(1500 + i, 'c'), std::string("link"));
        JET_RETURN_IF_ERROR(db->InsertRow(*t, &r, nullptr));
      }
      return Status::Ok();
    });
  };
  ASSERT_TRUE(fill().ok());
  const auto size_full = std::filesystem::file_size(path);
  ASSERT_TRUE(Write(*db, [&]() -> Status {
    for (auto& [id, row] : Rows(*db, *t)) JET_RETURN_IF_ERROR(db->DeleteRow(*t, id));
    return Status::Ok();
  }).ok());
  EXPECT_TRUE(Rows(*db, *t).empty());
  ASSERT_TRUE(fill().ok());
  EXPECT_LT(std::filesystem::file_size(path), size_full + size_full / 10);
  EXPECT_EQ(Rows(*db, *t).size(), 300u);
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, t->name), "");
  ExpectClean(*db);
}

// A table of every type this engine writes, added to a copy of an Access file.
std::string AddTypesTable(const std::string& path, Database& db) {
  TableSpec design;
  design.name = "Types";
  design.columns = {{"T", ColumnType::kText, 10}, {"Y", ColumnType::kByte},     {"I", ColumnType::kInteger},
                  {"L", ColumnType::kLong},     {"D", ColumnType::kDouble},   {"S", ColumnType::kSingle},
                  {"W", ColumnType::kDateTime}, {"C", ColumnType::kCurrency}, {"B", ColumnType::kBoolean},
                  {"M", ColumnType::kMemo},     {"G", ColumnType::kGuid}};
  Status s = CreateTable(db, design);
  return s.ok() ? path : s.ToString();
}

TEST_F(RowWrites, SampleCopiesTakeRowsOfEveryType) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string path = testing::CopyToTemp(dir + "/access2000/testV2000.mdb", "types.mdb");
  const auto before = ProblemsOf(path);
  auto db = Open(path);
  ASSERT_EQ(AddTypesTable(path, *db), path);
  auto t = Table(*db, "Types");
  Guid g{{0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8}};
  std::vector<Row> rows = {
      {U8(u8"函数"), std::int64_t(255), std::int64_t(-32768), std::int64_t(2147483647), 1.5, 0.25,
       DateTime{45000.25}, Currency{-12345678}, true, U8(u8"备注 memo"), g},
      {std::string(""), std::int64_t(0), std::int64_t(32767), std::int64_t(-2147483647 - 1), -1e300, -3.5,
       DateTime{1.5}, Currency{0}, false, std::string(2000, 'm'), g},
      {Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, false, Value{}, Value{}},
  };
  Status s = Write(*db, [&]() -> Status {
    for (Row& r : rows) JET_RETURN_IF_ERROR(db->InsertRow(*t, &r, nullptr));
    return Status::Ok();
  });
  ASSERT_TRUE(s.ok()) << s.ToString();
  auto all = Rows(*db, *t);
  ASSERT_EQ(all.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(all[i].second, rows[i]) << i;
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, "Types"), "");
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, "Table1"), "") << "Access's tables are untouched";
  ExpectClean(*db, before);
}

TEST_F(RowWrites, AccessRowsUpdateAndDelete) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string path = testing::CopyToTemp(dir + "/access2000/delTestV2000.mdb", "access-rows.mdb");
  const auto before = ProblemsOf(path);
  auto db = Open(path);
  auto t = Table(*db, "Table");
  auto all = Rows(*db, *t);
  ASSERT_EQ(all.size(), 2u);
  Row first = all[0].second;
  for (auto& v : first) {
    if (std::holds_alternative<std::string>(v)) v = std::get<std::string>(v) + U8(u8" 更长的文字");
  }
  Row added(t->columns.size());
  ASSERT_TRUE(Write(*db, [&]() -> Status {
    JET_RETURN_IF_ERROR(db->UpdateRow(*t, all[0].first, first));
    JET_RETURN_IF_ERROR(db->DeleteRow(*t, all[1].first));
    return db->InsertRow(*t, &added, nullptr);
  }).ok());
  auto now = Rows(*db, *t);
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[0].second, first);
  EXPECT_EQ(testing::CompareWithMdbExport(*db, path, "Table"), "");
  ExpectClean(*db, before);
}

std::string Md5(const std::string& path) {
  std::string sum;
  EXPECT_TRUE(testing::RunCommand("md5sum < " + testing::ShellQuote(path), &sum));
  return sum;
}

TEST_F(RowWrites, BadValuesAreRefusedAndNothingChanges) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string path = testing::CopyToTemp(dir + "/access2000/testV2000.mdb", "refuse.mdb");
  {
    auto db = Open(path);
    ASSERT_EQ(AddTypesTable(path, *db), path);
  }
  const std::string before = Md5(path);
  auto db = Open(path);
  auto t = Table(*db, "Types");
  auto nulls = [&] { Row r(t->columns.size()); r[8] = false; return r; };
  struct Case { const char* what; int column; Value value; } cases[] = {
      {"text too long", 0, std::string(11, 'a')},
      {"byte out of range", 1, std::int64_t(256)},
      {"integer out of range", 2, std::int64_t(40000)},
      {"text into a number", 3, std::string("1")},
      {"number into a memo", 9, std::int64_t(1)},
  };
  for (Case& c : cases) {
    Row r = nulls();
    r[c.column] = c.value;
    Status s = Write(*db, [&] { return db->InsertRow(*t, &r, nullptr); });
    EXPECT_EQ(s.code(), Status::Code::kInvalidArgument) << c.what << ": " << s.ToString();
    EXPECT_NE(s.message().find(t->columns[c.column].name), std::string::npos) << s.message();
  }
  Row short_row{Value{}};
  EXPECT_EQ(Write(*db, [&] { return db->InsertRow(*t, &short_row, nullptr); }).code(), Status::Code::kInvalidArgument);

  // Table1's primary key is on a text column, whose keys this engine does not produce.
  auto table1 = Table(*db, "Table1");
  Row r(table1->columns.size());
  r[8] = false;
  EXPECT_EQ(Write(*db, [&] { return db->InsertRow(*table1, &r, nullptr); }).code(), Status::Code::kNotSupported);
  db.reset();
  EXPECT_EQ(before, Md5(path));

  const std::string jet3 = testing::CopyToTemp(dir + "/access97/testV1997.mdb", "jet3.mdb");
  auto old = Open(jet3);
  auto t3 = Table(*old, "Table2");
  Row r3(t3->columns.size());
  EXPECT_EQ(Write(*old, [&] { return old->InsertRow(*t3, &r3, nullptr); }).code(), Status::Code::kNotSupported);
}

}  // namespace
}  // namespace jet
