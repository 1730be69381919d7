#include "jet/data_page.h"

#include <algorithm>

#include "jet/bytes.h"

namespace jet {

Status DataPage::Parse(const std::vector<std::uint8_t>& page, std::uint32_t number,
                       const DataPageLayout& layout, DataPage* out) {
  const std::string where = "page " + std::to_string(number);
  if (page.size() != layout.page_size || page[0] != 0x01) {
    return Status::Corruption(where + ": not a data page (type " + std::to_string(page.empty() ? -1 : page[0]) + ")");
  }
  std::uint32_t count = Get16(page.data() + layout.row_count);
  std::uint32_t table_end = layout.slots + 2 * count;
  if (table_end > layout.page_size) {
    return Status::Corruption(where + ": " + std::to_string(count) + " row slots do not fit the page");
  }
  out->number_ = number;
  out->page_size_ = layout.page_size;
  out->table_end_ = table_end;
  out->owner_ = Get32(page.data() + layout.owner);
  out->slots_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) out->slots_[i] = Get16(page.data() + layout.slots + 2 * i);
  return Status::Ok();
}

Status DataPage::Slot(std::uint16_t index, RowSlot* slot) const {
  // Built only for a message: every row read passes here.
  auto where = [&] { return "page " + std::to_string(number_) + ": row " + std::to_string(index); };
  if (index >= slots_.size()) {
    return Status::Corruption(where() + " beyond the page's " + std::to_string(slots_.size()) + " rows");
  }
  std::uint16_t raw = slots_[index];
  slot->deleted = (raw & 0xC000) == 0xC000;
  slot->moved = (raw & 0xC000) == kSlotMoved;
  slot->overflow_target = (raw & 0xC000) == kSlotDeleted;
  slot->start = raw & kSlotOffsetMask;
  slot->end = index == 0 ? page_size_ : (slots_[index - 1] & kSlotOffsetMask);
  if (slot->deleted) {
    // Deleted rows are never read; their bounds need not make sense.
    if (slot->end < slot->start) slot->end = slot->start;
    return Status::Ok();
  }
  if (slot->start < table_end_ || slot->end > page_size_ || slot->start > slot->end) {
    return Status::Corruption(where() + " spans bytes " + std::to_string(slot->start) + ".." +
                              std::to_string(slot->end) + ", outside the page's row area");
  }
  return Status::Ok();
}

Status ReadPageRows(const std::vector<std::uint8_t>& page, const DataPage& view,
                    std::vector<PageRow>* rows) {
  rows->assign(view.slot_count(), PageRow{});
  for (std::uint16_t i = 0; i < view.slot_count(); ++i) {
    RowSlot s;
    JET_RETURN_IF_ERROR(view.Slot(i, &s));
    PageRow& r = (*rows)[i];
    r.flags = s.flags();
    if (!s.deleted) r.bytes.assign(page.begin() + s.start, page.begin() + s.end);
  }
  return Status::Ok();
}

bool BuildDataPage(const DataPageLayout& layout, const std::vector<PageRow>& rows,
                   std::vector<std::uint8_t>* page) {
  std::size_t need = layout.slots + 2 * rows.size();
  for (const PageRow& r : rows) need += r.bytes.size();
  if (need > layout.page_size || rows.size() > 0xFFFF) return false;
  std::vector<std::uint8_t> out(layout.page_size, 0);
  std::copy(page->begin(), page->begin() + layout.row_count, out.begin());
  Put16(out.data() + 2, std::uint16_t(layout.page_size - need));
  Put16(out.data() + layout.row_count, std::uint16_t(rows.size()));
  std::uint32_t end = layout.page_size;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const PageRow& r = rows[i];
    std::uint32_t start = end - std::uint32_t(r.bytes.size());
    std::copy(r.bytes.begin(), r.bytes.end(), out.begin() + start);
    Put16(out.data() + layout.slots + 2 * i, std::uint16_t(start | r.flags));
    end = start;
  }
  *page = std::move(out);
  return true;
}

std::vector<std::uint8_t> NewDataPage(const DataPageLayout& layout, std::uint32_t owner) {
  std::vector<std::uint8_t> page(layout.page_size, 0);
  page[0] = 0x01;
  page[1] = 0x01;
  Put16(page.data() + 2, std::uint16_t(layout.page_size - layout.slots));
  Put32(page.data() + layout.owner, owner);
  return page;
}

std::uint16_t DataPageFreeSpace(const std::vector<std::uint8_t>& page) { return Get16(page.data() + 2); }

}  // namespace jet

namespace jet {

Status ReadSlot(PageSource& pages, RowId id, std::vector<std::uint8_t>* bytes, std::uint16_t* flags) {
  PageBytes page;
  JET_RETURN_IF_ERROR(pages.ReadPage(id.page, &page));
  DataPage view;
  JET_RETURN_IF_ERROR(DataPage::Parse(*page, id.page, DataPageLayout::For(pages.jet_version()), &view));
  RowSlot slot;
  JET_RETURN_IF_ERROR(view.Slot(id.row, &slot));
  if (slot.deleted) {
    return Status::Corruption("page " + std::to_string(id.page) + ": row " + std::to_string(id.row) +
                              " is deleted");
  }
  bytes->assign(page->begin() + slot.start, page->begin() + slot.end);
  *flags = slot.flags();
  return Status::Ok();
}

Status WriteSlot(PageSource& pages, RowId id, const std::vector<std::uint8_t>& bytes, std::uint16_t flags) {
  const DataPageLayout layout = DataPageLayout::For(pages.jet_version());
  PageBytes page;
  JET_RETURN_IF_ERROR(pages.ReadPage(id.page, &page));
  DataPage view;
  JET_RETURN_IF_ERROR(DataPage::Parse(*page, id.page, layout, &view));
  std::vector<PageRow> rows;
  JET_RETURN_IF_ERROR(ReadPageRows(*page, view, &rows));
  if (id.row >= rows.size()) {
    return Status::Corruption("page " + std::to_string(id.page) + ": no row " + std::to_string(id.row));
  }
  rows[id.row] = PageRow{flags, bytes};
  std::vector<std::uint8_t> out = *page;
  if (!BuildDataPage(layout, rows, &out)) {
    return Status::NotSupported("page " + std::to_string(id.page) + ": no room for the row");
  }
  return pages.WritePage(id.page, std::move(out));
}

void PageRoom::Set(std::uint32_t page, std::uint32_t free_bytes) {
  Forget(page);
  room_of_.emplace(page, free_bytes);
  by_room_.emplace(free_bytes, ~page);
}

void PageRoom::Forget(std::uint32_t page) {
  auto it = room_of_.find(page);
  if (it == room_of_.end()) return;
  by_room_.erase({it->second, ~page});
  room_of_.erase(it);
}

std::optional<std::uint32_t> PageRoom::FindAtLeast(std::uint32_t needed) const {
  auto it = by_room_.lower_bound({needed, 0});
  if (it == by_room_.end()) return std::nullopt;
  return ~it->second;
}

namespace {

// Where `bytes` go on a page holding `rows`: the first deleted slot or spent
// long-value part (an empty live row, see LongValueWriter::Free), or a new one.
std::size_t FreeSlotFor(std::vector<PageRow>* rows) {
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const PageRow& r = (*rows)[i];
    if (r.flags == 0xC000 || (r.flags == 0 && r.bytes.empty())) return i;
  }
  rows->emplace_back();
  return rows->size() - 1;
}

void NoteRemaining(PageRoom* room, std::uint32_t page, std::uint32_t free_bytes, std::uint32_t keep_above) {
  if (free_bytes >= keep_above) {
    room->Set(page, free_bytes);
  } else {
    room->Forget(page);
  }
}

}  // namespace

Status PlaceOnKnownPage(PageSource& pages, std::uint32_t owner, std::uint32_t keep_above,
                        const std::vector<std::uint8_t>& bytes, std::uint16_t flags, PageRoom* room,
                        RowId* id) {
  const DataPageLayout layout = DataPageLayout::For(pages.jet_version());
  const std::uint32_t needed = RowFootprint(bytes.size());
  *id = RowId{0, 0};
  // Each pass either places the row or lowers or drops the page's figure,
  // so the loop ends; it gives up after a few pages whose figure was only a
  // guess (a free-space map lists pages, not their room), so no insert reads
  // many pages, and each one corrects the figures it looked at.
  constexpr int kMaxProbes = 8;
  for (int probe = 0; probe < kMaxProbes; ++probe) {
    const std::optional<std::uint32_t> candidate = room->FindAtLeast(needed);
    if (!candidate) break;
    const std::uint32_t number = *candidate;
    if (number >= pages.page_count()) {  // a page of a statement that was rolled back
      room->Forget(number);
      continue;
    }
    PageBytes page;
    JET_RETURN_IF_ERROR(pages.ReadPage(number, &page));
    if ((*page)[0] != 0x01 || Get32(page->data() + layout.owner) != owner) {
      room->Forget(number);
      continue;
    }
    const std::uint32_t free_bytes = DataPageFreeSpace(*page);
    if (free_bytes < needed) {
      NoteRemaining(room, number, free_bytes, keep_above);
      continue;
    }
    DataPage view;
    JET_RETURN_IF_ERROR(DataPage::Parse(*page, number, layout, &view));
    std::vector<PageRow> rows;
    JET_RETURN_IF_ERROR(ReadPageRows(*page, view, &rows));
    const std::size_t slot = FreeSlotFor(&rows);
    rows[slot] = PageRow{flags, bytes};
    std::vector<std::uint8_t> out = *page;
    if (!BuildDataPage(layout, rows, &out)) {  // the header overstated its room
      room->Forget(number);
      continue;
    }
    NoteRemaining(room, number, DataPageFreeSpace(out), keep_above);
    JET_RETURN_IF_ERROR(pages.WritePage(number, std::move(out)));
    *id = RowId{number, std::uint16_t(slot)};
    return Status::Ok();
  }
  return Status::Ok();
}

}  // namespace jet
