// The consistency checker: walks a database and reports every
// inconsistency it finds, as `jetsql FILE .check` prints them.
//
// Checked, for every table the catalog lists (system tables included):
//   - the table's page map against the pages: every mapped page is a data
//     page of the table, every data page of the table is mapped; its
//     free-space map lists only its own data pages;
//   - each data page's slots fit the page and its free-space count is right
//     (Access may still count a deleted row's bytes as used);
//   - every row decodes; a moved row points at a home on the table's pages;
//     every long value a row refers to resolves to rows on LVAL pages, no
//     LVAL row is reached twice, and the chain holds the field's length;
//   - the live row count equals the count in the table definition (not for
//     MSys* tables, whose counts Access does not keep exact);
//   - every index (Jet 4): its pages parse, its entries are in order, its
//     pages and its page map list the same pages, and (where this engine can compute the
//     keys) its entries equal the rows' keys;
//   - no page in use is marked free in the file's free-page map (page 1).
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
