// The database: catalog, scans and row writes over the page-type modules.
//
// The catalog is MSysObjects, whose definition is always on page 2; each of
// its rows with Type 1 is a local table whose definition starts on page
// (Id & 0xFFFFFF).  User tables are those whose Flags have neither
// 0x80000000 nor 0x00000002 (system, hidden).  See doc/jet-format.md.
#include "jet/database.h"

#include <algorithm>
#include <map>

#include "jet/bytes.h"
#include "jet/codec.h"
#include "jet/data_page.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/page_source.h"
#include "jet/row_codec.h"
#include "jet/tdef.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint32_t kFlagSystem = 0x80000000u;
constexpr std::uint32_t kFlagHidden = 0x00000002u;
constexpr std::int64_t kTypeTable = 1;
// A page is kept in a table's free-space map while it can take a small row.
constexpr std::uint16_t kRoomThreshold = 64;
// A moved row points to its new home; that one never moves again, but allow
// a short chain from older writers.
constexpr int kMaxMoveHops = 4;

RowId PointerToRowId(std::uint32_t word) { return RowId{word >> 8, std::uint16_t(word & 0xFF)}; }

std::string RowWhere(const TableDef& t, RowId id) {
  return "table " + t.name + ", page " + std::to_string(id.page) + " row " + std::to_string(id.row);
}

// The Pager seen through the database's page encoding.
class PagerSource : public PageSource {
 public:
  PagerSource(Pager& pager, int jet_version, std::uint32_t key)
      : pager_(pager), jet_version_(jet_version), key_(key) {}
  int jet_version() const override { return jet_version_; }
  std::uint32_t page_size() const override { return pager_.page_size(); }
  std::uint32_t page_count() const override { return pager_.page_count(); }
  Status ReadPage(std::uint32_t number, PageBytes* page) override {
    JET_RETURN_IF_ERROR(pager_.Read(number, page));
    if ((*page)->size() != pager_.page_size()) {
      return Status::Corruption("page " + std::to_string(number) + " has the wrong size");
    }
    if (key_ != 0 && number != 0) {
      auto decoded = std::make_shared<std::vector<std::uint8_t>>(**page);
      CodePage(key_, number, decoded->data(), decoded->size());
      *page = std::move(decoded);
    }
    return Status::Ok();
  }
  Status WritePage(std::uint32_t number, std::vector<std::uint8_t> data) override {
    if (key_ != 0) return Status::NotSupported("writing to an encoded database");
    return pager_.Write(number, std::move(data));
  }
  Status AllocatePage(std::uint32_t* number) override {
    if (key_ != 0) return Status::NotSupported("writing to an encoded database");
    return pager_.Allocate(number);
  }

 private:
  Pager& pager_;
  int jet_version_;
  std::uint32_t key_;
};

struct CatalogEntry {
  std::string name;
  std::uint32_t flags = 0;
  std::shared_ptr<const TableDef> table;
  Status error;  // why the definition could not be read; table is null then
};

// What the writer remembers about a table between statements.  Every hint is
// checked against the page before use, so a rolled-back statement or another
// process's change cannot mislead it.
struct WriteHints {
  PageRoom room;  // data pages that had room
  bool room_loaded = false;
  std::unique_ptr<LongValueWriter> long_values;
};

}  // namespace

struct Database::Impl {
  std::unique_ptr<Pager> pager;
  OpenOptions options;
  DefinitionPage definition;
  std::unique_ptr<PagerSource> pages;
  std::vector<CatalogEntry> catalog;
  std::uint64_t loaded_generation = 0;
  bool catalog_loaded = false;
  std::uint32_t catalog_rows = 0;  // MSysObjects' row count when the catalog was loaded
  enum class Txn { kNone, kRead, kWrite } txn = Txn::kNone;
  std::unique_ptr<IndexMaintainer> indexes;
  std::map<std::uint32_t, WriteHints> hints;  // by tdef page
  std::uint32_t pages_at_begin = 0;            // the file's page count when the write began

  RowContext context() { return RowContext{pages.get(), definition.info.jet_version, definition.info.code_page}; }
  DataPageLayout layout() const { return DataPageLayout::For(definition.info.jet_version); }

  Status ReadTableDef(std::uint32_t first_page, TableDef* t);
  Status LoadCatalog();
  Status EnsureCatalog();
  Status ScanRows(const TableDef& t, const std::vector<bool>& wanted, const RowVisitor& visit);
  Status ReadRowBytes(const TableDef& t, RowId id, std::vector<std::uint8_t>* bytes, RowId* home);
  Status DecodeAt(const TableDef& t, RowId id, const std::vector<bool>& wanted, Row* row);

  // Write side.
  Status CheckWritable(const TableDef& t);
  Status AdjustTdef(const TableDef& t, int row_delta, const Row* autonumbers);
  Status AssignAutoNumbers(const TableDef& t, Row* row);
  LongValueWriter& LongValues(const TableDef& t);
  Status PlaceRow(const TableDef& t, const std::vector<std::uint8_t>& bytes, std::uint16_t flags, RowId* id);
  Status FreeRowSlot(const TableDef& t, RowId id);
  Status FreeLongValues(const TableDef& t, const std::vector<std::uint8_t>& bytes);
  Status NoteRoom(const TableDef& t, std::uint32_t page);
};

// ---- Reading ---------------------------------------------------------------

Status Database::Impl::ReadTableDef(std::uint32_t first_page, TableDef* t) {
  std::vector<std::uint8_t> bytes;
  std::uint32_t page_number = first_page;
  for (std::uint32_t hops = 0; page_number != 0; ++hops) {
    if (hops > pages->page_count()) {
      return Status::Corruption("table definition on page " + std::to_string(first_page) + ": page chain loops");
    }
    PageBytes page;
    JET_RETURN_IF_ERROR(pages->ReadPage(page_number, &page));
    if ((*page)[0] != 0x02) {
      return Status::Corruption("page " + std::to_string(page_number) + ": expected a table definition page, found type " +
                                std::to_string((*page)[0]));
    }
    if (bytes.empty()) {
      bytes = *page;
    } else {
      bytes.insert(bytes.end(), page->begin() + 8, page->end());
    }
    page_number = Get32(page->data() + 4);
  }
  return ParseTableDef(definition.info.jet_version, definition.info.code_page, bytes, first_page, t);
}

Status Database::Impl::LoadCatalog() {
  auto msys = std::make_shared<TableDef>();
  JET_RETURN_IF_ERROR(ReadTableDef(kCatalogPage, msys.get()));
  msys->name = "MSysObjects";
  const int id_col = msys->FindColumn("Id"), name_col = msys->FindColumn("Name"),
            type_col = msys->FindColumn("Type"), flags_col = msys->FindColumn("Flags");
  if (id_col < 0 || name_col < 0 || type_col < 0 || flags_col < 0) {
    return Status::Corruption("catalog (page 2) lacks the Id, Name, Type or Flags column");
  }
  std::vector<bool> wanted(msys->columns.size(), false);
  for (int c : {id_col, name_col, type_col, flags_col}) wanted[c] = true;
  std::vector<CatalogEntry> entries;
  std::vector<std::uint32_t> tdef_pages;
  Status scan = ScanRows(*msys, wanted, [&](RowId, const Row& row) {
    auto* type = std::get_if<std::int64_t>(&row[type_col]);
    auto* id = std::get_if<std::int64_t>(&row[id_col]);
    auto* name = std::get_if<std::string>(&row[name_col]);
    if (!type || !id || !name || *type != kTypeTable) return true;
    CatalogEntry e;
    e.name = *name;
    if (auto* f = std::get_if<std::int64_t>(&row[flags_col])) e.flags = std::uint32_t(*f);
    entries.push_back(std::move(e));
    tdef_pages.push_back(std::uint32_t(*id) & 0x00FFFFFF);
    return true;
  });
  JET_RETURN_IF_ERROR(scan);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (tdef_pages[i] == kCatalogPage) {
      auto def = std::make_shared<TableDef>(*msys);
      def->name = entries[i].name;
      entries[i].table = def;
      continue;
    }
    auto def = std::make_shared<TableDef>();
    Status s = ReadTableDef(tdef_pages[i], def.get());
    if (!s.ok()) {
      // One unreadable definition does not hide the other tables; asking
      // for this one reports why.
      entries[i].error = s.code() == Status::Code::kNotSupported
                             ? Status::NotSupported("table " + entries[i].name + ": " + s.message())
                             : Status::Corruption("table " + entries[i].name + ": " + s.message());
      continue;
    }
    def->name = entries[i].name;
    entries[i].table = std::move(def);
  }
  catalog = std::move(entries);
  catalog_rows = msys->row_count;
  catalog_loaded = true;
  loaded_generation = pager->generation();
  return Status::Ok();
}

Status Database::Impl::EnsureCatalog() {
  if (catalog_loaded && loaded_generation == pager->generation()) return Status::Ok();
  return LoadCatalog();
}

Status Database::Impl::ReadRowBytes(const TableDef& t, RowId id, std::vector<std::uint8_t>* bytes, RowId* home) {
  RowId at = id;
  for (int hop = 0;; ++hop) {
    std::uint16_t flags;
    JET_RETURN_IF_ERROR(ReadSlot(*pages, at, bytes, &flags));
    if (flags != kSlotMoved) {
      if (home) *home = at;
      return Status::Ok();
    }
    if (hop == kMaxMoveHops || bytes->size() < 4) {
      return Status::Corruption(RowWhere(t, id) + ": moved-row pointer chain is broken");
    }
    at = PointerToRowId(Get32(bytes->data()));
  }
}

Status Database::Impl::DecodeAt(const TableDef& t, RowId id, const std::vector<bool>& wanted, Row* row) {
  std::vector<std::uint8_t> bytes;
  JET_RETURN_IF_ERROR(ReadRowBytes(t, id, &bytes, nullptr));
  return DecodeRow(context(), t, bytes.data(), bytes.size(), wanted, RowWhere(t, id), row);
}

Status Database::Impl::ScanRows(const TableDef& t, const std::vector<bool>& wanted, const RowVisitor& visit) {
  std::vector<std::uint32_t> owned;
  JET_RETURN_IF_ERROR(ReadUsageMap(*pages, t.used_pages, &owned));
  const DataPageLayout lay = layout();
  Row row;
  for (std::uint32_t number : owned) {
    PageBytes page;
    JET_RETURN_IF_ERROR(pages->ReadPage(number, &page));
    // The map also names the table's long-value pages (and, in damaged or
    // old files, strays): only data pages of this table hold its rows.
    if ((*page)[0] != 0x01 || Get32(page->data() + lay.owner) != t.tdef_page) continue;
    DataPage view;
    JET_RETURN_IF_ERROR(DataPage::Parse(*page, number, lay, &view));
    for (std::uint16_t i = 0; i < view.slot_count(); ++i) {
      RowSlot slot;
      JET_RETURN_IF_ERROR(view.Slot(i, &slot));
      if (slot.deleted || slot.overflow_target) continue;
      RowId id{number, i};
      if (slot.moved) {
        JET_RETURN_IF_ERROR(DecodeAt(t, id, wanted, &row));
      } else {
        JET_RETURN_IF_ERROR(DecodeRow(context(), t, page->data() + slot.start, slot.end - slot.start, wanted,
                                      RowWhere(t, id), &row));
      }
      if (!visit(id, row)) return Status::Ok();
    }
  }
  return Status::Ok();
}

// ---- Writing ---------------------------------------------------------------

Status Database::Impl::CheckWritable(const TableDef& t) {
  if (txn != Txn::kWrite) return Status::InvalidArgument("row write outside a write transaction");
  if (definition.info.jet_version != 4) return Status::NotSupported("writing to Jet 3 (Access 97) databases");
  if (definition.info.encoded) return Status::NotSupported("writing to an encoded database");
  if (!t.real_indexes.empty()) {
    if (!indexes) return Status::NotSupported("table " + t.name + " has indexes and no index upkeep is installed");
    JET_RETURN_IF_ERROR(indexes->CanMaintain(t));
  }
  return Status::Ok();
}

Status Database::Impl::AdjustTdef(const TableDef& t, int row_delta, const Row* row) {
  PageBytes page;
  JET_RETURN_IF_ERROR(pages->ReadPage(t.tdef_page, &page));
  std::vector<std::uint8_t> bytes = *page;
  const TdefLayout tl = TdefLayout::For(definition.info.jet_version);
  std::uint32_t count = Get32(bytes.data() + tl.row_count);
  if (row_delta < 0 && count == 0) return Status::Corruption("table " + t.name + ": row count below zero");
  Put32(bytes.data() + tl.row_count, count + std::uint32_t(row_delta));
  if (row) {
    // A value given explicitly to an AutoNumber column moves the counter on.
    std::uint32_t counter = Get32(bytes.data() + tl.autonumber);
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      auto* v = std::get_if<std::int64_t>(&(*row)[i]);
      if (t.columns[i].autonumber() && v && *v > std::int64_t(counter)) counter = std::uint32_t(*v);
    }
    Put32(bytes.data() + tl.autonumber, counter);
  }
  return pages->WritePage(t.tdef_page, std::move(bytes));
}

Status Database::Impl::AssignAutoNumbers(const TableDef& t, Row* row) {
  PageBytes page;
  JET_RETURN_IF_ERROR(pages->ReadPage(t.tdef_page, &page));
  std::uint32_t counter = Get32(page->data() + TdefLayout::For(definition.info.jet_version).autonumber);
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    if (!c.autonumber() || c.type != ColumnType::kLong || !IsNull((*row)[i])) continue;
    if (counter >= 0x7FFFFFFFu) return Status::InvalidArgument("table " + t.name + ": AutoNumber values exhausted");
    (*row)[i] = std::int64_t(++counter);
  }
  return Status::Ok();
}

LongValueWriter& Database::Impl::LongValues(const TableDef& t) {
  WriteHints& h = hints[t.tdef_page];
  if (!h.long_values) h.long_values = std::make_unique<LongValueWriter>(*pages);
  return *h.long_values;
}

Status Database::Impl::NoteRoom(const TableDef& t, std::uint32_t page) {
  PageBytes bytes;
  JET_RETURN_IF_ERROR(pages->ReadPage(page, &bytes));
  bool room = DataPageFreeSpace(*bytes) >= kRoomThreshold;
  return UpdateUsageMap(*pages, t.free_pages, page, room);
}

Status Database::Impl::PlaceRow(const TableDef& t, const std::vector<std::uint8_t>& bytes, std::uint16_t flags,
                                RowId* id) {
  const DataPageLayout lay = layout();
  WriteHints& h = hints[t.tdef_page];
  if (!h.room_loaded) {
    // The free-space map says which pages have room, not how much: each
    // starts as "maybe a page's worth" and is corrected when first looked at.
    h.room_loaded = true;
    std::vector<std::uint32_t> listed;
    JET_RETURN_IF_ERROR(ReadUsageMap(*pages, t.free_pages, &listed));
    for (std::uint32_t number : listed) h.room.Set(number, lay.page_size);
  }
  JET_RETURN_IF_ERROR(PlaceOnKnownPage(*pages, t.tdef_page, kRoomThreshold, bytes, flags, &h.room, id));
  if (id->page != 0) return NoteRoom(t, id->page);
  std::uint32_t number;
  JET_RETURN_IF_ERROR(pages->AllocatePage(&number));
  std::vector<std::uint8_t> out = NewDataPage(lay, t.tdef_page);
  if (!BuildDataPage(lay, {PageRow{flags, bytes}}, &out)) {
    return Status::InvalidArgument("row of " + std::to_string(bytes.size()) + " bytes does not fit a page");
  }
  if (DataPageFreeSpace(out) >= kRoomThreshold) h.room.Set(number, DataPageFreeSpace(out));
  JET_RETURN_IF_ERROR(pages->WritePage(number, std::move(out)));
  JET_RETURN_IF_ERROR(UpdateUsageMap(*pages, t.used_pages, number, true));
  *id = RowId{number, 0};
  return NoteRoom(t, number);
}

Status Database::Impl::FreeRowSlot(const TableDef& t, RowId id) {
  JET_RETURN_IF_ERROR(WriteSlot(*pages, id, {}, 0xC000));
  WriteHints& h = hints[t.tdef_page];
  if (h.room_loaded) {
    PageBytes page;
    JET_RETURN_IF_ERROR(pages->ReadPage(id.page, &page));
    h.room.Set(id.page, DataPageFreeSpace(*page));
  }
  return NoteRoom(t, id.page);
}

Status Database::Impl::FreeLongValues(const TableDef& t, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::vector<std::uint8_t>> fields;
  JET_RETURN_IF_ERROR(LongValueFields(context(), t, bytes.data(), bytes.size(), &fields));
  for (const auto& f : fields) JET_RETURN_IF_ERROR(LongValues(t).Free(f.data(), f.size()));
  return Status::Ok();
}

// ---- Database --------------------------------------------------------------

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() {
  if (impl_->txn == Impl::Txn::kWrite) impl_->pager->Rollback();
  if (impl_->txn == Impl::Txn::kRead) impl_->pager->EndRead();
}

Status Database::Open(const std::string& path, const OpenOptions& options, std::unique_ptr<Database>* db) {
  auto impl = std::make_unique<Impl>();
  impl->options = options;
  PagerOptions po;
  po.read_only = options.read_only;
  po.sync = options.sync;
  po.file_system = options.file_system;
  JET_RETURN_IF_ERROR(Pager::Open(path, po, &impl->pager));
  JET_RETURN_IF_ERROR(impl->pager->BeginRead());
  Status s = [&]() -> Status {
    PageBytes page0;
    JET_RETURN_IF_ERROR(impl->pager->Read(0, &page0));
    JET_RETURN_IF_ERROR(DecodeDefinitionPage(page0->data(), page0->size(), &impl->definition));
    if (impl->definition.info.page_size != impl->pager->page_size()) {
      return Status::Corruption("page 0: page size disagrees with the format version");
    }
    JET_RETURN_IF_ERROR(CheckPassword(impl->definition, options.password));
    if (impl->definition.info.encoded && !options.read_only) {
      return Status::NotSupported("an encoded database can only be opened read-only");
    }
    impl->pages = std::make_unique<PagerSource>(*impl->pager, impl->definition.info.jet_version,
                                                impl->definition.database_key);
    return impl->LoadCatalog();
  }();
  impl->pager->EndRead();
  JET_RETURN_IF_ERROR(s);
  db->reset(new Database(std::move(impl)));
  return Status::Ok();
}

const DatabaseInfo& Database::info() const { return impl_->definition.info; }
Pager& Database::pager() { return *impl_->pager; }

Status Database::BeginRead() {
  if (impl_->txn != Impl::Txn::kNone) return Status::InvalidArgument("a transaction is already open");
  JET_RETURN_IF_ERROR(impl_->pager->BeginRead());
  impl_->txn = Impl::Txn::kRead;
  Status s = impl_->EnsureCatalog();
  if (!s.ok()) EndRead();
  return s;
}

void Database::EndRead() {
  if (impl_->txn != Impl::Txn::kRead) return;
  impl_->pager->EndRead();
  impl_->txn = Impl::Txn::kNone;
}

Status Database::BeginWrite() {
  if (impl_->txn != Impl::Txn::kNone) return Status::InvalidArgument("a transaction is already open");
  if (impl_->options.read_only) return Status::InvalidArgument("the database is open read-only");
  JET_RETURN_IF_ERROR(impl_->pager->BeginWrite());
  impl_->txn = Impl::Txn::kWrite;
  impl_->pages_at_begin = impl_->pager->page_count();
  Status s = impl_->EnsureCatalog();
  if (!s.ok()) Rollback();
  return s;
}

Status Database::Commit() {
  if (impl_->txn != Impl::Txn::kWrite) return Status::InvalidArgument("no write transaction to commit");
  // Pages the statement appended are in use: Jet must not find them in the
  // file's free-page map, where it looks before growing the file.
  Status claimed = ClaimPagesInFreeMap(*impl_->pages, impl_->pages_at_begin, impl_->pager->page_count());
  if (!claimed.ok()) {
    Rollback();
    return claimed;
  }
  // Our own row writes leave the catalog as it was; a new table adds a row
  // to MSysObjects.  Keeping the catalog across our commits saves reloading
  // it after every statement.
  bool catalog_kept = false;
  PageBytes page;
  if (impl_->catalog_loaded && impl_->pages->ReadPage(kCatalogPage, &page).ok()) {
    const TdefLayout tl = TdefLayout::For(impl_->definition.info.jet_version);
    catalog_kept = Get32(page->data() + tl.row_count) == impl_->catalog_rows &&
                   impl_->loaded_generation == impl_->pager->generation();
  }
  impl_->txn = Impl::Txn::kNone;
  Status s = impl_->pager->Commit();
  if (!s.ok()) {
    impl_->hints.clear();
    impl_->catalog_loaded = false;
    return s;
  }
  if (catalog_kept) impl_->loaded_generation = impl_->pager->generation();
  return s;
}

void Database::Rollback() {
  if (impl_->txn != Impl::Txn::kWrite) return;
  impl_->pager->Rollback();
  impl_->txn = Impl::Txn::kNone;
  impl_->catalog_loaded = false;  // our in-transaction view is gone
}

std::vector<std::string> Database::TableNames() const {
  std::vector<std::string> names;
  for (const CatalogEntry& e : impl_->catalog) {
    if ((e.flags & (kFlagSystem | kFlagHidden)) == 0) names.push_back(e.name);
  }
  return names;
}

Status Database::GetTable(const std::string& name, std::shared_ptr<const TableDef>* table) const {
  for (const CatalogEntry& e : impl_->catalog) {
    if (EqualsIgnoreCase(e.name, name)) {
      if (!e.table) return e.error;
      *table = e.table;
      return Status::Ok();
    }
  }
  return Status::NotFound("no table named " + name);
}

namespace {
// Runs `body` inside a read transaction when none is open.
template <typename F>
Status WithRead(Database& db, bool open, F body) {
  if (open) return body();
  JET_RETURN_IF_ERROR(db.BeginRead());
  Status s = body();
  db.EndRead();
  return s;
}
}  // namespace

Status Database::Scan(const TableDef& table, const ScanOptions& options, const RowVisitor& visit) {
  std::vector<bool> wanted;
  if (!options.columns.empty()) {
    wanted.assign(table.columns.size(), false);
    for (int c : options.columns) {
      if (c < 0 || std::size_t(c) >= table.columns.size()) return Status::InvalidArgument("scan of column " + std::to_string(c));
      wanted[c] = true;
    }
  }
  return WithRead(*this, impl_->txn != Impl::Txn::kNone, [&] { return impl_->ScanRows(table, wanted, visit); });
}

Status Database::ReadRow(const TableDef& table, RowId id, Row* row) {
  return WithRead(*this, impl_->txn != Impl::Txn::kNone, [&] { return impl_->DecodeAt(table, id, {}, row); });
}

Status Database::RowCount(const TableDef& table, std::uint32_t* count) {
  return WithRead(*this, impl_->txn != Impl::Txn::kNone, [&]() -> Status {
    PageBytes page;
    JET_RETURN_IF_ERROR(impl_->pages->ReadPage(table.tdef_page, &page));
    *count = Get32(page->data() + TdefLayout::For(impl_->definition.info.jet_version).row_count);
    return Status::Ok();
  });
}

Status Database::InsertRow(const TableDef& table, Row* row, RowId* id) {
  JET_RETURN_IF_ERROR(impl_->CheckWritable(table));
  JET_RETURN_IF_ERROR(CheckRow(table, row));
  JET_RETURN_IF_ERROR(impl_->AssignAutoNumbers(table, row));
  std::vector<std::uint8_t> bytes;
  const std::size_t max_row = impl_->layout().page_size - impl_->layout().slots - 2;
  JET_RETURN_IF_ERROR(EncodeRow(impl_->context(), table, *row, impl_->LongValues(table), max_row, &bytes));
  RowId placed;
  JET_RETURN_IF_ERROR(impl_->PlaceRow(table, bytes, 0, &placed));
  JET_RETURN_IF_ERROR(impl_->AdjustTdef(table, +1, row));
  if (impl_->indexes && !table.real_indexes.empty()) JET_RETURN_IF_ERROR(impl_->indexes->OnInsert(table, placed, *row));
  if (id) *id = placed;
  return Status::Ok();
}

Status Database::UpdateRow(const TableDef& table, RowId id, const Row& values) {
  JET_RETURN_IF_ERROR(impl_->CheckWritable(table));
  Row row = values;
  JET_RETURN_IF_ERROR(CheckRow(table, &row));
  std::vector<std::uint8_t> old_bytes;
  RowId home;
  JET_RETURN_IF_ERROR(impl_->ReadRowBytes(table, id, &old_bytes, &home));
  if (impl_->indexes && !table.real_indexes.empty()) {
    Row old_row;
    JET_RETURN_IF_ERROR(DecodeRow(impl_->context(), table, old_bytes.data(), old_bytes.size(), {}, RowWhere(table, id), &old_row));
    JET_RETURN_IF_ERROR(impl_->indexes->OnDelete(table, id, old_row));
  }
  JET_RETURN_IF_ERROR(impl_->FreeLongValues(table, old_bytes));
  if (home != id) JET_RETURN_IF_ERROR(impl_->FreeRowSlot(table, home));
  std::vector<std::uint8_t> bytes;
  const std::size_t max_row = impl_->layout().page_size - impl_->layout().slots - 2;
  JET_RETURN_IF_ERROR(EncodeRow(impl_->context(), table, row, impl_->LongValues(table), max_row, &bytes));
  Status in_place = WriteSlot(*impl_->pages, id, bytes, 0);
  if (in_place.code() == Status::Code::kNotSupported) {
    // No room on the row's page: the row moves, and its slot keeps a pointer
    // so that its RowId (and every index entry) stays valid.
    RowId moved;
    JET_RETURN_IF_ERROR(impl_->PlaceRow(table, bytes, kSlotDeleted, &moved));
    std::vector<std::uint8_t> pointer(4);
    Put32(pointer.data(), PackPointer(moved.page, std::uint8_t(moved.row)));
    if (moved.row > 0xFF) return Status::NotSupported("moved row slot above 255");
    JET_RETURN_IF_ERROR(WriteSlot(*impl_->pages, id, pointer, kSlotMoved));
  } else {
    JET_RETURN_IF_ERROR(in_place);
  }
  JET_RETURN_IF_ERROR(impl_->NoteRoom(table, id.page));
  JET_RETURN_IF_ERROR(impl_->AdjustTdef(table, 0, &row));
  if (impl_->indexes && !table.real_indexes.empty()) JET_RETURN_IF_ERROR(impl_->indexes->OnInsert(table, id, row));
  return Status::Ok();
}

Status Database::DeleteRow(const TableDef& table, RowId id) {
  JET_RETURN_IF_ERROR(impl_->CheckWritable(table));
  std::vector<std::uint8_t> bytes;
  RowId home;
  JET_RETURN_IF_ERROR(impl_->ReadRowBytes(table, id, &bytes, &home));
  if (impl_->indexes && !table.real_indexes.empty()) {
    Row old_row;
    JET_RETURN_IF_ERROR(DecodeRow(impl_->context(), table, bytes.data(), bytes.size(), {}, RowWhere(table, id), &old_row));
    JET_RETURN_IF_ERROR(impl_->indexes->OnDelete(table, id, old_row));
  }
  JET_RETURN_IF_ERROR(impl_->FreeLongValues(table, bytes));
  if (home != id) JET_RETURN_IF_ERROR(impl_->FreeRowSlot(table, home));
  JET_RETURN_IF_ERROR(impl_->FreeRowSlot(table, id));
  return impl_->AdjustTdef(table, -1, nullptr);
}

void Database::SetIndexMaintainer(std::unique_ptr<IndexMaintainer> maintainer) {
  impl_->indexes = std::move(maintainer);
}

}  // namespace jet
