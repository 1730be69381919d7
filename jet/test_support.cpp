#include "jet/test_support.h"

#include <algorithm>
#include "jet/database.h"

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

namespace {
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

std::string WithoutDashes(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '-'), s.end());
  return s;
}

std::string OurCell(const Column& c, const Value& v) {
  if (IsNull(v)) return "<null>";
  if (auto* b = std::get_if<bool>(&v)) return *b ? "TRUE" : "FALSE";
  if (auto* i = std::get_if<std::int64_t>(&v)) return CanonicalNumber(*i, c.type);
  if (auto* d = std::get_if<double>(&v)) return CanonicalNumber(*d, c.type);
  if (auto* cur = std::get_if<Currency>(&v)) return CanonicalNumber((long double)cur->scaled / 10000, c.type);
  if (auto* dt = std::get_if<DateTime>(&v)) return FormatDate(dt->days);
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* bytes = std::get_if<Bytes>(&v)) return Hex(*bytes);
  if (auto* dec = std::get_if<Decimal>(&v)) return CanonicalNumber(std::strtold(DecimalText(*dec).c_str(), nullptr), c.type);
  if (auto* g = std::get_if<Guid>(&v)) {
    const auto& x = g->bytes;
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", x[3], x[2],
                  x[1], x[0], x[5], x[4], x[7], x[6], x[8], x[9], x[10], x[11], x[12], x[13], x[14], x[15]);
    return WithoutDashes(buf);  // mdbtools groups the last 8 bytes differently
  }
  return "<?>";
}

// mdbtools 1.0 prints a character outside the Basic Multilingual Plane as
// "??" and an empty text or memo like a NULL; our cells are compared as it shows them
// (our own read-back tests check those values exactly).  mdb-export also
// prints no more than 200,000 bytes of a value: memo cells are compared by
// their first 100,000 bytes.
constexpr std::size_t kMemoPrefix = 100000;
std::string AsMdbtoolsShowsIt(const Column& c, std::string cell) {
  if (c.type != ColumnType::kText && c.type != ColumnType::kMemo) return cell;
  if (cell.empty()) return "<null>";
  if (c.type == ColumnType::kMemo) cell = cell.substr(0, kMemoPrefix);
  std::string out;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    auto b = static_cast<unsigned char>(cell[i]);
    if (b >= 0xF0 && i + 3 < cell.size() + 0) {
      out += "??";
      i += 3;
    } else {
      out += cell[i];
    }
  }
  return out;
}

std::string TheirCell(const Column& c, CsvCell cell) {
  if (!cell.quoted && cell.text.empty()) return "<null>";
  if (IsNumeric(c.type)) return CanonicalNumber(std::strtold(cell.text.c_str(), nullptr), c.type);
  if (c.type == ColumnType::kMemo) return cell.text.substr(0, kMemoPrefix);
  if (c.type == ColumnType::kGuid && !cell.text.empty() && cell.text[0] != '{') {
    // With -b hex, mdb-export prints a replication ID as the hex of its text.
    std::string text;
    for (std::size_t i = 0; i + 1 < cell.text.size(); i += 2) text += char(std::stoi(cell.text.substr(i, 2), nullptr, 16));
    cell.text = text;
  }
  if (c.type == ColumnType::kGuid) return WithoutDashes(cell.text);
  return cell.text;
}

std::string JoinRow(const std::vector<std::string>& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\x1F";
  return s;
}


}  // namespace

std::string CompareWithMdbExport(Database& db, const std::string& file, const std::string& name) {
  std::shared_ptr<const TableDef> t;
  Status s = db.GetTable(name, &t);
  if (!s.ok()) return s.ToString();
  std::vector<std::string> ours;
  s = db.Scan(*t, {}, [&](RowId, const Row& row) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < row.size(); ++i) cells.push_back(AsMdbtoolsShowsIt(t->columns[i], OurCell(t->columns[i], row[i])));
    ours.push_back(JoinRow(cells));
    return true;
  });
  if (!s.ok()) return "scan: " + s.ToString();

  // -b hex only changes how binary cells are printed (raw bytes otherwise).
  std::string csv;
  std::string cmd = "mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -B -b hex " +
                    ShellQuote(file) + " " + ShellQuote(name);
  if (!RunCommand(cmd, &csv)) return "mdb-export failed: " + cmd;
  std::vector<CsvRow> rows = ParseCsv(csv);
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
  RunCommand("mdb-count " + ShellQuote(file) + " " + ShellQuote(name), &count_out);
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
      std::size_t at = 0;
      while (at < ours[r].size() && at < theirs[r].size() && ours[r][at] == theirs[r][at]) ++at;
      at = at > 80 ? at - 80 : 0;
      auto show = [at](std::string x) { std::replace(x.begin(), x.end(), '\x1F', '|'); return x.substr(at, 300); };
      return "row differs:\n ours:   " + show(ours[r]) + "\n theirs: " + show(theirs[r]);
    }
  }
  return "";
}

}  // namespace jet::testing
