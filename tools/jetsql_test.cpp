// jetsql end to end: every table of every Access-made sample printed by
// jetsql equals mdb-export's export of it, cell by cell; refused files and
// statements give an error on stderr and a non-zero exit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jet/test_support.h"

namespace {

using jet::testing::ParseCsv;
using jet::testing::ShellQuote;

std::string Jetsql() {
  const char* bin = std::getenv("NORVANE_BIN");
  return std::string(bin ? bin : "build") + "/tools/jetsql";
}

struct ToolRun {
  int exit_code = -1;
  std::string out, err;
};

// Runs jetsql with `args` (already quoted) and optional standard input.
ToolRun RunJetsql(const std::string& args, const std::string& input = "") {
  const std::string err_path = jet::testing::TempPath("jetsql_stderr.txt");
  const std::string in_path = jet::testing::TempPath("jetsql_stdin.txt");
  std::ofstream(in_path, std::ios::binary) << input;
  const std::string command =
      Jetsql() + " " + args + " < " + ShellQuote(in_path) + " 2> " + ShellQuote(err_path);
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[65536];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(err_path, std::ios::binary);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

bool AsNumber(const std::string& s, double* value) {
  if (s.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size();
}

// Equal as texts, or as numbers when both read as numbers (mdbtools and
// jetsql print fractions with different digits).
bool SameCell(const std::string& ours, const std::string& theirs) {
  if (ours == theirs) return true;
  double a, b;
  if (!AsNumber(ours, &a) || !AsNumber(theirs, &b)) return false;
  return std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

bool SameRow(const jet::testing::CsvRow& ours, const jet::testing::CsvRow& theirs) {
  if (ours.size() != theirs.size()) return false;
  for (std::size_t c = 0; c < ours.size(); ++c)
    if (!SameCell(ours[c].text, theirs[c].text)) return false;
  return true;
}

std::string RowText(const jet::testing::CsvRow& row) {
  std::string text;
  for (const auto& cell : row) text += (text.empty() ? "" : "|") + cell.text.substr(0, 40);
  return text;
}

struct Sample {
  std::string file;
  std::string password;
};

std::vector<Sample> SampleFiles(const std::string& dir) {
  std::vector<Sample> samples;
  for (const char* folder : {"access2000", "access97"}) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "/" + folder))
      if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) samples.push_back({f, ""});
  }
  samples.push_back({dir + "/password/V2000_with-password.mdb", "password"});
  samples.push_back({dir + "/password/V2000_no-password.mdb", ""});
  return samples;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(JetsqlSamplesTest, EveryTableEqualsMdbExport) {
  JET_SAMPLES_OR_SKIP(dir);
  int tables_compared = 0;
  for (const Sample& sample : SampleFiles(dir)) {
    SCOPED_TRACE(sample.file);
    const std::string password = sample.password.empty() ? "" : "--password " + ShellQuote(sample.password) + " ";
    std::string mdb_tables;
    ASSERT_TRUE(jet::testing::RunCommand("mdb-tables -1 " + ShellQuote(sample.file), &mdb_tables));
    const ToolRun ours_tables = RunJetsql(password + ShellQuote(sample.file) + " .tables");
    ASSERT_EQ(ours_tables.exit_code, 0) << ours_tables.err;
    std::vector<std::string> expected_names = Lines(mdb_tables), names = Lines(ours_tables.out);
    std::sort(expected_names.begin(), expected_names.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected_names);

    for (const std::string& table : expected_names) {
      SCOPED_TRACE(table);
      std::string theirs_csv;
      ASSERT_TRUE(jet::testing::RunCommand(
          "mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -B -b hex " + ShellQuote(sample.file) + " " +
              ShellQuote(table),
          &theirs_csv));
      const ToolRun ours = RunJetsql(password + ShellQuote(sample.file) + " " + ShellQuote("select * from [" + table + "]"));
      ASSERT_EQ(ours.exit_code, 0) << ours.err;
      const auto theirs_rows = ParseCsv(theirs_csv);
      const auto our_rows = ParseCsv(ours.out);
      ASSERT_EQ(our_rows.size(), theirs_rows.size()) << "row count (with the header)";
      ASSERT_FALSE(our_rows.empty());
      EXPECT_TRUE(SameRow(our_rows[0], theirs_rows[0])) << "header";
      // Rows moved to overflow pages may come in another order: match each
      // of ours with one of theirs.
      std::vector<bool> used(theirs_rows.size(), false);
      for (std::size_t r = 1; r < our_rows.size(); ++r) {
        std::size_t match = 0;
        if (!used[r] && SameRow(our_rows[r], theirs_rows[r])) match = r;
        for (std::size_t k = 1; k < theirs_rows.size() && !match; ++k)
          if (!used[k] && SameRow(our_rows[r], theirs_rows[k])) match = k;
        EXPECT_NE(match, 0u) << "jetsql row " << r << " (" << RowText(our_rows[r]) << ") is not in mdb-export's output";
        if (match) used[match] = true;
      }
      std::string count;
      ASSERT_TRUE(jet::testing::RunCommand("mdb-count " + ShellQuote(sample.file) + " " + ShellQuote(table), &count));
      EXPECT_EQ(std::to_string(our_rows.size() - 1), Lines(count).at(0));
      ++tables_compared;
    }
  }
  EXPECT_GT(tables_compared, 20);
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = jet::testing::TempPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(JetsqlErrorsTest, UnopenableFilesAreRefusedWithAMessage) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string good = ReadFile(dir + "/access2000/testV2000.mdb");
  std::string garbage = good;
  for (std::size_t i = 4096; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 + 7);
  struct Case {
    const char* name;
    std::string path;
    std::string args;
  } cases[] = {
      {"ACE file", dir + "/newer-formats/test-access2010.accdb", ""},
      {"text file", WriteFile("notes.mdb", "just some notes, not a database\n"), ""},
      {"truncated copy", WriteFile("truncated.mdb", good.substr(0, 5000)), ""},
      {"garbage pages", WriteFile("garbage.mdb", garbage), ""},
      {"missing file", jet::testing::TempPath("no-such-file.mdb"), ""},
      {"protected, no password", dir + "/password/V2000_with-password.mdb", ""},
      {"protected, wrong password", dir + "/password/V2000_with-password.mdb", "--password nope "},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunJetsql(c.args + ShellQuote(c.path) + " \"select * from Table1\"");
    EXPECT_NE(run.exit_code, 0) << c.name;
    EXPECT_NE(run.err.find("jetsql: "), std::string::npos) << c.name << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.name;
  }
  const ToolRun right = RunJetsql("--password password " + ShellQuote(dir + "/password/V2000_with-password.mdb") +
                              " \"select * from Table1\"");
  EXPECT_EQ(right.exit_code, 0) << right.err;
  EXPECT_EQ(ParseCsv(right.out).size(), 4u);  // header and three rows
}

TEST(JetsqlErrorsTest, BadStatementsFailAndNothingOfThemRuns) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string copy = jet::testing::CopyToTemp(dir + "/access97/testV1997.mdb", "statements.mdb");
  const std::string before = ReadFile(copy);
  for (const char* sql : {"select * from Table1; delete from Table1", "delete from Table1; --",
                          "select * from Nowhere", "select Nope from Table1", "select * from Table1 where A like 'a['",
                          "select * from Table1 where E = 'x'"}) {
    const ToolRun run = RunJetsql(ShellQuote(copy) + " " + ShellQuote(sql));
    EXPECT_EQ(run.exit_code, 1) << sql;
    EXPECT_NE(run.err.find("jetsql: "), std::string::npos) << sql;
  }
  EXPECT_EQ(ReadFile(copy), before);
  EXPECT_EQ(RunJetsql("").exit_code, 2);  // usage
}

TEST(JetsqlTest, QueriesSortFilterAndQuote) {
  JET_SAMPLES_OR_SKIP(dir);
  const std::string file = ShellQuote(dir + "/access97/testV1997.mdb");
  ToolRun run = RunJetsql(file + " \"SELECT E, A FROM Table1 WHERE A LIKE 'ABC%' OR E < 0 ORDER BY E DESC\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "E,A\r\n333333333,abcdefg\r\n");
  run = RunJetsql(file + " \"select A from Table1 order by A desc\"");
  EXPECT_EQ(run.out, "A\r\nabcdefg\r\na\r\n");
  // Standard input: one statement a line; a bad line is reported and the rest still runs.
  run = RunJetsql(file, "select C from Table1 where C = 2\n\nselect nothing\nselect D from Table1 where D > 1\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "C\r\n2\r\nD\r\n222\r\n");
  EXPECT_NE(run.err.find("syntax error"), std::string::npos) << run.err;
}

}  // namespace

namespace {

TEST(JetsqlTest, CreatesADatabaseThatMdbtoolsReadsAndThatChecksClean) {
  const std::string file = jet::testing::TempPath("created_by_jetsql.mdb");
  std::filesystem::remove(file);
  ASSERT_EQ(RunJetsql("--create " + ShellQuote(file)).exit_code, 0);
  const std::string script = std::string(reinterpret_cast<const char*>(
      u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)\n"
      u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('函数的定义与调用','it‘s, \"quoted\"','')\n"
      u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('b','line1','x')\n"
      u8"update 知识点 set 资料链接='http://example.com/' where ID=2\n"
      u8"select * from 知识点 order by ID desc\n"));
  ToolRun run = RunJetsql(ShellQuote(file), script);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, std::string(reinterpret_cast<const char*>(
                         u8"ID,标题,内容,资料链接\r\n2,b,line1,http://example.com/\r\n"
                         u8"1,函数的定义与调用,\"it‘s, \"\"quoted\"\"\",\r\n")));
  run = RunJetsql(ShellQuote(file) + " .check");
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string exported;
  ASSERT_TRUE(jet::testing::RunCommand("mdb-export " + ShellQuote(file) + " " +
                                           ShellQuote(reinterpret_cast<const char*>(u8"知识点")),
                                       &exported));
  const auto rows = ParseCsv(exported);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][1].text, reinterpret_cast<const char*>(u8"函数的定义与调用"));
  run = RunJetsql(ShellQuote(file) + " .tables");
  EXPECT_EQ(run.out, std::string(reinterpret_cast<const char*>(u8"知识点\n")));
  std::filesystem::remove(file);
}

}  // namespace
