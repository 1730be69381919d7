// WHERE clauses bound to a table and evaluated on its rows, and the order
// of values for ORDER BY.
//
// Binding resolves every column name against the table, checks that the
// operands of each operator can be compared (a text against a number is
// "data type mismatch", as in Jet) and compiles constant LIKE patterns, so a
// bad clause fails before any row is read.  Evaluation follows SQL's three
// values: a comparison with NULL is NULL, NOT NULL is NULL, FALSE AND NULL
// is FALSE, TRUE OR NULL is TRUE; a row matches only when the clause is TRUE.
// Texts compare ignoring letter case (collation.h).
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "jet/database.h"
#include "jet/sql/ast.h"
#include "jet/sql/like.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet::sql {

class Predicate {
 public:
  // `where` may be null: every row matches.
  static Status Bind(ExprPtr where, const TableDef& table, Predicate* predicate);
  Status Matches(const Row& row, bool* matches) const;
  // Positions of the columns the clause reads, added to *positions.
  void CollectColumns(std::vector<int>* positions) const;
  // The bound clause (column positions filled in); null for every row.
  const Expr* expression() const { return where_.get(); }

 private:
  struct Bound;
  Status Evaluate(const Expr& expr, const Row& row, Value* out) const;
  ExprPtr where_;
  std::map<const Expr*, LikePattern> patterns_;  // constant patterns, by LIKE node
  std::vector<ColumnType> column_types_;         // of the table, by position
};

// A total order for sorting: NULL first, numbers (Yes/No, Currency,
// Decimal and dates too) by value, texts ignoring case, bytes in order.
int CompareForOrder(const Value& a, const Value& b);

}  // namespace jet::sql
