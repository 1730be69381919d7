#include "jet/test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace jet::testing {

std::string SamplesDir() {
  std::filesystem::path dir = "../shared/jet-samples";
  return std::filesystem::is_directory(dir / "access2000") ? dir.string() : std::string();
}

bool RunningUnderCi() {
  const char* ci = std::getenv("CI");
  return ci && std::string(ci) == "true";
}

bool RunCommand(const std::string& command, std::string* out) {
  out->clear();
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  char buf[65536];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return pclose(p) == 0;
}

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::vector<CsvRow> ParseCsv(const std::string& text) {
  std::vector<CsvRow> rows;
  CsvRow row;
  CsvCell cell;
  bool in_quotes = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (in_quotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell.text += '"';
        ++i;
      } else if (c == '"') {
        in_quotes = false;
      } else {
        cell.text += c;
      }
      continue;
    }
    any = true;
    if (c == '"') {
      in_quotes = true;
      cell.quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(cell));
      cell = CsvCell{};
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      row.push_back(std::move(cell));
      cell = CsvCell{};
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      cell.text += c;
    }
  }
  if (any) {
    row.push_back(std::move(cell));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string TempPath(const std::string& name) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("norvane-jet-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

std::string CopyToTemp(const std::string& source, const std::string& name) {
  std::string path = TempPath(name);
  std::filesystem::remove(path);
  std::filesystem::remove(path + "-journal");
  std::filesystem::copy_file(source, path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  return path;
}

std::string FormatDate(double days) {
  // Whole days count from 1899-12-30; the fraction is the time of day, of
  // the same sign as the date.
  double whole = std::trunc(days);
  double frac = std::fabs(days - whole);
  long long seconds = std::llround(frac * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    whole += days < 0 ? -1 : 1;
  }
  // Civil date from a day number (days since 1970-01-01).
  long long z = (long long)whole - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return buf;
}

}  // namespace jet::testing
