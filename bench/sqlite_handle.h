// A small owner of an SQLite connection and its prepared statements, for the
// corpus maker and the SQLite side of the edit benchmark.
//
// Errors come back as messages ("" = success); nothing throws.  SQL is UTF-8.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "bench/utf8.h"

namespace bench {

struct SqliteStatementFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

class SqliteDb {
 public:
  SqliteDb() = default;
  ~SqliteDb() { Close(); }
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  std::string Open(const std::string& path) {
    Close();
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) return Error("open " + path);
    return "";
  }
  void Close() {
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }
  std::string Exec(std::string_view sql) {
    std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      return Error(text);
    }
    return "";
  }
  std::string Prepare(std::string_view sql, SqliteStatement* statement) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
      return Error(std::string(sql));
    }
    statement->reset(raw);
    return "";
  }
  std::string Error(const std::string& what) const {
    return "sqlite: " + what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
  }
  sqlite3* get() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// The table with the program's names.
inline std::string SqliteCreateTable() {
  return Utf8(u8"CREATE TABLE 知识点 (ID INTEGER PRIMARY KEY AUTOINCREMENT, 标题 TEXT, 内容 TEXT, "
              u8"资料链接 TEXT)");
}
inline std::string SqliteInsertWithId() { return Utf8(u8"INSERT INTO 知识点 VALUES (?1, ?2, ?3, ?4)"); }

}  // namespace bench
