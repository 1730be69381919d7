// The pieces of jetsql that are more than argument handling: CSV output,
// the schema listing, creation and checking of a file.
#pragma once

#include <ostream>
#include <string>

#include "jet/database.h"
#include "jet/sql/result.h"
#include "jet/status.h"

namespace jetsql {

// RFC 4180 CSV: the header line, then the rows; CRLF line ends.
void WriteCsv(const jet::Result& result, std::ostream& out);
// One field, quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(const std::string& text);

// For each user table (or just `table`): a CREATE TABLE statement in the
// engine's SQL, then one line per index:
//   CREATE [UNIQUE] INDEX [name] ON [table] ([col] [DESC], ...) [WITH PRIMARY]
jet::Status WriteSchema(jet::Database& db, const std::string& table, std::ostream& out);

jet::Status CreateDatabase(const std::string& path);
// Prints every inconsistency found; 0 when the file is sound, 1 otherwise.
int CheckDatabase(const std::string& path, const std::string& password, std::ostream& out);

}  // namespace jetsql
