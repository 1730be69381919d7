// A column value as the engine hands it out and takes it in.
//
// Texts are UTF-8.  Each Access column type maps onto one alternative; a NULL
// of any type is std::monostate.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

// Access column types, by the type byte stored in a table definition.
enum class ColumnType : std::uint8_t {
  kBoolean = 0x01,   // Yes/No: kept in the null mask, never NULL
  kByte = 0x02,
  kInteger = 0x03,   // 16 bit
  kLong = 0x04,      // 32 bit; AutoNumber when the column is auto-incrementing
  kCurrency = 0x05,  // 64 bit, ten-thousandths
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,  // days since 1899-12-30 as a double
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,       // long binary
  kMemo = 0x0C,      // long text (hyperlinks too)
  kGuid = 0x0F,      // Replication ID
  kNumeric = 0x10,   // Decimal: precision, scale, 96-bit magnitude and sign
};

struct Currency {  // value * 10,000
  std::int64_t scaled;
  bool operator==(const Currency&) const = default;
};
struct DateTime {  // days since 1899-12-30; the fraction is the time of day
  double days;
  bool operator==(const DateTime&) const = default;
};
struct Guid {
  std::array<std::uint8_t, 16> bytes;  // as stored
  bool operator==(const Guid&) const = default;
};
struct Decimal {
  std::uint8_t precision = 0, scale = 0;
  bool negative = false;
  std::array<std::uint32_t, 3> magnitude{};  // little-endian 96-bit integer
  bool operator==(const Decimal&) const = default;
};
using Bytes = std::vector<std::uint8_t>;

using Value = std::variant<std::monostate,  // NULL
                           bool, std::int64_t, double, Currency, DateTime,
                           std::string,  // UTF-8 text
                           Bytes, Guid, Decimal>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

}  // namespace jet
