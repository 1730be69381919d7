// norvane_bench: our side of the benchmark, through the program's own
// database operations (store/database.h) exactly as the window uses them.
//
//   norvane_bench list FILE            -- RefreshList's reads, without the window
//   norvane_bench search FILE KEYWORD  -- the search handler's reads (KEYWORD UTF-8)
//   norvane_bench edits FILE ROUNDS    -- one add, one modify, one delete per round
//
// list/search print "rows=<n> bytes=<text bytes read>" so the driver can check
// the work was done; edits prints "insert|update|delete <µs>" per statement.
// edits changes the file: run it on a copy.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "bench/corpus.h"
#include "store/database.h"
#include "store/statements.h"
#include "text/gb18030.h"

namespace {

using store::Text;

struct Session {
  store::DBConnection connection;
  store::RecordSet records;
};

bool Connect(const std::string& path, Session* session) {
  if (store::ConnectAccess(session->connection, path, "") != 1) {
    std::cerr << "norvane_bench: cannot open " << path << ": "
              << store::LastError(session->connection) << "\n";
    return false;
  }
  return store::AttachConnection(session->records, session->connection) == 1;
}

// The four reads of one list row, in the order the list routines read them.
std::uint64_t ReadRow(store::RecordSet& records, Text* id, Text* title, Text* content, Text* link) {
  store::ReadFieldText(records, "ID", *id);
  store::ReadFieldText(records, "标题", *title);
  store::ReadFieldText(records, "内容", *content);
  store::ReadFieldText(records, "资料链接", *link);
  return id->size() + title->size() + content->size() + link->size();
}

void Report(long rows, std::uint64_t bytes) {
  std::printf("rows=%ld bytes=%llu\n", rows, static_cast<unsigned long long>(bytes));
}

// RefreshList: walk the record set until its end.
int List(const std::string& path) {
  Session s;
  if (!Connect(path, &s)) return 1;
  store::OpenRecordSet(s.records, Text(store::SelectAllStatement()), 1);
  long count = store::RecordCount(s.records);
  if (count < 0) {
    std::cerr << "norvane_bench: listing refused: " << store::LastError(s.records) << "\n";
    return 1;
  }
  Text id, title, content, link;
  long rows = 0;
  std::uint64_t bytes = 0;
  if (count > 0) {
    store::MoveFirst(s.records);
    for (long read = 0; read < count; ++read) {
      bytes += ReadRow(s.records, &id, &title, &content, &link);
      ++rows;
      if (store::MoveNext(s.records) != 1) break;
    }
  }
  Report(rows, bytes);
  store::CloseRecordSet(s.records);
  store::CloseConnection(s.connection);
  return 0;
}

// The search handler: n reads, n fixed by RecordCount.
int Search(const std::string& path, const std::string& keyword_utf8) {
  Session s;
  if (!Connect(path, &s)) return 1;
  std::optional<Text> statement = store::SearchStatement(text::Gb18030FromUtf8(keyword_utf8));
  if (!statement) {
    std::cerr << "norvane_bench: the keyword was refused\n";
    return 1;
  }
  if (store::OpenRecordSet(s.records, *statement, 1) != 1) {
    std::cerr << "norvane_bench: search refused: " << store::LastError(s.records) << "\n";
    return 1;
  }
  long n = store::RecordCount(s.records);
  Text id, title, content, link;
  std::uint64_t bytes = 0;
  if (n > 0) {
    store::MoveFirst(s.records);
    for (long i = 0; i < n; ++i) {
      bytes += ReadRow(s.records, &id, &title, &content, &link);
      store::MoveNext(s.records);
    }
  }
  Report(n < 0 ? 0 : n, bytes);
  store::CloseRecordSet(s.records);
  store::CloseConnection(s.connection);
  return 0;
}

bool Timed(Session& s, const char* label, const std::optional<Text>& statement) {
  if (!statement) {
    std::cerr << "norvane_bench: a statement was refused\n";
    return false;
  }
  auto start = std::chrono::steady_clock::now();
  int accepted = store::OpenRecordSet(s.records, *statement, 1);
  auto end = std::chrono::steady_clock::now();
  if (accepted != 1 || store::RowsAffected(s.records) != 1) {
    std::cerr << "norvane_bench: " << label << " failed (" << store::RowsAffected(s.records)
              << " rows): " << store::LastError(s.records) << "\n";
    return false;
  }
  std::printf("%s %.1f\n", label, std::chrono::duration<double, std::micro>(end - start).count());
  return true;
}

long CountRows(Session& s) {
  store::OpenRecordSet(s.records, Text(store::SelectAllStatement()), 1);
  long count = store::RecordCount(s.records);
  store::CloseRecordSet(s.records);
  return count;
}

// The same statements and targets as the SQLite peer (sqlite_edits.cpp).
int Edits(const std::string& path, long rounds) {
  Session s;
  if (!Connect(path, &s)) return 1;
  long rows = CountRows(s);
  long stride = rows / (rounds + 1);
  if (rounds < 1 || stride < 2) {
    std::cerr << "norvane_bench: too few rows (" << rows << ") for " << rounds << " rounds\n";
    return 1;
  }
  bench::CorpusGenerator generator(bench::kDefaultSeed + 1);
  auto gb = [](const std::string& utf8) { return text::Gb18030FromUtf8(utf8); };
  for (long r = 0; r < rounds; ++r) {
    std::string modified = std::to_string(1 + r * stride), deleted = std::to_string(2 + r * stride);
    bench::Note added = generator.Next(), changed = generator.Next();
    if (!Timed(s, "insert",
               store::InsertStatement(gb(added.title), store::EscapeApostrophes(gb(added.content)),
                                      gb(added.link))) ||
        !Timed(s, "update",
               store::UpdateStatement(gb(changed.title), store::EscapeApostrophes(gb(changed.content)),
                                      gb(changed.link), modified)) ||
        !Timed(s, "delete", store::DeleteStatement(deleted))) {
      return 1;
    }
  }
  store::CloseConnection(s.connection);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "list" && argc == 3) return List(argv[2]);
  if (command == "search" && argc == 4) return Search(argv[2], argv[3]);
  if (command == "edits" && argc == 4) return Edits(argv[2], std::strtol(argv[3], nullptr, 10));
  std::cerr << "usage: norvane_bench list FILE | search FILE KEYWORD | edits FILE ROUNDS\n";
  return 2;
}
