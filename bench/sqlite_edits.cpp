// norvane_bench_sqlite: the latency of one add, one modify and one delete in
// SQLite, the peer of our engine's edits.
//
//   norvane_bench_sqlite FILE ROUNDS [--nosync]
//
// Each round runs, as separate autocommit statements spliced like the
// program's own, one INSERT of a new note, one UPDATE of an existing row and
// one DELETE of another existing row, and prints "insert|update|delete <µs>"
// per statement.  SQLite keeps its default rollback journal; --nosync sets
// synchronous=OFF (no flush), the peer of our engine without its commit flush.
// The file is changed: run it on a copy.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "bench/corpus.h"
#include "bench/sqlite_handle.h"
#include "bench/utf8.h"

namespace {

// The program's statements, in UTF-8.  The corpus holds no apostrophes.
std::string InsertSql(const bench::Note& n) {
  return bench::Utf8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('") + n.title + "','" +
         n.content + "','" + n.link + "')";
}
std::string UpdateSql(const bench::Note& n, long id) {
  return bench::Utf8(u8"update 知识点 set 标题='") + n.title + bench::Utf8(u8"',内容='") +
         n.content + bench::Utf8(u8"',资料链接='") + n.link + "' where ID=" + std::to_string(id);
}
std::string DeleteSql(long id) {
  return bench::Utf8(u8"delete from 知识点 where ID=") + std::to_string(id);
}

bool Timed(bench::SqliteDb& db, const char* label, const std::string& sql) {
  auto start = std::chrono::steady_clock::now();
  std::string error = db.Exec(sql);
  auto end = std::chrono::steady_clock::now();
  if (!error.empty()) {
    std::cerr << "norvane_bench_sqlite: " << error.substr(0, 300) << "\n";
    return false;
  }
  std::printf("%s %.1f\n", label, std::chrono::duration<double, std::micro>(end - start).count());
  return true;
}

long CountRows(bench::SqliteDb& db) {
  bench::SqliteStatement count;
  if (!db.Prepare(bench::Utf8(u8"select count(*) from 知识点"), &count).empty()) return -1;
  if (sqlite3_step(count.get()) != SQLITE_ROW) return -1;
  return static_cast<long>(sqlite3_column_int64(count.get(), 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: norvane_bench_sqlite FILE ROUNDS [--nosync]\n";
    return 2;
  }
  long rounds = std::strtol(argv[2], nullptr, 10);
  bool sync = !(argc > 3 && std::string(argv[3]) == "--nosync");
  bench::SqliteDb db;
  if (std::string error = db.Open(argv[1]); !error.empty()) {
    std::cerr << "norvane_bench_sqlite: " << error << "\n";
    return 1;
  }
  if (!sync && !db.Exec("PRAGMA synchronous=OFF").empty()) return 1;
  long rows = CountRows(db);
  long stride = rows / (rounds + 1);
  if (rounds < 1 || stride < 2) {
    std::cerr << "norvane_bench_sqlite: too few rows (" << rows << ") for " << rounds << " rounds\n";
    return 1;
  }
  // Notes unlike the corpus' own, but of the same kind.
  bench::CorpusGenerator generator(bench::kDefaultSeed + 1);
  for (long r = 0; r < rounds; ++r) {
    long modified = 1 + r * stride, deleted = 2 + r * stride;
    if (!Timed(db, "insert", InsertSql(generator.Next())) ||
        !Timed(db, "update", UpdateSql(generator.Next(), modified)) ||
        !Timed(db, "delete", DeleteSql(deleted))) {
      return 1;
    }
  }
  return 0;
}
