// Power cuts and I/O faults in the program's statements, through the store.
//
// Power cut: the writes and flushes one statement makes are recorded; the
// files a power cut would leave at each point (unflushed writes lost, kept
// or torn at random) are built, reopened (journal recovery) and must hold
// the table before or after the statement, consistent by .check, the same
// to mdb-export.
// I/O faults: each write and each flush of a statement fails in turn: the
// store refuses the statement with the engine's message and the file is
// byte for byte as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "jet/check.h"
#include "jet/file_fault.h"
#include "store/database.h"
#include "store/database_jet_testing.h"
#include "tests/reliability/knowledge.h"
#include "text/gb18030.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

// The engine's own check, in process (jetsql .check prints the same).
std::string EngineCheck(const std::string& path) {
  std::unique_ptr<jet::Database> db;
  if (jet::Status s = jet::Database::Open(path, {}, &db); !s.ok()) return s.ToString();
  std::vector<std::string> problems;
  if (jet::Status s = jet::CheckDatabase(*db, &problems); !s.ok()) return s.ToString();
  return problems.empty() ? "" : problems.front();
}

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("norvane-crash-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "data.mdb").string();
    ASSERT_EQ(MakeKnowledgeDatabase(path_), "");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string journal() const { return path_ + "-journal"; }

  // Runs `statement` through the store over `files`; the store's result.
  int RunOver(jet::FileSystem* files, const Text& statement, std::string* error) {
    store::DBConnection connection;
    store::RecordSet records;
    if (store::ConnectAccessOver(connection, text::Gb18030FromUtf8(path_), files) != 1) {
      *error = store::LastError(connection);
      return 0;
    }
    store::AttachConnection(records, connection);
    const int accepted = store::OpenRecordSet(records, statement, 1);
    *error = store::LastError(records);
    return accepted;
  }

  // A few notes to start from, one of them long.
  Notes Seed(std::mt19937& random) {
    Notes notes;
    auto platform = jet::PlatformFileSystem();
    for (long id = 1; id <= 4; ++id) {
      Note note = RandomNote(random, 0);
      if (id == 2) note.content = std::string(9000, 'x') + note.content;
      std::string error;
      EXPECT_EQ(RunOver(platform.get(), *StatementFor(Op::kInsert, 0, note), &error), 1) << error;
      notes[id] = note;
    }
    return notes;
  }

  fs::path dir_;
  std::string path_;
};

// The statement the random walk makes next, and the table after it.
struct Step {
  Op op;
  long id;
  Note note;
};
Step NextStep(std::mt19937& random, const Notes& notes, long next_id) {
  const unsigned roll = random() % 3;
  if (notes.empty() || roll == 0) return {Op::kInsert, next_id, RandomNote(random, 12000)};
  auto it = notes.begin();
  std::advance(it, random() % notes.size());
  if (roll == 1) return {Op::kModify, it->first, RandomNote(random, 12000)};
  return {Op::kDelete, it->first, {}};
}
Notes After(const Notes& before, const Step& step) {
  Notes after = before;
  if (step.op == Op::kDelete) after.erase(step.id);
  else after[step.id] = step.note;
  return after;
}

TEST_F(CrashTest, PowerCutAnywhereInAStatementGivesTheTableBeforeOrAfterIt) {
  std::mt19937 random(4242);
  Notes model = Seed(random);
  long next_id = 5;
  auto platform = jet::PlatformFileSystem();
  const int statements = 14;
  int states = 0, old_states = 0, new_states = 0, exported = 0;
  for (int n = 0; n < statements; ++n) {
    const Step step = NextStep(random, model, next_id);
    const Notes after_model = After(model, step);
    const Bytes before = ReadAll(path_);
    jet::RecordingFileSystem recording(platform.get());
    std::string error;
    ASSERT_EQ(RunOver(&recording, *StatementFor(step.op, step.id, step.note), &error), 1) << error;
    const Bytes after = ReadAll(path_);
    const std::vector<jet::RecordedOp> log = recording.log();
    const jet::FileImages initial{{path_, before}, {journal(), std::nullopt}};
    for (std::size_t cut = 0; cut <= log.size(); ++cut) {
      for (int trial = 0; trial < 2; ++trial) {
        SCOPED_TRACE("statement " + std::to_string(n) + " cut " + std::to_string(cut) + " trial " + std::to_string(trial));
        std::map<std::size_t, bool> keep;
        std::map<std::size_t, std::size_t> torn;
        const jet::FileImages images = jet::PowerCut(
            initial, log, cut,
            [&](std::size_t i) { return keep.count(i) ? keep[i] : (keep[i] = random() % 2); },
            [&](std::size_t i) {
              if (!torn.count(i)) {
                const std::size_t size = log[i].data.size();
                torn[i] = random() % 3 == 0 ? (random() % (size / 512 + 1)) * 512 : size;
              }
              return torn[i];
            });
        for (const auto& [file, image] : images) {
          if (image) WriteAll(file, *image);
          else fs::remove(file);
        }
        const std::optional<Notes> read = ReadNotes(path_, &error);  // recovers
        ASSERT_TRUE(read) << error;
        ASSERT_FALSE(fs::exists(journal()));
        ASSERT_EQ(EngineCheck(path_), "");
        const bool old_state = Difference(model, *read).empty();
        ASSERT_TRUE(old_state || Difference(after_model, *read).empty())
            << "before: " << Difference(model, *read) << "; after: " << Difference(after_model, *read);
        (old_state ? old_states : new_states)++;
        ++states;
        if (states % 8 == 0) {  // the independent readers, on a share of the states
          ASSERT_EQ(CheckReport(path_), "");
          const std::optional<Notes> theirs = ExportedNotes(path_, &error);
          ASSERT_TRUE(theirs) << error;
          ASSERT_EQ(Difference(AsExported(*read), *theirs), "");
          ++exported;
        }
      }
    }
    WriteAll(path_, after);
    if (step.op == Op::kInsert) ++next_id;
    model = after_model;
  }
  EXPECT_GT(old_states, 0);
  EXPECT_GT(new_states, 0);
  RecordProperty("power_cut_states", states);
  RecordProperty("states_read_by_mdb_export", exported);
  std::cout << "power-cut states checked: " << states << " (old " << old_states << ", new " << new_states
            << ", " << exported << " also by jetsql .check and mdb-export)\n";
}

TEST_F(CrashTest, AFaultInAnyWriteOrFlushRefusesTheStatementAndLeavesTheFileAsItWas) {
  std::mt19937 random(777);
  const Notes model = Seed(random);
  auto platform = jet::PlatformFileSystem();
  Note long_note = RandomNote(random, 0);
  long_note.content = std::string(20000, 'y') + "链表 😀";
  const Step steps[] = {{Op::kInsert, 5, long_note}, {Op::kModify, 3, long_note}, {Op::kDelete, 2, {}}};
  int injected = 0;
  for (const Step& step : steps) {
    const Text statement = *StatementFor(step.op, step.id, step.note);
    const Bytes before = ReadAll(path_);
    jet::FaultyFileSystem counting(platform.get());
    std::string error;
    ASSERT_EQ(RunOver(&counting, statement, &error), 1) << error;
    const int writes = counting.writes(), syncs = counting.syncs();
    ASSERT_GE(writes, 3);
    ASSERT_GE(syncs, 2);
    for (int kind = 0; kind < 2; ++kind) {
      for (int n = 1; n <= (kind == 0 ? writes : syncs); ++n) {
        SCOPED_TRACE(std::string(1, static_cast<char>(step.op)) + (kind == 0 ? " write " : " flush ") + std::to_string(n));
        WriteAll(path_, before);
        jet::FaultyFileSystem faulty(platform.get());
        if (kind == 0) faulty.FailWrite(n);
        else faulty.FailSync(n);
        EXPECT_EQ(RunOver(&faulty, statement, &error), 0);
        EXPECT_NE(error.find("injected"), std::string::npos) << error;
        EXPECT_EQ(faulty.faults(), 1);
        injected += faulty.faults();
        const std::optional<Notes> read = ReadNotes(path_, &error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(Difference(model, *read), "");
        EXPECT_TRUE(ReadAll(path_) == before);
        EXPECT_FALSE(fs::exists(journal()));
      }
    }
    WriteAll(path_, before);
    EXPECT_EQ(CheckReport(path_), "");
  }
  RecordProperty("faults_injected", injected);
  std::cout << "faults injected and recovered: " << injected << "\n";
}

}  // namespace
}  // namespace reliability
