// The checker's reports: a small database written by the engine is clean;
// each copy of it with one byte or word damaged gives exactly the report
// that names the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <unistd.h>

#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/create.h"
#include "jet/data_page.h"
#include "jet/index.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kPage = 4096;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::unique_ptr<Database> OpenDb(const std::string& path, bool writable) {
  OpenOptions o;
  o.read_only = !writable;
  o.sync = false;
  std::unique_ptr<Database> db;
  Status s = Database::Open(path, o, &db);
  EXPECT_TRUE(s.ok()) << s.ToString();
  if (db) InstallIndexMaintainer(*db);
  return db;
}

std::vector<std::string> Problems(const std::string& path) {
  auto db = OpenDb(path, false);
  std::vector<std::string> problems;
  if (!db) return {"cannot open"};
  Status s = CheckDatabase(*db, &problems);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return problems;
}

// Where things are in the fixture, found from its pages.
struct Layout {
  std::uint32_t tdef = 0, data = 0, lval = 0;  // lval: the first LVAL page
  std::uint32_t leaf = 0;                        // the primary key's one leaf
  std::vector<std::uint32_t> lval_pages;
};

class CheckReports : public ::testing::Test {
 public:  // the damage cases below reach into the fixture
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("norvane-check-report-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    clean_ = (dir_ / "clean.mdb").string();
    ASSERT_TRUE(CreateDatabase(clean_).ok());
    auto db = OpenDb(clean_, true);
    ASSERT_TRUE(db);
    ASSERT_TRUE(CreateTable(*db, TableSpec{"T", {{"ID", ColumnType::kLong, 255, true}, {"M", ColumnType::kMemo}}, {"ID"}}).ok());
    std::shared_ptr<const TableDef> t;
    ASSERT_TRUE(db->GetTable("T", &t).ok());
    ASSERT_TRUE(db->BeginWrite().ok());
    // An inline memo, one on a single LVAL row, one chained over pages.
    for (std::size_t size : {10u, 3000u, 9000u}) {
      Row row{std::monostate{}, std::string(size, 'm')};
      ASSERT_TRUE(db->InsertRow(*t, &row, nullptr).ok());
    }
    ASSERT_TRUE(db->Commit().ok());
    layout_.tdef = t->tdef_page;
    db.reset();
    bytes_ = ReadBytes(clean_);
    for (std::uint32_t n = 1; n < bytes_.size() / kPage; ++n) {
      const std::uint8_t* p = &bytes_[n * kPage];
      if (p[0] == 0x04 && Get32(p + 4) == layout_.tdef) layout_.leaf = n;
      if (p[0] != 0x01) continue;
      if (Get32(p + 4) == layout_.tdef) layout_.data = n;
      if (Get32(p + 4) == kLvalOwner) {
        if (!layout_.lval) layout_.lval = n;
        layout_.lval_pages.push_back(n);
      }
    }
    ASSERT_NE(layout_.data, 0u);
    ASSERT_NE(layout_.lval, 0u);
    ASSERT_NE(layout_.leaf, 0u);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::uint8_t* At(std::uint32_t page, std::size_t offset) { return &bytes_[page * kPage + offset]; }

  fs::path dir_;
  std::string clean_;
  std::vector<std::uint8_t> bytes_;
  Layout layout_;
};

// Lines equal, except that "~A ... B" asks only for a line starting with A
// and ending with B.
void ExpectReport(const std::vector<std::string>& got, const std::vector<std::string>& want, const char* name) {
  ASSERT_EQ(got.size(), want.size()) << name << ": " << (got.empty() ? "" : got[0]);
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (want[i].rfind('~', 0) != 0) {
      EXPECT_EQ(got[i], want[i]) << name;
      continue;
    }
    const std::size_t gap = want[i].find(" ... ");
    const std::string head = want[i].substr(1, gap - 1), tail = want[i].substr(gap + 5);
    EXPECT_EQ(got[i].rfind(head, 0), 0u) << name << ": " << got[i];
    EXPECT_TRUE(got[i].size() >= tail.size() && got[i].compare(got[i].size() - tail.size(), tail.size(), tail) == 0)
        << name << ": " << got[i];
  }
}

TEST_F(CheckReports, EachDamageGivesItsOwnReport) {
  ASSERT_EQ(Problems(clean_), std::vector<std::string>{});
  const std::string data = std::to_string(layout_.data), lval = std::to_string(layout_.lval);
  const std::uint16_t data_free = Get16(At(layout_.data, 2));
  struct Case {
    const char* name;
    std::function<void(CheckReports&)> damage;
    std::vector<std::string> report;
  };
  const std::vector<Case> cases = {
      {"row count in the definition",
       [](CheckReports& f) { Put32(f.At(f.layout_.tdef, 0x10), 2); },
       {"table T: definition counts 2 rows, the pages hold 3"}},
      {"free space of a data page",
       [](CheckReports& f) { Put16(f.At(f.layout_.data, 2), std::uint16_t(Get16(f.At(f.layout_.data, 2)) + 1)); },
       {"page " + data + ": free space recorded as " + std::to_string(data_free + 1) + ", its rows leave " +
        std::to_string(data_free)}},
      {"data page claimed by another table",
       [](CheckReports& f) { Put32(f.At(f.layout_.data, 4), 3); },
       {"table MSysACEs: data page " + data + " is missing from its page map",
        "table T: page " + data + " is in its page map but is not one of its data pages",
        "table T: page " + data + " is in its free-space map but is not one of its data pages",
        "table T: definition counts 3 rows, the pages hold 0",
        "table T, index PrimaryKey: 3 index entries match no row"}},
      {"a used page marked free in page 1",
       [](CheckReports& f) {
         // Row 0 of page 1 is the last row on the page: an inline map from page 0.
         const std::uint16_t start = Get16(f.At(1, 14)) & kSlotOffsetMask;
         *f.At(1, start + 5 + f.layout_.data / 8) |= std::uint8_t(1u << (f.layout_.data % 8));
       },
       {"page " + data + " is in use but marked free in the file's free-page map"}},
      {"a long value row deleted under its row",
       [](CheckReports& f) { Put16(f.At(f.layout_.lval, 14), std::uint16_t(Get16(f.At(f.layout_.lval, 14)) | 0xC000)); },
       {"table T, row " + data + ":1: long value row " + lval + ":0 is not a row of a long-value page",
        // The row reader's own words, which name the row as it sees fit.
        "~table T: reading its rows: ... page " + lval + ": row 0 is deleted"}},
      {"two index entries swapped",
       [](CheckReports& f) {
         // Entries of a Long key: flag, 4 key bytes, 3-byte page, slot; the
         // leaf is written without a shared prefix.
         std::uint8_t* first = f.At(f.layout_.leaf, 0x1E0);
         std::swap_ranges(first, first + 9, first + 9);
       },
       {"table T, index PrimaryKey: index page " + std::to_string(layout_.leaf) + ": index entries out of order"}},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> saved = bytes_;
    c.damage(*this);
    const std::string damaged = (dir_ / "damaged.mdb").string();
    WriteBytes(damaged, bytes_);
    ExpectReport(Problems(damaged), c.report, c.name);
    bytes_ = saved;
  }
}

TEST_F(CheckReports, ALongValueChainThatLoopsOrRunsShortIsReported) {
  // The first chained memo (3000 characters, 6000 bytes uncompressed
  // over two pages): find its first row (a row whose next
  // pointer is not 0) and point it at itself.
  for (std::uint32_t page : layout_.lval_pages) {
    for (std::uint16_t r = 0; r < Get16(At(page, 12)); ++r) {
      const std::uint16_t start = Get16(At(page, 14 + 2 * r)) & kSlotOffsetMask;
      if (Get32(At(page, start)) == 0) continue;
      const std::vector<std::uint8_t> saved = bytes_;
      Put32(At(page, start), PackPointer(page, std::uint8_t(r)));
      const std::string damaged = (dir_ / "loop.mdb").string();
      WriteBytes(damaged, bytes_);
      const std::string where = "table T, row " + std::to_string(layout_.data) + ":1: long value row " +
                                std::to_string(page) + ":" + std::to_string(r);
      auto problems = Problems(damaged);
      ASSERT_FALSE(problems.empty());
      EXPECT_EQ(problems[0], where + " is reached a second time");

      bytes_ = saved;
      Put32(At(page, start), 0);  // the chain ends after its first part
      WriteBytes(damaged, bytes_);
      problems = Problems(damaged);
      ASSERT_FALSE(problems.empty());
      EXPECT_NE(problems[0].find(": long value holds "), std::string::npos) << problems[0];
      EXPECT_NE(problems[0].find(" bytes, its field says 6000"), std::string::npos) << problems[0];
      return;
    }
  }
  FAIL() << "no chained long value in the fixture";
}

}  // namespace
}  // namespace jet
