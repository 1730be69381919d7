// Runs a parsed statement against an open Database.
//
// REQUIRES: the caller holds the transaction: a read transaction for a
// SELECT, a write transaction for every other statement, rolled back by the
// caller when Execute fails (a failed statement changes nothing).  Every
// check that can fail on the statement alone (names, types, patterns, value
// conversions) runs before the first row is changed.
#pragma once

#include "jet/database.h"
#include "jet/sql/ast.h"
#include "jet/sql/result.h"
#include "jet/status.h"

namespace jet::sql {

bool IsQuery(const Statement& statement);
Status Execute(Database& db, Statement statement, Result* result);

}  // namespace jet::sql
