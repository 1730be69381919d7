// Statements killed at random moments (SIGKILL of the writing process):
// reopening recovers from the journal, the checker finds nothing wrong,
// and the table holds exactly the statements that completed, each whole.
#include "jet/check.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "jet/create.h"
#include "jet/index.h"
#include "jet/journal.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

// Statement k inserts the row N = k and deletes the row N = k - 10, so
// after statements 1..k the table holds N = max(1, k-9) .. k.
constexpr std::int64_t kWindow = 10;

Status RunStatement(Database& db, std::int64_t k) {
  JET_RETURN_IF_ERROR(db.BeginWrite());
  std::shared_ptr<const TableDef> t;
  Status s = db.GetTable("T", &t);
  RowId old{};
  bool found = false;
  if (s.ok()) {
    s = db.Scan(*t, ScanOptions{}, [&](RowId id, const Row& row) {
      if (std::get<std::int64_t>(row[1]) == k - kWindow) {
        old = id;
        found = true;
      }
      return true;
    });
  }
  Row row{std::monostate{}, k, std::string("statement ") + std::to_string(k)};
  if (s.ok()) s = db.InsertRow(*t, &row, nullptr);
  if (s.ok() && found) s = db.DeleteRow(*t, old);
  if (!s.ok()) {
    db.Rollback();
    return s;
  }
  return db.Commit();
}

TEST(KillTest, WritersKilledAnywhereLeaveWholeStatementsAndACleanFile) {
  const std::string path = (fs::temp_directory_path() / ("kill_test_" + std::to_string(::getpid()) + ".mdb")).string();
  fs::remove(path);
  fs::remove(JournalPathFor(path));
  ASSERT_TRUE(CreateDatabase(path).ok());
  {
    OpenOptions o;
    o.read_only = false;
    std::unique_ptr<Database> db;
    ASSERT_TRUE(Database::Open(path, o, &db).ok());
    InstallIndexMaintainer(*db);
    ASSERT_TRUE(CreateTable(*db, TableSpec{"T", {{"ID", ColumnType::kLong, 255, true}, {"N", ColumnType::kLong},
                                                  {"S", ColumnType::kText, 50}}, {"ID"}}).ok());
  }
  std::mt19937 random(99);
  constexpr int kKills = 30;
  std::int64_t last = 0;
  int journals_applied = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      OpenOptions o;
      o.read_only = false;
      std::unique_ptr<Database> db;
      if (!Database::Open(path, o, &db).ok()) ::_exit(2);
      InstallIndexMaintainer(*db);
      for (std::int64_t k = last + 1;; ++k) {
        if (!RunStatement(*db, k).ok()) ::_exit(3);
      }
    }
    ::usleep(20000 + random() % 150000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
    journals_applied += fs::exists(JournalPathFor(path)) ? 1 : 0;

    std::unique_ptr<Database> db;
    ASSERT_TRUE(Database::Open(path, OpenOptions{}, &db).ok());
    EXPECT_FALSE(fs::exists(JournalPathFor(path)));
    std::vector<std::string> problems;
    ASSERT_TRUE(CheckDatabase(*db, &problems).ok());
    for (const std::string& p : problems) ADD_FAILURE() << "kill " << kill << ": " << p;
    std::shared_ptr<const TableDef> t;
    ASSERT_TRUE(db->BeginRead().ok());
    ASSERT_TRUE(db->GetTable("T", &t).ok());
    std::set<std::int64_t> present;
    ASSERT_TRUE(db->Scan(*t, ScanOptions{}, [&](RowId, const Row& row) {
      present.insert(std::get<std::int64_t>(row[1]));
      return true;
    }).ok());
    db->EndRead();
    const std::int64_t k = present.empty() ? 0 : *present.rbegin();
    ASSERT_GE(k, last) << "kill " << kill << ": a committed statement was lost";
    std::set<std::int64_t> expected;
    for (std::int64_t n = std::max<std::int64_t>(1, k - kWindow + 1); n <= k; ++n) expected.insert(n);
    ASSERT_EQ(present, expected) << "kill " << kill << ": statement " << k << " is not whole";
    last = k;
  }
  EXPECT_GT(last, kKills);  // statements did complete between the kills
  RecordProperty("statements", static_cast<int>(last));
  RecordProperty("journals_left_by_kills", journals_applied);
  std::printf("%d kills, %lld statements, %d kills left a journal that was applied\n", kKills,
              static_cast<long long>(last), journals_applied);
  fs::remove(path);
}

}  // namespace
}  // namespace jet
