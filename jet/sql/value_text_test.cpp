#include "jet/sql/value_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace jet {
namespace {

TEST(FormatValueTest, EveryTypeHasOneForm) {
  Decimal decimal;
  decimal.scale = 4;
  decimal.magnitude = {123450, 0, 0};
  Decimal negative_decimal = decimal;
  negative_decimal.negative = true;
  negative_decimal.magnitude = {7, 0, 0};
  Decimal big;
  big.magnitude = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  Guid guid{{0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 0x9A, 0xBC, 0xDE, 0xF0, 0x01, 0x23, 0x45, 0x67}};
  struct Case {
    Value value;
    ColumnType type;
    std::string text;
  } cases[] = {
      {std::monostate{}, ColumnType::kText, ""},
      {true, ColumnType::kBoolean, "TRUE"},
      {false, ColumnType::kBoolean, "FALSE"},
      {std::int64_t{42}, ColumnType::kLong, "42"},
      {std::int64_t{-7}, ColumnType::kInteger, "-7"},
      {Currency{125000}, ColumnType::kCurrency, "12.5"},
      {Currency{30000}, ColumnType::kCurrency, "3"},
      {Currency{-1}, ColumnType::kCurrency, "-0.0001"},
      {Currency{std::numeric_limits<std::int64_t>::min()}, ColumnType::kCurrency, "-922337203685477.5808"},
      {decimal, ColumnType::kNumeric, "12.345"},
      {negative_decimal, ColumnType::kNumeric, "-0.0007"},
      {big, ColumnType::kNumeric, "79228162514264337593543950335"},
      {3.14, ColumnType::kDouble, "3.14"},
      {0.1, ColumnType::kDouble, "0.1"},
      {1e20, ColumnType::kDouble, "1e+20"},
      {static_cast<double>(3.14f), ColumnType::kSingle, "3.14"},
      {DateTime{0}, ColumnType::kDateTime, "1899-12-30 00:00:00"},
      {DateTime{43890.5}, ColumnType::kDateTime, "2020-02-29 12:00:00"},
      {DateTime{-1.25}, ColumnType::kDateTime, "1899-12-29 06:00:00"},
      {DateTime{36526.999999}, ColumnType::kDateTime, "2000-01-02 00:00:00"},  // rounds to the second
      {std::string("函数"), ColumnType::kText, "函数"},
      {guid, ColumnType::kGuid, "{12345678-1234-5678-9ABC-DEF001234567}"},
      {Bytes{0x0A, 0x1B, 0xFF}, ColumnType::kOle, "0A1BFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatValue(c.value, c.type), c.text);
}

TEST(ParseDateTimeTextTest, FormsAndRejects) {
  DateTime d;
  ASSERT_TRUE(ParseDateTimeText("2020-02-29", &d));
  EXPECT_DOUBLE_EQ(d.days, 43890);
  ASSERT_TRUE(ParseDateTimeText("02/29/2020 12:00", &d));
  EXPECT_DOUBLE_EQ(d.days, 43890.5);
  ASSERT_TRUE(ParseDateTimeText("06:00:00", &d));
  EXPECT_DOUBLE_EQ(d.days, 0.25);
  ASSERT_TRUE(ParseDateTimeText("1899-12-29 06:00:00", &d));
  EXPECT_DOUBLE_EQ(d.days, -1.25);
  for (const char* bad : {"2019-02-29", "2020-13-01", "2020-01-01 25:00", "hello", "", "2020-01-01x", "99-01-01"})
    EXPECT_FALSE(ParseDateTimeText(bad, &d)) << bad;
}

TEST(ParseGuidTextTest, RoundTrips) {
  Guid g;
  ASSERT_TRUE(ParseGuidText("{12345678-1234-5678-9abc-def001234567}", &g));
  EXPECT_EQ(FormatValue(g), "{12345678-1234-5678-9ABC-DEF001234567}");
  EXPECT_FALSE(ParseGuidText("{12345678-1234-5678-9abc-def00123456}", &g));
  EXPECT_FALSE(ParseGuidText("12345678x1234-5678-9abc-def001234567", &g));
}

}  // namespace
}  // namespace jet
