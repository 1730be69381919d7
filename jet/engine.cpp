#include "jet/engine.h"

#include "jet/index.h"
#include "jet/sql/executor.h"
#include "jet/sql/parser.h"

namespace jet {

Connection::Connection(std::unique_ptr<Database> database, bool read_only)
    : database_(std::move(database)), read_only_(read_only) {}
Connection::~Connection() = default;

Status Connection::Open(const std::string& path, const ConnectionOptions& options,
                        std::unique_ptr<Connection>* connection) {
  OpenOptions open;
  open.password = options.password;
  open.read_only = options.read_only;
  open.sync = options.sync;
  open.file_system = options.file_system;
  std::unique_ptr<Database> database;
  Status status = Database::Open(path, open, &database);
  if (!status.ok() && status.code() == Status::Code::kIOError && !open.read_only) {
    open.read_only = true;
    if (Database::Open(path, open, &database).ok()) status = Status::Ok();
  }
  JET_RETURN_IF_ERROR(status);
  // Writes to a table with indexes need their upkeep.
  if (!open.read_only) InstallIndexMaintainer(*database);
  connection->reset(new Connection(std::move(database), open.read_only));
  return Status::Ok();
}

Status Connection::Execute(std::string_view sql_text, Result* result) {
  *result = Result{};
  sql::Statement statement;
  JET_RETURN_IF_ERROR(sql::Parse(sql_text, &statement));
  if (sql::IsQuery(statement)) {
    JET_RETURN_IF_ERROR(database_->BeginRead());
    Status status = sql::Execute(*database_, std::move(statement), result);
    database_->EndRead();
    if (!status.ok()) *result = Result{};
    return status;
  }
  if (read_only_) return Status::InvalidArgument("the database is open read-only");
  JET_RETURN_IF_ERROR(database_->BeginWrite());
  Status status = sql::Execute(*database_, std::move(statement), result);
  if (status.ok()) status = database_->Commit();
  else database_->Rollback();
  if (!status.ok()) *result = Result{};
  return status;
}

}  // namespace jet
