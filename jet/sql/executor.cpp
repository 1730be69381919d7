#include "jet/sql/executor.h"

#include <algorithm>
#include <memory>
#include <set>

#include "jet/codec.h"
#include "jet/create.h"
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

// Rows of `table` that satisfy `where`, with their ids; only `columns` decoded
// (empty: all).
Status CollectMatches(Database& db, const TableDef& table, const Predicate& where,
                      std::vector<int> columns, std::vector<std::pair<RowId, Row>>* matches) {
  ScanOptions options;
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  options.columns = std::move(columns);
  Status failure;
  JET_RETURN_IF_ERROR(db.Scan(table, options, [&](RowId id, const Row& row) {
    bool matched = false;
    failure = where.Matches(row, &matched);
    if (!failure.ok()) return false;
    if (matched) matches->emplace_back(id, row);
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
