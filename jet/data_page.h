// Data pages: the rows of a table (and long values, on "LVAL" pages).  See
// doc/jet-format.md, "Data pages".
//
//   J4    J3    size  meaning
//   0x00  0x00  1     page type 0x01
//   0x01  0x01  1     0x01
//   0x02  0x02  2     free space in bytes
//   0x04  0x04  4     owner: tdef page of the table, or "LVAL"
//   0x08  --    4     unknown (0)
//   0x0C  0x08  2     row slots
//   0x0E  0x0A  2n    slot offsets, low 13 bits; flags in the top bits:
//                     0xC000 deleted (Access leaves it zero bytes long),
//                     0x4000 the row moved: here is a 4-byte pointer to it,
//                     0x8000 a moved row's new home: read only through the
//                     pointer, skipped by scans
//   ...               free space; rows grow downwards from the page end:
//                     row 0 ends at the page end, row i at slot i-1's offset.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jet/page_source.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

constexpr std::uint16_t kSlotDeleted = 0x8000;
constexpr std::uint16_t kSlotMoved = 0x4000;
constexpr std::uint16_t kSlotOffsetMask = 0x1FFF;
constexpr std::uint32_t kLvalOwner = 0x4C41564C;  // "LVAL"

struct DataPageLayout {
  std::uint32_t page_size;
  std::uint32_t owner;      // 0x04
  std::uint32_t row_count;  // offset of the slot count
  std::uint32_t slots;      // offset of the first slot
  static DataPageLayout For(int jet_version) {
    return jet_version == 3 ? DataPageLayout{2048, 4, 0x08, 0x0A} : DataPageLayout{4096, 4, 0x0C, 0x0E};
  }
};

struct RowSlot {
  std::uint32_t start = 0, end = 0;  // bytes [start, end) of the page
  bool deleted = false;          // 0xC000
  bool moved = false;            // 0x4000 alone: a forwarding pointer
  bool overflow_target = false;  // 0x8000 alone
  std::uint16_t flags() const {
    return deleted ? 0xC000 : moved ? kSlotMoved : overflow_target ? kSlotDeleted : 0;
  }
};

// A checked view of one data page's slots.
class DataPage {
 public:
  // Corruption when the page is not a data page or its slot table does not fit.
  static Status Parse(const std::vector<std::uint8_t>& page, std::uint32_t number,
                      const DataPageLayout& layout, DataPage* out);
  std::uint32_t owner() const { return owner_; }
  std::uint16_t slot_count() const { return std::uint16_t(slots_.size()); }
  // Corruption when the slot's bounds are outside the page or overlap the slot table.
  Status Slot(std::uint16_t index, RowSlot* slot) const;

 private:
  std::uint32_t number_ = 0, page_size_ = 0, table_end_ = 0, owner_ = 0;
  std::vector<std::uint16_t> slots_;
};

// The free space of the pages a writer may put rows on, as last seen, so
// that a page with room for a row is found without reading every candidate.
// The figures are hints: the writer checks the page itself before using it
// and corrects the figure when the page holds less (a rolled-back statement,
// another process).
class PageRoom {
 public:
  // Records (or replaces) the free bytes of `page`.
  void Set(std::uint32_t page, std::uint32_t free_bytes);
  void Forget(std::uint32_t page);
  bool Contains(std::uint32_t page) const { return room_of_.count(page) != 0; }
  // The page recorded with the least room that is at least `needed` (best
  // fit, so large gaps stay for large rows); among equals the newest page.
  std::optional<std::uint32_t> FindAtLeast(std::uint32_t needed) const;
  std::size_t size() const { return room_of_.size(); }

 private:
  std::set<std::pair<std::uint32_t, std::uint32_t>> by_room_;  // (free bytes, ~page)
  std::unordered_map<std::uint32_t, std::uint32_t> room_of_;
};

// One slot's content, for rebuilding a page.
struct PageRow {
  std::uint16_t flags = 0;  // the slot's top bits, as RowSlot::flags()
  std::vector<std::uint8_t> bytes;  // empty for a deleted row
};

// The rows of a parsed page, slot by slot (deleted ones emptied).
Status ReadPageRows(const std::vector<std::uint8_t>& page, const DataPage& view,
                    std::vector<PageRow>* rows);
// Lays `rows` out on a page: slot i's row ends where slot i-1's starts, the
// first at the page end; the header (type, owner, unknown word) is kept from
// `page` and the free space recomputed.  False when the rows do not fit.
bool BuildDataPage(const DataPageLayout& layout, const std::vector<PageRow>& rows,
                   std::vector<std::uint8_t>* page);
// An empty data page owned by `owner`.
std::vector<std::uint8_t> NewDataPage(const DataPageLayout& layout, std::uint32_t owner);
// Bytes a row of `n` bytes takes on a page, slot included.
inline std::uint32_t RowFootprint(std::size_t n) { return std::uint32_t(n) + 2; }
// Free bytes as the header records them.
std::uint16_t DataPageFreeSpace(const std::vector<std::uint8_t>& page);


// The bytes of one live row slot (not following a moved row's pointer).
// Corruption when the slot is deleted or outside the page.
Status ReadSlot(PageSource& pages, RowId id, std::vector<std::uint8_t>* bytes, std::uint16_t* flags);
// Replaces one slot's bytes and flags, rebuilding the page; NotSupported
// ("no room") when the page cannot hold the new content.
Status WriteSlot(PageSource& pages, RowId id, const std::vector<std::uint8_t>& bytes, std::uint16_t flags);

// Puts a row (slot flags `flags`) on a page of `owner` that `room` knows to
// have space, taking the first deleted slot or a new one, and records the
// page's remaining space (pages left with less than `keep_above` bytes are
// dropped from `room`).  *id is the row's place; {0, 0} when no known page
// could take it, or none of the few looked at (the caller then starts a new
// page).
Status PlaceOnKnownPage(PageSource& pages, std::uint32_t owner, std::uint32_t keep_above,
                        const std::vector<std::uint8_t>& bytes, std::uint16_t flags, PageRoom* room,
                        RowId* id);

}  // namespace jet
