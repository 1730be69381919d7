// Table definition (tdef) pages: decoding a table's definition from the
// bytes of its page chain.  See doc/jet-format.md, "Table definition".
//
// A definition may span pages: each page starts with an 8-byte header
//   0x00 1 page type 0x02   0x01 1 always 01   0x02 2 "VC" (Jet 3) / free space (Jet 4)
//   0x04 4 next tdef page (0: last)
// and the definition is page 1 whole followed by every next page after its
// header.  In the joined bytes (offsets for Jet 4 / Jet 3):
//
//   J4    J3    size  meaning
//   0x08  0x08  4     definition length
//   0x10  0x0C  4     row count
//   0x14  0x10  4     AutoNumber: the last value handed out
//   0x28  0x14  1     table type: 0x4E user, 0x53 system
//   0x29  0x15  2     max columns (rows may hold this many)
//   0x2B  0x17  2     variable-length columns
//   0x2D  0x19  2     columns
//   0x2F  0x1B  4     logical indexes
//   0x33  0x1F  4     real indexes
//   0x37  0x23  4     usage map of data pages (row pointer)
//   0x3B  0x27  4     usage map of data pages with free space
//   0x3F  0x2B  ...   real index counts (12 / 8 bytes each), then columns
//                     (25 / 18 bytes each), then column names (2-byte /
//                     1-byte length + UTF-16 / code page), then real index
//                     definitions (52 / 39 bytes), logical indexes (28 / 20
//                     bytes), index names.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

struct TdefLayout {
  std::uint32_t row_count;   // offset of the row count
  std::uint32_t autonumber;  // offset of the AutoNumber counter
  static TdefLayout For(int jet_version) {
    return jet_version == 3 ? TdefLayout{0x0C, 0x10} : TdefLayout{0x10, 0x14};
  }
};

// `bytes`: the joined definition (see above).  `code_page` decodes Jet 3 names.
Status ParseTableDef(int jet_version, std::uint16_t code_page, const std::vector<std::uint8_t>& bytes,
                     std::uint32_t tdef_page, TableDef* table);

}  // namespace jet
