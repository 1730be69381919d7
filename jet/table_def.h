// A table's definition as read from its definition (tdef) pages: columns,
// indexes and the page maps of its rows.  See doc/jet-format.md, "Table
// definition".
//
// A TableDef is an immutable snapshot, handed out as a shared_ptr so that it
// outlives a reload of the catalog.  The live row count and AutoNumber value
// are kept on the tdef page; the copies here are as of loading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/value.h"

namespace jet {

// A page and a row slot on it: the address of a row, of a usage map, of a
// long value.  Stored in files as one 32-bit word: row in the low byte, page
// in the upper three bytes.
struct RowId {
  std::uint32_t page = 0;
  std::uint16_t row = 0;
  bool operator==(const RowId&) const = default;
  auto operator<=>(const RowId&) const = default;
};

struct Column {
  std::string name;             // UTF-8
  ColumnType type = ColumnType::kLong;
  std::uint16_t number = 0;     // col_num: the bit in the null mask; may have gaps (deleted columns)
  std::uint16_t var_index = 0;  // slot in the row's variable-length table (variable columns)
  std::uint16_t fixed_offset = 0;  // offset in the row's fixed area (fixed columns)
  std::uint16_t size = 0;       // bytes; Jet 4 Text(n) has size 2n
  std::uint8_t flags = 0;       // raw flag byte, see kFlag*
  std::uint8_t precision = 0, scale = 0;  // Decimal columns
  std::uint16_t sort_order = 0;  // text collation id (Jet 4: 0x0409 general, ...)
  std::uint16_t code_page = 0;   // Jet 3 text columns; 0 = the database's
  bool compressed_unicode = false;  // Jet 4 text/memo: values may be stored compressed

  static constexpr std::uint8_t kFlagFixed = 0x01;
  static constexpr std::uint8_t kFlagNullable = 0x02;
  static constexpr std::uint8_t kFlagAutoNumber = 0x04;
  static constexpr std::uint8_t kFlagReplication = 0x10;
  static constexpr std::uint8_t kFlagAutoGuid = 0x40;
  static constexpr std::uint8_t kFlagHyperlink = 0x80;

  bool fixed() const { return flags & kFlagFixed; }
  bool nullable() const { return flags & kFlagNullable; }
  bool autonumber() const { return flags & kFlagAutoNumber; }
  bool hyperlink() const { return flags & kFlagHyperlink; }
  bool is_long_value() const { return type == ColumnType::kMemo || type == ColumnType::kOle; }
};

// One key column of an index.
struct IndexColumn {
  std::uint16_t column_number = 0;  // Column::number
  int column_position = -1;         // index into TableDef::columns
  bool ascending = true;
};

// A physical index: the B-tree of keys on index pages.  Several logical
// indexes may share one real index.
struct RealIndex {
  std::uint32_t number = 0;           // position in the tdef's real-index list
  std::vector<IndexColumn> columns;   // 1..10
  RowId used_pages;                   // usage map of its index pages
  std::uint32_t first_page = 0;       // root index page
  std::uint8_t flags = 0;             // kFlag*
  std::uint32_t row_count = 0;        // the tdef's count for this index (informational)

  static constexpr std::uint8_t kFlagUnique = 0x01;
  static constexpr std::uint8_t kFlagIgnoreNulls = 0x02;
  static constexpr std::uint8_t kFlagRequired = 0x08;
  bool unique() const { return flags & kFlagUnique; }
  bool ignore_nulls() const { return flags & kFlagIgnoreNulls; }
};

// An index as the user sees it (name, primary key or not).
struct Index {
  std::string name;                 // UTF-8
  std::uint32_t number = 0;         // logical index number
  std::uint32_t real_index = 0;     // index into TableDef::real_indexes
  std::uint8_t type = 0;            // 1 primary key, 2 foreign key (relationship), 0 normal
  bool primary() const { return type == 1; }
  bool foreign_key() const { return type == 2; }
};

struct TableDef {
  std::string name;                  // UTF-8, as in the catalog
  std::uint32_t tdef_page = 0;       // first page of the definition
  std::uint32_t row_count = 0;       // as of loading
  std::uint32_t next_autonumber = 0; // as of loading: the last value handed out
  std::uint8_t table_type = 0;       // 0x4E user, 0x53 system
  std::uint16_t max_cols = 0;        // highest column count ever (rows may hold this many)
  std::uint16_t var_column_count = 0;
  std::vector<Column> columns;       // in col_num order
  std::vector<RealIndex> real_indexes;
  std::vector<Index> indexes;
  RowId used_pages;                  // usage map of the table's data pages
  RowId free_pages;                  // usage map of its data pages with room

  // Position of a column by name, case-insensitively (ASCII letters); -1 if none.
  int FindColumn(const std::string& name) const;
  // The real index behind a logical one.  REQUIRES: index.real_index valid.
  const RealIndex& RealIndexOf(const Index& index) const { return real_indexes[index.real_index]; }
};

}  // namespace jet
