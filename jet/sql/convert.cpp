#include "jet/sql/convert.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <string>

#include "jet/sql/collation.h"
#include "jet/sql/parser.h"
#include "jet/sql/value_text.h"

namespace jet::sql {
namespace {

Status Mismatch(const Column& column) {
  return Status::InvalidArgument("data type mismatch: the value does not fit column '" +
                                 column.name + "'");
}
Status Overflow(const Column& column) {
  return Status::InvalidArgument("numeric field overflow in column '" + column.name + "'");
}

// An unsigned integer below 2^96 (a Decimal's magnitude), in two words:
// 32-bit targets have no 128-bit integer type.
struct Magnitude {
  std::uint64_t high = 0, low = 0;  // value = high * 2^64 + low; high < 2^32

  bool IsZero() const { return high == 0 && low == 0; }
  bool FitsIn64() const { return high == 0; }
  // False when the result would reach 2^96.
  bool MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    const std::uint64_t l0 = (low & 0xFFFFFFFF) * factor + addend;
    const std::uint64_t l1 = (low >> 32) * factor + (l0 >> 32);
    const std::uint64_t h = high * factor + (l1 >> 32);
    low = (l1 << 32) | (l0 & 0xFFFFFFFF);
    high = h;
    return high < (std::uint64_t{1} << 32);
  }
  bool Increment() {
    if (++low == 0) ++high;
    return high < (std::uint64_t{1} << 32);
  }
  bool operator>=(const Magnitude& o) const { return high != o.high ? high > o.high : low >= o.low; }
  bool IsOdd() const { return low & 1; }
};

// A decimal number as written ("-12.5", "3e4"), rescaled to `scale` digits
// after the point with half-to-even rounding.  False when malformed or when
// the magnitude reaches 2^96.
bool ScaledFromText(const std::string& text, int scale, bool* negative, Magnitude* magnitude) {
  std::size_t i = 0;
  *negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) *negative = text[i++] == '-';
  std::string digits;
  int point_shift = 0;  // digits after the point
  bool seen_point = false, any_digit = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits += c;
      any_digit = true;
      if (seen_point) ++point_shift;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) return false;
  int exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    int e = 0;
    auto [ptr, ec] = std::from_chars(text.data() + i + 1 + (text[i + 1] == '+' ? 1 : 0),
                                     text.data() + text.size(), e);
    if (ec != std::errc() || ptr != text.data() + text.size()) return false;
    exponent = e;
  } else if (i != text.size()) {
    return false;
  }
  int shift = scale + exponent - point_shift;  // power of ten to apply to `digits`
  if (shift < -60 || shift > 60) {
    if (shift > 60 && digits.find_first_not_of('0') != std::string::npos) return false;
    *magnitude = Magnitude{};
    return true;
  }
  Magnitude value;
  std::size_t keep = digits.size();
  int dropped_first = -1;     // first dropped digit, for rounding
  bool dropped_rest = false;  // any non-zero digit after it
  if (shift < 0) {
    // The dropped tail; when more is dropped than written, zeros precede it.
    const std::size_t drop = static_cast<std::size_t>(-shift);
    keep = drop >= digits.size() ? 0 : digits.size() - drop;
    const std::string dropped =
        std::string(drop > digits.size() ? drop - digits.size() : 0, '0') + digits.substr(keep);
    dropped_first = dropped[0] - '0';
    dropped_rest = dropped.find_first_not_of('0', 1) != std::string::npos;
    shift = 0;
  }
  for (std::size_t k = 0; k < keep; ++k)
    if (!value.MultiplyAdd(10, digits[k] - '0')) return false;
  for (int k = 0; k < shift; ++k)
    if (!value.MultiplyAdd(10, 0)) return false;
  if (dropped_first > 5 || (dropped_first == 5 && (dropped_rest || value.IsOdd())))
    if (!value.Increment()) return false;
  *magnitude = value;
  return true;
}

// The literal as number text: numbers as written, number-like texts, Yes as -1.
bool NumberText(const Literal& literal, std::string* text) {
  if (!literal.number_text.empty()) {
    *text = literal.number_text;
    return true;
  }
  if (auto* b = std::get_if<bool>(&literal.value)) {
    *text = *b ? "-1" : "0";
    return true;
  }
  if (auto* d = std::get_if<DateTime>(&literal.value)) {
    *text = FormatValue(d->days);
    return true;
  }
  if (auto* s = std::get_if<std::string>(&literal.value)) {
    std::string trimmed = *s;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    trimmed.erase(0, trimmed.find_first_not_of(' ') == std::string::npos ? trimmed.size()
                                                                         : trimmed.find_first_not_of(' '));
    bool negative;
    Magnitude ignored;
    if (!ScaledFromText(trimmed, 0, &negative, &ignored)) return false;
    *text = trimmed;
    return true;
  }
  return false;
}

Status ToInteger(const Literal& literal, const Column& column, long long low, long long high,
                 Value* out) {
  std::string text;
  if (!NumberText(literal, &text)) return Mismatch(column);
  bool negative;
  Magnitude magnitude;
  if (!ScaledFromText(text, 0, &negative, &magnitude)) return Overflow(column);
  if (!magnitude.FitsIn64() || magnitude.low > (std::uint64_t{1} << 62)) return Overflow(column);
  const long long value = negative ? -static_cast<long long>(magnitude.low) : static_cast<long long>(magnitude.low);
  if (value < low || value > high) return Overflow(column);
  *out = static_cast<std::int64_t>(value);
  return Status::Ok();
}

Status ToFloat(const Literal& literal, const Column& column, Value* out) {
  std::string text;
  if (!NumberText(literal, &text)) return Mismatch(column);
  double value = 0;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value)) return Overflow(column);
  if (column.type == ColumnType::kSingle) {
    if (std::fabs(value) > FLT_MAX) return Overflow(column);
    value = static_cast<float>(value);
  }
  *out = value;
  return Status::Ok();
}

Status ToCurrency(const Literal& literal, const Column& column, Value* out) {
  std::string text;
  if (!NumberText(literal, &text)) return Mismatch(column);
  bool negative;
  Magnitude magnitude;
  if (!ScaledFromText(text, 4, &negative, &magnitude)) return Overflow(column);
  const std::uint64_t limit = (std::uint64_t{1} << 63) - (negative ? 0 : 1);
  if (!magnitude.FitsIn64() || magnitude.low > limit) return Overflow(column);
  const std::int64_t scaled = negative ? static_cast<std::int64_t>(0 - magnitude.low)
                                       : static_cast<std::int64_t>(magnitude.low);
  *out = Currency{scaled};
  return Status::Ok();
}

Status ToDecimal(const Literal& literal, const Column& column, Value* out) {
  std::string text;
  if (!NumberText(literal, &text)) return Mismatch(column);
  Decimal d;
  d.precision = column.precision ? column.precision : 18;
  d.scale = column.scale;
  Magnitude magnitude;
  if (!ScaledFromText(text, d.scale, &d.negative, &magnitude)) return Overflow(column);
  Magnitude limit;
  limit.low = 1;
  for (int i = 0; i < d.precision && i < 28; ++i) limit.MultiplyAdd(10, 0);
  if (magnitude >= limit) return Overflow(column);
  if (magnitude.IsZero()) d.negative = false;
  d.magnitude = {static_cast<std::uint32_t>(magnitude.low), static_cast<std::uint32_t>(magnitude.low >> 32),
                 static_cast<std::uint32_t>(magnitude.high)};
  *out = d;
  return Status::Ok();
}

Status ToText(const Literal& literal, const Column& column, int jet_version, Value* out) {
  std::string text;
  if (auto* s = std::get_if<std::string>(&literal.value)) text = *s;
  else if (!literal.number_text.empty()) text = literal.number_text;
  else return Mismatch(column);
  if (column.type == ColumnType::kText) {
    const std::size_t limit = jet_version >= 4 ? column.size / 2 : column.size;
    if (Utf16Length(text) > limit)
      return Status::InvalidArgument("the text is too long for column '" + column.name + "' (at most " +
                                     std::to_string(limit) + " characters)");
  }
  *out = std::move(text);
  return Status::Ok();
}

Status ToDate(const Literal& literal, const Column& column, Value* out) {
  if (auto* d = std::get_if<DateTime>(&literal.value)) {
    *out = *d;
    return Status::Ok();
  }
  if (auto* s = std::get_if<std::string>(&literal.value)) {
    DateTime date;
    if (!ParseDateTimeText(*s, &date)) return Mismatch(column);
    *out = date;
    return Status::Ok();
  }
  Value days;
  JET_RETURN_IF_ERROR(ToFloat(literal, column, &days));
  *out = DateTime{std::get<double>(days)};
  return Status::Ok();
}

Status ToBoolean(const Literal& literal, const Column& column, Value* out) {
  if (auto* b = std::get_if<bool>(&literal.value)) {
    *out = *b;
    return Status::Ok();
  }
  std::string text;
  if (!NumberText(literal, &text)) return Mismatch(column);
  bool negative;
  Magnitude magnitude;
  if (!ScaledFromText(text, 4, &negative, &magnitude)) return Overflow(column);
  *out = !magnitude.IsZero();
  return Status::Ok();
}

Status ToGuid(const Literal& literal, const Column& column, Value* out) {
  auto* s = std::get_if<std::string>(&literal.value);
  Guid guid;
  if (!s || !ParseGuidText(*s, &guid)) return Mismatch(column);
  *out = guid;
  return Status::Ok();
}

}  // namespace

Status ConvertLiteral(const Literal& literal, const Column& column, int jet_version, Value* out) {
  if (IsNull(literal.value)) {
    if (column.type == ColumnType::kBoolean) *out = false;
    else *out = std::monostate{};
    return Status::Ok();
  }
  switch (column.type) {
    case ColumnType::kBoolean: return ToBoolean(literal, column, out);
    case ColumnType::kByte: return ToInteger(literal, column, 0, 255, out);
    case ColumnType::kInteger: return ToInteger(literal, column, -32768, 32767, out);
    case ColumnType::kLong: return ToInteger(literal, column, INT32_MIN, INT32_MAX, out);
    case ColumnType::kCurrency: return ToCurrency(literal, column, out);
    case ColumnType::kSingle:
    case ColumnType::kDouble: return ToFloat(literal, column, out);
    case ColumnType::kDateTime: return ToDate(literal, column, out);
    case ColumnType::kText:
    case ColumnType::kMemo: return ToText(literal, column, jet_version, out);
    case ColumnType::kGuid: return ToGuid(literal, column, out);
    case ColumnType::kNumeric: return ToDecimal(literal, column, out);
    case ColumnType::kBinary:
    case ColumnType::kOle:
      return Status::NotSupported("column '" + column.name + "' holds binary data, which SQL values cannot give");
  }
  return Mismatch(column);
}

}  // namespace jet::sql
