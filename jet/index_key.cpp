#include "jet/index_key.h"

#include <cmath>
#include <cstring>

namespace jet {
namespace {

constexpr std::uint8_t kFlagAscending = 0x7F;
constexpr std::uint8_t kFlagNullAscending = 0x00;

void AppendBigEndian(std::uint64_t v, int bytes, std::vector<std::uint8_t>* out) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void AppendSigned(std::int64_t v, int bytes, std::vector<std::uint8_t>* out) {
  std::uint64_t bits = static_cast<std::uint64_t>(v) ^ (std::uint64_t{1} << (8 * bytes - 1));
  AppendBigEndian(bits, bytes, out);
}

void AppendFloating(std::uint64_t bits, int bytes, std::vector<std::uint8_t>* out) {
  const std::uint64_t sign = std::uint64_t{1} << (8 * bytes - 1);
  const std::uint64_t mask = bytes == 8 ? ~std::uint64_t{0} : (sign << 1) - 1;
  bits = (bits & sign) ? (~bits & mask) : (bits | sign);
  AppendBigEndian(bits, bytes, out);
}

// "General" sort bytes of the characters seen in Access-written indexes.
// Letters fold to one byte whatever their case.
int TextSortByte(char32_t c) {
  if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
  static constexpr std::uint8_t kLetters[26] = {
      0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,  // a..m
      0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0,    0x75, 0x76, 0};   // n..z
  if (c >= 'a' && c <= 'z') return kLetters[c - 'a'] ? kLetters[c - 'a'] : -1;  // w, z: not seen
  if (c >= '1' && c <= '4') return 0x38 + 2 * static_cast<int>(c - '1');
  return -1;
}

Status AppendTextKey(const std::string& utf8, std::vector<std::uint8_t>* out) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(utf8[i]);
    if (ch == '_') {  // a punctuation mark: two bytes inline
      out->push_back(0x2B);
      out->push_back(0x03);
      continue;
    }
    int b = ch < 0x80 ? TextSortByte(ch) : -1;
    if (b < 0) {
      return Status::NotSupported("the index sort key of the text \"" + utf8 +
                                  "\" is not known to this engine (only letters a-v, x, y, digits 1-4 and _ are)");
    }
    out->push_back(static_cast<std::uint8_t>(b));
  }
  out->push_back(0x01);
  out->push_back(0x00);
  return Status::Ok();
}

Status AppendValueBytes(ColumnType type, const Value& value, std::vector<std::uint8_t>* out) {
  switch (type) {
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong: {
      const auto* v = std::get_if<std::int64_t>(&value);
      if (!v) return Status::InvalidArgument("index key: integer column holds a non-integer value");
      if (type == ColumnType::kByte) out->push_back(static_cast<std::uint8_t>(*v));
      else AppendSigned(*v, type == ColumnType::kInteger ? 2 : 4, out);
      return Status::Ok();
    }
    case ColumnType::kCurrency: {
      const auto* v = std::get_if<Currency>(&value);
      if (!v) return Status::InvalidArgument("index key: currency column holds another value");
      AppendSigned(v->scaled, 8, out);
      return Status::Ok();
    }
    case ColumnType::kSingle:
    case ColumnType::kDouble:
    case ColumnType::kDateTime: {
      double d = 0;
      if (const auto* v = std::get_if<double>(&value)) d = *v;
      else if (const auto* t = std::get_if<DateTime>(&value)) d = t->days;
      else return Status::InvalidArgument("index key: floating column holds another value");
      if (type == ColumnType::kSingle) {
        float f = static_cast<float>(d);
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        AppendFloating(bits, 4, out);
      } else {
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        AppendFloating(bits, 8, out);
      }
      return Status::Ok();
    }
    case ColumnType::kText: {
      const auto* v = std::get_if<std::string>(&value);
      if (!v) return Status::InvalidArgument("index key: text column holds another value");
      return AppendTextKey(*v, out);
    }
    default:
      return Status::NotSupported("index keys of column type " + std::to_string(static_cast<int>(type)) +
                                  " are not known to this engine");
  }
}

}  // namespace

bool KeyTypeSupported(ColumnType type) {
  switch (type) {
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kCurrency:
    case ColumnType::kSingle:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
      return true;
    default:
      return false;
  }
}

Status AppendKeyColumn(ColumnType type, const Value& value, bool ascending, std::vector<std::uint8_t>* key) {
  const std::size_t start = key->size();
  if (IsNull(value)) {
    key->push_back(kFlagNullAscending);
  } else {
    key->push_back(kFlagAscending);
    JET_RETURN_IF_ERROR(AppendValueBytes(type, value, key));
  }
  if (!ascending) {
    for (std::size_t i = start; i < key->size(); ++i) (*key)[i] = static_cast<std::uint8_t>(~(*key)[i]);
  }
  return Status::Ok();
}

Status EncodeIndexKey(const TableDef& table, const RealIndex& index, const Row& row, std::vector<std::uint8_t>* key) {
  key->clear();
  for (const IndexColumn& c : index.columns) {
    if (c.column_position < 0 || static_cast<std::size_t>(c.column_position) >= table.columns.size() ||
        static_cast<std::size_t>(c.column_position) >= row.size()) {
      return Status::Corruption("table " + table.name + ": index column " + std::to_string(c.column_number) +
                                " is not a column of the table");
    }
    JET_RETURN_IF_ERROR(AppendKeyColumn(table.columns[c.column_position].type, row[c.column_position],
                                        c.ascending, key));
  }
  return Status::Ok();
}

bool KeyHasNull(const TableDef& table, const RealIndex& index, const Row& row) {
  (void)table;
  for (const IndexColumn& c : index.columns) {
    if (c.column_position >= 0 && static_cast<std::size_t>(c.column_position) < row.size() &&
        IsNull(row[c.column_position])) {
      return true;
    }
  }
  return false;
}

bool KeyAllNull(const TableDef& table, const RealIndex& index, const Row& row) {
  (void)table;
  for (const IndexColumn& c : index.columns) {
    if (c.column_position < 0 || static_cast<std::size_t>(c.column_position) >= row.size() ||
        !IsNull(row[c.column_position])) {
      return false;
    }
  }
  return true;
}

}  // namespace jet
