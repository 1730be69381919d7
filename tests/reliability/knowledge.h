// What the reliability tests share: the knowledge table's notes as a model,
// databases made by the engine, the statements the program sends, and the
// three ways of reading a file back (the store, mdb-export, jetsql .check).
//
// Texts are the program's (GB18030) unless a name says UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "text/text.h"

namespace reliability {

using text::Text;

struct Note {
  Text title, content, link;  // content as stored: apostrophes escaped
  bool operator==(const Note&) const = default;
};
using Notes = std::map<long, Note>;  // by ID

// A whole file's bytes, to compare a file before and after.
using Bytes = std::vector<std::uint8_t>;
Bytes ReadAll(const std::string& path);
void WriteAll(const std::string& path, const Bytes& bytes);

// The build directory (NORVANE_BIN, as ctest sets it), for jetsql.
std::string BinDir();

// A new data.mdb at `path` holding the empty knowledge table; "" or the error.
std::string MakeKnowledgeDatabase(const std::string& path);

// The table read through the store (a fresh connection, which also
// restores the file from a journal left beside it).  nullopt on failure,
// with the reason in *error.
std::optional<Notes> ReadNotes(const std::string& path, std::string* error);
// The table as mdb-export reads it; nullopt when mdb-export fails.
// mdb-export prints each character outside the BMP as "??" and no more than
// the first 200,000 bytes of a memo; compare with AsExported(notes).
std::optional<Notes> ExportedNotes(const std::string& path, std::string* error);
Notes AsExported(const Notes& notes);
// `jetsql FILE .check`: "" when clean, else its report.
std::string CheckReport(const std::string& path);

// The program's statements for a note (content escaped by the builder's
// caller as the program does; see RandomNote).
enum class Op : std::uint8_t { kInsert = 'I', kModify = 'M', kDelete = 'D' };
std::optional<Text> StatementFor(Op op, long id, const Note& note);

// Notes a user might write: Chinese, emoji and other characters outside
// GBK, line breaks, apostrophes in the content (escaped as the program
// escapes them), now and then a long content spanning several pages.
// Titles and links hold no apostrophe (the program refuses those).
Note RandomNote(std::mt19937& random, std::size_t long_content_max);

// The first difference between two tables, "" when equal.
std::string Difference(const Notes& expected, const Notes& actual);

// A short printable form of a text for messages (UTF-8, cut).
std::string Shown(const Text& text);

}  // namespace reliability
