// Index pages: the B-tree of an index's entries, read and kept in step with
// the table's rows.  See jet/index_key.h for the keys.
//
// Jet 4 index page (leaf 0x04, intermediate 0x03):
//
//   offset size  meaning
//   0x00   1     page type 0x04 leaf / 0x03 intermediate
//   0x01   1     0x01
//   0x02   2     free bytes of the entry area
//   0x04   4     tdef page of the table
//   0x08   4     0
//   0x0C   4     previous page on this level (0: none)
//   0x10   4     next page on this level (0: none)
//   0x14   4     intermediate: the "tail" child, right of every entry (0: none)
//   0x18   2     prefix length: entries after the first omit this many
//                leading bytes, which they share with the first
//   0x1A   1     0
//   0x1B   453   entry-start bitmap: bit i set = an entry starts at 0x1E0+i
//                (the first entry, at 0x1E0, is not marked)
//   0x1E0  ...   entries, back to back
//
// Leaf entry: key, data page (3 bytes, big-endian), row (1 byte).
// Intermediate entry: key and row pointer of the LAST entry of its child,
// then the child page (4 bytes, big-endian).  Entries sort by their bytes.
//
// This engine writes pages without a prefix and never uses a tail child;
// it reads both.  A leaf left empty by deletes stays in the tree.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jet/database.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet {

constexpr std::uint8_t kIndexLeafPage = 0x04;
constexpr std::uint8_t kIndexNodePage = 0x03;
constexpr std::uint32_t kIndexEntriesStart = 0x1E0;

struct IndexPage {
  std::uint8_t type = kIndexLeafPage;
  std::uint32_t tdef_page = 0;
  std::uint32_t prev = 0, next = 0, tail = 0;
  // Whole entries (prefix restored): leaf = key + 4-byte pointer;
  // intermediate = key + 4-byte pointer + 4-byte child.
  std::vector<std::vector<std::uint8_t>> entries;

  bool leaf() const { return type == kIndexLeafPage; }
  static std::uint32_t Child(const std::vector<std::uint8_t>& entry);
};

// Decodes an index page; Corruption naming the page and fault.
Status ParseIndexPage(const std::vector<std::uint8_t>& bytes, std::uint32_t number, IndexPage* page);
// Encodes without prefix.  False when the entries do not fit one page.
bool BuildIndexPage(const IndexPage& page, std::uint32_t page_size, std::vector<std::uint8_t>* bytes);
// The bytes of entries that fit one page.
std::uint32_t IndexPageCapacity(std::uint32_t page_size);

// A leaf entry's bytes for `key` and row `id`.
std::vector<std::uint8_t> LeafEntry(const std::vector<std::uint8_t>& key, RowId id);
RowId EntryRow(const std::vector<std::uint8_t>& leaf_entry);

// Every leaf entry of the index rooted at `root`, in tree order; `pages`
// receives every index page visited.  Corruption on a loop, a bad page or
// entries out of order.
Status ReadIndexEntries(Pager& pager, std::uint32_t root, std::vector<std::vector<std::uint8_t>>* entries,
                        std::vector<std::uint32_t>* pages = nullptr);

// Adds / removes one leaf entry, splitting pages that overflow (new pages
// are allocated from the pager and reported through `allocated`).
// REQUIRES: inside a write transaction.
Status InsertIndexEntry(Pager& pager, const TableDef& table, std::uint32_t root, std::vector<std::uint8_t> entry,
                        std::vector<std::uint32_t>* allocated);
// Removing can split a page too: the entries after the removed one lose
// the prefix they shared with it and may no longer fit.
Status RemoveIndexEntry(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& entry,
                        std::vector<std::uint32_t>* allocated);

// The rows whose entry in the index rooted at `root` has exactly `key`, in
// index order: one descent, then along the leaf chain while the keys match.
// For keys of one fixed width (numeric, date and Yes/No columns).
Status FindRowsWithKey(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& key,
                       std::vector<RowId>* rows);

// Sets or clears `page` in the usage map at `map` (Jet 4, not encoded).
Status MarkPageInMap(Pager& pager, RowId map, std::uint32_t page, bool in_use);

// The maintainer the engine uses: keeps every index of a written table
// right, refuses tables with indexes it cannot key exactly, refuses
// duplicates in unique indexes.
std::unique_ptr<IndexMaintainer> NewIndexMaintainer(Database& db);
// Sets it on `db`.
void InstallIndexMaintainer(Database& db);

}  // namespace jet
