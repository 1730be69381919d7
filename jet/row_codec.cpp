#include "jet/row_codec.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "jet/bytes.h"
#include "jet/codec.h"

namespace jet {
namespace {

// Where the parts of a stored row are; every offset checked against the row.
struct RowShape {
  std::size_t num_cols = 0;
  std::size_t fixed_start = 0;     // first byte of the fixed area
  std::size_t data_end = 0;        // end of the data, start of the trailer
  const std::uint8_t* mask = nullptr;
  std::vector<std::size_t> var;    // var.size()-1 slots; var.back() = end of variable data

  bool Present(std::uint16_t number) const {
    return number < num_cols && (mask[number / 8] >> (number % 8) & 1);
  }
  std::size_t var_slots() const { return var.empty() ? 0 : var.size() - 1; }
};

bool HasVariableColumns(const TableDef& t) {
  if (t.var_column_count > 0) return true;
  return std::any_of(t.columns.begin(), t.columns.end(), [](const Column& c) { return !c.fixed(); });
}

std::size_t FixedSize(const Column& c) {
  switch (c.type) {
    case ColumnType::kBoolean: return 0;
    case ColumnType::kByte: return 1;
    case ColumnType::kInteger: return 2;
    case ColumnType::kLong: return 4;
    case ColumnType::kCurrency: return 8;
    case ColumnType::kSingle: return 4;
    case ColumnType::kDouble: return 8;
    case ColumnType::kDateTime: return 8;
    case ColumnType::kGuid: return 16;
    case ColumnType::kNumeric: return 17;
    default: return c.size;
  }
}

Status ParseShape(const RowContext& ctx, const TableDef& t, const std::uint8_t* d, std::size_t n,
                  const std::string& where, RowShape* s) {
  const bool jet3 = ctx.jet_version == 3;
  auto bad = [&](const std::string& what) { return Status::Corruption(where + ": " + what); };
  const std::size_t count_size = jet3 ? 1 : 2;
  if (n < count_size) return bad("row of " + std::to_string(n) + " bytes");
  s->num_cols = jet3 ? d[0] : Get16(d);
  s->fixed_start = count_size;
  const std::size_t mask_size = (s->num_cols + 7) / 8;
  if (n < count_size + mask_size) return bad("null mask of " + std::to_string(mask_size) + " bytes does not fit a row of " + std::to_string(n));
  s->mask = d + n - mask_size;
  std::size_t trailer = n - mask_size;  // bytes before the null mask
  s->var.clear();
  if (!HasVariableColumns(t)) {
    s->data_end = trailer;
    return Status::Ok();
  }
  const std::size_t entry = jet3 ? 1 : 2;
  if (trailer < count_size + entry) return bad("no room for the variable column count");
  std::size_t var_len = jet3 ? d[trailer - 1] : Get16(d + trailer - 2);
  std::size_t pos = trailer - entry;  // start of var_len
  std::vector<std::uint8_t> jumps;
  if (jet3) {
    std::size_t num_jumps = (n - 1) / 256;
    if (pos < count_size + num_jumps) return bad("jump table does not fit");
    for (std::size_t j = 0; j < num_jumps; ++j) jumps.push_back(d[pos - 1 - j]);
    pos -= num_jumps;
  }
  if ((var_len + 1) * entry > pos - count_size) {
    return bad(std::to_string(var_len) + " variable columns do not fit a row of " + std::to_string(n) + " bytes");
  }
  s->var.resize(var_len + 1);
  for (std::size_t k = 0; k <= var_len; ++k) {
    std::size_t at = pos - entry * (k + 1);
    std::size_t off = jet3 ? d[at] : Get16(d + at);
    if (jet3) {
      for (std::uint8_t j : jumps) off += (j <= k) ? 256 : 0;
    }
    s->var[k] = off;
  }
  std::size_t table_start = pos - entry * (var_len + 1);
  std::size_t eod = s->var[var_len];
  if (eod > table_start) return bad("variable data ends at " + std::to_string(eod) + ", past its offset table at " + std::to_string(table_start));
  for (std::size_t k = 0; k < var_len; ++k) {
    if (s->var[k] < count_size || s->var[k] > eod) {
      return bad("variable column slot " + std::to_string(k) + " at offset " + std::to_string(s->var[k]) + " outside the row data");
    }
  }
  s->data_end = eod;
  return Status::Ok();
}

Status DecodeText(const RowContext& ctx, const Column& c, const std::uint8_t* p, std::size_t n, std::string* out) {
  if (ctx.jet_version == 3) return DecodeCodePage(p, n, c.code_page ? c.code_page : ctx.code_page, out);
  *out = DecodeJet4Text(p, n);
  return Status::Ok();
}

Status DecodeFixed(const Column& c, const std::uint8_t* p, Value* v) {
  switch (c.type) {
    case ColumnType::kByte: *v = std::int64_t(p[0]); break;
    case ColumnType::kInteger: *v = std::int64_t(std::int16_t(Get16(p))); break;
    case ColumnType::kLong: *v = std::int64_t(std::int32_t(Get32(p))); break;
    case ColumnType::kCurrency: *v = Currency{std::int64_t(Get64(p))}; break;
    case ColumnType::kSingle: *v = double(GetFloat(p)); break;
    case ColumnType::kDouble: *v = GetDouble(p); break;
    case ColumnType::kDateTime: *v = DateTime{GetDouble(p)}; break;
    case ColumnType::kGuid: {
      Guid g;
      std::copy(p, p + 16, g.bytes.begin());
      *v = g;
      break;
    }
    case ColumnType::kNumeric: {
      // Sign byte, then four 32-bit words, most significant first.
      if (Get32(p + 1) != 0) return Status::NotSupported("decimal value wider than 96 bits");
      Decimal dec;
      dec.precision = c.precision;
      dec.scale = c.scale;
      dec.negative = p[0] & 0x80;
      dec.magnitude = {Get32(p + 13), Get32(p + 9), Get32(p + 5)};
      *v = dec;
      break;
    }
    default: *v = Bytes(p, p + c.size); break;
  }
  return Status::Ok();
}

// A variable column's bytes [start, end) of the row; empty when absent.
bool VarBytes(const RowShape& s, const Column& c, std::size_t* start, std::size_t* end) {
  if (c.var_index >= s.var_slots()) return false;
  *start = s.var[c.var_index];
  *end = s.var[c.var_index + 1];
  // Slots are in order, but a zero-length slot may carry any offset.
  if (*end < *start) *end = *start;
  return true;
}

Status DecodeColumn(const RowContext& ctx, const Column& c, const RowShape& s, const std::uint8_t* d,
                    const std::string& where, Value* v) {
  *v = std::monostate{};
  if (c.type == ColumnType::kBoolean) {
    *v = s.Present(c.number);
    return Status::Ok();
  }
  if (!s.Present(c.number)) return Status::Ok();
  // Built only for a message: every value decoded passes here.
  auto col_where = [&] { return where + " column " + c.name; };
  if (c.fixed()) {
    std::size_t size = FixedSize(c);
    std::size_t at = s.fixed_start + c.fixed_offset;
    if (at + size > std::size_t(s.mask - d)) {
      return Status::Corruption(col_where() + ": fixed value at " + std::to_string(at) + " overruns the row");
    }
    if (c.type == ColumnType::kText) return DecodeText(ctx, c, d + at, size, &v->emplace<std::string>());
    if (c.type == ColumnType::kBinary) {
      *v = Bytes(d + at, d + at + size);
      return Status::Ok();
    }
    return DecodeFixed(c, d + at, v);
  }
  std::size_t start, end;
  if (!VarBytes(s, c, &start, &end)) return Status::Ok();
  const std::uint8_t* p = d + start;
  std::size_t n = end - start;
  switch (c.type) {
    case ColumnType::kText: return DecodeText(ctx, c, p, n, &v->emplace<std::string>());
    case ColumnType::kBinary: *v = Bytes(p, p + n); return Status::Ok();
    case ColumnType::kMemo:
    case ColumnType::kOle: {
      // Memo texts are converted straight from the page that holds them.
      PageBytes page;
      Bytes assembled;
      const std::uint8_t* bytes = nullptr;
      std::size_t length = 0;
      if (Status s = LongValueBytes(*ctx.pages, p, n, &page, &assembled, &bytes, &length); !s.ok()) {
        return s.code() == Status::Code::kCorruption ? Status::Corruption(col_where() + ": " + s.message()) : s;
      }
      if (c.type == ColumnType::kOle) {
        *v = Bytes(bytes, bytes + length);
        return Status::Ok();
      }
      return DecodeText(ctx, c, bytes, length, &v->emplace<std::string>());
    }
    case ColumnType::kBoolean: case ColumnType::kByte: case ColumnType::kInteger: case ColumnType::kLong:
    case ColumnType::kCurrency: case ColumnType::kSingle: case ColumnType::kDouble: case ColumnType::kDateTime:
    case ColumnType::kGuid: case ColumnType::kNumeric:
      // A fixed type stored as variable (seen with some Numeric columns).
      if (n < FixedSize(c)) return Status::Corruption(col_where() + ": value of " + std::to_string(n) + " bytes too short");
      return DecodeFixed(c, p, v);
  }
  *v = Bytes(p, p + n);  // a type this engine does not know
  return Status::Ok();
}

}  // namespace

Status DecodeRow(const RowContext& ctx, const TableDef& table, const std::uint8_t* data, std::size_t size,
                 const std::vector<bool>& wanted, const std::string& where, Row* row) {
  RowShape shape;
  JET_RETURN_IF_ERROR(ParseShape(ctx, table, data, size, where, &shape));
  row->assign(table.columns.size(), Value{});
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (!wanted.empty() && !wanted[i]) continue;
    JET_RETURN_IF_ERROR(DecodeColumn(ctx, table.columns[i], shape, data, where, &(*row)[i]));
  }
  return Status::Ok();
}

Status LongValueFields(const RowContext& ctx, const TableDef& table, const std::uint8_t* data,
                       std::size_t size, std::vector<std::vector<std::uint8_t>>* fields) {
  fields->clear();
  RowShape shape;
  JET_RETURN_IF_ERROR(ParseShape(ctx, table, data, size, "row", &shape));
  for (const Column& c : table.columns) {
    if (!c.is_long_value() || c.fixed() || !shape.Present(c.number)) continue;
    std::size_t start, end;
    if (VarBytes(shape, c, &start, &end) && end - start >= kLongValueHeader) {
      fields->emplace_back(data + start, data + end);
    }
  }
  return Status::Ok();
}

// ---- Checking values against columns -------------------------------------

namespace {

Status Mismatch(const Column& c, const char* expected) {
  return Status::InvalidArgument("column " + c.name + " takes " + expected);
}

bool AsInteger(const Value& v, std::int64_t* out) {
  if (auto* i = std::get_if<std::int64_t>(&v)) { *out = *i; return true; }
  if (auto* b = std::get_if<bool>(&v)) { *out = *b ? -1 : 0; return true; }
  if (auto* d = std::get_if<double>(&v)) {
    if (std::isfinite(*d) && *d == std::floor(*d) && std::fabs(*d) < 9.2e18) { *out = std::int64_t(*d); return true; }
  }
  return false;
}

bool AsDouble(const Value& v, double* out) {
  if (auto* d = std::get_if<double>(&v)) { *out = *d; return true; }
  if (auto* i = std::get_if<std::int64_t>(&v)) { *out = double(*i); return true; }
  if (auto* c = std::get_if<Currency>(&v)) { *out = double(c->scaled) / 10000.0; return true; }
  if (auto* b = std::get_if<bool>(&v)) { *out = *b ? -1.0 : 0.0; return true; }
  return false;
}

std::size_t Utf16Units(const std::string& s) {
  std::size_t units = 0;
  for (unsigned char ch : s) {
    if ((ch & 0xC0) != 0x80) units += (ch >= 0xF0) ? 2 : 1;
  }
  return units;
}

Status CheckIntegerRange(const Column& c, std::int64_t v, std::int64_t lo, std::int64_t hi) {
  if (v < lo || v > hi) {
    return Status::InvalidArgument("value " + std::to_string(v) + " is out of range for column " + c.name);
  }
  return Status::Ok();
}

Status CheckValue(const Column& c, Value* v) {
  if (IsNull(*v)) {
    if (c.type == ColumnType::kBoolean) *v = false;
    return Status::Ok();
  }
  std::int64_t i;
  double d;
  switch (c.type) {
    case ColumnType::kBoolean:
      if (!AsInteger(*v, &i)) return Mismatch(c, "Yes/No values");
      *v = i != 0;
      return Status::Ok();
    case ColumnType::kByte:
      if (!AsInteger(*v, &i)) return Mismatch(c, "whole numbers");
      *v = i;
      return CheckIntegerRange(c, i, 0, 255);
    case ColumnType::kInteger:
      if (!AsInteger(*v, &i)) return Mismatch(c, "whole numbers");
      *v = i;
      return CheckIntegerRange(c, i, -32768, 32767);
    case ColumnType::kLong:
      if (!AsInteger(*v, &i)) return Mismatch(c, "whole numbers");
      *v = i;
      return CheckIntegerRange(c, i, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    case ColumnType::kCurrency:
      if (std::holds_alternative<Currency>(*v)) return Status::Ok();
      if (std::holds_alternative<std::int64_t>(*v)) {
        i = std::get<std::int64_t>(*v);
        if (i > INT64_MAX / 10000 || i < INT64_MIN / 10000) return CheckIntegerRange(c, i, INT64_MIN / 10000, INT64_MAX / 10000);
        *v = Currency{i * 10000};
        return Status::Ok();
      }
      if (!AsDouble(*v, &d) || !std::isfinite(d) || std::fabs(d) > 9.2e14) return Mismatch(c, "currency amounts");
      *v = Currency{std::int64_t(std::llround(d * 10000.0))};
      return Status::Ok();
    case ColumnType::kSingle:
    case ColumnType::kDouble:
      if (!AsDouble(*v, &d)) return Mismatch(c, "numbers");
      if (c.type == ColumnType::kSingle && std::isfinite(d) && std::fabs(d) > FLT_MAX) {
        return Status::InvalidArgument("value is out of range for column " + c.name);
      }
      *v = d;
      return Status::Ok();
    case ColumnType::kDateTime:
      if (std::holds_alternative<DateTime>(*v)) return Status::Ok();
      if (!AsDouble(*v, &d) || std::holds_alternative<bool>(*v)) return Mismatch(c, "dates");
      *v = DateTime{d};
      return Status::Ok();
    case ColumnType::kText:
    case ColumnType::kMemo: {
      auto* s = std::get_if<std::string>(v);
      if (!s) return Mismatch(c, "texts");
      if (c.type == ColumnType::kText && Utf16Units(*s) * 2 > c.size) {
        return Status::InvalidArgument("text of " + std::to_string(Utf16Units(*s)) + " characters is too long for column " +
                                       c.name + " (" + std::to_string(c.size / 2) + ")");
      }
      return Status::Ok();
    }
    case ColumnType::kBinary:
    case ColumnType::kOle:
      if (auto* s = std::get_if<std::string>(v)) {
        *v = Bytes(s->begin(), s->end());
      }
      if (!std::holds_alternative<Bytes>(*v)) return Mismatch(c, "binary data");
      if (c.type == ColumnType::kBinary && std::get<Bytes>(*v).size() > c.size) {
        return Status::InvalidArgument("binary value too long for column " + c.name);
      }
      return Status::Ok();
    case ColumnType::kGuid:
      if (!std::holds_alternative<Guid>(*v)) return Mismatch(c, "replication IDs");
      return Status::Ok();
    case ColumnType::kNumeric:
      if (auto* dec = std::get_if<Decimal>(v)) {
        if (dec->scale != c.scale) return Status::InvalidArgument("decimal of scale " + std::to_string(dec->scale) + " for column " + c.name);
        dec->precision = c.precision;
        return Status::Ok();
      }
      if (AsInteger(*v, &i) && !std::holds_alternative<bool>(*v)) {
        Decimal dec;
        dec.precision = c.precision;
        dec.scale = c.scale;
        dec.negative = i < 0;
        std::uint64_t m = i < 0 ? std::uint64_t(-(i + 1)) + 1 : std::uint64_t(i);
        dec.magnitude = {std::uint32_t(m), std::uint32_t(m >> 32), 0};
        // Scale up by ten per decimal place, word by word (no 128-bit type on every target).
        for (int k = 0; k < c.scale; ++k) {
          std::uint64_t carry = 0;
          for (auto& word : dec.magnitude) {
            std::uint64_t x = std::uint64_t(word) * 10 + carry;
            word = std::uint32_t(x);
            carry = x >> 32;
          }
          if (carry) return Status::InvalidArgument("value out of range for column " + c.name);
        }
        *v = dec;
        return Status::Ok();
      }
      return Mismatch(c, "decimal numbers");
  }
  return Status::NotSupported("column type of " + c.name);
}

}  // namespace

Status CheckRow(const TableDef& table, Row* row) {
  if (row->size() != table.columns.size()) {
    return Status::InvalidArgument("row of " + std::to_string(row->size()) + " values for a table of " +
                                   std::to_string(table.columns.size()) + " columns");
  }
  for (std::size_t i = 0; i < row->size(); ++i) JET_RETURN_IF_ERROR(CheckValue(table.columns[i], &(*row)[i]));
  return Status::Ok();
}

// ---- Encoding -------------------------------------------------------------

namespace {

void EncodeFixed(const Column& c, const Value& v, std::uint8_t* p) {
  switch (c.type) {
    case ColumnType::kByte: p[0] = std::uint8_t(std::get<std::int64_t>(v)); break;
    case ColumnType::kInteger: Put16(p, std::uint16_t(std::get<std::int64_t>(v))); break;
    case ColumnType::kLong: Put32(p, std::uint32_t(std::get<std::int64_t>(v))); break;
    case ColumnType::kCurrency: Put64(p, std::uint64_t(std::get<Currency>(v).scaled)); break;
    case ColumnType::kSingle: PutFloat(p, float(std::get<double>(v))); break;
    case ColumnType::kDouble: PutDouble(p, std::get<double>(v)); break;
    case ColumnType::kDateTime: PutDouble(p, std::get<DateTime>(v).days); break;
    case ColumnType::kGuid: std::copy(std::get<Guid>(v).bytes.begin(), std::get<Guid>(v).bytes.end(), p); break;
    case ColumnType::kNumeric: {
      const Decimal& d = std::get<Decimal>(v);
      p[0] = d.negative ? 0x80 : 0x00;
      Put32(p + 1, 0);
      Put32(p + 5, d.magnitude[2]);
      Put32(p + 9, d.magnitude[1]);
      Put32(p + 13, d.magnitude[0]);
      break;
    }
    case ColumnType::kBinary: {
      const Bytes& b = std::get<Bytes>(v);
      std::copy(b.begin(), b.begin() + std::min<std::size_t>(b.size(), c.size), p);
      break;
    }
    default: break;
  }
}

// Access inlines long values only when they are small; larger ones go to
// LVAL pages, which keeps rows short and scans fast.
constexpr std::size_t kInlineLimit = 256;
// Access compresses long texts only up to this many characters.
constexpr std::size_t kCompressLimit = 1024;

}  // namespace

Status EncodeRow(const RowContext& ctx, const TableDef& t, const Row& row, LongValueWriter& lv,
                 std::size_t max_size, std::vector<std::uint8_t>* out) {
  if (ctx.jet_version != 4) return Status::NotSupported("writing rows of Jet 3 databases");
  std::size_t num_cols = t.max_cols;
  std::size_t fixed_size = 0, var_slots = 0;
  for (const Column& c : t.columns) {
    num_cols = std::max<std::size_t>(num_cols, c.number + 1u);
    if (c.fixed()) {
      fixed_size = std::max(fixed_size, c.fixed_offset + FixedSize(c));
    } else {
      var_slots = std::max<std::size_t>(var_slots, c.var_index + 1u);
    }
  }
  const bool has_var = HasVariableColumns(t);
  const std::size_t mask_size = (num_cols + 7) / 8;
  std::vector<std::uint8_t> mask(mask_size, 0);
  std::vector<std::uint8_t> fixed(fixed_size, 0);
  std::vector<Bytes> slot_data(var_slots);

  // Long values: every one inline at first, then the largest move out until the row fits.
  struct Long { std::size_t column; Bytes bytes; bool inline_ok; };
  std::vector<Long> longs;
  std::size_t base = 2 + fixed_size + mask_size + (has_var ? 2 + 2 * (var_slots + 1) : 0);

  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    const Value& v = row[i];
    if (c.type == ColumnType::kBoolean) {
      if (std::get<bool>(v)) mask[c.number / 8] |= std::uint8_t(1u << (c.number % 8));
      continue;
    }
    if (IsNull(v)) continue;
    mask[c.number / 8] |= std::uint8_t(1u << (c.number % 8));
    if (c.fixed()) {
      if (c.type == ColumnType::kText) {
        Bytes text;
        JET_RETURN_IF_ERROR(EncodeJet4Text(std::get<std::string>(v), false, &text));
        text.resize(c.size, 0);
        std::copy(text.begin(), text.end(), fixed.begin() + c.fixed_offset);
      } else {
        EncodeFixed(c, v, fixed.data() + c.fixed_offset);
      }
      continue;
    }
    Bytes bytes;
    switch (c.type) {
      case ColumnType::kText:
        JET_RETURN_IF_ERROR(EncodeJet4Text(std::get<std::string>(v), c.compressed_unicode, &bytes));
        break;
      case ColumnType::kMemo: {
        const std::string& s = std::get<std::string>(v);
        JET_RETURN_IF_ERROR(EncodeJet4Text(s, c.compressed_unicode && s.size() <= kCompressLimit, &bytes));
        longs.push_back(Long{i, std::move(bytes), true});
        continue;
      }
      case ColumnType::kOle:
        longs.push_back(Long{i, std::get<Bytes>(v), true});
        continue;
      case ColumnType::kBinary:
        bytes = std::get<Bytes>(v);
        break;
      default:
        bytes.assign(FixedSize(c), 0);
        EncodeFixed(c, v, bytes.data());
        break;
    }
    base += bytes.size();
    slot_data[c.var_index] = std::move(bytes);
  }
  base += kLongValueHeader * longs.size();
  std::size_t inline_bytes = 0;
  for (Long& l : longs) {
    l.inline_ok = l.bytes.size() <= kInlineLimit;
    if (l.inline_ok) inline_bytes += l.bytes.size();
  }
  while (base + inline_bytes > max_size) {
    Long* largest = nullptr;
    for (Long& l : longs) {
      if (l.inline_ok && (!largest || l.bytes.size() > largest->bytes.size())) largest = &l;
    }
    if (!largest) return Status::InvalidArgument("row of " + std::to_string(base) + " bytes is too large for a page");
    largest->inline_ok = false;
    inline_bytes -= largest->bytes.size();
  }
  for (Long& l : longs) {
    Bytes field;
    JET_RETURN_IF_ERROR(lv.Write(l.bytes, l.inline_ok, &field));
    const Column& c = t.columns[l.column];
    slot_data[c.var_index] = std::move(field);
  }

  out->clear();
  out->reserve(max_size);
  out->resize(2);
  Put16(out->data(), std::uint16_t(num_cols));
  out->insert(out->end(), fixed.begin(), fixed.end());
  std::vector<std::uint16_t> offsets(var_slots + 1);
  for (std::size_t k = 0; k < var_slots; ++k) {
    offsets[k] = std::uint16_t(out->size());
    out->insert(out->end(), slot_data[k].begin(), slot_data[k].end());
  }
  offsets[var_slots] = std::uint16_t(out->size());
  if (has_var) {
    std::uint8_t two[2];
    for (std::size_t k = var_slots + 1; k-- > 0;) {
      Put16(two, offsets[k]);
      out->insert(out->end(), two, two + 2);
    }
    Put16(two, std::uint16_t(var_slots));
    out->insert(out->end(), two, two + 2);
  }
  out->insert(out->end(), mask.begin(), mask.end());
  if (out->size() > max_size) {
    return Status::InvalidArgument("row of " + std::to_string(out->size()) + " bytes is too large for a page");
  }
  return Status::Ok();
}

}  // namespace jet
