// Index keys and index pages against what Access wrote: for every index of
// the sample databases whose keys this engine produces, decoding Access's
// index pages and recomputing every entry from the table's rows must give
// the same bytes.  Then the engine's own upkeep: many inserts and deletes
// (page splits included) keep the tree equal to the rows.
#include "jet/index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/index_key.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::vector<std::uint8_t>>;

bool SamplesPresent() {
  if (fs::exists("../shared/jet-samples/access2000")) return true;
  if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true") {
    ADD_FAILURE() << "sample databases missing at ../shared/jet-samples";
  }
  return false;
}

std::string Hex(const std::vector<std::uint8_t>& b) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (std::uint8_t c : b) {
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

std::string FirstDifference(const Entries& actual, const Entries& expected) {
  for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    std::string a = i < actual.size() ? Hex(actual[i]) : "(none)";
    std::string e = i < expected.size() ? Hex(expected[i]) : "(none)";
    if (a != e) {
      return "entry " + std::to_string(i) + " of " + std::to_string(actual.size()) + "/" +
             std::to_string(expected.size()) + ": index has " + a + ", rows give " + e;
    }
  }
  return "equal";
}

// The entries an index should hold, recomputed from the rows; false in
// *complete when some row's key is unknown to the engine.
Status ExpectedEntries(Database& db, const TableDef& t, const RealIndex& index, Entries* out, bool* complete) {
  out->clear();
  *complete = true;
  Status failure;
  Status s = db.Scan(t, ScanOptions{}, [&](RowId id, const Row& row) {
    if (index.ignore_nulls() && KeyAllNull(t, index, row)) return true;
    std::vector<std::uint8_t> key;
    Status k = EncodeIndexKey(t, index, row, &key);
    if (k.code() == Status::Code::kNotSupported) {
      *complete = false;
      return false;
    }
    if (!k.ok()) {
      failure = k;
      return false;
    }
    out->push_back(LeafEntry(key, id));
    return true;
  });
  JET_RETURN_IF_ERROR(s);
  JET_RETURN_IF_ERROR(failure);
  std::sort(out->begin(), out->end());
  return Status::Ok();
}

TEST(IndexKeysTest, RecomputedEntriesEqualTheIndexesAccessWrote) {
  if (!SamplesPresent()) GTEST_SKIP() << "sample databases missing at ../shared/jet-samples; skipping";
  const char* files[] = {"indexTestV2000.mdb", "compIndexTestV2000.mdb", "bigIndexTestV2000.mdb",
                         "testIndexPropertiesV2000.mdb", "indexCursorTestV2000.mdb", "testV2000.mdb",
                         "empty.mdb", "delTestV2000.mdb"};
  int verified = 0, numeric = 0, entries = 0;
  for (const char* f : files) {
    const std::string path = std::string("../shared/jet-samples/access2000/") + f;
    std::unique_ptr<Database> db;
    { Status o = Database::Open(path, OpenOptions{}, &db); ASSERT_TRUE(o.ok()) << path << ": " << o.ToString(); }
    ASSERT_TRUE(db->BeginRead().ok());
    std::vector<std::string> names = db->TableNames();
    names.push_back("MSysObjects");
    for (const std::string& name : names) {
      std::shared_ptr<const TableDef> t;
      ASSERT_TRUE(db->GetTable(name, &t).ok()) << name;
      for (const RealIndex& index : t->real_indexes) {
        bool has_text = false, known = true;
        for (const IndexColumn& c : index.columns) {
          ColumnType type = t->columns[c.column_position].type;
          has_text |= type == ColumnType::kText;
          known &= KeyTypeSupported(type) || type == ColumnType::kText;
        }
        if (!known) continue;
        Entries expected, actual;
        bool complete = false;
        ASSERT_TRUE(ExpectedEntries(*db, *t, index, &expected, &complete).ok());
        if (!complete) continue;
        Status s = ReadIndexEntries(db->pager(), index.first_page, &actual);
        ASSERT_TRUE(s.ok()) << f << " " << name << ": " << s.ToString();
        EXPECT_TRUE(actual == expected) << f << " table " << name << " index on page " << index.first_page << ": "
                                        << FirstDifference(actual, expected);
        ++verified;
        numeric += has_text ? 0 : 1;
        entries += static_cast<int>(actual.size());
      }
    }
    db->EndRead();
  }
  EXPECT_GE(numeric, 8);
  RecordProperty("indexes_verified", verified);
  RecordProperty("entries_verified", entries);
  std::printf("verified %d indexes (%d without text columns), %d entries\n", verified, numeric, entries);
}

TEST(IndexKeysTest, NumericKeysSortLikeTheirValues) {
  struct Case {
    ColumnType type;
    std::vector<Value> ascending;
  };
  const Case cases[] = {
      {ColumnType::kLong, {std::int64_t{-2147483647 - 1}, std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}, std::int64_t{2147483647}}},
      {ColumnType::kInteger, {std::int64_t{-32768}, std::int64_t{-2}, std::int64_t{0}, std::int64_t{300}}},
      {ColumnType::kDouble, {-1e300, -2.5, -0.0001, 0.0, 1e-300, 3.25, 1e300}},
      {ColumnType::kDateTime, {DateTime{-700.5}, DateTime{0}, DateTime{36526.25}, DateTime{73050}}},
      {ColumnType::kCurrency, {Currency{-50000}, Currency{0}, Currency{1}, Currency{922337203685477}}},
  };
  for (const Case& c : cases) {
    for (bool asc : {true, false}) {
      std::vector<std::vector<std::uint8_t>> keys;
      keys.push_back({});
      ASSERT_TRUE(AppendKeyColumn(c.type, std::monostate{}, asc, &keys.back()).ok());
      for (const Value& v : c.ascending) {
        keys.push_back({});
        ASSERT_TRUE(AppendKeyColumn(c.type, v, asc, &keys.back()).ok());
      }
      for (std::size_t i = 1; i < keys.size(); ++i) {
        // NULL sorts first ascending, last descending.
        EXPECT_EQ(keys[i - 1] < keys[i], asc) << "type " << int(c.type) << " position " << i;
      }
    }
  }
  std::vector<std::uint8_t> key;
  EXPECT_EQ(AppendKeyColumn(ColumnType::kText, std::string("zebra"), true, &key).code(), Status::Code::kNotSupported);
  EXPECT_EQ(AppendKeyColumn(ColumnType::kMemo, std::string("a"), true, &key).code(), Status::Code::kNotSupported);
}

class IndexUpkeepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("index_test_" + std::to_string(::getpid()) + ".mdb")).string();
    fs::remove(path_);
    ASSERT_TRUE(CreateDatabase(path_).ok());
    OpenOptions o;
    o.read_only = false;
    o.sync = false;
    ASSERT_TRUE(Database::Open(path_, o, &db_).ok());
    InstallIndexMaintainer(*db_);
    TableSpec design{"Notes", {{"ID", ColumnType::kLong, 255, true}, {"N", ColumnType::kLong}, {"Body", ColumnType::kMemo}}, {"ID"}};
    ASSERT_TRUE(CreateTable(*db_, design).ok());
  }
  void TearDown() override {
    db_.reset();
    fs::remove(path_);
  }
  std::shared_ptr<const TableDef> Table() {
    std::shared_ptr<const TableDef> t;
    EXPECT_TRUE(db_->GetTable("Notes", &t).ok());
    return t;
  }
  void ExpectIndexMatchesRows() {
    ASSERT_TRUE(db_->BeginRead().ok());
    auto t = Table();
    Entries expected, actual;
    bool complete;
    ASSERT_TRUE(ExpectedEntries(*db_, *t, t->real_indexes[0], &expected, &complete).ok());
    Status s = ReadIndexEntries(db_->pager(), t->real_indexes[0].first_page, &actual);
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(actual, expected);
    db_->EndRead();
  }
  std::vector<std::uint8_t> FileBytes() {
    std::ifstream in(path_, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string path_;
  std::unique_ptr<Database> db_;
};

TEST_F(IndexUpkeepTest, ThousandsOfInsertsAndDeletesKeepTheTreeEqualToTheRows) {
  std::mt19937 random(4);
  std::vector<RowId> ids;
  for (int batch = 0; batch < 6; ++batch) {
    ASSERT_TRUE(db_->BeginWrite().ok());
    auto t = Table();
    for (int i = 0; i < 1000; ++i) {
      Row row{std::monostate{}, std::int64_t(random() % 100), std::string("x")};
      RowId id;
      Status s = db_->InsertRow(*t, &row, &id);
      ASSERT_TRUE(s.ok()) << s.ToString();
      ids.push_back(id);
    }
    for (int i = 0; i < 300; ++i) {
      std::size_t k = random() % ids.size();
      ASSERT_TRUE(db_->DeleteRow(*t, ids[k]).ok());
      ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(k));
    }
    ASSERT_TRUE(db_->Commit().ok());
    ExpectIndexMatchesRows();
  }
  std::vector<std::uint32_t> pages;
  Entries actual;
  ASSERT_TRUE(db_->BeginRead().ok());
  ASSERT_TRUE(ReadIndexEntries(db_->pager(), Table()->real_indexes[0].first_page, &actual, &pages).ok());
  db_->EndRead();
  EXPECT_EQ(actual.size(), ids.size());
  EXPECT_GT(pages.size(), 3u);  // the root split
  std::vector<std::string> problems;
  ASSERT_TRUE(CheckDatabase(*db_, &problems).ok());
  for (const auto& p : problems) ADD_FAILURE() << p;
}

TEST_F(IndexUpkeepTest, ADuplicatePrimaryKeyIsRefusedAndTheFileStaysAsItWas) {
  ASSERT_TRUE(db_->BeginWrite().ok());
  auto t = Table();
  Row row{std::int64_t{7}, std::int64_t{1}, std::string("a")};
  ASSERT_TRUE(db_->InsertRow(*t, &row, nullptr).ok());
  ASSERT_TRUE(db_->Commit().ok());
  const std::vector<std::uint8_t> before = FileBytes();

  ASSERT_TRUE(db_->BeginWrite().ok());
  Row again{std::int64_t{7}, std::int64_t{2}, std::string("b")};
  Status s = db_->InsertRow(*Table(), &again, nullptr);
  EXPECT_EQ(s.code(), Status::Code::kInvalidArgument);
  EXPECT_NE(s.message().find("duplicate"), std::string::npos) << s.message();
  db_->Rollback();
  EXPECT_EQ(FileBytes(), before);
  ExpectIndexMatchesRows();
}

TEST_F(IndexUpkeepTest, ATableWithATextIndexIsRefusedForWrites) {
  if (!SamplesPresent()) GTEST_SKIP() << "sample databases missing; skipping";
  const std::string copy = path_ + ".copy.mdb";
  fs::copy_file("../shared/jet-samples/access2000/testIndexPropertiesV2000.mdb", copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  OpenOptions o;
  o.read_only = false;
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::Open(copy, o, &db).ok());
  InstallIndexMaintainer(*db);
  int refused = 0;
  ASSERT_TRUE(db->BeginWrite().ok());
  for (const std::string& name : db->TableNames()) {
    std::shared_ptr<const TableDef> t;
    ASSERT_TRUE(db->GetTable(name, &t).ok());
    bool text_index = false;
    for (const RealIndex& r : t->real_indexes)
      for (const IndexColumn& c : r.columns) text_index |= t->columns[c.column_position].type == ColumnType::kText;
    if (!text_index) continue;
    Row row(t->columns.size());
    Status s = db->InsertRow(*t, &row, nullptr);
    EXPECT_EQ(s.code(), Status::Code::kNotSupported) << name << ": " << s.ToString();
    ++refused;
  }
  db->Rollback();
  db.reset();
  EXPECT_GT(refused, 0);
  std::ifstream a(copy, std::ios::binary), b("../shared/jet-samples/access2000/testIndexPropertiesV2000.mdb", std::ios::binary);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b)));
  fs::remove(copy);
}

}  // namespace
}  // namespace jet
