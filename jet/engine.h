// The engine as SQL sees it: a connection to one Access file that runs one
// statement at a time, each statement its own transaction.
//
// Execute parses the whole text first (a text holding more than one
// statement is refused before anything runs), then runs it inside the
// pager's statement transaction: a read transaction around a SELECT, a write
// transaction around every other statement, committed when it succeeds and
// rolled back on any error, so a failed statement leaves the file as it was.
// Between statements the connection holds no lock; other processes may read
// and write the file and each statement sees what they committed.
//
// Threading: one Connection is used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "jet/database.h"
#include "jet/sql/result.h"
#include "jet/status.h"

namespace jet {

struct ConnectionOptions {
  std::string password;    // the database password, "" for none
  bool read_only = false;  // refuse every statement but SELECT
  bool sync = true;        // flush journal and file on commit
  // The files to work on; null means the platform's (see OpenOptions).
  FileSystem* file_system = nullptr;
};

class Connection {
 public:
  // A file that cannot be opened for writing (no permission, read-only
  // medium) is opened read-only; writes then fail.
  static Status Open(const std::string& path, const ConnectionOptions& options,
                     std::unique_ptr<Connection>* connection);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // `sql` in UTF-8.  *result is replaced (also on failure: then empty).
  Status Execute(std::string_view sql, Result* result);

  Database& database() { return *database_; }
  bool read_only() const { return read_only_; }

 private:
  Connection(std::unique_ptr<Database> database, bool read_only);
  std::unique_ptr<Database> database_;
  bool read_only_;
};

}  // namespace jet
