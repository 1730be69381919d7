#include "jet/long_value.h"

#include <algorithm>
#include <string>

#include "jet/bytes.h"
#include "jet/data_page.h"

namespace jet {
namespace {

RowId PointerAt(const std::uint8_t* p) { return RowId{Get32(p) >> 8, p[0]}; }

}  // namespace

Status ReadLongValue(PageSource& pages, const std::uint8_t* field, std::size_t size,
                     const std::string& where, std::vector<std::uint8_t>* value) {
  value->clear();
  if (size < kLongValueHeader) {
    return Status::Corruption(where + ": long value field of " + std::to_string(size) + " bytes");
  }
  std::uint32_t length = Get24(field);
  std::uint8_t kind = field[3];
  // No value can be larger than the file that holds it.
  if (std::uint64_t(length) > std::uint64_t(pages.page_count()) * pages.page_size()) {
    return Status::Corruption(where + ": long value of " + std::to_string(length) + " bytes is larger than the file");
  }
  if (kind == kLongValueInline) {
    if (length > size - kLongValueHeader) {
      return Status::Corruption(where + ": inline long value of " + std::to_string(length) +
                                " bytes overruns its field");
    }
    value->assign(field + kLongValueHeader, field + kLongValueHeader + length);
    return Status::Ok();
  }
  RowId next = PointerAt(field + 4);
  if (kind == kLongValueSingle) {
    std::vector<std::uint8_t> row;
    std::uint16_t flags;
    JET_RETURN_IF_ERROR(ReadSlot(pages, next, &row, &flags));
    if (row.size() < length) {
      return Status::Corruption(where + ": long value row on page " + std::to_string(next.page) + " holds " +
                                std::to_string(row.size()) + " of " + std::to_string(length) + " bytes");
    }
    value->assign(row.begin(), row.begin() + length);
    return Status::Ok();
  }
  if (kind != kLongValueChain) {
    return Status::Corruption(where + ": unknown long value kind 0x" + std::to_string(kind));
  }
  value->reserve(length);
  // Every link but the last adds at least one byte, and no page appears
  // twice in a sound chain: page_count links at most.
  for (std::uint32_t hops = 0; value->size() < length; ++hops) {
    if (hops > pages.page_count() || next.page == 0) {
      return Status::Corruption(where + ": long value chain ends after " + std::to_string(value->size()) +
                                " of " + std::to_string(length) + " bytes");
    }
    std::vector<std::uint8_t> row;
    std::uint16_t flags;
    JET_RETURN_IF_ERROR(ReadSlot(pages, next, &row, &flags));
    if (row.size() < 4) {
      return Status::Corruption(where + ": long value chain row on page " + std::to_string(next.page) + " too short");
    }
    std::size_t take = std::min<std::size_t>(row.size() - 4, length - value->size());
    value->insert(value->end(), row.begin() + 4, row.begin() + 4 + take);
    next = PointerAt(row.data());
  }
  return Status::Ok();
}

Status LongValueBytes(PageSource& pages, const std::uint8_t* field, std::size_t size, PageBytes* page,
                      std::vector<std::uint8_t>* assembled, const std::uint8_t** data, std::size_t* length) {
  if (size < kLongValueHeader || field[3] != kLongValueSingle) {
    JET_RETURN_IF_ERROR(ReadLongValue(pages, field, size, "long value", assembled));
    *data = assembled->data();
    *length = assembled->size();
    return Status::Ok();
  }
  *length = Get24(field);
  const RowId at = PointerAt(field + 4);
  JET_RETURN_IF_ERROR(pages.ReadPage(at.page, page));
  DataPage view;
  JET_RETURN_IF_ERROR(DataPage::Parse(**page, at.page, DataPageLayout::For(pages.jet_version()), &view));
  RowSlot slot;
  JET_RETURN_IF_ERROR(view.Slot(at.row, &slot));
  if (slot.deleted || slot.end - slot.start < *length) {
    return Status::Corruption("long value row on page " + std::to_string(at.page) + " holds " +
                              std::to_string(slot.deleted ? 0 : slot.end - slot.start) + " of " +
                              std::to_string(*length) + " bytes");
  }
  *data = (*page)->data() + slot.start;
  return Status::Ok();
}

std::size_t LongValueWriter::max_single() const {
  const DataPageLayout layout = DataPageLayout::For(pages_.jet_version());
  return layout.page_size - layout.slots - 2;
}

// A page is worth remembering while it can take a small part.
constexpr std::uint32_t kKeepRoom = 64;

Status LongValueWriter::Place(const std::vector<std::uint8_t>& row, RowId* id) {
  JET_RETURN_IF_ERROR(PlaceOnKnownPage(pages_, kLvalOwner, kKeepRoom, row, 0, &room_, id));
  if (id->page != 0) return Status::Ok();
  const DataPageLayout layout = DataPageLayout::For(pages_.jet_version());
  std::uint32_t p;
  JET_RETURN_IF_ERROR(pages_.AllocatePage(&p));
  std::vector<std::uint8_t> out = NewDataPage(layout, kLvalOwner);
  if (!BuildDataPage(layout, {PageRow{0, row}}, &out)) {
    return Status::InvalidArgument("long value part of " + std::to_string(row.size()) + " bytes does not fit a page");
  }
  if (DataPageFreeSpace(out) >= kKeepRoom) room_.Set(p, DataPageFreeSpace(out));
  JET_RETURN_IF_ERROR(pages_.WritePage(p, std::move(out)));
  *id = RowId{p, 0};
  return Status::Ok();
}

Status LongValueWriter::Write(const std::vector<std::uint8_t>& value, bool allow_inline,
                              std::vector<std::uint8_t>* field) {
  if (value.size() > 0xFFFFFF) {
    return Status::InvalidArgument("long value of " + std::to_string(value.size()) +
                                   " bytes exceeds the 16 MB the field can describe");
  }
  field->assign(kLongValueHeader, 0);
  Put24(field->data(), std::uint32_t(value.size()));
  if (allow_inline) {
    (*field)[3] = kLongValueInline;
    field->insert(field->end(), value.begin(), value.end());
    return Status::Ok();
  }
  RowId id;
  if (value.size() <= max_single()) {
    (*field)[3] = kLongValueSingle;
    JET_RETURN_IF_ERROR(Place(value, &id));
  } else {
    // The chain is written back to front so that each part knows its successor.
    (*field)[3] = kLongValueChain;
    const std::size_t part = max_single() - 4;
    std::size_t parts = (value.size() + part - 1) / part;
    RowId next{0, 0};
    for (std::size_t k = parts; k-- > 0;) {
      std::size_t begin = k * part, end = std::min(value.size(), begin + part);
      std::vector<std::uint8_t> row(4);
      Put32(row.data(), next.page == 0 ? 0 : PackPointer(next.page, std::uint8_t(next.row)));
      row.insert(row.end(), value.begin() + begin, value.begin() + end);
      JET_RETURN_IF_ERROR(Place(row, &next));
      if (next.row > 0xFF) return Status::NotSupported("long value row slot above 255");
    }
    id = next;
  }
  if (id.row > 0xFF) return Status::NotSupported("long value row slot above 255");
  Put32(field->data() + 4, PackPointer(id.page, std::uint8_t(id.row)));
  return Status::Ok();
}

Status LongValueWriter::Free(const std::uint8_t* field, std::size_t size) {
  if (size < kLongValueHeader) return Status::Corruption("long value field too short to free");
  std::uint8_t kind = field[3];
  if (kind == kLongValueInline) return Status::Ok();
  std::uint32_t length = Get24(field);
  RowId next = PointerAt(field + 4);
  std::size_t freed = 0;
  for (std::uint32_t hops = 0; next.page != 0; ++hops) {
    if (hops > pages_.page_count()) return Status::Corruption("long value chain loops");
    std::vector<std::uint8_t> row;
    std::uint16_t flags;
    JET_RETURN_IF_ERROR(ReadSlot(pages_, next, &row, &flags));
    RowId here = next;
    next = RowId{0, 0};
    if (kind == kLongValueChain && row.size() >= 4) {
      freed += row.size() - 4;
      if (freed < length) next = PointerAt(row.data());
    }
    // A spent part stays a live row of no bytes rather than a deleted slot:
    // mdb-reader takes the end of a long-value row from the previous slot's
    // word with its flag bits, so a deleted slot before a live part would
    // make it read the part as running to the page end.  The slot is used
    // again like a deleted one.
    JET_RETURN_IF_ERROR(WriteSlot(pages_, here, {}, 0));
    PageBytes page;
    JET_RETURN_IF_ERROR(pages_.ReadPage(here.page, &page));
    room_.Set(here.page, DataPageFreeSpace(*page));
    if (kind != kLongValueChain) break;
  }
  return Status::Ok();
}

}  // namespace jet
