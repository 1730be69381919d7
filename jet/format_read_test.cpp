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

using testing::CsvCell;
using testing::CsvRow;

std::string Hex(const Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (std::uint8_t x : b) {
    s += digits[x >> 4];
    s += digits[x & 15];
  }
  return s;
}

std::string DecimalText(const Decimal& d) {
  unsigned __int128 m = (unsigned __int128)d.magnitude[2] << 64 | (unsigned __int128)d.magnitude[1] << 32 | d.magnitude[0];
  std::string digits;
  do {
    digits.insert(digits.begin(), char('0' + int(m % 10)));
    m /= 10;
  } while (m);
  while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
  if (d.scale) digits.insert(digits.end() - d.scale, '.');
  return (d.negative ? "-" : "") + digits;
}

// Cells are compared in a canonical form: numbers rounded to the precision
// their type holds (mdbtools and we print floating point differently), texts
// as they are; "<null>" for NULL.
std::string CanonicalNumber(long double v, ColumnType type) {
  char buf[64];
  switch (type) {
    case ColumnType::kSingle: std::snprintf(buf, sizeof buf, "%.6Lg", v); break;
    case ColumnType::kDouble: std::snprintf(buf, sizeof buf, "%.12Lg", v); break;
    default: std::snprintf(buf, sizeof buf, "%.4Lf", v); break;
  }
  std::string s = buf;
  return s == "-0" ? "0" : s;
}

bool IsNumeric(ColumnType t) {
  switch (t) {
    case ColumnType::kByte: case ColumnType::kInteger: case ColumnType::kLong: case ColumnType::kCurrency:
    case ColumnType::kSingle: case ColumnType::kDouble: case ColumnType::kNumeric:
      return true;
    default:
      return false;
  }
}

std::string OurCell(const Column& c, const Value& v) {
  if (IsNull(v)) return "<null>";
  if (auto* b = std::get_if<bool>(&v)) return *b ? "TRUE" : "FALSE";
  if (auto* i = std::get_if<std::int64_t>(&v)) return CanonicalNumber(*i, c.type);
  if (auto* d = std::get_if<double>(&v)) return CanonicalNumber(*d, c.type);
  if (auto* cur = std::get_if<Currency>(&v)) return CanonicalNumber((long double)cur->scaled / 10000, c.type);
  if (auto* dt = std::get_if<DateTime>(&v)) return testing::FormatDate(dt->days);
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* bytes = std::get_if<Bytes>(&v)) return Hex(*bytes);
  if (auto* dec = std::get_if<Decimal>(&v)) return CanonicalNumber(std::strtold(DecimalText(*dec).c_str(), nullptr), c.type);
  if (auto* g = std::get_if<Guid>(&v)) {
    const auto& x = g->bytes;
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", x[3], x[2],
                  x[1], x[0], x[5], x[4], x[7], x[6], x[8], x[9], x[10], x[11], x[12], x[13], x[14], x[15]);
    return buf;
  }
  return "<?>";
}

std::string TheirCell(const Column& c, const CsvCell& cell) {
  if (!cell.quoted && cell.text.empty()) return "<null>";
  if (IsNumeric(c.type)) return CanonicalNumber(std::strtold(cell.text.c_str(), nullptr), c.type);
  return cell.text;
}

std::string JoinRow(const std::vector<std::string>& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\x1F";
  return s;
}

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

// Compares one table with mdb-export; returns "" or the first difference.
std::string CompareTable(Database& db, const std::string& file, const std::string& name) {
  std::shared_ptr<const TableDef> t;
  Status s = db.GetTable(name, &t);
  if (!s.ok()) return s.ToString();
  std::vector<std::string> ours;
  s = db.Scan(*t, {}, [&](RowId, const Row& row) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < row.size(); ++i) cells.push_back(OurCell(t->columns[i], row[i]));
    ours.push_back(JoinRow(cells));
    return true;
  });
  if (!s.ok()) return "scan: " + s.ToString();

  // -b hex only changes how binary cells are printed (raw bytes otherwise).
  std::string csv;
  std::string cmd = "mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -B -b hex " +
                    testing::ShellQuote(file) + " " + testing::ShellQuote(name);
  if (!testing::RunCommand(cmd, &csv)) return "mdb-export failed: " + cmd;
  std::vector<CsvRow> rows = testing::ParseCsv(csv);
  if (rows.empty()) return "mdb-export printed nothing";
  const CsvRow& header = rows.front();
  if (header.size() != t->columns.size()) {
    return "mdb-export has " + std::to_string(header.size()) + " columns, we have " + std::to_string(t->columns.size());
  }
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i].text != t->columns[i].name) return "column " + std::to_string(i) + ": " + header[i].text + " vs " + t->columns[i].name;
  }
  std::vector<std::string> theirs;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].size() != header.size()) return "mdb-export row " + std::to_string(r) + " has a different width";
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < rows[r].size(); ++i) cells.push_back(TheirCell(t->columns[i], rows[r][i]));
    theirs.push_back(JoinRow(cells));
  }
  std::string count_out;
  testing::RunCommand("mdb-count " + testing::ShellQuote(file) + " " + testing::ShellQuote(name), &count_out);
  if (std::stoul(count_out.empty() ? "0" : count_out) != ours.size()) {
    return "mdb-count says " + count_out + ", we read " + std::to_string(ours.size());
  }
  if (ours.size() != theirs.size()) {
    return "we read " + std::to_string(ours.size()) + " rows, mdb-export " + std::to_string(theirs.size());
  }
  // Row order differs where rows were moved; compare as sorted lists.
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  for (std::size_t r = 0; r < ours.size(); ++r) {
    if (ours[r] != theirs[r]) {
      auto show = [](std::string x) { std::replace(x.begin(), x.end(), '\x1F', '|'); return x.substr(0, 400); };
      return "row differs:\n ours:   " + show(ours[r]) + "\n theirs: " + show(theirs[r]);
    }
  }
  return "";
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
      EXPECT_EQ(CompareTable(*db, sample.file, name), "") << "table " << name;
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
