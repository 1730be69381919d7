// Rows: the bytes of one table row, decoded to values and encoded back.
// See doc/jet-format.md, "Rows".
//
// Jet 4 row (Jet 3: counts and offsets are 1 byte, plus a jump table):
//   0      2   columns in this row (may be fewer than the table has now)
//   2      ..  fixed-length columns, each at its column's fixed offset
//   ..     ..  variable-length columns, in slot order
//   then, read backwards from the end:
//   end-m  m   null mask, (columns+7)/8 bytes; bit n = column number n is
//              present (Yes/No columns: the value)
//   -2     2   number of variable slots v
//   -2(k+1) 2  start offset of variable slot k, k = 0..v-1
//   -2(v+1) 2  end of the variable data
// Jet 3 jump table: before the 1-byte slot count, (row length-1)/256 bytes;
// entry j is the first slot whose offset is at least 256*(j+1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/long_value.h"
#include "jet/page_source.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

struct RowContext {
  PageSource* pages;      // for long values
  int jet_version;
  std::uint16_t code_page;  // Jet 3 texts
};

// Decodes `size` bytes of a row.  `wanted[i]` false leaves column i NULL
// (an empty `wanted` decodes all).  `where` names the row for messages.
Status DecodeRow(const RowContext& ctx, const TableDef& table, const std::uint8_t* data, std::size_t size,
                 const std::vector<bool>& wanted, const std::string& where, Row* row);

// The long value fields (12+ bytes) a stored row refers to, for freeing.
Status LongValueFields(const RowContext& ctx, const TableDef& table, const std::uint8_t* data,
                       std::size_t size, std::vector<std::vector<std::uint8_t>>* fields);

// Checks `row` against the table's columns and converts values where the
// conversion is exact (an integer into a Double column, ...).  InvalidArgument
// naming the column for a wrong type, an out-of-range number or a text too long.
Status CheckRow(const TableDef& table, Row* row);

// Encodes a checked row (Jet 4).  Long values are written through `lv`;
// `max_size` bounds the row, long values move out of the row to fit.
Status EncodeRow(const RowContext& ctx, const TableDef& table, const Row& row, LongValueWriter& lv,
                 std::size_t max_size, std::vector<std::uint8_t>* out);

}  // namespace jet
