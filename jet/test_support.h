// Helpers for the engine's tests: where the Access-made samples are, running
// mdbtools, reading its CSV, copying files.
#pragma once

#include <string>
#include <vector>

#include "jet/value.h"

namespace jet {
class Database;
}

namespace jet::testing {

// ../shared/jet-samples from the repository root, or "" when missing (the
// caller fails under CI=true and skips otherwise: see SamplesOrSkip).
std::string SamplesDir();
bool RunningUnderCi();

// Runs a shell command; its standard output in *out.  False if it failed.
bool RunCommand(const std::string& command, std::string* out);
std::string ShellQuote(const std::string& s);

struct CsvCell {
  std::string text;
  bool quoted = false;  // "" (empty text) vs nothing (NULL)
};
using CsvRow = std::vector<CsvCell>;
// RFC 4180: quoted cells may hold commas, doubled quotes and line breaks.
std::vector<CsvRow> ParseCsv(const std::string& text);

// A fresh copy of `source` in a temporary directory; its path.
std::string CopyToTemp(const std::string& source, const std::string& name);
std::string TempPath(const std::string& name);

// Compares every row of `table` in `db` with what mdb-export (and mdb-count)
// read from `file`, cell by cell, numbers as numbers, rows in any order.
// "" when they agree, else the first difference.
std::string CompareWithMdbExport(Database& db, const std::string& file, const std::string& table);

// A day count since 1899-12-30 as "%Y-%m-%d %H:%M:%S".
std::string FormatDate(double days);

}  // namespace jet::testing

// Inside a TEST: the samples directory, or fail/skip with a clear message.
#define JET_SAMPLES_OR_SKIP(dir)                                                              \
  std::string dir = ::jet::testing::SamplesDir();                                             \
  if (dir.empty()) {                                                                          \
    if (::jet::testing::RunningUnderCi()) FAIL() << "../shared/jet-samples is missing (CI=true)"; \
    GTEST_SKIP() << "../shared/jet-samples is missing; skipping sample-based test";           \
  }
