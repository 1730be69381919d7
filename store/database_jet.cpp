// The database operations over our own Access engine (jet/engine.h).
//
// A DBConnection holds a shared Session: the engine connection while open,
// and a number that changes each time the connection closes.  A RecordSet
// keeps a weak reference to the session it is attached to and the number
// under which its result was made, so closing (or destroying) the
// connection also closes its record sets, as ADO does, and a record set
// never reaches a connection that is gone.
//
// Texts cross in GB18030: statements and paths are converted to UTF-8 for
// the engine, values back to GB18030.  Values are shown by jet::FormatValue
// (jet/sql/value_text.h), the same forms as jetsql's output.
//
// NORVANE_JET_NOSYNC=1 in the environment makes ConnectAccess open without
// the commit flush; for benchmarks and tests only, never for the program.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "jet/engine.h"
#include "jet/sql/value_text.h"
#include "store/database.h"
#include "store/database_jet_testing.h"
#include "text/gb18030.h"

namespace store {
namespace {

struct Session {
  std::unique_ptr<jet::Connection> connection;  // null while closed
  std::uint64_t number = 0;                     // moves on every close
  std::string last_error;                       // UTF-8

  void Close() {
    if (connection) ++number;
    connection.reset();
  }
};

// The value of `key` (ASCII, any case) in "k1=v1; k2=v2" with blanks around
// keys and values dropped, as a provider reads its connection string.
std::string ConnectionStringValue(std::string_view connection_string, std::string_view key) {
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  auto same = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
      if (x != y) return false;
    }
    return true;
  };
  while (!connection_string.empty()) {
    const std::size_t end = connection_string.find(';');
    const std::string_view part = connection_string.substr(0, end);
    const std::size_t equals = part.find('=');
    if (equals != std::string_view::npos && same(trim(part.substr(0, equals)), key))
      return std::string(trim(part.substr(equals + 1)));
    if (end == std::string_view::npos) break;
    connection_string.remove_prefix(end + 1);
  }
  return "";
}

}  // namespace

struct DBConnection::Impl {
  std::shared_ptr<Session> session = std::make_shared<Session>();
};

struct RecordSet::Impl {
  std::weak_ptr<Session> session;  // attached connection
  // The open result, valid while the session still has `result_session`.
  bool has_result = false;
  std::uint64_t result_session = 0;
  jet::Result result;
  std::size_t position = 0;        // 0..rows.size(); rows.size() is the end
  long rows_affected = -1;
  std::string last_error;          // UTF-8

  bool IsOpen() const {
    if (!has_result) return false;
    const std::shared_ptr<Session> s = session.lock();
    return s && s->connection && s->number == result_session;
  }
  void Close() {
    has_result = false;
    result = jet::Result{};
    position = 0;
    column_names.clear();
  }
  // The position of a column named in GB18030; -1 if none.  A list is read
  // field by field, row after row: the few names asked for are remembered.
  int ColumnIndex(const Text& column) {
    for (const auto& [name, index] : column_names) {
      if (name == column) return index;
    }
    const int index = result.FindColumn(text::Utf8FromGb18030(column));
    column_names.emplace_back(column, index);
    return index;
  }
  std::vector<std::pair<Text, int>> column_names;  // of the open result
};

DBConnection::DBConnection() : impl_(std::make_unique<Impl>()) {}
DBConnection::~DBConnection() = default;
RecordSet::RecordSet() : impl_(std::make_unique<Impl>()) {}
RecordSet::~RecordSet() = default;

namespace {

int Connect(DBConnection& connection, const Text& path, const Text& password,
            jet::FileSystem* files) {
  Session& session = *connection.impl()->session;
  session.Close();
  // The same string the ADO backend hands its provider, read back the same way.
  std::string connection_string = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path;
  if (!password.empty()) connection_string += ";Jet OLEDB:Database Password=" + password + ";";
  jet::ConnectionOptions options;
  options.password = text::Utf8FromGb18030(ConnectionStringValue(connection_string, "Jet OLEDB:Database Password"));
  const char* nosync = std::getenv("NORVANE_JET_NOSYNC");
  options.sync = !(nosync && std::string_view(nosync) == "1");
  options.file_system = files;
  const std::string file = text::Utf8FromGb18030(ConnectionStringValue(connection_string, "Data Source"));
  const jet::Status status = jet::Connection::Open(file, options, &session.connection);
  if (!status.ok()) {
    session.connection.reset();
    session.last_error = status.ToString();
    return 0;
  }
  session.last_error.clear();
  return 1;
}

}  // namespace

int ConnectAccess(DBConnection& connection, const Text& path, const Text& password) {
  return Connect(connection, path, password, nullptr);
}

int ConnectAccessOver(DBConnection& connection, const Text& path, jet::FileSystem* files) {
  return Connect(connection, path, "", files);
}

int AttachConnection(RecordSet& recordSet, DBConnection& connection) {
  recordSet.impl()->Close();
  recordSet.impl()->session = connection.impl()->session;
  return 1;
}

int OpenRecordSet(RecordSet& recordSet, const Text& statement, int kind) {
  RecordSet::Impl& rs = *recordSet.impl();
  rs.Close();
  rs.rows_affected = -1;
  if (kind != 1) {
    rs.last_error = "only SQL text statements (kind 1) are run";
    return 0;
  }
  const std::shared_ptr<Session> session = rs.session.lock();
  if (!session || !session->connection) {
    rs.last_error = "the record set has no open connection";
    return 0;
  }
  jet::Result result;
  const jet::Status status = session->connection->Execute(text::Utf8FromGb18030(statement), &result);
  if (!status.ok()) {
    rs.last_error = status.ToString();
    return 0;
  }
  rs.last_error.clear();
  if (result.is_query) {
    rs.result = std::move(result);
    rs.has_result = true;
    rs.result_session = session->number;
    rs.position = 0;
  } else {
    rs.rows_affected = result.rows_affected;
  }
  return 1;
}

int RecordCount(const RecordSet& recordSet) {
  const RecordSet::Impl& rs = *recordSet.impl();
  return rs.IsOpen() ? static_cast<int>(rs.result.rows.size()) : -1;
}

int MoveFirst(RecordSet& recordSet) {
  RecordSet::Impl& rs = *recordSet.impl();
  if (!rs.IsOpen() || rs.result.rows.empty()) return 0;  // an empty set has no first record
  rs.position = 0;
  return 1;
}

int MoveNext(RecordSet& recordSet) {
  RecordSet::Impl& rs = *recordSet.impl();
  if (!rs.IsOpen() || rs.position >= rs.result.rows.size()) return 0;
  ++rs.position;
  return 1;
}

int ReadFieldText(RecordSet& recordSet, const Text& column, Text& value) {
  value.clear();
  RecordSet::Impl& rs = *recordSet.impl();
  if (!rs.IsOpen() || rs.position >= rs.result.rows.size()) return 0;
  const int index = rs.ColumnIndex(column);
  if (index < 0) {
    rs.last_error = "no column '" + text::Utf8FromGb18030(column) + "' in the record set";
    return 0;
  }
  const jet::Value& field = rs.result.rows[rs.position][index];
  // Texts are shown as they are: converted straight into the caller's buffer.
  if (const auto* held = std::get_if<std::string>(&field)) {
    text::AssignGb18030FromUtf8(*held, &value);
  } else {
    value = text::Gb18030FromUtf8(jet::FormatValue(field, rs.result.columns[index].type));
  }
  return 1;
}

void CloseRecordSet(RecordSet& recordSet) { recordSet.impl()->Close(); }

int CloseConnection(DBConnection& connection) {
  connection.impl()->session->Close();
  return 1;
}

long RowsAffected(const RecordSet& recordSet) { return recordSet.impl()->rows_affected; }

std::string LastError(const RecordSet& recordSet) { return recordSet.impl()->last_error; }
std::string LastError(const DBConnection& connection) {
  return connection.impl()->session->last_error;
}

}  // namespace store
