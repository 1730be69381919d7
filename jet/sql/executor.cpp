#include "jet/sql/executor.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>

#include "jet/codec.h"
#include "jet/create.h"
#include "jet/index.h"
#include "jet/index_key.h"
#include "jet/sql/collation.h"
#include "jet/sql/convert.h"
#include "jet/sql/evaluator.h"

namespace jet::sql {
namespace {

Status FindColumn(const TableDef& table, const std::string& name, int* position) {
  *position = table.FindColumn(name);
  if (*position < 0) return Status::NotFound("no column '" + name + "' in table '" + table.name + "'");
  return Status::Ok();
}

// An equality the table's index can answer: an integer column compared
// with a whole number, where a single-column index keys that column.
struct KeyLookup {
  const RealIndex* index = nullptr;
  int position = -1;
  std::int64_t value = 0;
};

bool IntegerColumn(ColumnType type) {
  return type == ColumnType::kLong || type == ColumnType::kInteger || type == ColumnType::kByte;
}

const RealIndex* IndexOn(const TableDef& table, int position) {
  for (const RealIndex& index : table.real_indexes) {
    if (index.columns.size() == 1 && index.columns[0].column_position == position) return &index;
  }
  return nullptr;
}

// Looks for `column = number` in `e` or in one operand of its ANDs: rows
// outside the index's answer cannot satisfy the clause.
bool FindKeyLookup(const TableDef& table, const Expr* e, KeyLookup* lookup) {
  if (!e) return false;
  if (e->kind == ExprKind::kAnd) return FindKeyLookup(table, e->left.get(), lookup) || FindKeyLookup(table, e->right.get(), lookup);
  if (e->kind != ExprKind::kCompare || e->op != CompareOp::kEqual) return false;
  const Expr* column = e->left.get();
  const Expr* literal = e->right.get();
  if (column->kind != ExprKind::kColumn) std::swap(column, literal);
  if (column->kind != ExprKind::kColumn || literal->kind != ExprKind::kLiteral) return false;
  const auto* number = std::get_if<std::int64_t>(&literal->value);
  const int position = column->column_position;
  if (!number || position < 0 || std::size_t(position) >= table.columns.size()) return false;
  if (!IntegerColumn(table.columns[position].type)) return false;
  // A number the column cannot hold matches no row; the scan says so too.
  if (*number < INT32_MIN || *number > INT32_MAX) return false;
  const RealIndex* index = IndexOn(table, position);
  if (!index) return false;
  *lookup = KeyLookup{index, position, *number};
  return true;
}

// The rows the index gives for `lookup`, each checked against the whole clause.
Status CollectThroughIndex(Database& db, const TableDef& table, const Predicate& where, const KeyLookup& lookup,
                           std::vector<std::pair<RowId, Row>>* matches, bool* answered) {
  *answered = false;
  Row probe(table.columns.size());
  probe[lookup.position] = lookup.value;
  std::vector<std::uint8_t> key;
  // A value the key cannot encode (out of the column's range): scan instead.
  if (!EncodeIndexKey(table, *lookup.index, probe, &key).ok()) return Status::Ok();
  std::vector<RowId> ids;
  JET_RETURN_IF_ERROR(FindRowsWithKey(db.pager(), lookup.index->first_page, key, &ids));
  for (RowId id : ids) {
    Row row;
    JET_RETURN_IF_ERROR(db.ReadRow(table, id, &row));
    bool matched = false;
    JET_RETURN_IF_ERROR(where.Matches(row, &matched));
    if (matched) matches->emplace_back(id, std::move(row));
  }
  *answered = true;
  return Status::Ok();
}

// Rows of `table` that satisfy `where`, with their ids, in page order (an
// index lookup gives a handful; their order is the index's); only `columns`
// decoded (empty: all) on a scan.  Index pages are read straight from the
// file, so encoded files and Jet 3's index layout always scan.
Status CollectMatches(Database& db, const TableDef& table, const Predicate& where,
                      std::vector<int> columns, std::vector<std::pair<RowId, Row>>* matches) {
  KeyLookup lookup;
  if (db.info().jet_version == 4 && !db.info().encoded && FindKeyLookup(table, where.expression(), &lookup)) {
    bool answered = false;
    JET_RETURN_IF_ERROR(CollectThroughIndex(db, table, where, lookup, matches, &answered));
    if (answered) return Status::Ok();
  }
  ScanOptions options;
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  options.columns = std::move(columns);
  Status failure;
  JET_RETURN_IF_ERROR(db.Scan(table, options, [&](RowId id, Row& row) {
    bool matched = false;
    failure = where.Matches(row, &matched);
    if (!failure.ok()) return false;
    if (matched) matches->emplace_back(id, std::move(row));
    return true;
  }));
  return failure;
}

Status RunSelect(Database& db, SelectStatement s, Result* result) {
  std::shared_ptr<const TableDef> table;
  JET_RETURN_IF_ERROR(db.GetTable(s.table, &table));
  std::vector<int> output;
  if (s.all_columns) {
    for (std::size_t i = 0; i < table->columns.size(); ++i) output.push_back(static_cast<int>(i));
  } else {
    for (const std::string& name : s.columns) {
      int position;
      JET_RETURN_IF_ERROR(FindColumn(*table, name, &position));
      output.push_back(position);
    }
  }
  std::vector<std::pair<int, bool>> order;  // position, ascending
  for (const OrderItem& item : s.order_by) {
    int position;
    JET_RETURN_IF_ERROR(FindColumn(*table, item.column, &position));
    order.emplace_back(position, item.ascending);
  }
  Predicate where;
  JET_RETURN_IF_ERROR(Predicate::Bind(std::move(s.where), *table, &where));

  std::vector<int> needed = output;
  where.CollectColumns(&needed);
  for (const auto& [position, ascending] : order) needed.push_back(position);
  std::vector<std::pair<RowId, Row>> matches;
  JET_RETURN_IF_ERROR(CollectMatches(db, *table, where, s.all_columns ? std::vector<int>{} : needed, &matches));

  if (!order.empty()) {
    std::stable_sort(matches.begin(), matches.end(), [&order](const auto& a, const auto& b) {
      for (const auto& [position, ascending] : order) {
        const int c = CompareForOrder(a.second[position], b.second[position]);
        if (c != 0) return ascending ? c < 0 : c > 0;
      }
      return false;
    });
  }

  result->is_query = true;
  result->columns.clear();
  for (int position : output)
    result->columns.push_back({table->columns[position].name, table->columns[position].type});
  result->rows.clear();
  result->rows.reserve(matches.size());
  for (auto& [id, row] : matches) {
    if (s.all_columns) {
      result->rows.push_back(std::move(row));
      continue;
    }
    Row projected;
    projected.reserve(output.size());
    for (int position : output) projected.push_back(row[position]);
    result->rows.push_back(std::move(projected));
  }
  result->rows_affected = -1;
  return Status::Ok();
}

Status RunInsert(Database& db, const InsertStatement& s, Result* result) {
  std::shared_ptr<const TableDef> table;
  JET_RETURN_IF_ERROR(db.GetTable(s.table, &table));
  std::vector<int> positions;
  if (s.columns.empty()) {
    if (s.values.size() != table->columns.size())
      return Status::InvalidArgument("number of query values and destination fields are not the same");
    for (std::size_t i = 0; i < table->columns.size(); ++i) positions.push_back(static_cast<int>(i));
  } else {
    for (const std::string& name : s.columns) {
      int position;
      JET_RETURN_IF_ERROR(FindColumn(*table, name, &position));
      if (std::find(positions.begin(), positions.end(), position) != positions.end())
        return Status::InvalidArgument("column '" + name + "' named twice in the INSERT");
      positions.push_back(position);
    }
  }
  Row row(table->columns.size());
  for (std::size_t i = 0; i < table->columns.size(); ++i)
    if (table->columns[i].type == ColumnType::kBoolean) row[i] = false;  // Yes/No is never NULL
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const Column& column = table->columns[positions[i]];
    JET_RETURN_IF_ERROR(ConvertLiteral(s.values[i], column, db.info().jet_version, &row[positions[i]]));
  }
  JET_RETURN_IF_ERROR(db.InsertRow(*table, &row, nullptr));
  result->rows_affected = 1;
  return Status::Ok();
}

Status RunUpdate(Database& db, UpdateStatement s, Result* result) {
  std::shared_ptr<const TableDef> table;
  JET_RETURN_IF_ERROR(db.GetTable(s.table, &table));
  std::vector<std::pair<int, Value>> changes;
  for (const Assignment& a : s.assignments) {
    int position;
    JET_RETURN_IF_ERROR(FindColumn(*table, a.column, &position));
    const Column& column = table->columns[position];
    if (column.autonumber())
      return Status::InvalidArgument("cannot update '" + column.name + "'; field not updateable");
    Value value;
    JET_RETURN_IF_ERROR(ConvertLiteral(a.value, column, db.info().jet_version, &value));
    changes.emplace_back(position, std::move(value));
  }
  Predicate where;
  JET_RETURN_IF_ERROR(Predicate::Bind(std::move(s.where), *table, &where));
  std::vector<std::pair<RowId, Row>> matches;
  JET_RETURN_IF_ERROR(CollectMatches(db, *table, where, {}, &matches));
  for (auto& [id, row] : matches) {
    for (const auto& [position, value] : changes) row[position] = value;
    JET_RETURN_IF_ERROR(db.UpdateRow(*table, id, row));
  }
  result->rows_affected = static_cast<long>(matches.size());
  return Status::Ok();
}

Status RunDelete(Database& db, DeleteStatement s, Result* result) {
  std::shared_ptr<const TableDef> table;
  JET_RETURN_IF_ERROR(db.GetTable(s.table, &table));
  Predicate where;
  JET_RETURN_IF_ERROR(Predicate::Bind(std::move(s.where), *table, &where));
  std::vector<int> needed;
  where.CollectColumns(&needed);
  if (needed.empty()) needed.push_back(0);  // decode as little as possible
  std::vector<std::pair<RowId, Row>> matches;
  JET_RETURN_IF_ERROR(CollectMatches(db, *table, where, needed, &matches));
  for (const auto& [id, row] : matches) JET_RETURN_IF_ERROR(db.DeleteRow(*table, id));
  result->rows_affected = static_cast<long>(matches.size());
  return Status::Ok();
}

// Checks of a new table that need only the statement and the catalog.
Status CheckNewTable(Database& db, const CreateTableStatement& s) {
  std::shared_ptr<const TableDef> existing;
  if (db.GetTable(s.table, &existing).ok())
    return Status::InvalidArgument("table '" + s.table + "' already exists");
  for (std::size_t i = 0; i < s.columns.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (EqualsIgnoreCase(s.columns[i].name, s.columns[j].name))
        return Status::InvalidArgument("column '" + s.columns[i].name + "' defined twice");
  for (const std::string& key : s.primary_key) {
    bool found = false;
    for (const ColumnSpec& c : s.columns) found = found || EqualsIgnoreCase(c.name, key);
    if (!found) return Status::NotFound("primary key column '" + key + "' is not in the table");
  }
  return Status::Ok();
}

Status RunCreateTable(Database& db, const CreateTableStatement& s, Result* result) {
  JET_RETURN_IF_ERROR(CheckNewTable(db, s));
  TableSpec design;
  design.name = s.table;
  for (const sql::ColumnSpec& c : s.columns) {
    jet::ColumnSpec column;
    column.name = c.name;
    column.type = c.type;
    if (c.type == ColumnType::kText) column.text_chars = c.text_length;
    column.autonumber = c.autonumber;
    column.not_null = c.not_null;
    design.columns.push_back(std::move(column));
  }
  design.primary_key = s.primary_key;
  JET_RETURN_IF_ERROR(CreateTable(db, design));
  result->rows_affected = 0;
  return Status::Ok();
}

}  // namespace

bool IsQuery(const Statement& statement) { return std::holds_alternative<SelectStatement>(statement); }

Status Execute(Database& db, Statement statement, Result* result) {
  *result = Result{};
  result->rows_affected = 0;
  return std::visit(
      [&](auto&& s) -> Status {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, SelectStatement>) return RunSelect(db, std::move(s), result);
        else if constexpr (std::is_same_v<T, InsertStatement>) return RunInsert(db, s, result);
        else if constexpr (std::is_same_v<T, UpdateStatement>) return RunUpdate(db, std::move(s), result);
        else if constexpr (std::is_same_v<T, DeleteStatement>) return RunDelete(db, std::move(s), result);
        else return RunCreateTable(db, s, result);
      },
      std::move(statement));
}

}  // namespace jet::sql

namespace jet {

int Result::FindColumn(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (sql::CompareTextIgnoringCase(columns[i].name, name) == 0) return static_cast<int>(i);
  return -1;
}

}  // namespace jet
