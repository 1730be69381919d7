// Column values as text, and texts read as dates: the one place that decides
// how a value looks to a user (jetsql's CSV, the store's ReadFieldText) and
// how a date or number literal is read.
//
// FormatValue (UTF-8):
//   NULL                  ""
//   Yes/No                "TRUE" / "FALSE"
//   Byte, Integer, Long   decimal digits, "-" when negative: "42", "-7"
//   Currency, Decimal     exact decimal, no exponent, trailing zeros of the
//                         fraction dropped: "12.5", "3", "-0.0001"
//   Single, Double        shortest text that reads back as the same number
//                         (a Single as a 32-bit float): "3.14", "0.1",
//                         "1e+20"; "inf", "-inf", "nan" for the specials
//   Date/Time             "%Y-%m-%d %H:%M:%S", rounded to the second
//   Text, Memo            the text itself
//   Replication ID        "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
//                         hex, the first three groups read little-endian
//   Binary, OLE Object    upper-case hex digits, two per byte: "0A1BFF"
#pragma once

#include <string>
#include <string_view>

#include "jet/value.h"

namespace jet {

// `type` refines how a double is shown (a Single prints as a float); other
// types follow the value's own alternative.
std::string FormatValue(const Value& value, ColumnType type = ColumnType::kDouble);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]", "MM/DD/YYYY[ HH:MM[:SS]]" or
// "HH:MM[:SS]" (a time alone is on 1899-12-30).  False when malformed or out
// of range (years 100..9999).
bool ParseDateTimeText(std::string_view text, DateTime* date);

// Days since 1899-12-30 of a calendar date (proleptic Gregorian).
long long DaysFromCivil(int year, unsigned month, unsigned day);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, any case) to
// the stored bytes; false when malformed.
bool ParseGuidText(std::string_view text, Guid* guid);

}  // namespace jet
