// Page builders for new databases and tables.  Each builder documents the
// bytes it writes; the layouts are those of jet/tdef.h, jet/data_page.h,
// jet/usage_map.h, jet/index.h and jet/header.h.
#include "jet/create.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "jet/bytes.h"
#include "jet/codec.h"
#include "jet/data_page.h"
#include "jet/file.h"
#include "jet/index.h"
#include "jet/index_key.h"
#include "jet/tdef.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

constexpr std::uint32_t kPageSize = 4096;
// A word Jet 4 writes before every column and logical index entry of a
// table definition (and at 0x0C of its header); its meaning is unknown.
constexpr std::uint32_t kTdefStamp = 0x0659;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
constexpr std::uint8_t kSystemTable = 0x53, kUserTable = 0x4E;

// Catalog ids Jet gives its containers and its own objects.
constexpr std::int64_t kRootContainer = 0x0F000000;
constexpr std::int64_t kTablesContainer = 0x0F000001;
constexpr std::int64_t kDatabasesContainer = 0x0F000002;
constexpr std::int64_t kRelationshipsContainer = 0x0F000003;
constexpr std::int64_t kMSysDbId = 0x10000000;
constexpr std::int64_t kSystemFlags = -2147483648LL;  // 0x80000000
constexpr std::int64_t kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

double NowDays() {
  const double seconds = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  return seconds / 86400.0 + 25569.0;  // 1970-01-01 is day 25569 after 1899-12-30
}

// ---- Table definition -----------------------------------------------------

struct ColDef {
  std::string name;
  ColumnType type;
  std::uint8_t flags;
  std::uint16_t size;
  std::uint8_t misc_flags = 0;  // 0x01: texts stored Unicode-compressed
  // Filled in by Lay out():
  std::uint16_t number = 0, fixed_offset = 0, var_index = 0;
};

struct RealDef {
  std::vector<std::uint16_t> columns;  // column numbers, ascending order
  std::uint8_t flags;                  // 0x80 | 0x01 unique | 0x02 ignore nulls | 0x08 required
  std::uint32_t used_map = 0;          // row pointer of its usage map
  std::uint32_t root = 0;
};

struct LogicalDef {
  std::string name;
  std::uint32_t real;
  std::uint8_t type;  // 1 primary key, 0 other
};

struct TdefSpec {
  std::uint8_t table_type = kUserTable;
  std::vector<ColDef> columns;          // in column-number order
  std::vector<RealDef> reals;
  std::vector<LogicalDef> logicals;
  std::uint32_t used_map = 0, free_map = 0;   // row pointers
  std::vector<std::pair<std::uint32_t, std::uint32_t>> long_value_maps;  // per long-value column: used, free
  bool sort_names = false;              // Jet stores its system tables' columns by name
};

bool IsFixed(ColumnType t) {
  return t != ColumnType::kText && t != ColumnType::kBinary && t != ColumnType::kMemo && t != ColumnType::kOle;
}

std::uint16_t FixedSize(ColumnType t) {
  switch (t) {
    case ColumnType::kBoolean: return 1;
    case ColumnType::kByte: return 1;
    case ColumnType::kInteger: return 2;
    case ColumnType::kLong: case ColumnType::kSingle: return 4;
    case ColumnType::kCurrency: case ColumnType::kDouble: case ColumnType::kDateTime: return 8;
    case ColumnType::kGuid: return 16;
    case ColumnType::kNumeric: return 17;
    default: return 0;
  }
}

// Numbers columns in order; fixed columns get consecutive offsets (Yes/No
// lives in the null mask and takes none), variable ones consecutive slots.
void LayOut(std::vector<ColDef>* cols) {
  std::uint16_t offset = 0, slot = 0, number = 0;
  for (ColDef& c : *cols) {
    c.number = number++;
    if (IsFixed(c.type)) {
      c.fixed_offset = c.type == ColumnType::kBoolean ? 0 : offset;
      if (c.type != ColumnType::kBoolean) offset = static_cast<std::uint16_t>(offset + c.size);
    } else {
      c.var_index = slot++;
    }
  }
}

void Append16(std::vector<std::uint8_t>* b, std::uint16_t v) { b->push_back(v & 0xFF); b->push_back(v >> 8); }
void Append32(std::vector<std::uint8_t>* b, std::uint32_t v) { Append16(b, v & 0xFFFF); Append16(b, v >> 16); }

Status AppendName(std::vector<std::uint8_t>* b, const std::string& name) {
  std::vector<std::uint8_t> utf16;
  JET_RETURN_IF_ERROR(Utf8ToUtf16(name, &utf16));
  Append16(b, static_cast<std::uint16_t>(utf16.size()));
  b->insert(b->end(), utf16.begin(), utf16.end());
  return Status::Ok();
}

// One tdef page:
//   0x00 02 01, 0x02 free space, 0x04 next page (0), 0x08 length of what
//   follows the first 8 bytes, 0x0C stamp, 0x10 rows (0), 0x14 AutoNumber
//   (0), 0x18 01 000000 (AutoNumber in use), 0x1C..0x27 0, 0x28 table type,
//   0x29 max columns, 0x2B variable columns, 0x2D columns, 0x2F logical
//   indexes, 0x33 real indexes, 0x37 data page map, 0x3B free-space map;
//   then 12 bytes per real index (0, entry count, 0), 25 per column,
//   the column names, 52 per real index, 28 per logical index, the index
//   names, and per long-value column its number and two page maps, ended by
//   FF FF and eight zero bytes.
Status BuildTdef(const TdefSpec& design, std::vector<std::uint8_t>* page) {
  std::vector<std::uint8_t> b(0x3F, 0);
  b[0] = 0x02;
  b[1] = 0x01;
  Put32(&b[0x0C], kTdefStamp);
  b[0x18] = 0x01;
  b[0x28] = design.table_type;
  std::uint16_t vars = 0;
  for (const ColDef& c : design.columns) vars += IsFixed(c.type) ? 0 : 1;
  Put16(&b[0x29], static_cast<std::uint16_t>(design.columns.size()));
  Put16(&b[0x2B], vars);
  Put16(&b[0x2D], static_cast<std::uint16_t>(design.columns.size()));
  Put32(&b[0x2F], static_cast<std::uint32_t>(design.logicals.size()));
  Put32(&b[0x33], static_cast<std::uint32_t>(design.reals.size()));
  Put32(&b[0x37], design.used_map);
  Put32(&b[0x3B], design.free_map);
  for (std::size_t i = 0; i < design.reals.size(); ++i) b.insert(b.end(), 12, 0);

  std::vector<const ColDef*> order;
  for (const ColDef& c : design.columns) order.push_back(&c);
  if (design.sort_names) {
    std::stable_sort(order.begin(), order.end(), [](const ColDef* x, const ColDef* y) {
      std::string a = x->name, c = y->name;
      std::transform(a.begin(), a.end(), a.begin(), [](unsigned char ch) { return std::tolower(ch); });
      std::transform(c.begin(), c.end(), c.begin(), [](unsigned char ch) { return std::tolower(ch); });
      return a < c;
    });
  }
  for (const ColDef* c : order) {
    b.push_back(static_cast<std::uint8_t>(c->type));
    Append32(&b, kTdefStamp);
    Append16(&b, c->number);
    Append16(&b, c->var_index);
    Append16(&b, c->number);
    Append16(&b, kGeneralSortOrder);
    Append16(&b, 0);
    b.push_back(c->flags);
    b.push_back(c->misc_flags);
    Append32(&b, 0);
    Append16(&b, c->fixed_offset);
    Append16(&b, c->size);
  }
  for (const ColDef* c : order) JET_RETURN_IF_ERROR(AppendName(&b, c->name));
  for (const RealDef& r : design.reals) {
    Append32(&b, kTdefStamp);
    for (std::size_t k = 0; k < 10; ++k) {
      Append16(&b, k < r.columns.size() ? r.columns[k] : 0xFFFF);
      b.push_back(k < r.columns.size() ? 0x01 : 0x00);
    }
    Append32(&b, r.used_map);
    Append32(&b, r.root);
    Append32(&b, 0);
    b.push_back(r.flags);
    b.insert(b.end(), 5, 0);
  }
  for (std::size_t i = 0; i < design.logicals.size(); ++i) {
    const LogicalDef& l = design.logicals[i];
    Append32(&b, kTdefStamp);
    Append32(&b, static_cast<std::uint32_t>(i));
    Append32(&b, l.real);
    b.push_back(0);            // related table type
    Append32(&b, 0xFFFFFFFF);  // related index: none
    Append32(&b, 0);           // related table page
    b.push_back(0x04);         // cascade flags as Jet writes them without a relationship
    b.push_back(0x04);
    b.push_back(l.type);
    Append32(&b, 0);
  }
  for (const LogicalDef& l : design.logicals) JET_RETURN_IF_ERROR(AppendName(&b, l.name));
  std::size_t lv = 0;
  for (const ColDef* c : order) {
    if (c->type != ColumnType::kMemo && c->type != ColumnType::kOle) continue;
    if (lv >= design.long_value_maps.size()) break;
    Append16(&b, c->number);
    Append32(&b, design.long_value_maps[lv].first);
    Append32(&b, design.long_value_maps[lv].second);
    ++lv;
  }
  Append16(&b, 0xFFFF);
  b.insert(b.end(), 8, 0);
  if (b.size() > kPageSize) return Status::NotSupported("table definition larger than one page");
  Put32(&b[0x08], static_cast<std::uint32_t>(b.size() - 8));
  Put16(&b[0x02], static_cast<std::uint16_t>(kPageSize - b.size()));
  b.resize(kPageSize, 0);
  *page = std::move(b);
  return Status::Ok();
}

// ---- Usage maps -----------------------------------------------------------

// An inline map row: 00, first page covered (0), 64 bytes of bits.
std::vector<std::uint8_t> InlineMap(const std::vector<std::uint32_t>& pages) {
  std::vector<std::uint8_t> row(69, 0);
  for (std::uint32_t p : pages) {
    if (p < 64 * 8) row[5 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
  }
  return row;
}

// Collects usage-map rows for one data page owned by page 0 (as Jet keeps
// them) and hands out their row pointers.
class MapPage {
 public:
  explicit MapPage(std::uint32_t page) : page_(page) {}
  std::uint32_t Add(const std::vector<std::uint32_t>& pages) {
    rows_.push_back(PageRow{0, InlineMap(pages)});
    return PackPointer(page_, static_cast<std::uint8_t>(rows_.size() - 1));
  }
  Status Build(std::vector<std::uint8_t>* out) const {
    const DataPageLayout layout = DataPageLayout::For(4);
    *out = NewDataPage(layout, 0);
    if (!BuildDataPage(layout, rows_, out)) return Status::NotSupported("usage maps do not fit one page");
    return Status::Ok();
  }

 private:
  std::uint32_t page_;
  std::vector<PageRow> rows_;
};

std::vector<std::uint8_t> EmptyLeaf(std::uint32_t tdef_page) {
  IndexPage leaf;
  leaf.type = kIndexLeafPage;
  leaf.tdef_page = tdef_page;
  std::vector<std::uint8_t> bytes;
  BuildIndexPage(leaf, kPageSize, &bytes);
  return bytes;
}

// ---- Definition page ------------------------------------------------------

// Page 0.  Bytes 0x18..0x97 are masked with RC4 (key C7 DA 39 6B); in the
// clear they hold: 0x18 00 01 00 00, 0x1C 01 01 00 00, 0x20..0x2F the pages
// of the four system tables (2, 3, 4, 5), 0x3C code page 1252, 0x3E
// database key 0 (pages not encoded), 0x42 the password (40 bytes, empty:
// all zero) XORed with the creation day as a 32-bit integer, 0x6A an
// identifier word, 0x6E sort order 0x0409 (General), 0x72 the creation date.
// After the masked region: 0x98 54 06 00 00 and "4.0", the engine version;
// 0xE00..0xFFF a table Jet fills with 01 01 and then 00 01 pairs.
std::vector<std::uint8_t> DefinitionPage(double created) {
  std::vector<std::uint8_t> p(kPageSize, 0);
  static const std::uint8_t kSignature[] = {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd', 'a', 'r', 'd',
                                            ' ',  'J',  'e',  't',  ' ', 'D', 'B', 0x00};
  std::copy(std::begin(kSignature), std::end(kSignature), p.begin());
  p[0x14] = 0x01;  // Jet 4
  p[0x19] = 0x01;
  p[0x1C] = 0x01;
  p[0x1D] = 0x01;
  for (std::uint32_t i = 0; i < 4; ++i) Put32(&p[0x20 + 4 * i], 2 + i);
  Put16(&p[0x3C], 1252);
  std::uint8_t mask[4];
  Put32(mask, static_cast<std::uint32_t>(static_cast<std::int32_t>(created)));
  for (int i = 0; i < 40; ++i) p[0x42 + i] = mask[i % 4];
  Put16(&p[0x6A], static_cast<std::uint16_t>(std::fmod(created * 86400.0, 65536.0)));
  Put32(&p[0x6E], kGeneralSortOrder);
  PutDouble(&p[0x72], created);
  static const std::uint8_t kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
  Rc4(kKey, sizeof kKey, &p[0x18], 128);
  Put32(&p[0x98], 0x0654);
  p[0x9C] = '4';
  p[0x9D] = '.';
  p[0x9E] = '0';
  p[0xE00] = 0x01;
  p[0xE01] = 0x01;
  for (std::uint32_t i = 0xE02; i < kPageSize; i += 2) p[i + 1] = 0x01;
  return p;
}

// ---- The system tables ----------------------------------------------------

struct SystemTable {
  std::string name;
  std::uint32_t tdef_page;
  TdefSpec design;
};

ColDef Col(const char* name, ColumnType type, std::uint8_t flags, std::uint16_t size) {
  return ColDef{name, type, flags, size};
}

// Column sets as Jet defines them (0x13: fixed, nullable, system; 0x12:
// variable, nullable, system; 0x32 as Jet marks its binary owner ids).
std::vector<SystemTable> SystemTables() {
  using T = ColumnType;
  std::vector<SystemTable> t(4);
  t[0].name = "MSysObjects";
  t[0].design.columns = {Col("Id", T::kLong, 0x13, 4),          Col("ParentId", T::kLong, 0x13, 4),
                       Col("Name", T::kText, 0x12, 510),      Col("Type", T::kInteger, 0x13, 2),
                       Col("DateCreate", T::kDateTime, 0x13, 8), Col("DateUpdate", T::kDateTime, 0x13, 8),
                       Col("Owner", T::kBinary, 0x32, 510),   Col("Flags", T::kLong, 0x13, 4),
                       Col("Database", T::kMemo, 0x12, 0),    Col("Connect", T::kMemo, 0x12, 0),
                       Col("ForeignName", T::kText, 0x12, 510), Col("RmtInfoShort", T::kBinary, 0x12, 510),
                       Col("RmtInfoLong", T::kOle, 0x12, 0),  Col("Lv", T::kOle, 0x12, 0),
                       Col("LvProp", T::kOle, 0x12, 0),       Col("LvModule", T::kOle, 0x12, 0),
                       Col("LvExtra", T::kOle, 0x12, 0)};
  t[0].design.reals = {RealDef{{1, 2}, 0x81}, RealDef{{0}, 0x81}};
  t[0].design.logicals = {LogicalDef{"Id", 1, 1}, LogicalDef{"ParentIdName", 0, 0}};
  t[1].name = "MSysACEs";
  t[1].design.columns = {Col("ObjectId", T::kLong, 0x13, 4), Col("SID", T::kBinary, 0x32, 510),
                       Col("ACM", T::kLong, 0x13, 4), Col("FInheritable", T::kBoolean, 0x13, 1)};
  t[1].design.reals = {RealDef{{0}, 0x88}};
  t[1].design.logicals = {LogicalDef{"ObjectId", 0, 0}};
  t[2].name = "MSysQueries";
  t[2].design.columns = {Col("ObjectId", T::kLong, 0x13, 4), Col("Attribute", T::kByte, 0x13, 1),
                       Col("Order", T::kBinary, 0x12, 510), Col("Name1", T::kText, 0x12, 510),
                       Col("Name2", T::kText, 0x12, 510), Col("Expression", T::kMemo, 0x12, 0),
                       Col("Flag", T::kInteger, 0x13, 2), Col("LvExtra", T::kLong, 0x13, 4)};
  t[2].design.reals = {RealDef{{0, 1}, 0x81}};
  t[2].design.logicals = {LogicalDef{"ObjectIdAttribute", 0, 1}};
  t[3].name = "MSysRelationships";
  t[3].design.columns = {Col("szRelationship", T::kText, 0x12, 510), Col("grbit", T::kLong, 0x13, 4),
                       Col("ccolumn", T::kLong, 0x13, 4), Col("icolumn", T::kLong, 0x13, 4),
                       Col("szObject", T::kText, 0x12, 510), Col("szColumn", T::kText, 0x12, 510),
                       Col("szReferencedObject", T::kText, 0x12, 510),
                       Col("szReferencedColumn", T::kText, 0x12, 510)};
  t[3].design.reals = {RealDef{{0}, 0x82}, RealDef{{4}, 0x82}, RealDef{{6}, 0x82}};
  t[3].design.logicals = {LogicalDef{"szObject", 1, 0}, LogicalDef{"szReferencedObject", 2, 0},
                        LogicalDef{"szRelationship", 0, 0}};
  for (std::uint32_t i = 0; i < 4; ++i) {
    t[i].tdef_page = 2 + i;
    t[i].design.table_type = kSystemTable;
    t[i].design.sort_names = true;
    LayOut(&t[i].design.columns);
  }
  return t;
}

int LongValueColumns(const TdefSpec& design) {
  int n = 0;
  for (const ColDef& c : design.columns) n += (c.type == ColumnType::kMemo || c.type == ColumnType::kOle);
  return n;
}

// Pages 0..13 of a new database, as laid out in create.h.
Status SkeletonPages(double created, std::vector<std::vector<std::uint8_t>>* pages) {
  constexpr std::uint32_t kMapPage = 6, kFirstLeaf = 7;
  std::vector<SystemTable> tables = SystemTables();
  MapPage maps(kMapPage);
  std::uint32_t leaf = kFirstLeaf;
  std::vector<std::vector<std::uint8_t>> leaves;
  for (SystemTable& t : tables) {
    t.design.used_map = maps.Add({});
    t.design.free_map = maps.Add({});
    for (int i = 0; i < LongValueColumns(t.design); ++i) {
      std::uint32_t used = maps.Add({});
      std::uint32_t free = maps.Add({});
      t.design.long_value_maps.emplace_back(used, free);
    }
    for (RealDef& r : t.design.reals) {
      r.root = leaf++;
      r.used_map = maps.Add({r.root});
      leaves.push_back(EmptyLeaf(t.tdef_page));
    }
  }
  const std::uint32_t page_count = leaf;
  pages->assign(page_count, {});
  (*pages)[0] = DefinitionPage(created);
  // Page 1: the file's free-page map.  Every page of the new file is in use;
  // the pages after it, as far as the map reaches, are free.  The second
  // row is an empty map, as Jet leaves it.
  {
    const DataPageLayout layout = DataPageLayout::For(4);
    (*pages)[1] = NewDataPage(layout, 1);
    if (!BuildDataPage(layout, {PageRow{0, NewFreePageMap(page_count, 64)}, PageRow{0, InlineMap({})}},
                       &(*pages)[1])) {
      return Status::NotSupported("page map does not fit");
    }
  }
  for (const SystemTable& t : tables) JET_RETURN_IF_ERROR(BuildTdef(t.design, &(*pages)[t.tdef_page]));
  JET_RETURN_IF_ERROR(maps.Build(&(*pages)[kMapPage]));
  for (std::size_t i = 0; i < leaves.size(); ++i) (*pages)[kFirstLeaf + i] = std::move(leaves[i]);
  return Status::Ok();
}

Status CatalogTable(Database& db, TableDef* msys) {
  PageBytes page;
  JET_RETURN_IF_ERROR(db.pager().Read(2, &page));
  JET_RETURN_IF_ERROR(ParseTableDef(4, 0, *page, 2, msys));
  msys->name = "MSysObjects";
  return Status::Ok();
}

Status InsertCatalogRow(Database& db, const TableDef& msys, std::int64_t id, std::int64_t parent, const std::string& name,
                        std::int64_t type, std::int64_t flags, double now) {
  Row row(msys.columns.size());
  auto set = [&](const char* column, Value v) -> Status {
    int at = msys.FindColumn(column);
    if (at < 0) return Status::Corruption(std::string("catalog has no column ") + column);
    row[at] = std::move(v);
    return Status::Ok();
  };
  JET_RETURN_IF_ERROR(set("Id", id));
  JET_RETURN_IF_ERROR(set("ParentId", parent));
  JET_RETURN_IF_ERROR(set("Name", name));
  JET_RETURN_IF_ERROR(set("Type", type));
  JET_RETURN_IF_ERROR(set("DateCreate", DateTime{now}));
  JET_RETURN_IF_ERROR(set("DateUpdate", DateTime{now}));
  JET_RETURN_IF_ERROR(set("Flags", flags));
  return db.InsertRow(msys, &row, nullptr);
}

Status FillCatalog(const std::string& path, double now) {
  OpenOptions options;
  options.read_only = false;
  std::unique_ptr<Database> db;
  JET_RETURN_IF_ERROR(Database::Open(path, options, &db));
  InstallIndexMaintainer(*db);
  JET_RETURN_IF_ERROR(db->BeginWrite());
  TableDef msys;
  Status s = CatalogTable(*db, &msys);
  struct Entry {
    std::int64_t id, parent;
    const char* name;
    std::int64_t type;
  };
  const Entry entries[] = {
      {kTablesContainer, kRootContainer, "Tables", kTypeContainer},
      {kDatabasesContainer, kRootContainer, "Databases", kTypeContainer},
      {kRelationshipsContainer, kRootContainer, "Relationships", kTypeContainer},
      {kMSysDbId, kDatabasesContainer, "MSysDb", kTypeDatabase},
      {2, kTablesContainer, "MSysObjects", kTypeTable},
      {3, kTablesContainer, "MSysACEs", kTypeTable},
      {4, kTablesContainer, "MSysQueries", kTypeTable},
      {5, kTablesContainer, "MSysRelationships", kTypeTable},
  };
  for (const Entry& e : entries) {
    if (!s.ok()) break;
    s = InsertCatalogRow(*db, msys, e.id, e.parent, e.name, e.type, kSystemFlags, now);
  }
  if (!s.ok()) {
    db->Rollback();
    return s;
  }
  return db->Commit();
}

}  // namespace

Status CreateDatabase(const std::string& path) {
  if (FileExists(path)) return Status::InvalidArgument(path + " exists already");
  const double now = NowDays();
  std::vector<std::vector<std::uint8_t>> pages;
  JET_RETURN_IF_ERROR(SkeletonPages(now, &pages));
  Status s;
  {
    std::unique_ptr<File> file;
    JET_RETURN_IF_ERROR(OpenFile(path, File::Mode::kCreate, &file));
    for (std::size_t i = 0; i < pages.size() && s.ok(); ++i) {
      s = file->Write(std::uint64_t{i} * kPageSize, pages[i].data(), pages[i].size());
    }
    if (s.ok()) s = file->Sync();
  }
  if (s.ok()) s = SyncDirectoryOf(path);
  if (s.ok()) s = FillCatalog(path, now);
  if (!s.ok()) RemoveFile(path);
  return s;
}

// ---- User tables ----------------------------------------------------------

namespace {

Status CheckSpec(Database& db, const TableSpec& design) {
  if (design.name.empty() || design.name.size() > 192) return Status::InvalidArgument("table name empty or too long");
  std::shared_ptr<const TableDef> existing;
  if (db.GetTable(design.name, &existing).ok()) return Status::InvalidArgument("table " + design.name + " exists already");
  if (design.columns.empty() || design.columns.size() > 255) {
    return Status::InvalidArgument("table " + design.name + ": 1 to 255 columns");
  }
  for (std::size_t i = 0; i < design.columns.size(); ++i) {
    const ColumnSpec& c = design.columns[i];
    if (c.name.empty() || c.name.size() > 192) return Status::InvalidArgument("column name empty or too long");
    for (std::size_t j = 0; j < i; ++j) {
      if (EqualsIgnoreCase(design.columns[j].name, c.name)) return Status::InvalidArgument("column " + c.name + " given twice");
    }
    if (c.autonumber && c.type != ColumnType::kLong) {
      return Status::InvalidArgument("column " + c.name + ": only a Long column can be an AutoNumber");
    }
    if (c.type == ColumnType::kText && (c.text_chars < 1 || c.text_chars > 255)) {
      return Status::InvalidArgument("column " + c.name + ": TEXT size must be 1 to 255");
    }
    if (c.type == ColumnType::kNumeric) return Status::NotSupported("column " + c.name + ": creating Decimal columns");
  }
  for (const std::string& k : design.primary_key) {
    auto it = std::find_if(design.columns.begin(), design.columns.end(),
                           [&](const ColumnSpec& c) { return EqualsIgnoreCase(c.name, k); });
    if (it == design.columns.end()) return Status::InvalidArgument("primary key column " + k + " is not a column");
    if (!KeyTypeSupported(it->type)) {
      return Status::NotSupported("primary key on column " + k +
                                  ": this engine keeps keys of numeric and date columns only");
    }
  }
  return Status::Ok();
}

std::vector<ColDef> UserColumns(const TableSpec& design) {
  std::vector<ColDef> cols;
  for (const ColumnSpec& c : design.columns) {
    const bool pk = std::any_of(design.primary_key.begin(), design.primary_key.end(),
                                [&](const std::string& k) { return EqualsIgnoreCase(k, c.name); });
    ColDef d{c.name, c.type, 0, 0};
    if (IsFixed(c.type)) d.flags |= Column::kFlagFixed;
    if (!c.not_null && !pk && c.type != ColumnType::kBoolean) d.flags |= Column::kFlagNullable;
    if (c.autonumber) d.flags |= Column::kFlagAutoNumber;
    switch (c.type) {
      case ColumnType::kText: d.size = static_cast<std::uint16_t>(2 * c.text_chars); d.misc_flags = 0x01; break;
      case ColumnType::kBinary: d.size = 510; break;
      case ColumnType::kMemo: d.misc_flags = 0x01; break;
      case ColumnType::kOle: break;
      default: d.size = FixedSize(c.type); break;
    }
    cols.push_back(d);
  }
  LayOut(&cols);
  return cols;
}

Status WriteTable(Database& db, const TableSpec& design) {
  Pager& pager = db.pager();
  std::uint32_t tdef_page, map_page;
  JET_RETURN_IF_ERROR(pager.Allocate(&tdef_page));
  JET_RETURN_IF_ERROR(pager.Allocate(&map_page));
  TdefSpec t;
  t.table_type = kUserTable;
  t.columns = UserColumns(design);
  MapPage maps(map_page);
  t.used_map = maps.Add({});
  t.free_map = maps.Add({});
  for (int i = 0; i < LongValueColumns(t); ++i) {
    std::uint32_t used = maps.Add({});
    std::uint32_t free = maps.Add({});
    t.long_value_maps.emplace_back(used, free);
  }
  if (!design.primary_key.empty()) {
    std::uint32_t leaf;
    JET_RETURN_IF_ERROR(pager.Allocate(&leaf));
    RealDef pk{{}, 0x89};  // unique, required
    for (const std::string& k : design.primary_key) {
      for (const ColDef& c : t.columns) {
        if (EqualsIgnoreCase(c.name, k)) pk.columns.push_back(c.number);
      }
    }
    pk.root = leaf;
    pk.used_map = maps.Add({});  // the leaf's bit is set below: the map starts at page 0 and may not reach it
    t.reals.push_back(pk);
    t.logicals.push_back(LogicalDef{"PrimaryKey", 0, 1});
    JET_RETURN_IF_ERROR(pager.Write(leaf, EmptyLeaf(tdef_page)));
  }
  std::vector<std::uint8_t> bytes;
  JET_RETURN_IF_ERROR(maps.Build(&bytes));
  JET_RETURN_IF_ERROR(pager.Write(map_page, std::move(bytes)));
  JET_RETURN_IF_ERROR(BuildTdef(t, &bytes));
  JET_RETURN_IF_ERROR(pager.Write(tdef_page, std::move(bytes)));
  if (!t.reals.empty()) {
    TableDef parsed;
    PageBytes page;
    JET_RETURN_IF_ERROR(pager.Read(tdef_page, &page));
    JET_RETURN_IF_ERROR(ParseTableDef(4, 0, *page, tdef_page, &parsed));
    // Usage maps grow as needed through the format's map writer.
    JET_RETURN_IF_ERROR(MarkPageInMap(db.pager(), parsed.real_indexes[0].used_pages, t.reals[0].root, true));
  }
  std::shared_ptr<const TableDef> msys;
  JET_RETURN_IF_ERROR(db.GetTable("MSysObjects", &msys));
  return InsertCatalogRow(db, *msys, tdef_page, kTablesContainer, design.name, kTypeTable, 0, NowDays());
}

}  // namespace

Status CreateTable(Database& db, const TableSpec& design) {
  const bool own = !db.pager().in_write();
  if (own) JET_RETURN_IF_ERROR(db.BeginWrite());
  Status s = CheckSpec(db, design);
  if (s.ok()) s = WriteTable(db, design);
  if (own) {
    if (!s.ok()) {
      db.Rollback();
      return s;
    }
    JET_RETURN_IF_ERROR(db.Commit());
    // Makes the new table visible to GetTable at once (a read transaction
    // reloads the catalog after a commit).
    JET_RETURN_IF_ERROR(db.BeginRead());
    db.EndRead();
  }
  return s;
}

}  // namespace jet
