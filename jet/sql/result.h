// The result of one statement: a query's rows, all of them read at once (so
// the count is exact from the start), or a change's count of rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/value.h"

namespace jet {

struct ResultColumn {
  std::string name;  // UTF-8, as the table spells it
  ColumnType type = ColumnType::kText;
};

struct Result {
  bool is_query = false;              // SELECT: columns and rows are set
  std::vector<ResultColumn> columns;
  std::vector<Row> rows;              // each has columns.size() values
  long rows_affected = -1;            // INSERT, UPDATE, DELETE; 0 for CREATE TABLE

  // Position of a column by name, ignoring letter case; -1 when absent.
  int FindColumn(std::string_view name) const;
};

}  // namespace jet
