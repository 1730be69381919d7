#include <sqlite3.h>

#include <cstdio>
#include <memory>

#include "bench/corpus_sinks.h"
#include "bench/sqlite_handle.h"

namespace bench {
namespace {

class SqliteSink : public CorpusSink {
 public:
  std::string Open(const std::string& path) override {
    std::remove(path.c_str());
    if (std::string error = db_.Open(path); !error.empty()) return error;
    // Filling needs no durability: a cut-short fill is thrown away anyway.
    for (const std::string& sql :
         {std::string("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"), SqliteCreateTable(),
          std::string("BEGIN")}) {
      if (std::string error = db_.Exec(sql); !error.empty()) return error;
    }
    return db_.Prepare(SqliteInsertWithId(), &insert_);
  }

  std::string Add(long id, const Note& note) override {
    sqlite3_stmt* s = insert_.get();
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_text(s, 2, note.title.data(), static_cast<int>(note.title.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 3, note.content.data(), static_cast<int>(note.content.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 4, note.link.data(), static_cast<int>(note.link.size()), SQLITE_STATIC);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return db_.Error("insert");
    return "";
  }

  std::string Finish() override {
    insert_.reset();
    if (std::string error = db_.Exec("COMMIT"); !error.empty()) return error;
    // Leave the file as a user would have it: the default rollback journal.
    if (std::string error = db_.Exec("PRAGMA journal_mode=DELETE"); !error.empty()) return error;
    db_.Close();
    return "";
  }

 private:
  SqliteDb db_;
  SqliteStatement insert_;
};

}  // namespace

std::unique_ptr<CorpusSink> MakeSqliteSink() { return std::make_unique<SqliteSink>(); }

}  // namespace bench
