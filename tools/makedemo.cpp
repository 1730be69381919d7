// makedemo NOTES.txt DATA.mdb: makes a fresh demo database for the program.
//
// The engine creates the file and the table 知识点; the notes then go in
// through the program's own store and statements, so each row is stored
// exactly as the program's add would store it (the content's apostrophes
// as "‘", line breaks as CR LF).
//
// The notes file is UTF-8.  Each note is a block of lines ended by a line
// "%%": its title, then its link (may be empty), then its content lines.
// Lines starting with "#" before a note's title are comments.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/index.h"
#include "store/database.h"
#include "store/statements.h"
#include "text/gb18030.h"

namespace {

struct Note {
  std::string title, link, content;  // UTF-8
  int line = 0;                      // where the note starts, for messages
};

std::vector<std::string> Lines(const std::string& contents) {
  std::vector<std::string> lines;
  std::istringstream in(contents);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<Note> ParseNotes(const std::string& contents) {
  std::vector<Note> notes;
  std::vector<std::string> block;
  int blockStart = 0;
  const std::vector<std::string> lines = Lines(contents);
  auto finish = [&] {
    if (block.empty()) return;
    Note note;
    note.line = blockStart;
    note.title = block[0];
    if (block.size() > 1) note.link = block[1];
    size_t last = block.size();
    while (last > 2 && block[last - 1].empty()) --last;  // no trailing blank lines
    for (size_t i = 2; i < last; ++i) {
      if (i > 2) note.content += "\r\n";
      note.content += block[i];
    }
    notes.push_back(note);
    block.clear();
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == "%%") {
      finish();
    } else if (block.empty() && (line.empty() || line[0] == '#')) {
      continue;  // comments and blank lines between notes
    } else {
      if (block.empty()) blockStart = static_cast<int>(i) + 1;
      block.push_back(line);
    }
  }
  finish();
  return notes;
}

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "makedemo: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: makedemo NOTES.txt DATA.mdb");
  const std::string notesPath = argv[1], databasePath = argv[2];

  std::ifstream file(notesPath, std::ios::binary);
  if (!file) return Fail("cannot read " + notesPath);
  std::ostringstream contents;
  contents << file.rdbuf();
  const std::vector<Note> notes = ParseNotes(contents.str());

  if (std::filesystem::exists(databasePath)) return Fail(databasePath + " exists already");
  if (jet::Status s = jet::CreateDatabase(databasePath); !s.ok()) return Fail(s.ToString());
  {
    // The table as the program expects it: an AutoNumber key and three memos.
    std::unique_ptr<jet::Database> db;
    jet::OpenOptions options;
    options.read_only = false;
    if (jet::Status s = jet::Database::Open(databasePath, options, &db); !s.ok()) return Fail(s.ToString());
    jet::InstallIndexMaintainer(*db);
    jet::TableSpec table;
    table.name = Utf8(u8"知识点");
    jet::ColumnSpec id;
    id.name = "ID";
    id.type = jet::ColumnType::kLong;
    id.autonumber = true;
    table.columns.push_back(id);
    for (const char8_t* name : {u8"标题", u8"内容", u8"资料链接"}) {
      jet::ColumnSpec memo;
      memo.name = Utf8(name);
      memo.type = jet::ColumnType::kMemo;
      table.columns.push_back(memo);
    }
    table.primary_key = {"ID"};
    if (jet::Status s = jet::CreateTable(*db, table); !s.ok()) return Fail(s.ToString());
  }

  store::DBConnection connection;
  store::RecordSet records;
  if (store::ConnectAccess(connection, text::Gb18030FromUtf8(databasePath), "") != 1) {
    return Fail("cannot open " + databasePath + ": " + store::LastError(connection));
  }
  store::AttachConnection(records, connection);
  for (const Note& note : notes) {
    const std::optional<text::Text> statement = store::InsertStatement(
        text::Gb18030FromUtf8(note.title), store::EscapeApostrophes(text::Gb18030FromUtf8(note.content)),
        text::Gb18030FromUtf8(note.link));
    if (!statement) {
      return Fail(notesPath + ":" + std::to_string(note.line) + ": an apostrophe in the title or the link");
    }
    if (store::OpenRecordSet(records, *statement, 1) != 1) {
      return Fail(notesPath + ":" + std::to_string(note.line) + ": " + store::LastError(records));
    }
  }
  store::CloseRecordSet(records);
  store::CloseConnection(connection);
  std::printf("makedemo: %zu notes in %s\n", notes.size(), databasePath.c_str());
  return 0;
}
