// Making databases and tables: a new, empty Jet 4 file with the system
// tables the Jet engine puts in every new database, and new user tables in
// an open database.
//
// A new database has, as Jet lays it out:
//   page 0      database definition page
//   page 1      the file's free-page map (the pages past the end free)
//   pages 2-5   definitions of MSysObjects (the catalog, always page 2),
//               MSysACEs, MSysQueries, MSysRelationships
//   page 6      the usage maps of those tables, their long-value columns
//               and their indexes
//   pages 7-13  the (empty) root leaf page of each of their indexes
// and the catalog rows (the Tables, Databases and Relationships containers,
// MSysDb, one row per system table), inserted through the engine's own row
// writer so that their data pages and index entries are made as every
// later row's are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"
#include "jet/value.h"

namespace jet {

// InvalidArgument when a file exists at `path` already.
Status CreateDatabase(const std::string& path);

struct ColumnSpec {
  std::string name;                  // UTF-8, 1..64 characters
  ColumnType type = ColumnType::kLong;
  std::uint16_t text_chars = 255;    // TEXT(n): 1..255
  bool autonumber = false;           // COUNTER: a Long
  bool not_null = false;
};

struct TableSpec {
  std::string name;                       // UTF-8
  std::vector<ColumnSpec> columns;
  std::vector<std::string> primary_key;   // column names; empty: none
};

// Writes the table's definition and its catalog row.  A name whose
// "General" sort key this engine does not know (one with characters beyond
// the few seen in Access's own indexes, e.g. 知识点) gets no entry in the catalog's ParentIdName index rather than one
// that might be wrong; see doc/jet-format.md, "Catalog".  Runs its own write
// transaction unless the caller has one open (then joins it).  A primary
// key becomes a unique, required index named "PrimaryKey"; only keys this
// engine can keep (numeric and date columns) are accepted.
Status CreateTable(Database& db, const TableSpec& design);

}  // namespace jet
