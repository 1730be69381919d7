// The parsed form of the SQL statements the engine runs.
//
// An expression tree is built by the parser with column references by name;
// the binder (evaluator.h) fills in `column_position` against a table and
// checks the operand types before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "jet/value.h"

namespace jet::sql {

enum class ExprKind {
  kLiteral,  // value (a number keeps its digits in `number_text`)
  kColumn,   // column
  kNot,      // NOT left
  kAnd,      // left AND right
  kOr,       // left OR right
  kCompare,  // left op right
  kLike,     // left [NOT] LIKE right
  kIsNull,   // left IS [NOT] NULL
};

enum class CompareOp { kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual };

struct Expr {
  ExprKind kind = ExprKind::kLiteral;
  std::size_t offset = 0;    // where it starts in the statement, for messages
  Value value;               // kLiteral
  std::string number_text;   // kLiteral from a number: as written (exact for Decimal)
  std::string column;        // kColumn: the name as written
  int column_position = -1;  // kColumn: set by the binder
  CompareOp op = CompareOp::kEqual;  // kCompare
  bool negated = false;      // kLike: NOT LIKE; kIsNull: IS NOT NULL
  std::unique_ptr<Expr> left, right;
};
using ExprPtr = std::unique_ptr<Expr>;

// A literal value of INSERT or UPDATE, before it is converted to its column.
struct Literal {
  Value value;
  std::string number_text;  // set when the literal is a number
  bool is_date = false;     // #...#
  std::size_t offset = 0;
};

struct OrderItem {
  std::string column;
  bool ascending = true;
};

struct SelectStatement {
  bool all_columns = false;          // SELECT *
  std::vector<std::string> columns;  // otherwise, in order
  std::string table;
  ExprPtr where;                     // null: every row
  std::vector<OrderItem> order_by;
};

struct InsertStatement {
  std::string table;
  std::vector<std::string> columns;  // empty: every column in table order
  std::vector<Literal> values;
};

struct Assignment {
  std::string column;
  Literal value;
};

struct UpdateStatement {
  std::string table;
  std::vector<Assignment> assignments;
  ExprPtr where;
};

struct DeleteStatement {
  std::string table;
  ExprPtr where;
};

struct ColumnSpec {
  std::string name;
  ColumnType type = ColumnType::kLong;
  std::uint16_t text_length = 0;  // TEXT(n): n characters (1..255)
  bool autonumber = false;        // COUNTER / AUTOINCREMENT
  bool not_null = false;
};

struct CreateTableStatement {
  std::string table;
  std::vector<ColumnSpec> columns;
  std::vector<std::string> primary_key;  // column names; empty: none
};

using Statement = std::variant<SelectStatement, InsertStatement, UpdateStatement,
                               DeleteStatement, CreateTableStatement>;

}  // namespace jet::sql
