// Reading what Access wrote: every table of every sample file decodes to the
// rows mdbtools reads from it, and damaged or foreign files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "jet/database.h"
#include "jet/test_support.h"

namespace jet {
namespace {


struct Sample {
  std::string file;
  std::string password;
};

std::vector<Sample> AllSamples(const std::string& dir) {
  std::vector<Sample> out;
  for (const char* sub : {"access2000", "access97"}) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir + "/" + sub)) {
      if (e.path().extension() == ".mdb") files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (auto& f : files) out.push_back({f, ""});
  }
  out.push_back({dir + "/password/V2000_no-password.mdb", ""});
  out.push_back({dir + "/password/V2000_with-password.mdb", "password"});
  return out;
}

TEST(FormatRead, EveryTableOfEverySampleMatchesMdbExport) {
  JET_SAMPLES_OR_SKIP(dir);
  int tables = 0, rows_checked = 0;
  for (const Sample& sample : AllSamples(dir)) {
    SCOPED_TRACE(sample.file);
    std::unique_ptr<Database> db;
    OpenOptions options;
    options.password = sample.password;
    Status s = Database::Open(sample.file, options, &db);
    ASSERT_TRUE(s.ok()) << s.ToString();
    std::string listed;
    ASSERT_TRUE(testing::RunCommand("mdb-tables -1 " + testing::ShellQuote(sample.file), &listed));
    std::vector<std::string> expected;
    for (auto& r : testing::ParseCsv(listed)) {
      if (!r.empty() && !r[0].text.empty()) expected.push_back(r[0].text);
    }
    std::vector<std::string> names = db->TableNames();
    EXPECT_EQ(names, expected);
    for (const std::string& name : names) {
      EXPECT_EQ(testing::CompareWithMdbExport(*db, sample.file, name), "") << "table " << name;
      ++tables;
      std::uint32_t n = 0;
      std::shared_ptr<const TableDef> t;
      ASSERT_TRUE(db->GetTable(name, &t).ok());
      ASSERT_TRUE(db->RowCount(*t, &n).ok());
      rows_checked += int(n);
    }
  }
  std::printf("compared %d tables, %d rows\n", tables, rows_checked);
  EXPECT_GT(tables, 30);
}

TEST(FormatRead, CatalogAndDefinitions) {
  JET_SAMPLES_OR_SKIP(dir);
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::Open(dir + "/access2000/testV2000.mdb", {}, &db).ok());
  EXPECT_EQ(db->info().jet_version, 4);
  EXPECT_EQ(db->info().page_size, 4096u);
  EXPECT_EQ(db->info().code_page, 1252);
  EXPECT_EQ(db->info().sort_order, 0x0409);
  EXPECT_FALSE(db->info().has_password);
  std::shared_ptr<const TableDef> t;
  ASSERT_TRUE(db->GetTable("table1", &t).ok()) << "lookup ignores case";
  EXPECT_EQ(t->name, "Table1");
  ASSERT_EQ(t->columns.size(), 9u);
  EXPECT_EQ(t->columns[0].type, ColumnType::kText);
  EXPECT_EQ(t->columns[0].size, 100);  // Text(50), two bytes a character
  EXPECT_EQ(t->columns[8].type, ColumnType::kBoolean);
  EXPECT_EQ(t->FindColumn("e"), 4);
  EXPECT_EQ(db->GetTable("NoSuchTable", &t).code(), Status::Code::kNotFound);
  ASSERT_TRUE(db->GetTable("MSysObjects", &t).ok()) << "system tables are reachable by name";

  std::unique_ptr<Database> jet3;
  ASSERT_TRUE(Database::Open(dir + "/access97/testV1997.mdb", {}, &jet3).ok());
  EXPECT_EQ(jet3->info().jet_version, 3);
  EXPECT_EQ(jet3->info().page_size, 2048u);
}

TEST(FormatRead, IndexDefinitions) {
  JET_SAMPLES_OR_SKIP(dir);
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::Open(dir + "/access2000/testIndexPropertiesV2000.mdb", {}, &db).ok());
  std::string schema;
  int unique = 0, primary = 0, ignore_nulls = 0;
  for (const std::string& name : db->TableNames()) {
    std::shared_ptr<const TableDef> t;
    ASSERT_TRUE(db->GetTable(name, &t).ok());
    for (const Index& idx : t->indexes) {
      ASSERT_LT(idx.real_index, t->real_indexes.size());
      const RealIndex& ri = t->RealIndexOf(idx);
      ASSERT_FALSE(ri.columns.empty()) << idx.name;
      for (const IndexColumn& ic : ri.columns) {
        ASSERT_GE(ic.column_position, 0);
        EXPECT_EQ(t->columns[ic.column_position].number, ic.column_number);
      }
      EXPECT_GT(ri.first_page, 0u);
      unique += ri.unique();
      primary += idx.primary();
      ignore_nulls += ri.ignore_nulls();
    }
  }
  EXPECT_GT(unique, 0);
  EXPECT_GT(ignore_nulls, 0);

}

// ---- Refusals ---------------------------------------------------------------

Status OpenWith(const std::string& path, const std::string& password = "") {
  std::unique_ptr<Database> db;
  OpenOptions options;
  options.password = password;
  Status s = Database::Open(path, options, &db);
  if (!s.ok()) return s;
  // Reading every table must also fail cleanly or succeed.
  for (const std::string& name : db->TableNames()) {
    std::shared_ptr<const TableDef> t;
    JET_RETURN_IF_ERROR(db->GetTable(name, &t));
    JET_RETURN_IF_ERROR(db->Scan(*t, {}, [](RowId, const Row&) { return true; }));
  }
  return Status::Ok();
}

TEST(FormatRead, PasswordMustMatch) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string file = dir + "/password/V2000_with-password.mdb";
  struct Case { const char* password; bool opens; } cases[] = {
      {"", false}, {"Password", false}, {"passwor", false}, {"password1", false}, {"password", true}};
  for (const Case& c : cases) {
    Status s = OpenWith(file, c.password);
    EXPECT_EQ(s.ok(), c.opens) << "password '" << c.password << "': " << s.ToString();
    if (!c.opens) {
      EXPECT_EQ(s.code(), Status::Code::kInvalidArgument);
      EXPECT_NE(s.message().find("password"), std::string::npos) << s.message();
    }
  }
  EXPECT_FALSE(OpenWith(dir + "/password/V2000_no-password.mdb", "password").ok())
      << "a password given to an unprotected file does not match";
  EXPECT_TRUE(OpenWith(dir + "/password/V2000_no-password.mdb", "").ok());
}

TEST(FormatRead, ForeignAndDamagedFilesAreRefused) {
  JET_SAMPLES_OR_SKIP(dir);
  Status ace = OpenWith(dir + "/newer-formats/test-access2010.accdb");
  EXPECT_EQ(ace.code(), Status::Code::kNotSupported) << ace.ToString();
  EXPECT_NE(ace.message().find("ACE"), std::string::npos) << ace.message();

  const std::string text = testing::TempPath("notes.mdb");
  std::ofstream(text) << "These are my notes, not a database.\n";
  Status s = OpenWith(text);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.code(), Status::Code::kOk) << "text file named .mdb";

  const std::string source = dir + "/access2000/testV2000.mdb";
  const auto size = std::filesystem::file_size(source);
  for (std::uintmax_t keep : {std::uintmax_t(0), std::uintmax_t(100), std::uintmax_t(4096 * 2 + 10), size / 2}) {
    std::string cut = testing::CopyToTemp(source, "truncated.mdb");
    std::filesystem::resize_file(cut, keep);
    Status t = OpenWith(cut);
    EXPECT_FALSE(t.ok()) << "truncated to " << keep;
  }
  std::filesystem::remove(text);
}

// Garbage over any single page (or all but page 0) never crashes or hangs:
// the open or the scan fails with a message, or the damage missed live data.
TEST(FormatRead, GarbagePagesGiveErrorsNotCrashes) {
  JET_SAMPLES_OR_SKIP(dir);
  for (const char* name : {"access2000/testV2000.mdb", "access2000/overflowTestV2000.mdb", "access2000/test2V2000.mdb",
                           "access97/testV1997.mdb"}) {
    const std::string source = dir + "/" + name;
    const std::uint32_t page_size = std::string(name).find("97") != std::string::npos ? 2048 : 4096;
    const auto pages = std::filesystem::file_size(source) / page_size;
    std::uint32_t seed = 12345;
    int refused = 0;
    for (std::uint32_t page = 1; page < pages; ++page) {
      for (int pattern = 0; pattern < 2; ++pattern) {
        std::string copy = testing::CopyToTemp(source, "garbage.mdb");
        {
          std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
          f.seekp(std::streamoff(page) * page_size);
          std::string junk(page_size, '\0');
          for (char& c : junk) {
            seed = seed * 1103515245 + 12345;
            c = pattern == 0 ? char(seed >> 16) : char(0xFF);
          }
          if (pattern == 0) junk[0] = char(page % 5);  // keep a plausible page type
          f.write(junk.data(), junk.size());
        }
        Status s = OpenWith(copy);
        if (!s.ok()) {
          ++refused;
          EXPECT_FALSE(s.message().empty());
        }
      }
    }
    EXPECT_GT(refused, 0) << name;
  }
}

}  // namespace
}  // namespace jet
