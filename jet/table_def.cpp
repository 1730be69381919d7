#include <algorithm>
#include <string>

#include "jet/bytes.h"
#include "jet/codec.h"
#include "jet/tdef.h"

namespace jet {
namespace {

RowId PointerToRowId(std::uint32_t word) { return RowId{word >> 8, std::uint16_t(word & 0xFF)}; }

Status ReadName(Cursor& c, bool jet3, std::uint16_t code_page, std::string* name) {
  std::size_t len = jet3 ? c.U8("name length") : c.U16("name length");
  const std::uint8_t* p = c.Bytes(len, "name");
  if (!c.ok()) return c.status();
  if (jet3) return DecodeCodePage(p, len, code_page, name);
  *name = DecodeJet4Text(p, len);
  return Status::Ok();
}

Status ReadColumn(Cursor& c, bool jet3, Column* col) {
  auto type = c.U8("column type");
  if (!jet3) c.Skip(4, "column unknown");
  col->number = c.U16("column number");
  col->var_index = c.U16("column variable offset");
  c.Skip(2, "column number (repeat)");
  std::uint8_t misc[4];
  const std::uint8_t* m = c.Bytes(4, "column misc");
  if (m) std::copy(m, m + 4, misc);
  if (jet3) c.Skip(2, "column unknown");
  col->flags = c.U8("column flags");
  if (!jet3) {
    col->compressed_unicode = c.U8("column misc flags") & 0x01;
    c.Skip(4, "column unknown");
  }
  col->fixed_offset = c.U16("column fixed offset");
  col->size = c.U16("column length");
  if (!c.ok()) return c.status();
  // Types this engine does not know (0x11 in MSysAccessObjects, ...) are
  // kept: their values read as bytes, and writes to them are refused.
  col->type = ColumnType(type);
  if (col->type == ColumnType::kNumeric) {
    col->precision = misc[0];
    col->scale = misc[1];
  } else if (col->type == ColumnType::kText || col->type == ColumnType::kMemo) {
    col->sort_order = Get16(misc);
    if (jet3) col->code_page = Get16(misc + 2);
  }
  return Status::Ok();
}

Status ReadRealIndex(Cursor& c, bool jet3, RealIndex* ri) {
  if (!jet3) c.Skip(4, "real index unknown");
  for (int k = 0; k < 10; ++k) {
    std::uint16_t num = c.U16("index column number");
    std::uint8_t order = c.U8("index column order");
    if (c.ok() && num != 0xFFFF) ri->columns.push_back(IndexColumn{num, -1, order == 0x01});
  }
  ri->used_pages = PointerToRowId(c.U32("index usage map"));
  ri->first_page = c.U32("index first page");
  if (!jet3) c.Skip(4, "index unknown");
  ri->flags = c.U8("index flags");
  if (!jet3) c.Skip(5, "index unknown tail");
  return c.status();
}

}  // namespace

int TableDef::FindColumn(const std::string& column_name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (EqualsIgnoreCase(columns[i].name, column_name)) return int(i);
  }
  return -1;
}

Status ParseTableDef(int jet_version, std::uint16_t code_page, const std::vector<std::uint8_t>& bytes,
                     std::uint32_t tdef_page, TableDef* t) {
  const bool jet3 = jet_version == 3;
  const std::string where = "table definition on page " + std::to_string(tdef_page);
  Cursor c(bytes.data(), bytes.size(), where);
  if (bytes.size() < 2 || bytes[0] != 0x02) {
    return Status::Corruption(where + ": not a table definition page");
  }
  t->tdef_page = tdef_page;
  c.Skip(8, "page header");
  c.Skip(4, "definition length");
  if (!jet3) c.Skip(4, "unknown");
  t->row_count = c.U32("row count");
  t->next_autonumber = c.U32("autonumber");
  if (!jet3) c.Skip(16, "autonumber flags");
  t->table_type = c.U8("table type");
  t->max_cols = c.U16("max columns");
  t->var_column_count = c.U16("variable columns");
  std::uint16_t num_cols = c.U16("column count");
  std::uint32_t num_idx = c.U32("index count");
  std::uint32_t num_real_idx = c.U32("real index count");
  t->used_pages = PointerToRowId(c.U32("usage map"));
  t->free_pages = PointerToRowId(c.U32("free space map"));
  if (!c.ok()) return c.status();
  // Each entry takes at least a few bytes, so counts beyond the buffer are lies.
  if (num_idx > bytes.size() / 20 || num_real_idx > bytes.size() / 39 || num_idx > 1000 ||
      num_real_idx > 1000) {
    return Status::Corruption(where + ": index count " + std::to_string(num_idx) + "/" +
                              std::to_string(num_real_idx) + " impossible");
  }
  std::vector<std::uint32_t> real_counts(num_real_idx);
  for (auto& n : real_counts) {
    c.Skip(4, "real index unknown");
    n = c.U32("real index rows");
    if (!jet3) c.Skip(4, "real index unknown");
  }
  t->columns.assign(num_cols, Column{});
  for (auto& col : t->columns) JET_RETURN_IF_ERROR(ReadColumn(c, jet3, &col));
  for (auto& col : t->columns) {
    JET_RETURN_IF_ERROR(ReadName(c, jet3, code_page, &col.name));
  }
  t->real_indexes.assign(num_real_idx, RealIndex{});
  for (std::uint32_t i = 0; i < num_real_idx; ++i) {
    t->real_indexes[i].number = i;
    t->real_indexes[i].row_count = real_counts[i];
    JET_RETURN_IF_ERROR(ReadRealIndex(c, jet3, &t->real_indexes[i]));
  }
  t->indexes.assign(num_idx, Index{});
  for (auto& idx : t->indexes) {
    if (!jet3) c.Skip(4, "index unknown");
    idx.number = c.U32("index number");
    idx.real_index = c.U32("index real index");
    c.Skip(1 + 4 + 4 + 1 + 1, "index relationship");
    idx.type = c.U8("index type");
    if (!jet3) c.Skip(4, "index unknown tail");
    if (!c.ok()) return c.status();
    if (idx.real_index >= num_real_idx) {
      return Status::Corruption(where + ": index " + std::to_string(idx.number) +
                                " refers to real index " + std::to_string(idx.real_index) +
                                " of " + std::to_string(num_real_idx));
    }
  }
  for (auto& idx : t->indexes) JET_RETURN_IF_ERROR(ReadName(c, jet3, code_page, &idx.name));

  std::stable_sort(t->columns.begin(), t->columns.end(),
                   [](const Column& a, const Column& b) { return a.number < b.number; });
  std::uint16_t var_seen = 0;
  for (std::size_t i = 0; i < t->columns.size(); ++i) {
    const Column& col = t->columns[i];
    if (i > 0 && col.number == t->columns[i - 1].number) {
      return Status::Corruption(where + ": column number " + std::to_string(col.number) + " used twice");
    }
    if (!col.fixed()) ++var_seen;
  }
  (void)var_seen;
  for (auto& ri : t->real_indexes) {
    for (auto& ic : ri.columns) {
      for (std::size_t i = 0; i < t->columns.size(); ++i) {
        if (t->columns[i].number == ic.column_number) ic.column_position = int(i);
      }
      if (ic.column_position < 0) {
        return Status::Corruption(where + ": real index " + std::to_string(ri.number) +
                                  " names missing column " + std::to_string(ic.column_number));
      }
    }
  }
  return Status::Ok();
}

}  // namespace jet
