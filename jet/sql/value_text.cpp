#include "jet/sql/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace jet {
namespace {

// The decimal digits of `magnitude` with `scale` of them after the point,
// trailing fraction zeros dropped.
std::string ScaledDecimalText(std::string digits, int scale, bool negative) {
  if (static_cast<int>(digits.size()) <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  std::string integer = digits.substr(0, digits.size() - scale);
  std::string fraction = digits.substr(digits.size() - scale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  const bool zero = integer == "0" && fraction.empty();
  std::string out = (negative && !zero) ? "-" : "";
  out += integer;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

std::string CurrencyText(const Currency& c) {
  const bool negative = c.scaled < 0;
  // Magnitude via unsigned arithmetic: the smallest int64 has no positive twin.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  return ScaledDecimalText(std::to_string(magnitude), 4, negative);
}

// 96-bit magnitude to decimal digits by repeated division by ten.
std::string DecimalText(const Decimal& d) {
  std::array<std::uint32_t, 3> m = d.magnitude;
  std::string reversed;
  do {
    std::uint64_t remainder = 0;
    for (int i = 2; i >= 0; --i) {
      const std::uint64_t current = (remainder << 32) | m[i];
      m[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    reversed += static_cast<char>('0' + remainder);
  } while (m[0] || m[1] || m[2]);
  std::string digits(reversed.rbegin(), reversed.rend());
  return ScaledDecimalText(digits, d.scale > 28 ? 28 : d.scale, d.negative);
}

template <typename Float>
std::string FloatText(Float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, ec == std::errc() ? ptr : buffer);
}

void CivilFromDays(long long days_since_1970, int* year, unsigned* month, unsigned* day) {
  // Eras of 400 years (146097 days) starting on 0000-03-01.
  const long long z = days_since_1970 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

constexpr long long kDays1899To1970 = 25569;

std::string DateTimeText(const DateTime& date) {
  if (!std::isfinite(date.days) || std::fabs(date.days) > 3e6) return "";
  // Jet keeps the time of day as the fraction's magnitude, also before 1899-12-30
  // (-1.25 is 1899-12-29 06:00).
  double whole_days = std::trunc(date.days);
  long long seconds = std::llround(std::fabs(date.days - whole_days) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;  // rounded up to the next calendar day
    whole_days += 1;
  }
  int year;
  unsigned month, day;
  CivilFromDays(static_cast<long long>(whole_days) - kDays1899To1970, &year, &month, &day);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02lld:%02lld:%02lld", year, month, day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buffer;
}

constexpr char kHex[] = "0123456789ABCDEF";

std::string GuidText(const Guid& g) {
  // Groups 1-3 are little-endian integers, groups 4-5 bytes in order.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    const std::uint8_t b = g.bytes[kOrder[i]];
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out + "}";
}

std::string HexText(const Bytes& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// Reads an unsigned number of 1..max_digits digits at *text; advances.
bool ReadNumber(std::string_view* text, int max_digits, int* value) {
  int digits = 0;
  *value = 0;
  while (!text->empty() && (*text)[0] >= '0' && (*text)[0] <= '9' && digits < max_digits) {
    *value = *value * 10 + ((*text)[0] - '0');
    text->remove_prefix(1);
    ++digits;
  }
  return digits > 0;
}
bool Accept(std::string_view* text, char c) {
  if (text->empty() || (*text)[0] != c) return false;
  text->remove_prefix(1);
  return true;
}
void SkipSpaces(std::string_view* text) {
  while (!text->empty() && (*text)[0] == ' ') text->remove_prefix(1);
}

bool ParseTime(std::string_view* text, double* fraction) {
  int h, m, s = 0;
  if (!ReadNumber(text, 2, &h) || !Accept(text, ':') || !ReadNumber(text, 2, &m)) return false;
  if (Accept(text, ':') && !ReadNumber(text, 2, &s)) return false;
  if (h > 23 || m > 59 || s > 59) return false;
  *fraction = (h * 3600 + m * 60 + s) / 86400.0;
  return true;
}

bool ValidDate(int year, int month, int day) {
  static constexpr int kLengths[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= (month == 2 && !leap ? 28 : kLengths[month - 1]);
}

}  // namespace

long long DaysFromCivil(int year, unsigned month, unsigned day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468 + kDays1899To1970;
}

bool ParseDateTimeText(std::string_view text, DateTime* date) {
  SkipSpaces(&text);
  double fraction = 0;
  std::string_view probe = text;
  int first;
  if (!ReadNumber(&probe, 4, &first)) return false;
  if (!probe.empty() && probe[0] == ':') {  // a time alone
    if (!ParseTime(&text, &fraction)) return false;
    SkipSpaces(&text);
    date->days = fraction;
    return text.empty();
  }
  int year, month, day;
  if (Accept(&probe, '-')) {  // YYYY-MM-DD
    year = first;
    if (!ReadNumber(&probe, 2, &month) || !Accept(&probe, '-') || !ReadNumber(&probe, 2, &day))
      return false;
  } else if (Accept(&probe, '/')) {  // MM/DD/YYYY, as Jet reads # literals
    month = first;
    if (!ReadNumber(&probe, 2, &day) || !Accept(&probe, '/') || !ReadNumber(&probe, 4, &year))
      return false;
  } else {
    return false;
  }
  if (!ValidDate(year, month, day)) return false;
  text = probe;
  SkipSpaces(&text);
  if (!text.empty() && !ParseTime(&text, &fraction)) return false;
  SkipSpaces(&text);
  if (!text.empty()) return false;
  const long long days = DaysFromCivil(year, month, day);
  // Before 1899-12-30 the time still counts forward from midnight, as a
  // fraction of the day's magnitude.
  date->days = days >= 0 ? days + fraction : days - fraction;
  return true;
}

bool ParseGuidText(std::string_view text, Guid* guid) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return false;
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  int nibble_count = 0;
  std::array<std::uint8_t, 16> in_order{};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
      continue;
    }
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    in_order[nibble_count / 2] = static_cast<std::uint8_t>(in_order[nibble_count / 2] << 4 | v);
    ++nibble_count;
  }
  for (int i = 0; i < 16; ++i) guid->bytes[kOrder[i]] = in_order[i];
  return true;
}

std::string FormatValue(const Value& value, ColumnType type) {
  return std::visit(
      [type](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) return "";
        else if constexpr (std::is_same_v<T, bool>) return v ? "TRUE" : "FALSE";
        else if constexpr (std::is_same_v<T, std::int64_t>) return std::to_string(v);
        else if constexpr (std::is_same_v<T, double>)
          return type == ColumnType::kSingle ? FloatText(static_cast<float>(v)) : FloatText(v);
        else if constexpr (std::is_same_v<T, Currency>) return CurrencyText(v);
        else if constexpr (std::is_same_v<T, DateTime>) return DateTimeText(v);
        else if constexpr (std::is_same_v<T, std::string>) return v;
        else if constexpr (std::is_same_v<T, Bytes>) return HexText(v);
        else if constexpr (std::is_same_v<T, Guid>) return GuidText(v);
        else return DecimalText(v);
      },
      value);
}

}  // namespace jet
