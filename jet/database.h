// An open Access (Jet 3 / Jet 4) database: its catalog, its tables' rows,
// read and written at the row level.  SQL lives above this (jet/sql/).
//
// Threading: one Database is used by one thread at a time.
//
// Transactions: every read happens between BeginRead() and EndRead(), every
// change between BeginWrite() and Commit()/Rollback() (the Pager's statement
// transaction; see jet/pager.h).  Scan/ReadRow/GetTable called outside a
// transaction open a read transaction of their own.  Begin*() reloads the
// catalog when the file changed since it was loaded.
//
// Lifetimes: TableDef snapshots are shared_ptrs and stay valid however the
// catalog changes; a Row passed to a visitor is valid only during the call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

// One value per column of the TableDef, in TableDef::columns order.
using Row = std::vector<Value>;

struct OpenOptions {
  std::string password;   // the database password; "" for none.  A mismatch fails the open.
  bool read_only = true;
  bool sync = true;       // flush on commit
  // The files to work on; null means the platform's.  Tests pass a wrapper
  // that injects faults or records writes (jet/file_fault.h).  Not owned;
  // must outlive the Database.
  FileSystem* file_system = nullptr;
};

// What the database definition page (page 0) says.
struct DatabaseInfo {
  int jet_version = 4;          // 3 (Access 97) or 4 (Access 2000-2003)
  std::uint32_t page_size = 4096;
  std::uint16_t code_page = 0;  // Windows code page of 8-bit texts (Jet 3), e.g. 1252
  std::uint16_t sort_order = 0; // database collation id
  DateTime created{};
  bool has_password = false;
  bool encoded = false;         // pages RC4-encoded with the database key
};

struct ScanOptions {
  // Positions (into TableDef::columns) of the columns to decode; empty = all.
  // Columns not asked for are NULL in the Row.
  std::vector<int> columns;
};

// Return false to stop the scan early (Scan then returns Ok).  The visitor
// may move the values out of `row`: each row is decoded afresh.
using RowVisitor = std::function<bool(RowId id, Row& row)>;

// Keeps a table's indexes in step with its rows.  Set on a Database by the
// index code; without one, writes to a table that has indexes are refused.
// Each call happens inside the write transaction, after (insert) or before
// (delete) the row change; an error aborts the statement (the caller rolls
// back).
class IndexMaintainer {
 public:
  virtual ~IndexMaintainer() = default;
  // Ok when every index of `table` can be kept exactly right; otherwise a
  // NotSupported naming the index.  Asked before any change to the table.
  virtual Status CanMaintain(const TableDef& table) = 0;
  // A unique index that already holds the row's key gives InvalidArgument.
  virtual Status OnInsert(const TableDef& table, RowId id, const Row& row) = 0;
  virtual Status OnDelete(const TableDef& table, RowId id, const Row& row) = 0;
};

class Database {
 public:
  // Opens an existing file.  ACE (.accdb) files, damaged files and a wrong
  // password give a Status naming the reason.
  static Status Open(const std::string& path, const OpenOptions& options,
                     std::unique_ptr<Database>* db);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const DatabaseInfo& info() const;
  Pager& pager();

  Status BeginRead();
  void EndRead();
  Status BeginWrite();
  Status Commit();
  void Rollback();

  // User tables (not system, not hidden), in catalog order.
  std::vector<std::string> TableNames() const;
  // Case-insensitive; system tables (MSys*) too.  NotFound if none.
  Status GetTable(const std::string& name, std::shared_ptr<const TableDef>* table) const;

  // Every live row, in page and slot order.  Rows moved to another page are
  // visited once, at their original RowId.
  Status Scan(const TableDef& table, const ScanOptions& options, const RowVisitor& visit);
  Status ReadRow(const TableDef& table, RowId id, Row* row);
  // The table's live row count and AutoNumber counter (from its tdef page).
  Status RowCount(const TableDef& table, std::uint32_t* count);

  // Row writes.  REQUIRES: inside BeginWrite()/Commit().
  // Insert: an AutoNumber column given NULL gets the next value; *row holds
  // the values as stored on return.  `id` may be null.
  Status InsertRow(const TableDef& table, Row* row, RowId* id);
  // Update: the row keeps its RowId (moved rows leave a forwarding pointer).
  Status UpdateRow(const TableDef& table, RowId id, const Row& row);
  Status DeleteRow(const TableDef& table, RowId id);

  void SetIndexMaintainer(std::unique_ptr<IndexMaintainer> maintainer);

  struct Impl;

 private:
  explicit Database(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace jet
