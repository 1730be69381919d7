// Index keys: a row's values as Access stores them in index entries, so
// that entries sort by plain byte comparison.  Verified against indexes
// Access wrote (jet/index_test.cpp).
//
// Per key column (ascending / descending):
//   flag   0x7F / 0x80 value present, 0x00 / 0xFF NULL (no bytes follow)
//   bytes  the value's sort bytes; descending inverts every byte
// Sort bytes by type:
//   Byte               the byte
//   Integer, Long      big-endian two's complement with the sign bit flipped
//   Currency           the same over the 64-bit scaled value
//   Single, Double,
//   Date/Time          big-endian IEEE bits; sign bit flipped when positive,
//                      every bit inverted when negative
//   Text               one sort byte per character ("General" sort order,
//                      letters case-folded), then 01 00.  Only characters
//                      whose sort bytes were seen in Access-written indexes
//                      are known; any other character makes the key
//                      unknown (NotSupported) and the index is not written.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

// Whether keys of a column of this type (and collation) can be produced as
// Access produces them, for every value.  Text: false (only some texts).
bool KeyTypeSupported(ColumnType type);

// Appends one key column.  NotSupported when the value's sort bytes are
// unknown (a text with other characters, a type without known keys).
Status AppendKeyColumn(ColumnType type, const Value& value, bool ascending, std::vector<std::uint8_t>* key);

// The whole key of `row` for `index` (without the row pointer).
Status EncodeIndexKey(const TableDef& table, const RealIndex& index, const Row& row,
                      std::vector<std::uint8_t>* key);

// True when any key column of `row` is NULL.
bool KeyHasNull(const TableDef& table, const RealIndex& index, const Row& row);
// True when every key column of `row` is NULL: the rows an "ignore nulls"
// index leaves out (Access's compound indexes keep rows with some NULLs).
bool KeyAllNull(const TableDef& table, const RealIndex& index, const Row& row);

}  // namespace jet
