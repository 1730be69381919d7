// Parses one SQL statement (UTF-8) into its tree.
//
// The grammar the engine runs:
//   SELECT (* | column, ...) FROM table [WHERE expr] [ORDER BY column [ASC|DESC], ...]
//   INSERT INTO table [(column, ...)] VALUES (literal, ...)
//   UPDATE table SET column = literal, ... [WHERE expr]
//   DELETE [*] FROM table [WHERE expr]
//   CREATE TABLE table (column type [(n)] [NOT NULL] [PRIMARY KEY], ...
//                       [, [CONSTRAINT name] PRIMARY KEY (column, ...)])
//   expr: OR of AND of [NOT] predicate; predicate: operand [op operand |
//   [NOT] LIKE operand | IS [NOT] NULL]; operand: literal, column, (expr).
// Keywords in any case.  One ';' may end the statement; anything after the
// statement is a syntax error, so a text holding two statements runs neither.
#pragma once

#include <string_view>

#include "jet/sql/ast.h"
#include "jet/status.h"

namespace jet::sql {

// InvalidArgument "syntax error ..." naming the position for a malformed
// statement; NotSupported for a well-formed one the engine does not run.
Status Parse(std::string_view sql, Statement* statement);

// The value of a number as written: an integer that fits 32 bits (as Jet
// types integer literals) or 64 bits, else a double.
Value NumberValue(const std::string& digits);

}  // namespace jet::sql
