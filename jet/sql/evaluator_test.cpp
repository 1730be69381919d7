// WHERE clauses and value conversions over a table definition held in
// memory: neither needs a file.
#include "jet/sql/evaluator.h"

#include <gtest/gtest.h>

#include "jet/sql/convert.h"
#include "jet/sql/parser.h"
#include "jet/sql/value_text.h"

namespace jet::sql {
namespace {

TableDef PeopleTable() {
  TableDef t;
  t.name = "People";
  auto add = [&t](const char* name, ColumnType type, std::uint16_t size = 0) {
    Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.number = static_cast<std::uint16_t>(t.columns.size());
    t.columns.push_back(c);
  };
  add("ID", ColumnType::kLong, 4);
  add("Name", ColumnType::kText, 20);  // Text(10) in Jet 4
  add("Note", ColumnType::kMemo);
  add("Born", ColumnType::kDateTime, 8);
  add("Member", ColumnType::kBoolean);
  add("Fee", ColumnType::kCurrency, 8);
  add("Amount", ColumnType::kNumeric, 17);
  t.columns.back().precision = 10;
  t.columns.back().scale = 2;
  add("Huge", ColumnType::kNumeric, 17);
  t.columns.back().precision = 28;
  return t;
}

// Evaluates `where` on one row: "true", "false" or the error message.
std::string Eval(const std::string& where, const Row& row) {
  Statement st;
  Status status = Parse("select * from People where " + where, &st);
  if (!status.ok()) return status.message();
  Predicate p;
  status = Predicate::Bind(std::move(std::get<SelectStatement>(st).where), PeopleTable(), &p);
  if (!status.ok()) return status.message();
  bool matches = false;
  status = p.Matches(row, &matches);
  if (!status.ok()) return status.message();
  return matches ? "true" : "false";
}

const Row kAnn = {std::int64_t{7}, std::string("Ann"), std::monostate{}, DateTime{36526}, true,
                  Currency{125000}, std::monostate{}, std::monostate{}};

TEST(PredicateTest, ComparisonsAndLogic) {
  struct Case {
    const char* where;
    const char* result;
  } cases[] = {
      {"ID = 7", "true"},
      {"ID=7.0", "true"},
      {"ID <> 7", "false"},
      {"ID < 8 and ID >= 7", "true"},
      {"ID > 7 or ID <= 6", "false"},
      {"Name = 'ann'", "true"},       // letter case is ignored
      {"Name = 'ANN '", "false"},
      {"Name < 'b'", "true"},
      {"Name > 'AM'", "true"},
      {"Name like 'a%'", "true"},
      {"Name not like 'a%'", "false"},
      {"ID like '7'", "true"},        // a number matches in its shown form
      {"Fee = 12.5", "true"},
      {"Member = True", "true"},
      {"Member = -1", "true"},        // Yes is -1
      {"Member", "true"},
      {"not Member", "false"},
      {"Born = #2000-01-01#", "true"},
      {"Born = '2000-01-01'", "true"},
      {"Born > '1999-12-31 23:59:59'", "true"},
      // NULL never matches, and three-valued logic around it.
      {"Note = 'x'", "false"},
      {"Note <> 'x'", "false"},
      {"not (Note = 'x')", "false"},
      {"Note like '%'", "false"},
      {"Note is null", "true"},
      {"Note is not null", "false"},
      {"Note = 'x' or ID = 7", "true"},
      {"Note = 'x' and ID = 7", "false"},
      {"not (Note = 'x' and ID = 8)", "true"},  // NULL AND FALSE is FALSE
      {"ID = null", "false"},
      {"(ID = 7) = True", "true"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.where, kAnn), c.result) << c.where;
}

TEST(PredicateTest, BindingErrorsComeBeforeAnyRow) {
  struct Case {
    const char* where;
    const char* message_part;
  } cases[] = {
      {"Nope = 1", "no column 'Nope'"},
      {"ID = '7'", "data type mismatch"},
      {"Name = 7", "data type mismatch"},
      {"Name", "data type mismatch"},
      {"Born = 'not a date'", "data type mismatch"},
      {"Name like 'a['", "invalid pattern"},
      {"Name like 5", "data type mismatch"},
  };
  for (const Case& c : cases)
    EXPECT_NE(Eval(c.where, kAnn).find(c.message_part), std::string::npos) << c.where << ": " << Eval(c.where, kAnn);
}

TEST(CompareForOrderTest, NullsFirstThenValues) {
  EXPECT_LT(CompareForOrder(std::monostate{}, std::int64_t{-5}), 0);
  EXPECT_EQ(CompareForOrder(std::monostate{}, std::monostate{}), 0);
  EXPECT_LT(CompareForOrder(std::int64_t{2}, std::int64_t{10}), 0);
  EXPECT_EQ(CompareForOrder(std::string("abc"), std::string("ABC")), 0);
  EXPECT_LT(CompareForOrder(std::string("abc"), std::string("abd")), 0);
  EXPECT_GT(CompareForOrder(Currency{10001}, Currency{10000}), 0);
  EXPECT_LT(CompareForOrder(DateTime{-1.5}, DateTime{0}), 0);
}

// Converts one literal (as it would appear in VALUES) into column `name`.
std::string Convert(const std::string& literal_sql, const char* name, Value* out, int jet_version = 4) {
  Statement st;
  Status status = Parse("INSERT INTO People (x) VALUES (" + literal_sql + ")", &st);
  if (!status.ok()) return status.message();
  const TableDef table = PeopleTable();
  const int position = table.FindColumn(name);
  status = ConvertLiteral(std::get<InsertStatement>(st).values[0], table.columns[position], jet_version, out);
  return status.ok() ? "ok" : status.message();
}

TEST(ConvertLiteralTest, ValuesBecomeTheColumnsType) {
  Value v;
  ASSERT_EQ(Convert("2.5", "ID", &v), "ok");
  EXPECT_EQ(std::get<std::int64_t>(v), 2);  // half to even
  ASSERT_EQ(Convert("3.5", "ID", &v), "ok");
  EXPECT_EQ(std::get<std::int64_t>(v), 4);
  ASSERT_EQ(Convert("'12'", "ID", &v), "ok");
  EXPECT_EQ(std::get<std::int64_t>(v), 12);
  ASSERT_EQ(Convert("0.1", "Fee", &v), "ok");
  EXPECT_EQ(std::get<Currency>(v).scaled, 1000);  // exact, no binary rounding
  ASSERT_EQ(Convert("-922337203685477.5808", "Fee", &v), "ok");
  EXPECT_EQ(std::get<Currency>(v).scaled, std::numeric_limits<std::int64_t>::min());
  ASSERT_EQ(Convert("1.00005", "Fee", &v), "ok");
  EXPECT_EQ(std::get<Currency>(v).scaled, 10000);
  ASSERT_EQ(Convert("1.00015", "Fee", &v), "ok");
  EXPECT_EQ(std::get<Currency>(v).scaled, 10002);
  ASSERT_EQ(Convert("-123.456", "Amount", &v), "ok");
  EXPECT_EQ(FormatValue(v), "-123.46");
  ASSERT_EQ(Convert("9999999999999999999999999999", "Huge", &v), "ok");  // 28 digits: all three words
  EXPECT_EQ(FormatValue(v), "9999999999999999999999999999");
  ASSERT_EQ(Convert("'2020-02-29 12:00:00'", "Born", &v), "ok");
  EXPECT_DOUBLE_EQ(std::get<DateTime>(v).days, 43890.5);
  ASSERT_EQ(Convert("NULL", "Member", &v), "ok");
  EXPECT_EQ(std::get<bool>(v), false);
  ASSERT_EQ(Convert("42", "Name", &v), "ok");
  EXPECT_EQ(std::get<std::string>(v), "42");
  ASSERT_EQ(Convert("'0123456789'", "Name", &v), "ok");  // exactly ten characters
  ASSERT_EQ(Convert(reinterpret_cast<const char*>(u8"'函数的定义与调用函数'"), "Name", &v), "ok");
}

TEST(ConvertLiteralTest, RefusalsNameTheColumn) {
  Value v;
  struct Case {
    const char* literal;
    const char* column;
    const char* message_part;
  } cases[] = {
      {"'01234567890'", "Name", "too long for column 'Name'"},
      {"'abc'", "ID", "data type mismatch"},
      {"2147483648", "ID", "overflow"},
      {"-2147483649", "ID", "overflow"},
      {"1e300", "ID", "overflow"},
      {"True", "Name", "data type mismatch"},
      {"'tomorrow'", "Born", "data type mismatch"},
      {"922337203685477.5808", "Fee", "overflow"},
      {"100000000", "Amount", "overflow"},  // 11 digits with the scale; precision 10
      {"79228162514264337593543950336", "Huge", "overflow"},
  };
  for (const Case& c : cases) {
    const std::string message = Convert(c.literal, c.column, &v);
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.literal << ": " << message;
  }
  // Jet 3 counts a Text column's size in characters, not UTF-16 bytes.
  EXPECT_EQ(Convert("'0123456789ABCDEFGHIJ'", "Name", &v, 3), "ok");
}

}  // namespace
}  // namespace jet::sql
