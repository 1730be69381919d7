// Page usage maps: which pages belong to a table (or index), and which of a
// table's pages have free space.  A map is a row on some data page, found
// through a row pointer in the table definition.  See doc/jet-format.md,
// "Usage maps".
//
// Inline map (type 0):          Reference map (type 1):
//   0  1  type 0x00               0  1  type 0x01
//   1  4  first page covered      1  4n page numbers of map pages (0: none)
//   5  .. bitmap, bit k (LSB      Each map page: 0 1 type 0x05, 1 1 0x01,
//         first) = page first+k   2 2 0, then a bitmap; map page j covers
//                                 pages j*(page_size-4)*8 onwards.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/page_source.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

// The pages set in the map at `where`, ascending.
// `map_pages`, when given, receives the map pages a reference map uses.
Status ReadUsageMap(PageSource& pages, RowId where, std::vector<std::uint32_t>* set,
                    std::vector<std::uint32_t>* map_pages = nullptr);

// Sets or clears the bit of `page` in the map at `where`.  An inline map
// that cannot cover `page` is rewritten with a start page that does when all
// its set pages still fit, otherwise turned into a reference map.
Status UpdateUsageMap(PageSource& pages, RowId where, std::uint32_t page, bool in_use);

// The file's free-page map: row 0 of page 1, a map of the same two kinds in
// which a set bit marks a page that nothing uses (pages past the end of the
// file included, as far as the map reaches).  Jet takes pages from it before
// growing the file, so a page we use must never be left marked there.
inline constexpr RowId kFreePageMap{1, 0};

// Clears the bits of pages [first, end) in the free-page map: they were just
// appended to the file and are in use now.  Pages the map does not reach are
// left alone (not covered means not free).
Status ClaimPagesInFreeMap(PageSource& pages, std::uint32_t first, std::uint32_t end);

// The free-page map row of a new file of `page_count` pages: an inline map
// from page 0 over `map_bytes` bytes, every page from `page_count` on free.
std::vector<std::uint8_t> NewFreePageMap(std::uint32_t page_count, std::size_t map_bytes);

}  // namespace jet
