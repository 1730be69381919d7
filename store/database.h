// The database operations of the main window's two components: the
// connection 数据库连接1 (a DBConnection) and the record set 记录集1 (a
// RecordSet) through which every statement runs.
//
// Two backends implement this header: our own Access engine (jet/, on Linux
// and in the engine-backed Windows build) and ADO with the Jet 4.0 OLE DB
// provider (Windows).  Exactly one is linked in.
//
// The operations never show a message and never throw: every engine error is
// swallowed and reported only by the result (1 accepted, 0 refused; -1 for a
// count that cannot be read; "" for a column that cannot be read).  The last
// engine message is kept for diagnostics (tools, tests).
//
// States of a record set:
//   closed   -- before the first statement, after INSERT/UPDATE/DELETE, after
//               a failed open, after CloseRecordSet.  RecordCount() = -1.
//   open     -- after a SELECT; the cursor stands on a record from 0 to
//               count-1, or on the end position (count).  OpenRecordSet moves
//               here from any state (closing the previous result first).
// Texts cross this interface in the program's code page (GB18030).
#pragma once

#include <memory>
#include <string>

#include "text/text.h"

namespace store {

using text::Text;

class DBConnection {
 public:
  DBConnection();
  ~DBConnection();
  DBConnection(const DBConnection&) = delete;
  DBConnection& operator=(const DBConnection&) = delete;

  struct Impl;
  Impl* impl() { return impl_.get(); }
  const Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

class RecordSet {
 public:
  RecordSet();
  ~RecordSet();
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;

  struct Impl;
  Impl* impl() { return impl_.get(); }
  const Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// Connection string "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path,
// with ";Jet OLEDB:Database Password=" + password + ";" when the password is
// not empty.  An open connection is closed first.  1 when the open succeeds.
int ConnectAccess(DBConnection& connection, const Text& path, const Text& password);
// 1: the record set now runs its statements on `connection`.
int AttachConnection(RecordSet& recordSet, DBConnection& connection);
// kind 1 = SQL text.  1 when the engine accepted the statement.
int OpenRecordSet(RecordSet& recordSet, const Text& statement, int kind);
// Exact number of records of the last SELECT; -1 while closed.
int RecordCount(const RecordSet& recordSet);
int MoveFirst(RecordSet& recordSet);
// 1 also for the move from the last record onto the end position.
int MoveNext(RecordSet& recordSet);
// Always sets `value`: the current record's column as text, or "".  Column
// names ignore letter case.  Forms of the values:
//   NULL ""; Yes/No "TRUE" / "FALSE"; Byte, Integer, Long (the AutoNumber
//   ID) decimal digits with "-" when negative;
//   Currency, Decimal: exact decimal, no exponent, trailing zeros of the
//     fraction dropped ("12.5", "3", "-0.0001");
//   Single, Double: the shortest text that reads back as the same number
//     (a Single as a 32-bit float): "3.14", "0.1", "1e+20";
//   Date/Time "%Y-%m-%d %H:%M:%S" ("2020-02-29 13:14:15");
//   Replication ID "{12345678-1234-5678-9ABC-DEF001234567}", upper case;
//   Binary, OLE Object: upper-case hex digits, two per byte ("0A1BFF");
//   texts themselves.
// The engine backend takes these forms from jet::FormatValue, the one place
// that decides them (jetsql prints the same).
int ReadFieldText(RecordSet& recordSet, const Text& column, Text& value);
void CloseRecordSet(RecordSet& recordSet);
int CloseConnection(DBConnection& connection);

// Rows changed by the last accepted INSERT, UPDATE or DELETE; -1 otherwise.
long RowsAffected(const RecordSet& recordSet);
// The engine's message for the last refused operation ("" if none), UTF-8.
std::string LastError(const RecordSet& recordSet);
std::string LastError(const DBConnection& connection);

}  // namespace store
