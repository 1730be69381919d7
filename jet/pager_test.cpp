// The pager: cached reads, the journalled commit, recovery after faults,
// power cuts and killed writers, and cache invalidation across processes.
//
// The database file is a copy of Access's empty database; the tests change
// pages appended beyond its own (and a few of its pages) and look only at
// bytes, so every outcome is "the file as before" or "the file as after".
#include "jet/pager.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "jet/file_fault.h"
#include "jet/journal.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using ByteVec = std::vector<std::uint8_t>;

const char kSample[] = "../shared/jet-samples/access2000/empty.mdb";

ByteVec ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteVec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void WriteAll(const std::string& path, const ByteVec& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class PagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSample)) {
      if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true") {
        FAIL() << "sample databases missing at ../shared/jet-samples";
      }
      GTEST_SKIP() << "sample databases missing at ../shared/jet-samples; skipping";
    }
    dir_ = fs::temp_directory_path() / ("pager_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "t.mdb").string();
    fs::copy_file(kSample, path_);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::unique_ptr<Pager> OpenPager(bool read_only = false, FileSystem* files = nullptr) {
    PagerOptions options;
    options.read_only = read_only;
    options.file_system = files;
    std::unique_ptr<Pager> pager;
    Status s = Pager::Open(path_, options, &pager);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return pager;
  }

  // A statement: pages 1 and 3 get `fill`, and `grow` new pages are added
  // holding `fill` too.
  static Status Statement(Pager* pager, std::uint8_t fill, int grow) {
    JET_RETURN_IF_ERROR(pager->BeginWrite());
    ByteVec page(pager->page_size(), fill);
    JET_RETURN_IF_ERROR(pager->Write(1, page));
    JET_RETURN_IF_ERROR(pager->Write(3, page));
    for (int i = 0; i < grow; ++i) {
      std::uint32_t n = 0;
      JET_RETURN_IF_ERROR(pager->Allocate(&n));
      JET_RETURN_IF_ERROR(pager->Write(n, page));
    }
    Status s = pager->Commit();
    return s;
  }

  std::string journal() const { return JournalPathFor(path_); }

  fs::path dir_;
  std::string path_;
};

TEST_F(PagerTest, ReadsPagesAndRefusesPagesOutsideTheFile) {
  auto pager = OpenPager(/*read_only=*/true);
  ASSERT_TRUE(pager);
  EXPECT_EQ(pager->page_size(), 4096u);
  EXPECT_EQ(pager->page_count(), fs::file_size(path_) / 4096);
  ASSERT_TRUE(pager->BeginRead().ok());
  PageBytes page;
  ASSERT_TRUE(pager->Read(0, &page).ok());
  EXPECT_EQ(0, std::memcmp(page->data() + 4, "Standard Jet DB", 15));
  Status s = pager->Read(pager->page_count(), &page);
  EXPECT_EQ(s.code(), Status::Code::kCorruption);
  EXPECT_NE(s.message().find("outside the file"), std::string::npos) << s.message();
  pager->EndRead();
  EXPECT_FALSE(pager->BeginWrite().ok());  // read-only
}

TEST_F(PagerTest, RefusesFilesThatAreNotDatabases) {
  struct Case {
    const char* name;
    ByteVec bytes;
  };
  ByteVec text(5000, 'x');
  ByteVec short_file(100, 0);
  const Case cases[] = {{"a text file", text}, {"a 100-byte file", short_file}, {"an empty file", {}}};
  for (const Case& c : cases) {
    WriteAll(path_, c.bytes);
    std::unique_ptr<Pager> pager;
    Status s = Pager::Open(path_, PagerOptions{}, &pager);
    EXPECT_EQ(s.code(), Status::Code::kCorruption) << c.name;
    EXPECT_NE(s.message().find("not an Access database"), std::string::npos) << c.name << ": " << s.message();
  }
  std::unique_ptr<Pager> pager;
  EXPECT_EQ(Pager::Open((dir_ / "missing.mdb").string(), PagerOptions{}, &pager).code(), Status::Code::kNotFound);
}

TEST_F(PagerTest, CommitWritesPagesAndRemovesTheJournal) {
  const ByteVec before = ReadAll(path_);
  auto pager = OpenPager();
  std::uint64_t generation = pager->generation();
  ASSERT_TRUE(Statement(pager.get(), 0xAB, 2).ok());
  EXPECT_GT(pager->generation(), generation);
  EXPECT_FALSE(fs::exists(journal()));
  const ByteVec after = ReadAll(path_);
  ASSERT_EQ(after.size(), before.size() + 2 * 4096);
  EXPECT_EQ(after[4096], 0xAB);
  EXPECT_EQ(after[before.size() + 4095], 0xAB);
  EXPECT_EQ(0, std::memcmp(after.data(), before.data(), 4096));  // page 0 untouched
  // Reads inside and after the transaction see the new bytes.
  PageBytes page;
  ASSERT_TRUE(pager->BeginRead().ok());
  ASSERT_TRUE(pager->Read(3, &page).ok());
  EXPECT_EQ((*page)[17], 0xAB);
  pager->EndRead();
}

TEST_F(PagerTest, RollbackLeavesTheFileAsItWas) {
  const ByteVec before = ReadAll(path_);
  auto pager = OpenPager();
  ASSERT_TRUE(pager->BeginWrite().ok());
  ASSERT_TRUE(pager->Write(2, ByteVec(4096, 7)).ok());
  std::uint32_t n = 0;
  ASSERT_TRUE(pager->Allocate(&n).ok());
  PageBytes page;
  ASSERT_TRUE(pager->Read(2, &page).ok());
  EXPECT_EQ((*page)[0], 7);
  pager->Rollback();
  EXPECT_EQ(ReadAll(path_), before);
  ASSERT_TRUE(pager->Read(2, &page).ok());
  EXPECT_EQ(0, std::memcmp(page->data(), before.data() + 2 * 4096, 4096));
  EXPECT_EQ(pager->page_count(), before.size() / 4096);
}

TEST_F(PagerTest, WritesOutsideATransactionOrOfTheWrongSizeAreRefused) {
  auto pager = OpenPager();
  EXPECT_FALSE(pager->Write(1, ByteVec(4096, 0)).ok());
  ASSERT_TRUE(pager->BeginWrite().ok());
  EXPECT_FALSE(pager->Write(1, ByteVec(100, 0)).ok());
  EXPECT_FALSE(pager->Write(pager->page_count(), ByteVec(4096, 0)).ok());
  EXPECT_FALSE(pager->BeginWrite().ok());
  pager->Rollback();
}

// Every write and every flush of a statement fails in turn: the statement
// reports the fault and the file is byte for byte as before, at once and
// after reopening.
TEST_F(PagerTest, AFaultInAnyWriteOrFlushLeavesTheFileAsItWas) {
  const ByteVec before = ReadAll(path_);
  auto platform = PlatformFileSystem();
  // Count the operations of one statement.
  int writes = 0, syncs = 0;
  {
    FaultyFileSystem counting(platform.get());
    auto pager = OpenPager(false, &counting);
    ASSERT_TRUE(Statement(pager.get(), 0x11, 3).ok());
    writes = counting.writes();
    syncs = counting.syncs();
    WriteAll(path_, before);
  }
  ASSERT_GE(writes, 5);  // journal, 2 + 3 pages
  ASSERT_GE(syncs, 3);   // journal, its directory, the file
  int injected = 0;
  for (int kind = 0; kind < 2; ++kind) {
    for (int n = 1; n <= (kind == 0 ? writes : syncs); ++n) {
      SCOPED_TRACE((kind == 0 ? "write " : "flush ") + std::to_string(n));
      FaultyFileSystem faulty(platform.get());
      auto pager = OpenPager(false, &faulty);
      ASSERT_TRUE(pager);
      if (kind == 0) faulty.FailWrite(n); else faulty.FailSync(n);
      Status s = Statement(pager.get(), 0x22, 3);
      EXPECT_EQ(s.code(), Status::Code::kIOError) << s.ToString();
      EXPECT_NE(s.message().find("injected"), std::string::npos) << s.message();
      EXPECT_EQ(ReadAll(path_), before);
      EXPECT_FALSE(fs::exists(journal()));
      injected += faulty.faults();
      // The pager stays usable: the next statement goes through.
      ASSERT_TRUE(Statement(pager.get(), 0x33, 1).ok());
      pager.reset();
      auto reopened = OpenPager();
      EXPECT_EQ(ReadAll(path_)[4096], 0x33);
      WriteAll(path_, before);
    }
  }
  EXPECT_EQ(injected, writes + syncs);
}

TEST_F(PagerTest, AFullDiskLeavesTheFileAsItWas) {
  const ByteVec before = ReadAll(path_);
  auto platform = PlatformFileSystem();
  // Room for the journal but not for the new pages, and room for nothing.
  for (std::uint64_t free_space : {std::uint64_t{0}, std::uint64_t{3 * 4096}, std::uint64_t{4 * 4096 + 200}}) {
    SCOPED_TRACE(free_space);
    FaultyFileSystem faulty(platform.get());
    faulty.SetFreeSpace(free_space);
    auto pager = OpenPager(false, &faulty);
    Status s = Statement(pager.get(), 0x44, 4);
    EXPECT_EQ(s.code(), Status::Code::kIOError);
    EXPECT_NE(s.message().find("no space left"), std::string::npos) << s.message();
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_FALSE(fs::exists(journal()));
  }
}

TEST_F(PagerTest, OpenAppliesAValidJournalAndIgnoresATornOne) {
  const ByteVec before = ReadAll(path_);
  Journal j;
  j.page_size = 4096;
  j.original_size = before.size();
  j.salt = 99;
  j.pages.push_back({1, ByteVec(before.begin() + 4096, before.begin() + 8192)});
  const ByteVec journal_bytes = EncodeJournal(j);
  // A half-finished statement: page 1 overwritten, a page appended.
  ByteVec damaged = before;
  std::fill(damaged.begin() + 4096, damaged.begin() + 8192, 0xEE);
  damaged.resize(before.size() + 4096, 0xEE);

  WriteAll(path_, damaged);
  WriteAll(journal(), journal_bytes);
  { auto reader = OpenPager(/*read_only=*/true); }  // a reader recovers too
  EXPECT_EQ(ReadAll(path_), before);
  EXPECT_FALSE(fs::exists(journal()));

  // Torn journals (cut short, one byte changed): the file was not touched
  // yet when they were written, so they are discarded.
  struct Case {
    const char* name;
    ByteVec bytes;
  };
  ByteVec cut(journal_bytes.begin(), journal_bytes.end() - 100);
  ByteVec flipped = journal_bytes;
  flipped[64 + 8 + 500] ^= 1;
  ByteVec header_only(journal_bytes.begin(), journal_bytes.begin() + 64);
  for (const Case& c : {Case{"cut short", cut}, Case{"one byte changed", flipped},
                        Case{"header only", header_only}, Case{"empty", {}}}) {
    SCOPED_TRACE(c.name);
    Journal decoded;
    EXPECT_EQ(DecodeJournal(c.bytes, &decoded).code(), Status::Code::kCorruption);
    WriteAll(journal(), c.bytes);
    auto pager = OpenPager();
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_FALSE(fs::exists(journal()));
  }
}

// A power cut at every point of a statement, with each file's unflushed
// writes lost, kept or torn at random: reopening gives the old or the new
// file, never a mix.
TEST_F(PagerTest, PowerCutAnywhereGivesTheOldOrTheNewFile) {
  const ByteVec before = ReadAll(path_);
  auto platform = PlatformFileSystem();
  RecordingFileSystem recording(platform.get());
  {
    auto pager = OpenPager(false, &recording);
    ASSERT_TRUE(Statement(pager.get(), 0x55, 2).ok());
  }
  const ByteVec after = ReadAll(path_);
  const std::vector<RecordedOp> log = recording.log();
  ASSERT_GT(log.size(), 6u);
  FileImages initial{{path_, before}, {journal(), std::nullopt}};
  std::mt19937 random(12345);
  int states = 0, old_states = 0, new_states = 0;
  for (std::size_t cut = 0; cut <= log.size(); ++cut) {
    for (int trial = 0; trial < 12; ++trial) {
      std::map<std::size_t, bool> keep_choice;
      std::map<std::size_t, std::size_t> torn_choice;
      FileImages images = PowerCut(
          initial, log, cut,
          [&](std::size_t i) {
            if (!keep_choice.count(i)) keep_choice[i] = random() % 2;
            return keep_choice[i];
          },
          [&](std::size_t i) {
            if (!torn_choice.count(i)) {
              std::size_t n = log[i].data.size();
              torn_choice[i] = random() % 3 == 0 ? (random() % (n / 512 + 1)) * 512 : n;
            }
            return torn_choice[i];
          });
      for (const auto& [path, image] : images) {
        if (image) WriteAll(path, *image); else fs::remove(path);
      }
      auto pager = OpenPager();
      ASSERT_TRUE(pager) << "cut " << cut;
      pager.reset();
      const ByteVec now = ReadAll(path_);
      ASSERT_TRUE(now == before || now == after) << "cut " << cut << " trial " << trial;
      ASSERT_FALSE(fs::exists(journal()));
      ++states;
      (now == before ? old_states : new_states)++;
    }
  }
  EXPECT_GT(old_states, 0);
  EXPECT_GT(new_states, 0);
  RecordProperty("power_cut_states", states);
}

// A child process commits statements that write one counter into several
// pages and grows the file; it is killed at random moments.  The file
// reopened holds one counter value in all those pages, never a mix.
TEST_F(PagerTest, WriterKilledAnywhereLeavesAConsistentFile) {
  std::mt19937 random(777);
  constexpr int kKills = 40;
  const std::uint32_t pages[] = {1, 2, 3, 5, 8, 13};
  {  // A first state in which all those pages agree.
    auto pager = OpenPager();
    ASSERT_TRUE(pager->BeginWrite().ok());
    for (std::uint32_t n : pages) ASSERT_TRUE(pager->Write(n, ByteVec(4096, 0)).ok());
    ASSERT_TRUE(pager->Commit().ok());
  }
  const std::uint32_t initial_pages = static_cast<std::uint32_t>(fs::file_size(path_) / 4096);
  int grown = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    int opened[2];
    ASSERT_EQ(::pipe(opened), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(opened[0]);
      PagerOptions options;
      options.read_only = false;
      std::unique_ptr<Pager> pager;
      if (!Pager::Open(path_, options, &pager).ok()) ::_exit(2);
      if (::write(opened[1], "o", 1) != 1) ::_exit(5);
      for (std::uint32_t counter = 1;; ++counter) {
        if (!pager->BeginWrite().ok()) ::_exit(3);
        ByteVec page(4096, static_cast<std::uint8_t>(counter));
        for (std::uint32_t n : pages) pager->Write(n, page);
        std::uint32_t added = 0;
        pager->Allocate(&added);
        pager->Write(added, page);
        if (!pager->Commit().ok()) ::_exit(4);
      }
    }
    // The delay counts from the open, so a slow start (a loaded machine,
    // sanitizers) does not leave the writer killed before it wrote at all.
    ::close(opened[1]);
    char byte = 0;
    ASSERT_EQ(::read(opened[0], &byte, 1), 1);
    ::close(opened[0]);
    ::usleep(2000 + random() % 30000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer exited by itself with " << WEXITSTATUS(status);
    auto pager = OpenPager(/*read_only=*/true);
    ASSERT_TRUE(pager);
    ASSERT_FALSE(fs::exists(journal()));
    ASSERT_TRUE(pager->BeginRead().ok());
    PageBytes first;
    ASSERT_TRUE(pager->Read(pages[0], &first).ok());
    for (std::uint32_t n : pages) {
      PageBytes page;
      ASSERT_TRUE(pager->Read(n, &page).ok());
      ASSERT_EQ(*page, *first) << "kill " << kill << ": page " << n << " differs from page " << pages[0];
    }
    if (pager->page_count() > initial_pages) {
      ++grown;
      PageBytes last;  // the page the last statement added carries its counter
      ASSERT_TRUE(pager->Read(pager->page_count() - 1, &last).ok());
      ASSERT_EQ(*last, *first) << "kill " << kill;
    }
    pager->EndRead();
  }
  EXPECT_GT(grown, 0);  // the kills did fall between commits, not before the first
}

// One process caches pages; another commits a change; the first sees the
// change at its next read transaction.  Meanwhile an exclusive lock keeps
// the reader out until the writer has committed.
TEST_F(PagerTest, AnotherProcessesCommitDropsTheCache) {
  auto reader = OpenPager(/*read_only=*/true);
  ASSERT_TRUE(reader->BeginRead().ok());
  PageBytes page;
  ASSERT_TRUE(reader->Read(1, &page).ok());
  const std::uint8_t original = (*page)[100];
  reader->EndRead();
  const std::uint64_t generation = reader->generation();

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    PagerOptions options;
    options.read_only = false;
    std::unique_ptr<Pager> pager;
    if (!Pager::Open(path_, options, &pager).ok() || !pager->BeginWrite().ok()) ::_exit(2);
    ByteVec changed(4096, static_cast<std::uint8_t>(original + 1));
    pager->Write(1, changed);
    if (::write(ready[1], "x", 1) != 1) ::_exit(3);  // holding the exclusive lock now
    ::usleep(300000);
    ::_exit(pager->Commit().ok() ? 0 : 4);
  }
  ::close(ready[1]);
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  // Blocks until the writer commits, then sees its page.
  ASSERT_TRUE(reader->BeginRead().ok());
  ASSERT_TRUE(reader->Read(1, &page).ok());
  EXPECT_EQ((*page)[100], static_cast<std::uint8_t>(original + 1));
  reader->EndRead();
  EXPECT_NE(reader->generation(), generation);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // Without a change, the cache and the generation stay.
  const std::uint64_t steady = reader->generation();
  ASSERT_TRUE(reader->BeginRead().ok());
  reader->EndRead();
  EXPECT_EQ(reader->generation(), steady);
}

// Two commits within one clock tick, same file size: the second is still
// seen, because every commit moves the last-write time forward.
TEST_F(PagerTest, BackToBackCommitsOfTheSameSizeAreSeen) {
  auto reader = OpenPager(/*read_only=*/true);
  auto writer = OpenPager();
  for (int i = 1; i <= 20; ++i) {
    ASSERT_TRUE(writer->BeginWrite().ok());
    ASSERT_TRUE(writer->Write(2, ByteVec(4096, static_cast<std::uint8_t>(i))).ok());
    ASSERT_TRUE(writer->Commit().ok());
    ASSERT_TRUE(reader->BeginRead().ok());
    PageBytes page;
    ASSERT_TRUE(reader->Read(2, &page).ok());
    ASSERT_EQ((*page)[0], i);
    reader->EndRead();
  }
}

std::size_t CountOps(const std::vector<RecordedOp>& log, RecordedOp::Kind kind, const std::string& path = "") {
  std::size_t n = 0;
  for (const RecordedOp& op : log) n += op.kind == kind && (path.empty() || op.path == path);
  return n;
}

TEST_F(PagerTest, FlushesOnlyWhenSyncIsOn) {
  auto platform = PlatformFileSystem();
  for (bool sync : {false, true}) {
    RecordingFileSystem recording(platform.get());
    PagerOptions options;
    options.read_only = false;
    options.sync = sync;
    options.file_system = &recording;
    std::unique_ptr<Pager> pager;
    ASSERT_TRUE(Pager::Open(path_, options, &pager).ok());
    recording.Clear();
    ASSERT_TRUE(Statement(pager.get(), sync ? 0x11 : 0x22, 1).ok());
    const auto& log = recording.log();
    const std::size_t flushes = CountOps(log, RecordedOp::Kind::kSync) + CountOps(log, RecordedOp::Kind::kSyncDirectory);
    if (!sync) {
      EXPECT_EQ(flushes, 0u);
      continue;
    }
    // Journal, its directory entry, the file; then the journal's removal.
    EXPECT_EQ(CountOps(log, RecordedOp::Kind::kSync), 2u);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].kind, RecordedOp::Kind::kRemove);
    EXPECT_EQ(log.back().kind, RecordedOp::Kind::kSyncDirectory);
  }
}

TEST_F(PagerTest, PagesWrittenBackUnchangedAreNeitherJournaledNorWritten) {
  auto platform = PlatformFileSystem();
  RecordingFileSystem recording(platform.get());
  auto pager = OpenPager(false, &recording);
  recording.Clear();
  ASSERT_TRUE(pager->BeginWrite().ok());
  PageBytes page1;
  ASSERT_TRUE(pager->Read(1, &page1).ok());
  ASSERT_TRUE(pager->Write(1, *page1).ok());
  ASSERT_TRUE(pager->Write(3, ByteVec(4096, 0x5A)).ok());
  ASSERT_TRUE(pager->Commit().ok());
  std::vector<std::uint64_t> file_writes;
  std::size_t journal_bytes = 0;
  for (const RecordedOp& op : recording.log()) {
    if (op.kind != RecordedOp::Kind::kWrite) continue;
    if (op.path == journal()) journal_bytes += op.data.size();
    if (op.path == path_) file_writes.push_back(op.offset);
  }
  EXPECT_EQ(file_writes, std::vector<std::uint64_t>{3 * 4096});
  Journal one_page;
  one_page.page_size = 4096;
  one_page.pages.push_back(JournalPage{3, ByteVec(4096)});
  EXPECT_EQ(journal_bytes, EncodeJournal(one_page).size());

  // A statement that changes nothing touches no file at all.
  recording.Clear();
  ASSERT_TRUE(pager->BeginWrite().ok());
  ASSERT_TRUE(pager->Write(1, *page1).ok());
  ASSERT_TRUE(pager->Commit().ok());
  EXPECT_EQ(CountOps(recording.log(), RecordedOp::Kind::kWrite), 0u);
  EXPECT_FALSE(fs::exists(journal()));
}

TEST(JournalChecksumTest, MatchesTheStandardCrc32InOneGoOrInPieces) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
  // Lengths around the 8-byte stride, split at every point, agree with one pass.
  ByteVec bytes(41);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (std::size_t n = 0; n <= bytes.size(); ++n) {
    const std::uint32_t whole = Crc32(bytes.data(), n);
    for (std::size_t cut = 0; cut <= n; ++cut) {
      ASSERT_EQ(Crc32(bytes.data() + cut, n - cut, Crc32(bytes.data(), cut)), whole) << n << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace jet
