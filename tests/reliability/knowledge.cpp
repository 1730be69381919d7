#include "tests/reliability/knowledge.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "jet/create.h"
#include "jet/engine.h"
#include "jet/test_support.h"
#include "store/database.h"
#include "store/statements.h"
#include "text/gb18030.h"

namespace reliability {

std::string BinDir() {
  const char* bin = std::getenv("NORVANE_BIN");
  return bin ? bin : "build/linux";
}

std::string MakeKnowledgeDatabase(const std::string& path) {
  if (jet::Status s = jet::CreateDatabase(path); !s.ok()) return s.ToString();
  jet::ConnectionOptions options;
  std::unique_ptr<jet::Connection> connection;
  if (jet::Status s = jet::Connection::Open(path, options, &connection); !s.ok()) return s.ToString();
  jet::Result result;
  const jet::Status s = connection->Execute(
      reinterpret_cast<const char*>(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, 资料链接 MEMO)"),
      &result);
  return s.ok() ? "" : s.ToString();
}

std::optional<Notes> ReadNotes(const std::string& path, std::string* error) {
  store::DBConnection connection;
  store::RecordSet records;
  if (store::ConnectAccess(connection, text::Gb18030FromUtf8(path), "") != 1) {
    *error = "open: " + store::LastError(connection);
    return std::nullopt;
  }
  store::AttachConnection(records, connection);
  if (store::OpenRecordSet(records, Text(store::SelectAllStatement()), 1) != 1) {
    *error = "select: " + store::LastError(records);
    return std::nullopt;
  }
  Notes notes;
  const int count = store::RecordCount(records);
  if (count > 0) store::MoveFirst(records);
  for (int i = 0; i < count; ++i) {
    Text id;
    Note note;
    store::ReadFieldText(records, "ID", id);
    store::ReadFieldText(records, "标题", note.title);
    store::ReadFieldText(records, "内容", note.content);
    store::ReadFieldText(records, "资料链接", note.link);
    if (!notes.emplace(std::stol(id), note).second) {
      *error = "ID " + id + " listed twice";
      return std::nullopt;
    }
    store::MoveNext(records);
  }
  return notes;
}

namespace {

// A text as mdb-export shows it, compared by its first 100,000 bytes.
Text AsExported(const Text& gb) {
  const std::string utf8 = text::Utf8FromGb18030(gb);
  std::string shown;
  for (std::size_t i = 0; i < utf8.size() && shown.size() < 100000; ++i) {
    if (static_cast<unsigned char>(utf8[i]) >= 0xF0) {
      shown += "??";
      i += 3;
    } else {
      shown += utf8[i];
    }
  }
  return text::Gb18030FromUtf8(shown.substr(0, 100000));
}

}  // namespace

Notes AsExported(const Notes& notes) {
  Notes shown;
  for (const auto& [id, note] : notes) shown[id] = {AsExported(note.title), AsExported(note.content), AsExported(note.link)};
  return shown;
}

std::optional<Notes> ExportedNotes(const std::string& path, std::string* error) {
  std::string csv;
  const std::string command = "mdb-export " + jet::testing::ShellQuote(path) + " " +
                              reinterpret_cast<const char*>(u8"知识点") + " 2>&1";
  if (!jet::testing::RunCommand(command, &csv)) {
    *error = "mdb-export failed: " + csv.substr(0, 300);
    return std::nullopt;
  }
  const std::vector<jet::testing::CsvRow> rows = jet::testing::ParseCsv(csv);
  Notes notes;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].size() != 4) {
      *error = "mdb-export row " + std::to_string(r) + " has " + std::to_string(rows[r].size()) + " cells";
      return std::nullopt;
    }
    notes[std::stol(rows[r][0].text)] = {text::Gb18030FromUtf8(rows[r][1].text),
                                         text::Gb18030FromUtf8(rows[r][2].text),
                                         text::Gb18030FromUtf8(rows[r][3].text)};
  }
  return AsExported(notes);
}

std::string CheckReport(const std::string& path) {
  std::string out;
  const std::string command = BinDir() + "/tools/jetsql " + jet::testing::ShellQuote(path) + " .check 2>&1";
  return jet::testing::RunCommand(command, &out) ? "" : (out.empty() ? "jetsql .check failed" : out);
}

std::optional<Text> StatementFor(Op op, long id, const Note& note) {
  const Text key = std::to_string(id);
  switch (op) {
    case Op::kInsert: return store::InsertStatement(note.title, note.content, note.link);
    case Op::kModify: return store::UpdateStatement(note.title, note.content, note.link, key);
    case Op::kDelete: return store::DeleteStatement(key);
  }
  return std::nullopt;
}

namespace {

// Pieces the random texts are made of (narrow literals: the program's GB18030).
const char* const kPieces[] = {
    "函数的定义与调用", "指针", "链表反转", "数据库", "知识点", " ", "\n", "abc", "2026",
    "😀",    // outside the BMP, a four-byte GB18030 sequence
    "𠀀",    // CJK extension B, outside GBK
    "€",     // outside GBK as well
    "ｶﾀｶﾅ", "é", "——", "《》", "https://", "#", "%", "_", "&", "\t",
};
constexpr std::size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];

Text RandomText(std::mt19937& random, std::size_t bytes, bool apostrophes) {
  std::string s;
  while (s.size() < bytes) {
    if (apostrophes && random() % 8 == 0) s += "it's";
    else s += kPieces[random() % kPieceCount];
  }
  return s;
}

}  // namespace

Note RandomNote(std::mt19937& random, std::size_t long_content_max) {
  const bool long_content = long_content_max > 0 && random() % 6 == 0;
  const std::size_t content_bytes = long_content ? 3000 + random() % long_content_max : random() % 300;
  Note note;
  note.title = RandomText(random, 1 + random() % 40, false);
  note.content = store::EscapeApostrophes(RandomText(random, content_bytes, true));
  note.link = random() % 4 == 0 ? "" : "https://example.org/" + RandomText(random, random() % 30, false);
  return note;
}

std::string Shown(const Text& text) {
  std::string u = text::Utf8FromGb18030(text);
  if (u.size() > 60) u = u.substr(0, 60) + "...(" + std::to_string(text.size()) + " bytes)";
  return u;
}

std::string Difference(const Notes& expected, const Notes& actual) {
  for (const auto& [id, note] : expected) {
    auto it = actual.find(id);
    if (it == actual.end()) return "ID " + std::to_string(id) + " missing";
    if (it->second.title != note.title) return "ID " + std::to_string(id) + " title " + Shown(it->second.title) + " expected " + Shown(note.title);
    if (it->second.content != note.content) return "ID " + std::to_string(id) + " content " + Shown(it->second.content) + " expected " + Shown(note.content);
    if (it->second.link != note.link) return "ID " + std::to_string(id) + " link " + Shown(it->second.link) + " expected " + Shown(note.link);
  }
  for (const auto& [id, note] : actual) {
    if (!expected.count(id)) return "ID " + std::to_string(id) + " not expected (" + Shown(note.title) + ")";
  }
  return "";
}

Bytes ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace reliability
