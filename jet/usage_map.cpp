#include "jet/usage_map.h"

#include <algorithm>
#include <string>

#include "jet/bytes.h"
#include "jet/data_page.h"

namespace jet {
namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr std::uint8_t kMapPageType = 0x05;

std::string Where(RowId id) {
  return "usage map at page " + std::to_string(id.page) + " row " + std::to_string(id.row);
}

void CollectBits(const std::uint8_t* bits, std::size_t n, std::uint64_t first, std::uint32_t page_count,
                 std::vector<std::uint32_t>* set) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bits[i] == 0) continue;
    for (int b = 0; b < 8; ++b) {
      std::uint64_t page = first + i * 8 + b;
      if ((bits[i] >> b & 1) && page < page_count) set->push_back(std::uint32_t(page));
    }
  }
}

std::uint32_t PagesPerMapPage(std::uint32_t page_size) { return (page_size - 4) * 8; }

Status ReadMapPage(PageSource& pages, std::uint32_t number, RowId where, PageBytes* page) {
  JET_RETURN_IF_ERROR(pages.ReadPage(number, page));
  if ((**page)[0] != kMapPageType) {
    return Status::Corruption(Where(where) + ": page " + std::to_string(number) + " is not a map page");
  }
  return Status::Ok();
}

}  // namespace

Status ReadUsageMap(PageSource& pages, RowId where, std::vector<std::uint32_t>* set,
                    std::vector<std::uint32_t>* map_pages) {
  set->clear();
  if (map_pages) map_pages->clear();
  std::vector<std::uint8_t> row;
  std::uint16_t flags;
  JET_RETURN_IF_ERROR(ReadSlot(pages, where, &row, &flags));
  if (row.empty()) return Status::Corruption(Where(where) + ": empty");
  if (row[0] == kInlineMap) {
    if (row.size() < 5) return Status::Corruption(Where(where) + ": inline map shorter than its header");
    CollectBits(row.data() + 5, row.size() - 5, Get32(row.data() + 1), pages.page_count(), set);
  } else if (row[0] == kReferenceMap) {
    const std::uint32_t per_page = PagesPerMapPage(pages.page_size());
    for (std::size_t j = 0; 1 + 4 * j + 4 <= row.size(); ++j) {
      std::uint32_t map_page = Get32(row.data() + 1 + 4 * j);
      if (map_page == 0) continue;
      if (map_pages) map_pages->push_back(map_page);
      PageBytes page;
      JET_RETURN_IF_ERROR(ReadMapPage(pages, map_page, where, &page));
      CollectBits(page->data() + 4, page->size() - 4, std::uint64_t(j) * per_page, pages.page_count(), set);
    }
  } else {
    return Status::Corruption(Where(where) + ": unknown map type " + std::to_string(row[0]));
  }
  std::sort(set->begin(), set->end());
  set->erase(std::unique(set->begin(), set->end()), set->end());
  return Status::Ok();
}

namespace {

void SetBit(std::uint8_t* bits, std::uint64_t k, bool on) {
  if (on) {
    bits[k / 8] |= std::uint8_t(1u << (k % 8));
  } else {
    bits[k / 8] &= std::uint8_t(~(1u << (k % 8)));
  }
}

// Rewrites an inline map's bytes to hold `set`; false when no start page
// lets it cover them all.
bool LayOutInline(const std::vector<std::uint32_t>& set, std::vector<std::uint8_t>* row) {
  std::uint64_t bits = (row->size() - 5) * 8;
  std::uint32_t start = set.empty() ? 0 : set.front() & ~7u;
  if (!set.empty() && set.back() - start >= bits) return false;
  std::fill(row->begin() + 1, row->end(), 0);
  Put32(row->data() + 1, start);
  for (std::uint32_t p : set) SetBit(row->data() + 5, p - start, true);
  return true;
}

Status SetInReferenceMap(PageSource& pages, RowId where, std::vector<std::uint8_t>* row, std::uint32_t page,
                         bool in_use, bool* row_changed) {
  const std::uint32_t per_page = PagesPerMapPage(pages.page_size());
  std::size_t j = page / per_page;
  if (1 + 4 * j + 4 > row->size()) {
    return Status::NotSupported(Where(where) + ": page " + std::to_string(page) + " beyond the map's reach");
  }
  std::uint32_t map_page = Get32(row->data() + 1 + 4 * j);
  std::vector<std::uint8_t> bytes;
  if (map_page == 0) {
    if (!in_use) return Status::Ok();
    JET_RETURN_IF_ERROR(pages.AllocatePage(&map_page));
    bytes.assign(pages.page_size(), 0);
    bytes[0] = kMapPageType;
    bytes[1] = 0x01;
    Put32(row->data() + 1 + 4 * j, map_page);
    *row_changed = true;
  } else {
    PageBytes current;
    JET_RETURN_IF_ERROR(ReadMapPage(pages, map_page, where, &current));
    bytes = *current;
  }
  SetBit(bytes.data() + 4, page - std::uint64_t(j) * per_page, in_use);
  return pages.WritePage(map_page, std::move(bytes));
}

}  // namespace

Status UpdateUsageMap(PageSource& pages, RowId where, std::uint32_t page, bool in_use) {
  std::vector<std::uint8_t> row;
  std::uint16_t flags;
  JET_RETURN_IF_ERROR(ReadSlot(pages, where, &row, &flags));
  if (row.size() < 5) return Status::Corruption(Where(where) + ": shorter than its header");
  if (row[0] == kReferenceMap) {
    bool changed = false;
    JET_RETURN_IF_ERROR(SetInReferenceMap(pages, where, &row, page, in_use, &changed));
    return changed ? WriteSlot(pages, where, row, flags) : Status::Ok();
  }
  if (row[0] != kInlineMap) return Status::Corruption(Where(where) + ": unknown map type " + std::to_string(row[0]));
  std::uint32_t start = Get32(row.data() + 1);
  std::uint64_t bits = (row.size() - 5) * 8;
  if (page >= start && page - start < bits) {
    SetBit(row.data() + 5, page - start, in_use);
    return WriteSlot(pages, where, row, flags);
  }
  if (!in_use) return Status::Ok();  // not covered: already clear
  std::vector<std::uint32_t> set;
  JET_RETURN_IF_ERROR(ReadUsageMap(pages, where, &set));
  set.push_back(page);
  std::sort(set.begin(), set.end());
  if (LayOutInline(set, &row)) return WriteSlot(pages, where, row, flags);
  // Too wide for an inline map: the same row becomes a list of map pages.
  std::fill(row.begin(), row.end(), 0);
  row[0] = kReferenceMap;
  for (std::uint32_t p : set) {
    bool changed = false;
    JET_RETURN_IF_ERROR(SetInReferenceMap(pages, where, &row, p, true, &changed));
  }
  return WriteSlot(pages, where, row, flags);
}

Status ClaimPagesInFreeMap(PageSource& pages, std::uint32_t first, std::uint32_t end) {
  if (first >= end) return Status::Ok();
  std::vector<std::uint8_t> row;
  std::uint16_t flags;
  JET_RETURN_IF_ERROR(ReadSlot(pages, kFreePageMap, &row, &flags));
  if (row.size() < 5) return Status::Corruption(Where(kFreePageMap) + ": shorter than its header");
  if (row[0] == kInlineMap) {
    // One rewrite of the row however many pages a statement appended.
    const std::uint32_t start = Get32(row.data() + 1);
    const std::uint64_t bits = (row.size() - 5) * 8;
    bool changed = false;
    for (std::uint32_t page = std::max(first, start); page < end && page - start < bits; ++page) {
      SetBit(row.data() + 5, page - start, false);
      changed = true;
    }
    return changed ? WriteSlot(pages, kFreePageMap, row, flags) : Status::Ok();
  }
  for (std::uint32_t page = first; page < end; ++page) {
    JET_RETURN_IF_ERROR(UpdateUsageMap(pages, kFreePageMap, page, false));
  }
  return Status::Ok();
}

std::vector<std::uint8_t> NewFreePageMap(std::uint32_t page_count, std::size_t map_bytes) {
  std::vector<std::uint8_t> row(5 + map_bytes, 0);
  row[0] = kInlineMap;
  for (std::uint64_t page = page_count; page < map_bytes * 8; ++page) SetBit(row.data() + 5, page, true);
  return row;
}

}  // namespace jet
