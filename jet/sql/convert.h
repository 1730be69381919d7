// Literals of INSERT and UPDATE converted to the type of their column, as
// Jet converts them: numbers to any number column (rounded half to even for
// the integer types, checked against the type's range), text that is all
// number to a number, texts and date literals to dates, '{...}' texts to
// Replication IDs, numbers to text.  Yes/No takes NULL as No.  A text longer
// than its Text(n) column, a value of the wrong type or out of range is an
// InvalidArgument naming the column.
#pragma once

#include "jet/sql/ast.h"
#include "jet/status.h"
#include "jet/table_def.h"

namespace jet::sql {

// `jet_version` 3 or 4: how a Text column's size counts characters.
Status ConvertLiteral(const Literal& literal, const Column& column, int jet_version, Value* out);

}  // namespace jet::sql
