#include "tests/reliability/fuzz/fuzz_entries.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/engine.h"
#include "text/gb18030.h"

namespace reliability::fuzz {
namespace {

namespace fs = std::filesystem;

// One scratch file per process (libFuzzer's -fork workers are processes).
std::string ScratchPath(std::string_view name) {
  return (fs::temp_directory_path() / ("norvane-fuzz-" + std::to_string(::getpid()) + "-" + std::string(name)))
      .string();
}

void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
  fs::remove(path + "-journal");
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string Quoted(const std::string& name) { return "[" + name + "]"; }

// Every table, the system catalog included, read row by row, through the
// engine and through SQL.
void ReadEveryTable(jet::Connection& connection) {
  jet::Database& db = connection.database();
  std::vector<std::string> names = db.TableNames();
  names.push_back("MSysObjects");
  if (!db.BeginRead().ok()) return;
  for (const std::string& name : names) {
    std::shared_ptr<const jet::TableDef> table;
    if (!db.GetTable(name, &table).ok()) continue;
    std::uint32_t count = 0;
    (void)db.RowCount(*table, &count);
    (void)db.Scan(*table, {}, [](jet::RowId, const jet::Row&) { return true; });
  }
  db.EndRead();
  for (const std::string& name : names) {
    jet::Result result;
    (void)connection.Execute("select * from " + Quoted(name), &result);
  }
  std::vector<std::string> problems;
  (void)jet::CheckDatabase(db, &problems);
}

}  // namespace

std::string OpenAndReadFile(const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchPath("open.mdb");
  WriteBytes(path, data, size);
  jet::ConnectionOptions options;
  options.read_only = true;
  std::unique_ptr<jet::Connection> connection;
  if (jet::Connection::Open(path, options, &connection).ok()) ReadEveryTable(*connection);
  return "";
}

namespace {

// The small database the statements run on: the knowledge table with a few
// notes and a table with indexes on number, date and Yes/No columns.
const std::vector<std::uint8_t>& SmallDatabase() {
  static const std::vector<std::uint8_t> bytes = [] {
    const std::string path = ScratchPath("small-seed.mdb");
    fs::remove(path);
    std::vector<std::uint8_t> made;
    if (!jet::CreateDatabase(path).ok()) return made;
    jet::ConnectionOptions options;
    options.sync = false;
    std::unique_ptr<jet::Connection> connection;
    if (!jet::Connection::Open(path, options, &connection).ok()) return made;
    for (const char8_t* sql : {
             u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)",
             u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('函数的定义与调用','形参与实参','https://example.org')",
             u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('链表','三指针法 😀','')",
             u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('x','it‘s','y')",
             u8"CREATE TABLE t (n LONG PRIMARY KEY, s SHORT, d DATETIME, b BIT, c CURRENCY, f DOUBLE, x TEXT(20))",
             u8"INSERT INTO t (n,s,d,b,c,f,x) VALUES (1,2,#2020-02-29#,True,12.5,0.1,'a')",
             u8"INSERT INTO t (n,s,d,b,c,f,x) VALUES (-5,7,#1999-12-31 13:14:15#,False,-3,1e20,'bb')",
         }) {
      jet::Result result;
      (void)connection->Execute(reinterpret_cast<const char*>(sql), &result);
    }
    connection.reset();
    made = ReadBytes(path);
    fs::remove(path);
    return made;
  }();
  return bytes;
}

}  // namespace

std::string RunStatements(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t>& seed = SmallDatabase();
  if (seed.empty()) return "the small database could not be made";
  const std::string path = ScratchPath("statements.mdb");
  WriteBytes(path, seed.data(), seed.size());
  jet::ConnectionOptions options;
  options.sync = false;
  std::unique_ptr<jet::Connection> connection;
  if (!jet::Connection::Open(path, options, &connection).ok()) return "the small database does not open";
  std::string_view input(reinterpret_cast<const char*>(data), size);
  bool changed = false;
  for (int i = 0; i < 4 && !input.empty(); ++i) {
    const std::size_t end = input.find('\n');
    const std::string_view sql = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    jet::Result result;
    changed |= connection->Execute(sql, &result).ok() && !result.is_query;
  }
  if (!changed) return "";
  std::vector<std::string> problems;
  const jet::Status checked = jet::CheckDatabase(connection->database(), &problems);
  if (!checked.ok()) return "check failed to run: " + checked.ToString();
  return problems.empty() ? "" : "accepted statements left the file inconsistent: " + problems.front();
}

namespace {

// Whether `s` is UTF-8 of Unicode scalar values (no surrogates, shortest forms).
bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const unsigned char t = s[i + k];
      if ((t >> 6) != 2) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

}  // namespace

std::string RoundTripTexts(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // As GB18030: decoding gives valid UTF-8, and what it gives encodes to a
  // text that decodes to the same again.
  const std::string utf8 = text::Utf8FromGb18030(bytes);
  if (!ValidUtf8(utf8)) return "decoding GB18030 gave invalid UTF-8";
  const std::string encoded = text::Gb18030FromUtf8(utf8);
  if (text::Utf8FromGb18030(encoded) != utf8) return "GB18030 -> UTF-8 -> GB18030 -> UTF-8 changed the text";
  if (text::Gb18030FromUtf16(text::Utf16FromGb18030(bytes)) != encoded)
    return "the UTF-16 path differs from the UTF-8 path";
  // As UTF-8: a valid text comes back byte for byte.
  if (ValidUtf8(bytes) && text::Utf8FromGb18030(text::Gb18030FromUtf8(bytes)) != bytes)
    return "UTF-8 -> GB18030 -> UTF-8 changed a valid text";
  return "";
}

}  // namespace reliability::fuzz
