#include "tools/jetsql_commands.h"

#include <memory>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/sql/value_text.h"

namespace jetsql {
namespace {

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

std::string TypeText(const jet::Column& c, int jet_version) {
  using jet::ColumnType;
  switch (c.type) {
    case ColumnType::kBoolean: return "BIT";
    case ColumnType::kByte: return "BYTE";
    case ColumnType::kInteger: return "SHORT";
    case ColumnType::kLong: return c.autonumber() ? "COUNTER" : "LONG";
    case ColumnType::kCurrency: return "CURRENCY";
    case ColumnType::kSingle: return "SINGLE";
    case ColumnType::kDouble: return "DOUBLE";
    case ColumnType::kDateTime: return "DATETIME";
    case ColumnType::kBinary: return "BINARY(" + std::to_string(c.size) + ")";
    case ColumnType::kText:
      return "TEXT(" + std::to_string(jet_version >= 4 ? c.size / 2 : c.size) + ")";
    case ColumnType::kOle: return "LONGBINARY";
    case ColumnType::kMemo: return c.hyperlink() ? "MEMO /* hyperlink */" : "MEMO";
    case ColumnType::kGuid: return "GUID";
    case ColumnType::kNumeric:
      return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  }
  return "UNKNOWN(" + std::to_string(static_cast<int>(c.type)) + ")";
}

void WriteTable(const jet::TableDef& t, int jet_version, std::ostream& out) {
  out << "CREATE TABLE " << Bracketed(t.name) << " (\n";
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    out << "  " << Bracketed(t.columns[i].name) << " " << TypeText(t.columns[i], jet_version)
        << (i + 1 < t.columns.size() ? ",\n" : "\n");
  }
  out << ");\n";
  for (const jet::Index& index : t.indexes) {
    if (index.real_index >= t.real_indexes.size()) continue;
    const jet::RealIndex& real = t.RealIndexOf(index);
    out << "CREATE " << (real.unique() ? "UNIQUE " : "") << "INDEX " << Bracketed(index.name) << " ON "
        << Bracketed(t.name) << " (";
    for (std::size_t k = 0; k < real.columns.size(); ++k) {
      const jet::IndexColumn& ic = real.columns[k];
      const bool known = ic.column_position >= 0 && static_cast<std::size_t>(ic.column_position) < t.columns.size();
      out << (k ? ", " : "")
          << (known ? Bracketed(t.columns[ic.column_position].name) : "#" + std::to_string(ic.column_number))
          << (ic.ascending ? "" : " DESC");
    }
    out << ")";
    if (index.primary()) out << " WITH PRIMARY";
    else if (real.ignore_nulls()) out << " WITH IGNORE NULL";
    if (index.foreign_key()) out << " /* relationship */";
    out << ";\n";
  }
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void WriteCsv(const jet::Result& result, std::ostream& out) {
  for (std::size_t i = 0; i < result.columns.size(); ++i)
    out << (i ? "," : "") << CsvField(result.columns[i].name);
  out << "\r\n";
  for (const jet::Row& row : result.rows) {
    for (std::size_t i = 0; i < row.size() && i < result.columns.size(); ++i)
      out << (i ? "," : "") << CsvField(jet::FormatValue(row[i], result.columns[i].type));
    out << "\r\n";
  }
}

jet::Status WriteSchema(jet::Database& db, const std::string& table, std::ostream& out) {
  std::vector<std::string> names;
  if (table.empty()) names = db.TableNames();
  else names.push_back(table);
  for (const std::string& name : names) {
    std::shared_ptr<const jet::TableDef> def;
    JET_RETURN_IF_ERROR(db.GetTable(name, &def));
    WriteTable(*def, db.info().jet_version, out);
  }
  return jet::Status::Ok();
}

jet::Status CreateDatabase(const std::string& path) { return jet::CreateDatabase(path); }

int CheckDatabase(const std::string& path, const std::string& password, std::ostream& out) {
  jet::OpenOptions options;
  options.password = password;
  std::unique_ptr<jet::Database> db;
  jet::Status status = jet::Database::Open(path, options, &db);
  if (!status.ok()) {
    out << "jetsql: " << status.ToString() << "\n";
    return 1;
  }
  std::vector<std::string> problems;
  status = jet::CheckDatabase(*db, &problems);
  for (const std::string& problem : problems) out << problem << "\n";
  if (!status.ok()) {
    out << "jetsql: " << status.ToString() << "\n";
    return 1;
  }
  if (problems.empty()) out << "ok\n";
  return problems.empty() ? 0 : 1;
}

}  // namespace jetsql
