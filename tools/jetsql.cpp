// jetsql: looks into an Access file from the command line.
//
//   jetsql [--password P] FILE "SQL"      one statement; a query prints CSV
//   jetsql [--password P] FILE            one statement per line from stdin
//   jetsql [--password P] FILE .tables    the user tables, one a line
//   jetsql [--password P] FILE .schema [TABLE]
//   jetsql [--password P] FILE .check     the file's consistency report
//   jetsql --create FILE                  a new, empty Jet 4 database
//
// Query results are CSV (RFC 4180) in UTF-8: a header line of column names,
// then one line per row, CRLF line ends; a field holding a comma, quote, CR
// or LF is quoted with quotes doubled.  Values look as FormatValue
// (jet/sql/value_text.h) shows them.  Errors go to stderr with the engine's
// message; exit status 0 on success, 1 when a statement or check failed,
// 2 for a usage error.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "jet/engine.h"
#include "jet/sql/parser.h"
#include "jet/sql/value_text.h"
#include "tools/jetsql_commands.h"

namespace {

void PrintUsage() {
  std::cerr << "usage: jetsql [--password P] FILE [\"SQL\" | .tables | .schema [TABLE] | .check]\n"
               "       jetsql --create FILE\n";
}

struct Arguments {
  std::string password;
  bool create = false;
  std::string file;
  std::vector<std::string> rest;
};

bool ParseArguments(int argc, char** argv, Arguments* args) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--password" && i + 1 < argc && args->file.empty()) {
      args->password = argv[++i];
    } else if (a == "--create" && args->file.empty()) {
      args->create = true;
    } else if (args->file.empty()) {
      args->file = a;
    } else {
      args->rest.push_back(a);
    }
  }
  if (args->file.empty()) return false;
  if (args->create) return args->rest.empty();
  return args->rest.size() <= 1 || (args->rest.size() == 2 && args->rest[0] == ".schema");
}

int Fail(const jet::Status& status) {
  std::cerr << "jetsql: " << status.ToString() << "\n";
  return 1;
}

// Runs one statement and prints a query's rows.
bool RunStatement(jet::Connection& connection, const std::string& sql) {
  jet::Result result;
  const jet::Status status = connection.Execute(sql, &result);
  if (!status.ok()) {
    Fail(status);
    return false;
  }
  if (result.is_query) jetsql::WriteCsv(result, std::cout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, &args)) {
    PrintUsage();
    return 2;
  }
  if (args.create) {
    const jet::Status status = jetsql::CreateDatabase(args.file);
    return status.ok() ? 0 : Fail(status);
  }
  const std::string command = args.rest.empty() ? "" : args.rest[0];
  // A single query needs no write access; everything else may write.
  jet::ConnectionOptions options;
  options.password = args.password;
  if (command == ".tables" || command == ".schema") {
    options.read_only = true;
  } else if (!command.empty() && command != ".check") {
    jet::sql::Statement statement;
    options.read_only = jet::sql::Parse(command, &statement).ok() &&
                        std::holds_alternative<jet::sql::SelectStatement>(statement);
  }
  if (command == ".check") return jetsql::CheckDatabase(args.file, options.password, std::cout);

  std::unique_ptr<jet::Connection> connection;
  const jet::Status opened = jet::Connection::Open(args.file, options, &connection);
  if (!opened.ok()) return Fail(opened);

  if (command == ".tables") {
    for (const std::string& name : connection->database().TableNames()) std::cout << name << "\n";
    return 0;
  }
  if (command == ".schema") {
    const jet::Status status =
        jetsql::WriteSchema(connection->database(), args.rest.size() == 2 ? args.rest[1] : "", std::cout);
    return status.ok() ? 0 : Fail(status);
  }
  if (!command.empty()) return RunStatement(*connection, command) ? 0 : 1;

  bool all_ok = true;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    all_ok = RunStatement(*connection, line) && all_ok;
    std::cout.flush();
  }
  return all_ok ? 0 : 1;
}
