// Long values (memo and OLE): the 12-byte field in the row and where the
// bytes live.  See doc/jet-format.md, "Long values".
//
//   field  size  meaning
//   0      3     length of the value in bytes
//   3      1     where: 0x80 here, after the field; 0x40 one row on an LVAL
//                page; 0x00 a chain of rows on LVAL pages
//   4      4     row pointer (row in the low byte, page above): the row,
//                or the chain's first row
//   8      4     0
//   12     n     the value itself when 0x80
//
// A chain row starts with the 4-byte pointer to the next row (0 ends it),
// then that part of the value.  LVAL pages are data pages owned by "LVAL".
#pragma once

#include <cstdint>
#include <vector>

#include "jet/data_page.h"
#include "jet/page_source.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

constexpr std::size_t kLongValueHeader = 12;
constexpr std::uint8_t kLongValueInline = 0x80;
constexpr std::uint8_t kLongValueSingle = 0x40;
constexpr std::uint8_t kLongValueChain = 0x00;

// Reads the value a field describes.  `where` names the row for messages.
Status ReadLongValue(PageSource& pages, const std::uint8_t* field, std::size_t size,
                     const std::string& where, std::vector<std::uint8_t>* value);

// The bytes of the value a field describes, copied only when chained:
// inline and single-page values point into the field or into *page (which
// keeps the page alive); a chain is assembled in *assembled.  Messages name
// no row: the caller adds where the field is.
Status LongValueBytes(PageSource& pages, const std::uint8_t* field, std::size_t size, PageBytes* page,
                      std::vector<std::uint8_t>* assembled, const std::uint8_t** data, std::size_t* length);

// Writes long values of one table; remembers LVAL pages with room (those it
// filled and those it freed rows on) so that values share pages and freed
// space is used again.  LVAL pages are in no usage map: Access keeps them
// out of the table's map, and readers warn about them there.
class LongValueWriter {
 public:
  explicit LongValueWriter(PageSource& pages) : pages_(pages) {}

  // The field for `value`, inline when `allow_inline`, else on LVAL pages.
  Status Write(const std::vector<std::uint8_t>& value, bool allow_inline, std::vector<std::uint8_t>* field);
  // Frees the LVAL rows of a field (nothing for an inline value).
  Status Free(const std::uint8_t* field, std::size_t size);

  // Largest value stored inline / on one page.
  std::size_t max_single() const;

 private:
  Status Place(const std::vector<std::uint8_t>& row, RowId* id);

  PageSource& pages_;
  PageRoom room_;  // LVAL pages that had room; checked before use
};

}  // namespace jet
