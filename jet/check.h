// The consistency checker: walks a database and reports every
// inconsistency it finds, as `jetsql FILE .check` prints them.
//
// Checked, for every user table and Jet's system tables:
//   - the table's page map against the pages: every mapped page is a data
//     page of the table, every data page of the table is mapped;
//   - each data page's slots fit the page and its free-space count is right;
//   - every row decodes, long values (memo chains) included;
//   - the live row count equals the count in the table definition;
//   - every index: its pages parse, its entries are in order, and (where
//     this engine can compute the keys) its entries equal the rows' keys.
// Read-only; runs inside one read transaction.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"

namespace jet {

// *problems gets one line per inconsistency (empty: clean).  The Status
// fails only when the check itself cannot run (the file unreadable, an
// encoded database).
Status CheckDatabase(Database& db, std::vector<std::string>* problems);

}  // namespace jet
