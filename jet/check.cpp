#include "jet/check.h"

#include <algorithm>
#include <map>
#include <set>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/index.h"
#include "jet/index_key.h"
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

class Checker {
 public:
  Checker(Database& db, std::vector<std::string>* problems)
      : db_(db), pages_(db.pager()), problems_(problems), layout_(DataPageLayout::For(db.info().jet_version)) {}

  Status Run() {
    JET_RETURN_IF_ERROR(IndexDataPages());
    std::vector<std::string> names = db_.TableNames();
    for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) names.push_back(system);
    for (const std::string& name : names) {
      std::shared_ptr<const TableDef> t;
      if (!db_.GetTable(name, &t).ok()) continue;
      CheckTable(*t);
    }
    return Status::Ok();
  }

 private:
  void Problem(const std::string& what) { problems_->push_back(what); }

  // Which table owns each data page, from the pages themselves.
  Status IndexDataPages() {
    for (std::uint32_t n = 1; n < pages_.page_count(); ++n) {
      PageBytes page;
      JET_RETURN_IF_ERROR(pages_.ReadPage(n, &page));
      if ((*page)[0] != 0x01) continue;
      const std::uint32_t owner = Get32(page->data() + layout_.owner);
      owners_[owner].insert(n);
      CheckDataPage(n, *page);
    }
    return Status::Ok();
  }

  void CheckDataPage(std::uint32_t n, const std::vector<std::uint8_t>& bytes) {
    DataPage view;
    Status s = DataPage::Parse(bytes, n, layout_, &view);
    if (!s.ok()) return Problem(s.message());
    std::size_t used = layout_.slots + 2u * view.slot_count();
    for (std::uint16_t i = 0; i < view.slot_count(); ++i) {
      RowSlot slot;
      Status ss = view.Slot(i, &slot);
      if (!ss.ok()) return Problem(ss.message());
      if (!slot.deleted) used += slot.end - slot.start;
    }
    const std::size_t free = used <= layout_.page_size ? layout_.page_size - used : 0;
    if (DataPageFreeSpace(bytes) != free) {
      Problem("page " + std::to_string(n) + ": free space recorded as " + std::to_string(DataPageFreeSpace(bytes)) +
              ", its rows leave " + std::to_string(free));
    }
  }

  void CheckTable(const TableDef& t) {
    const std::string where = "table " + t.name;
    std::vector<std::uint32_t> mapped;
    Status s = ReadUsageMap(pages_, t.used_pages, &mapped);
    if (!s.ok()) {
      Problem(where + ": its page map: " + s.message());
    } else {
      const std::set<std::uint32_t> in_map(mapped.begin(), mapped.end());
      const std::set<std::uint32_t>& owned = owners_[t.tdef_page];
      for (std::uint32_t p : in_map) {
        if (!owned.count(p)) Problem(where + ": page " + std::to_string(p) + " is in its page map but is not one of its data pages");
      }
      for (std::uint32_t p : owned) {
        if (!in_map.count(p)) Problem(where + ": data page " + std::to_string(p) + " is missing from its page map");
      }
    }

    std::vector<std::pair<RowId, Row>> rows;
    s = db_.Scan(t, ScanOptions{}, [&](RowId id, const Row& row) {
      rows.emplace_back(id, row);
      return true;
    });
    if (!s.ok()) Problem(where + ": reading its rows: " + s.message());
    std::uint32_t count = 0;
    if (db_.RowCount(t, &count).ok() && s.ok() && count != rows.size()) {
      Problem(where + ": definition counts " + std::to_string(count) + " rows, the pages hold " + std::to_string(rows.size()));
    }
    for (std::size_t r = 0; r < t.real_indexes.size(); ++r) CheckIndex(t, r, rows, s.ok());
  }

  void CheckIndex(const TableDef& t, std::size_t r, const std::vector<std::pair<RowId, Row>>& rows, bool rows_read) {
    const RealIndex& index = t.real_indexes[r];
    std::string name = "#" + std::to_string(r);
    for (const Index& i : t.indexes) {
      if (i.real_index == r) { name = i.name; break; }
    }
    const std::string where = "table " + t.name + ", index " + name;
    std::vector<std::vector<std::uint8_t>> actual;
    Status s = ReadIndexEntries(db_.pager(), index.first_page, &actual);
    if (!s.ok()) return Problem(where + ": " + s.message());
    if (!rows_read || db_.info().jet_version != 4) return;
    std::set<std::vector<std::uint8_t>> expected;
    std::set<RowId> unkeyed;  // rows whose key this engine cannot compute
    std::set<RowId> live;
    for (const auto& [id, row] : rows) {
      live.insert(id);
      if (index.ignore_nulls() && KeyHasNull(t, index, row)) continue;
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
      const RowId id = EntryRow(e);
      if (unkeyed.count(id)) continue;  // an entry Access wrote for a key we cannot compute
      ++stray;
    }
    if (missing) Problem(where + ": " + std::to_string(missing) + " rows have no index entry");
    if (stray) Problem(where + ": " + std::to_string(stray) + " index entries match no row");
  }

  Database& db_;
  PagerPages pages_;
  std::vector<std::string>* problems_;
  DataPageLayout layout_;
  std::map<std::uint32_t, std::set<std::uint32_t>> owners_;
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
