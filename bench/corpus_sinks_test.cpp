// The CSV and SQLite files of one corpus hold the same notes: the CSV file is
// read back by SQLite's own CSV importer (an independent RFC 4180 reader) and
// compared field by field with the SQLite file.
#include "bench/corpus_sinks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "bench/sqlite_handle.h"
#include "bench/utf8.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

class CorpusSinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("norvane-sinks-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(long notes) {
    auto csv = MakeCsvSink();
    auto sqlite = MakeSqliteSink();
    ASSERT_EQ(csv->Open(Path("notes.csv")), "");
    ASSERT_EQ(sqlite->Open(Path("notes.sqlite")), "");
    CorpusGenerator generator;
    for (long id = 1; id <= notes; ++id) {
      Note note = generator.Next();
      ASSERT_EQ(csv->Add(id, note), "");
      ASSERT_EQ(sqlite->Add(id, note), "");
    }
    ASSERT_EQ(csv->Finish(), "");
    ASSERT_EQ(sqlite->Finish(), "");
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  long Count(SqliteDb& db, const std::string& sql) {
    SqliteStatement statement;
    EXPECT_EQ(db.Prepare(sql, &statement), "");
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return -1;
    return static_cast<long>(sqlite3_column_int64(statement.get(), 0));
  }

  fs::path dir_;
};

TEST_F(CorpusSinksTest, CsvReadBackBySqliteEqualsTheSqliteFile) {
  if (std::system("sqlite3 -version >/dev/null 2>&1") != 0) {
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true") {
      FAIL() << "the sqlite3 command is missing";
    }
    GTEST_SKIP() << "the sqlite3 command is missing";
  }
  const long kNotes = 300;
  Write(kNotes);
  std::string import = "sqlite3 '" + Path("imported.db") + "' \".import --csv '" +
                       Path("notes.csv") + "' t\"";
  ASSERT_EQ(std::system(import.c_str()), 0) << import;

  SqliteDb db;
  ASSERT_EQ(db.Open(Path("notes.sqlite")), "");
  ASSERT_EQ(db.Exec("ATTACH '" + Path("imported.db") + "' AS imported"), "");
  EXPECT_EQ(Count(db, Utf8(u8"select count(*) from 知识点")), kNotes);
  EXPECT_EQ(Count(db, "select count(*) from imported.t"), kNotes);
  EXPECT_EQ(Count(db, Utf8(u8"select count(*) from 知识点 a join imported.t b "
                           u8"on a.ID = cast(b.ID as integer) and a.标题 = b.标题 "
                           u8"and a.内容 = b.内容 and a.资料链接 = b.资料链接")),
            kNotes);
  // IDs run from 1 without a gap, as the engine's AutoNumber will number them.
  EXPECT_EQ(Count(db, Utf8(u8"select max(ID) from 知识点")), kNotes);
}

TEST_F(CorpusSinksTest, OpeningWhereNoFileCanBeMadeIsReported) {
  std::string nowhere = Path("missing-dir/notes");
  EXPECT_NE(MakeCsvSink()->Open(nowhere + ".csv"), "");
  EXPECT_NE(MakeSqliteSink()->Open(nowhere + ".sqlite"), "");
}

}  // namespace
}  // namespace bench
