#include "jet/check.h"

#include <algorithm>
#include <map>
#include <set>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/index.h"
#include "jet/index_key.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

class PagerPages final : public PageSource {
 public:
  explicit PagerPages(Pager& pager) : pager_(pager) {}
  int jet_version() const override { return pager_.page_size() == 2048 ? 3 : 4; }
  std::uint32_t page_size() const override { return pager_.page_size(); }
  std::uint32_t page_count() const override { return pager_.page_count(); }
  Status ReadPage(std::uint32_t number, PageBytes* page) override { return pager_.Read(number, page); }
  Status WritePage(std::uint32_t, std::vector<std::uint8_t>) override { return Status::NotSupported("checker writes"); }
  Status AllocatePage(std::uint32_t*) override { return Status::NotSupported("checker writes"); }

 private:
  Pager& pager_;
};

std::string PageName(std::uint32_t page) { return "page " + std::to_string(page); }
std::string RowName(RowId id) { return "row " + std::to_string(id.page) + ":" + std::to_string(id.row); }

RowId Unpack(std::uint32_t pointer) { return RowId{pointer >> 8, std::uint16_t(pointer & 0xFF)}; }

// Access does not keep the row counts of its own system tables exact.
bool IsSystemTable(const std::string& name) {
  return name.size() >= 4 && (name[0] == 'M' || name[0] == 'm') && (name[1] == 'S' || name[1] == 's') &&
         (name[2] == 'y' || name[2] == 'Y') && (name[3] == 's' || name[3] == 'S');
}

class Checker {
 public:
  Checker(Database& db, std::vector<std::string>* problems)
      : db_(db), pages_(db.pager()), problems_(problems), layout_(DataPageLayout::For(db.info().jet_version)) {}

  Status Run() {
    ReadFreePages();
    JET_RETURN_IF_ERROR(SurveyPages());
    used_.insert({0, 1});
    std::vector<std::string> names;
    JET_RETURN_IF_ERROR(CatalogTableNames(&names));
    for (const std::string& name : names) {
      std::shared_ptr<const TableDef> t;
      if (!db_.GetTable(name, &t).ok()) continue;
      CheckTable(*t);
    }
    CheckFreePageMap();
    return Status::Ok();
  }

 private:
  void Problem(const std::string& what) { problems_->push_back(what); }

  // Every table the catalog lists, system tables included: their rows
  // refer to long values too.
  Status CatalogTableNames(std::vector<std::string>* names) {
    std::shared_ptr<const TableDef> catalog;
    JET_RETURN_IF_ERROR(db_.GetTable("MSysObjects", &catalog));
    const int name = catalog->FindColumn("Name"), type = catalog->FindColumn("Type");
    if (name < 0 || type < 0) return Status::Corruption("MSysObjects lacks its Name or Type column");
    constexpr std::int64_t kLocalTable = 1;
    Status s = db_.Scan(*catalog, ScanOptions{{name, type}}, [&](RowId, const Row& row) {
      const auto* t = std::get_if<std::int64_t>(&row[type]);
      const auto* n = std::get_if<std::string>(&row[name]);
      if (t && n && (*t & 0xFFFF) == kLocalTable) names->push_back(*n);
      return true;
    });
    if (!s.ok()) Problem("table MSysObjects: reading the catalog: " + s.message());
    return Status::Ok();
  }

  // Every page's type; data pages by owner, with their slots and free space.
  Status SurveyPages() {
    for (std::uint32_t n = 1; n < pages_.page_count(); ++n) {
      PageBytes page;
      JET_RETURN_IF_ERROR(pages_.ReadPage(n, &page));
      if ((*page)[0] != 0x01) continue;
      const std::uint32_t owner = Get32(page->data() + layout_.owner);
      owners_[owner].insert(n);
      // A freed page keeps its old bytes: Jet only marks it free.
      if (!free_.count(n)) CheckDataPage(n, *page, owner == kLvalOwner);
    }
    return Status::Ok();
  }

  void CheckDataPage(std::uint32_t n, const std::vector<std::uint8_t>& bytes, bool lval) {
    DataPage view;
    Status s = DataPage::Parse(bytes, n, layout_, &view);
    if (!s.ok()) return Problem(s.message());
    std::size_t used = layout_.slots + 2u * view.slot_count();
    std::size_t deleted = 0;  // bytes deleted rows still cover
    for (std::uint16_t i = 0; i < view.slot_count(); ++i) {
      RowSlot slot;
      Status ss = view.Slot(i, &slot);
      if (!ss.ok()) return Problem(ss.message());
      if (slot.deleted) {
        deleted += slot.end - slot.start;
        continue;
      }
      used += slot.end - slot.start;
      if (lval) lval_rows_.insert(RowId{n, i});
    }
    // Access may leave a deleted row's bytes counted until the page is
    // rebuilt: the recorded figure lies between the two.
    const std::size_t most = used <= layout_.page_size ? layout_.page_size - used : 0;
    const std::size_t least = most >= deleted ? most - deleted : 0;
    const std::size_t recorded = DataPageFreeSpace(bytes);
    if (recorded > most || recorded < least) {
      Problem(PageName(n) + ": free space recorded as " + std::to_string(recorded) + ", its rows leave " +
              std::to_string(most));
    }
  }

  // The pages a usage map lists; its own pages count as used.
  bool ReadMap(const std::string& where, RowId map, std::set<std::uint32_t>* pages) {
    std::vector<std::uint32_t> set, map_pages;
    Status s = ReadUsageMap(pages_, map, &set, &map_pages);
    if (!s.ok()) {
      Problem(where + ": " + s.message());
      return false;
    }
    used_.insert(map.page);
    used_.insert(map_pages.begin(), map_pages.end());
    pages->insert(set.begin(), set.end());
    return true;
  }

  void CheckTable(const TableDef& t) {
    const std::string where = "table " + t.name;
    used_.insert(t.tdef_page);
    std::set<std::uint32_t> in_map, with_room;
    const std::set<std::uint32_t>& owned = owners_[t.tdef_page];
    if (ReadMap(where + ": its page map", t.used_pages, &in_map)) {
      for (std::uint32_t p : in_map) {
        if (!owned.count(p)) Problem(where + ": " + PageName(p) + " is in its page map but is not one of its data pages");
      }
      for (std::uint32_t p : owned) {
        if (!in_map.count(p) && !free_.count(p)) {
          Problem(where + ": data page " + std::to_string(p) + " is missing from its page map");
        }
      }
    }
    used_.insert(in_map.begin(), in_map.end());
    if (ReadMap(where + ": its free-space map", t.free_pages, &with_room)) {
      for (std::uint32_t p : with_room) {
        if (!owned.count(p)) Problem(where + ": " + PageName(p) + " is in its free-space map but is not one of its data pages");
      }
    }
    for (std::uint32_t p : owned) {
      if (!free_.count(p)) used_.insert(p);
    }

    CheckRowsAndLongValues(t, owned);
    std::vector<std::pair<RowId, Row>> rows;
    Status s = db_.Scan(t, ScanOptions{}, [&](RowId id, const Row& row) {
      rows.emplace_back(id, row);
      return true;
    });
    if (!s.ok()) Problem(where + ": reading its rows: " + s.message());
    std::uint32_t count = 0;
    if (!IsSystemTable(t.name) && db_.RowCount(t, &count).ok() && s.ok() && count != rows.size()) {
      Problem(where + ": definition counts " + std::to_string(count) + " rows, the pages hold " + std::to_string(rows.size()));
    }
    for (std::size_t r = 0; r < t.real_indexes.size(); ++r) CheckIndex(t, r, rows, s.ok());
  }

  // Walks the table's slots: moved rows must point at a home of the same
  // table, and every long value a row refers to must resolve.
  void CheckRowsAndLongValues(const TableDef& t, const std::set<std::uint32_t>& owned) {
    const RowContext ctx{&pages_, db_.info().jet_version, db_.info().code_page};
    for (std::uint32_t p : owned) {
      PageBytes page;
      DataPage view;
      if (!pages_.ReadPage(p, &page).ok() || !DataPage::Parse(*page, p, layout_, &view).ok()) continue;
      for (std::uint16_t i = 0; i < view.slot_count(); ++i) {
        RowSlot slot;
        if (!view.Slot(i, &slot).ok() || slot.deleted) continue;
        const std::uint8_t* data = page->data() + slot.start;
        const std::size_t size = slot.end - slot.start;
        const std::string where = "table " + t.name + ", " + RowName(RowId{p, i});
        if (slot.moved) {
          CheckMovedRow(t, where, data, size, owned);
          continue;
        }
        std::vector<std::vector<std::uint8_t>> fields;
        if (!LongValueFields(ctx, t, data, size, &fields).ok()) continue;  // reported by the row scan
        for (const auto& field : fields) CheckLongValue(where, field);
      }
    }
  }

  void CheckMovedRow(const TableDef& t, const std::string& where, const std::uint8_t* data, std::size_t size,
                     const std::set<std::uint32_t>& owned) {
    if (size < 4) return Problem(where + ": moved-row pointer shorter than 4 bytes");
    const RowId home = Unpack(Get32(data));
    if (!owned.count(home.page)) {
      return Problem(where + ": moved to " + RowName(home) + ", which is not on a data page of table " + t.name);
    }
    std::vector<std::uint8_t> bytes;
    std::uint16_t flags = 0;
    if (!ReadSlot(pages_, home, &bytes, &flags).ok() || flags != kSlotDeleted) {
      Problem(where + ": moved to " + RowName(home) + ", which is not a moved row's home");
    }
  }

  // One long-value field: its LVAL rows exist, are reached once, and hold
  // as many bytes as the field says.
  void CheckLongValue(const std::string& where, const std::vector<std::uint8_t>& field) {
    const std::uint32_t length = Get24(field.data());
    const std::uint8_t kind = field[3];
    if (kind & kLongValueInline) {
      if (field.size() - kLongValueHeader != length) {
        Problem(where + ": inline long value of " + std::to_string(field.size() - kLongValueHeader) +
                " bytes, its field says " + std::to_string(length));
      }
      return;
    }
    if (length == 0) return;
    RowId at = Unpack(Get32(field.data() + 4));
    std::uint64_t total = 0;
    for (std::size_t hops = 0;; ++hops) {
      std::vector<std::uint8_t> bytes;
      if (!ReachLongValueRow(where, at, &bytes)) return;
      if (kind & kLongValueSingle) {
        total = bytes.size();
        break;
      }
      if (bytes.size() < 4) return Problem(where + ": long value " + RowName(at) + " shorter than its next pointer");
      total += bytes.size() - 4;
      const std::uint32_t next = Get32(bytes.data());
      if (next == 0) break;
      if (hops > lval_rows_.size()) return Problem(where + ": long value chain does not end");
      at = Unpack(next);
    }
    if (total != length) {
      Problem(where + ": long value holds " + std::to_string(total) + " bytes, its field says " + std::to_string(length));
    }
  }

  bool ReachLongValueRow(const std::string& where, RowId at, std::vector<std::uint8_t>* bytes) {
    if (!lval_rows_.count(at)) {
      Problem(where + ": long value " + RowName(at) + " is not a row of a long-value page");
      return false;
    }
    if (!reached_lval_.insert(at).second) {
      Problem(where + ": long value " + RowName(at) + " is reached a second time");
      return false;
    }
    std::uint16_t flags = 0;
    return ReadSlot(pages_, at, bytes, &flags).ok();
  }

  void CheckIndex(const TableDef& t, std::size_t r, const std::vector<std::pair<RowId, Row>>& rows, bool rows_read) {
    const RealIndex& index = t.real_indexes[r];
    std::string name = "#" + std::to_string(r);
    for (const Index& i : t.indexes) {
      if (i.real_index == r) { name = i.name; break; }
    }
    const std::string where = "table " + t.name + ", index " + name;
    // Jet 3 index pages have another layout, which this engine neither
    // reads nor writes.
    if (db_.info().jet_version != 4) return;
    std::vector<std::vector<std::uint8_t>> actual;
    std::vector<std::uint32_t> index_pages;
    std::set<std::uint32_t> in_map;
    ReadMap(where + ": its page map", index.used_pages, &in_map);
    Status s = ReadIndexEntries(db_.pager(), index.first_page, &actual, &index_pages);
    used_.insert(index_pages.begin(), index_pages.end());
    if (!s.ok()) return Problem(where + ": " + s.message());
    const std::set<std::uint32_t> visited(index_pages.begin(), index_pages.end());
    for (std::uint32_t p : index_pages) {
      if (!in_map.count(p)) Problem(where + ": index " + PageName(p) + " is missing from its page map");
    }
    for (std::uint32_t p : in_map) {
      if (!visited.count(p) && !free_.count(p)) {
        Problem(where + ": " + PageName(p) + " is in its page map but is not one of its index pages");
      }
    }
    if (!rows_read) return;
    std::set<std::vector<std::uint8_t>> expected;
    std::set<RowId> unkeyed;  // rows whose key this engine cannot compute
    for (const auto& [id, row] : rows) {
      if (index.ignore_nulls() && KeyAllNull(t, index, row)) continue;
      std::vector<std::uint8_t> key;
      if (!EncodeIndexKey(t, index, row, &key).ok()) {
        unkeyed.insert(id);
        continue;
      }
      expected.insert(LeafEntry(key, id));
    }
    std::size_t missing = 0, stray = 0;
    const std::set<std::vector<std::uint8_t>> have(actual.begin(), actual.end());
    for (const auto& e : expected) missing += have.count(e) ? 0 : 1;
    for (const auto& e : actual) {
      if (expected.count(e)) continue;
      if (unkeyed.count(EntryRow(e))) continue;  // an entry Access wrote for a key we cannot compute
      ++stray;
    }
    if (have.size() != actual.size()) Problem(where + ": " + std::to_string(actual.size() - have.size()) + " entries are there twice");
    if (missing) Problem(where + ": " + std::to_string(missing) + " rows have no index entry");
    if (stray) Problem(where + ": " + std::to_string(stray) + " index entries match no row");
  }

  void ReadFreePages() {
    std::vector<std::uint32_t> free;
    Status s = ReadUsageMap(pages_, kFreePageMap, &free);
    if (!s.ok()) return Problem("the file's free-page map: " + s.message());
    free_.insert(free.begin(), free.end());
  }

  // A page the free-page map calls free must be one nothing refers to.
  // (LVAL rows that no row refers to are not reported: Access leaves the
  // long values of deleted rows behind until the file is compacted.)
  void CheckFreePageMap() {
    for (RowId id : reached_lval_) used_.insert(id.page);
    for (std::uint32_t p : free_) {
      if (used_.count(p)) Problem(PageName(p) + " is in use but marked free in the file's free-page map");
    }
  }

  Database& db_;
  PagerPages pages_;
  std::vector<std::string>* problems_;
  DataPageLayout layout_;
  std::map<std::uint32_t, std::set<std::uint32_t>> owners_;
  std::set<RowId> lval_rows_, reached_lval_;
  std::set<std::uint32_t> used_;  // pages something refers to
  std::set<std::uint32_t> free_;  // pages the file's free-page map marks free
};

}  // namespace

Status CheckDatabase(Database& db, std::vector<std::string>* problems) {
  problems->clear();
  if (db.info().encoded) return Status::NotSupported("checking an encoded database");
  JET_RETURN_IF_ERROR(db.BeginRead());
  Checker checker(db, problems);
  Status s = checker.Run();
  db.EndRead();
  return s;
}

}  // namespace jet
