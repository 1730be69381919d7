#include "jet/sql/evaluator.h"

#include <algorithm>
#include <type_traits>

#include "jet/sql/collation.h"
#include "jet/sql/value_text.h"

namespace jet::sql {
namespace {

// What an operand holds, for the binder's checks.
enum class Kind { kNull, kLogical, kNumber, kText, kBinary, kGuid };

Kind KindOfColumn(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean:
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kCurrency:
    case ColumnType::kSingle:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
    case ColumnType::kNumeric: return Kind::kNumber;
    case ColumnType::kText:
    case ColumnType::kMemo: return Kind::kText;
    case ColumnType::kGuid: return Kind::kGuid;
    case ColumnType::kBinary:
    case ColumnType::kOle: return Kind::kBinary;
  }
  return Kind::kBinary;
}

Kind KindOfValue(const Value& v) {
  switch (v.index()) {
    case 0: return Kind::kNull;
    case 6: return Kind::kText;
    case 7: return Kind::kBinary;
    case 8: return Kind::kGuid;
    default: return Kind::kNumber;  // bool, integer, double, Currency, DateTime, Decimal
  }
}

bool Numeric(Kind k) { return k == Kind::kNumber || k == Kind::kLogical; }

Status Mismatch(const Expr& e) {
  return Status::InvalidArgument("data type mismatch in criteria expression at position " +
                                 std::to_string(e.offset + 1));
}

long double DecimalNumber(const Decimal& d) {
  long double m = d.magnitude[2];
  m = m * 4294967296.0L + d.magnitude[1];
  m = m * 4294967296.0L + d.magnitude[0];
  for (int i = 0; i < d.scale; ++i) m /= 10;
  return d.negative ? -m : m;
}

// REQUIRES: KindOfValue(v) == kNumber.  Yes is -1 as in Jet.
long double NumberOf(const Value& v) {
  return std::visit(
      [](const auto& x) -> long double {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, bool>) return x ? -1 : 0;
        else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double>) return x;
        else if constexpr (std::is_same_v<T, Currency>) return x.scaled / 10000.0L;
        else if constexpr (std::is_same_v<T, DateTime>) return x.days;
        else if constexpr (std::is_same_v<T, Decimal>) return DecimalNumber(x);
        else return 0;
      },
      v);
}

template <typename T>
int ThreeWay(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// REQUIRES: both non-NULL and of comparable kinds.
int CompareNonNull(const Value& a, const Value& b) {
  const Kind ka = KindOfValue(a), kb = KindOfValue(b);
  if (ka == Kind::kNumber && kb == Kind::kNumber) {
    if (a.index() == b.index()) {
      if (auto* x = std::get_if<std::int64_t>(&a)) return ThreeWay(*x, std::get<std::int64_t>(b));
      if (auto* x = std::get_if<Currency>(&a)) return ThreeWay(x->scaled, std::get<Currency>(b).scaled);
    }
    return ThreeWay(NumberOf(a), NumberOf(b));
  }
  if (ka == Kind::kText && kb == Kind::kText)
    return CompareTextIgnoringCase(std::get<std::string>(a), std::get<std::string>(b));
  if (ka == Kind::kBinary && kb == Kind::kBinary) return ThreeWay(std::get<Bytes>(a), std::get<Bytes>(b));
  if (ka == Kind::kGuid && kb == Kind::kGuid)
    return ThreeWay(std::get<Guid>(a).bytes, std::get<Guid>(b).bytes);
  return ThreeWay(a.index(), b.index());
}

// NULL stays NULL; otherwise true when non-zero.
Value Truth(const Value& v) {
  if (IsNull(v)) return v;
  return NumberOf(v) != 0;
}

}  // namespace

struct Predicate::Bound {
  const TableDef& table;
  Predicate* predicate;

  Status Bind(Expr& e, Kind* kind) {
    switch (e.kind) {
      case ExprKind::kLiteral:
        *kind = KindOfValue(e.value);
        return Status::Ok();
      case ExprKind::kColumn: {
        e.column_position = table.FindColumn(e.column);
        if (e.column_position < 0)
          return Status::NotFound("no column '" + e.column + "' in table '" + table.name + "'");
        *kind = KindOfColumn(table.columns[e.column_position].type);
        return Status::Ok();
      }
      case ExprKind::kNot:
      case ExprKind::kAnd:
      case ExprKind::kOr: {
        for (Expr* operand : {e.left.get(), e.right.get()}) {
          if (!operand) continue;
          Kind k;
          JET_RETURN_IF_ERROR(Bind(*operand, &k));
          if (k != Kind::kNull && !Numeric(k)) return Mismatch(*operand);
        }
        *kind = Kind::kLogical;
        return Status::Ok();
      }
      case ExprKind::kCompare: return BindCompare(e, kind);
      case ExprKind::kLike: return BindLike(e, kind);
      case ExprKind::kIsNull: {
        Kind ignored;
        JET_RETURN_IF_ERROR(Bind(*e.left, &ignored));
        *kind = Kind::kLogical;
        return Status::Ok();
      }
    }
    return Status::NotSupported("unknown expression");
  }

  // A text literal met by a date or Replication ID column is read as one.
  Status ConvertTextLiteral(Expr& literal, const Expr& column) {
    if (literal.kind != ExprKind::kLiteral || column.kind != ExprKind::kColumn) return Status::Ok();
    const std::string* text = std::get_if<std::string>(&literal.value);
    if (!text) return Status::Ok();
    const ColumnType type = table.columns[column.column_position].type;
    if (type == ColumnType::kDateTime) {
      DateTime date;
      if (!ParseDateTimeText(*text, &date)) return Mismatch(literal);
      literal.value = date;
    } else if (type == ColumnType::kGuid) {
      Guid guid;
      if (!ParseGuidText(*text, &guid)) return Mismatch(literal);
      literal.value = guid;
    }
    return Status::Ok();
  }

  Status BindCompare(Expr& e, Kind* kind) {
    Kind left, right;
    JET_RETURN_IF_ERROR(Bind(*e.left, &left));
    JET_RETURN_IF_ERROR(Bind(*e.right, &right));
    JET_RETURN_IF_ERROR(ConvertTextLiteral(*e.left, *e.right));
    JET_RETURN_IF_ERROR(ConvertTextLiteral(*e.right, *e.left));
    if (e.left->kind == ExprKind::kLiteral) left = KindOfValue(e.left->value);
    if (e.right->kind == ExprKind::kLiteral) right = KindOfValue(e.right->value);
    const bool comparable = left == Kind::kNull || right == Kind::kNull ||
                            (Numeric(left) && Numeric(right)) || left == right;
    if (!comparable) return Mismatch(e);
    *kind = Kind::kLogical;
    return Status::Ok();
  }

  Status BindLike(Expr& e, Kind* kind) {
    Kind left, right;
    JET_RETURN_IF_ERROR(Bind(*e.left, &left));
    JET_RETURN_IF_ERROR(Bind(*e.right, &right));
    if (left == Kind::kBinary || (right != Kind::kText && right != Kind::kNull)) return Mismatch(e);
    if (e.right->kind == ExprKind::kLiteral && right == Kind::kText) {
      LikePattern pattern;
      JET_RETURN_IF_ERROR(LikePattern::Compile(std::get<std::string>(e.right->value), &pattern));
      predicate->patterns_.emplace(&e, std::move(pattern));
    }
    *kind = Kind::kLogical;
    return Status::Ok();
  }
};

Status Predicate::Bind(ExprPtr where, const TableDef& table, Predicate* predicate) {
  predicate->where_.reset();
  predicate->patterns_.clear();
  predicate->column_types_.clear();
  for (const Column& c : table.columns) predicate->column_types_.push_back(c.type);
  if (!where) return Status::Ok();
  Bound binder{table, predicate};
  Kind kind;
  JET_RETURN_IF_ERROR(binder.Bind(*where, &kind));
  if (kind != Kind::kNull && !Numeric(kind)) return Mismatch(*where);
  predicate->where_ = std::move(where);
  return Status::Ok();
}

void Predicate::CollectColumns(std::vector<int>* positions) const {
  std::vector<const Expr*> pending;
  if (where_) pending.push_back(where_.get());
  while (!pending.empty()) {
    const Expr* e = pending.back();
    pending.pop_back();
    if (e->kind == ExprKind::kColumn) positions->push_back(e->column_position);
    if (e->left) pending.push_back(e->left.get());
    if (e->right) pending.push_back(e->right.get());
  }
}

Status Predicate::Matches(const Row& row, bool* matches) const {
  if (!where_) {
    *matches = true;
    return Status::Ok();
  }
  Value result;
  JET_RETURN_IF_ERROR(Evaluate(*where_, row, &result));
  result = Truth(result);
  *matches = !IsNull(result) && std::get<bool>(result);
  return Status::Ok();
}

Status Predicate::Evaluate(const Expr& e, const Row& row, Value* out) const {
  switch (e.kind) {
    case ExprKind::kLiteral:
      *out = e.value;
      return Status::Ok();
    case ExprKind::kColumn:
      if (e.column_position < 0 || static_cast<std::size_t>(e.column_position) >= row.size())
        return Status::Corruption("row shorter than its table definition");
      *out = row[e.column_position];
      return Status::Ok();
    case ExprKind::kNot: {
      Value v;
      JET_RETURN_IF_ERROR(Evaluate(*e.left, row, &v));
      v = Truth(v);
      *out = IsNull(v) ? v : Value(!std::get<bool>(v));
      return Status::Ok();
    }
    case ExprKind::kAnd:
    case ExprKind::kOr: {
      Value l, r;
      JET_RETURN_IF_ERROR(Evaluate(*e.left, row, &l));
      l = Truth(l);
      const bool deciding = e.kind == ExprKind::kOr;  // TRUE decides OR, FALSE decides AND
      if (!IsNull(l) && std::get<bool>(l) == deciding) {
        *out = l;
        return Status::Ok();
      }
      JET_RETURN_IF_ERROR(Evaluate(*e.right, row, &r));
      r = Truth(r);
      if (!IsNull(r) && std::get<bool>(r) == deciding) *out = r;
      else if (IsNull(l) || IsNull(r)) *out = std::monostate{};
      else *out = !deciding;
      return Status::Ok();
    }
    case ExprKind::kCompare: {
      Value l, r;
      JET_RETURN_IF_ERROR(Evaluate(*e.left, row, &l));
      JET_RETURN_IF_ERROR(Evaluate(*e.right, row, &r));
      if (IsNull(l) || IsNull(r)) {
        *out = std::monostate{};
        return Status::Ok();
      }
      const int c = CompareNonNull(l, r);
      bool result = false;
      switch (e.op) {
        case CompareOp::kEqual: result = c == 0; break;
        case CompareOp::kNotEqual: result = c != 0; break;
        case CompareOp::kLess: result = c < 0; break;
        case CompareOp::kLessEqual: result = c <= 0; break;
        case CompareOp::kGreater: result = c > 0; break;
        case CompareOp::kGreaterEqual: result = c >= 0; break;
      }
      *out = result;
      return Status::Ok();
    }
    case ExprKind::kLike: {
      Value l, r;
      JET_RETURN_IF_ERROR(Evaluate(*e.left, row, &l));
      JET_RETURN_IF_ERROR(Evaluate(*e.right, row, &r));
      if (IsNull(l) || IsNull(r)) {
        *out = std::monostate{};
        return Status::Ok();
      }
      // A number or date is matched in the form it is shown in.
      ColumnType type = ColumnType::kDouble;
      if (e.left->kind == ExprKind::kColumn) type = column_types_[e.left->column_position];
      const std::string text = FormatValue(l, type);
      bool matched;
      if (auto it = patterns_.find(&e); it != patterns_.end()) {
        matched = it->second.Matches(text);
      } else {
        LikePattern pattern;
        JET_RETURN_IF_ERROR(LikePattern::Compile(FormatValue(r), &pattern));
        matched = pattern.Matches(text);
      }
      *out = matched != e.negated;
      return Status::Ok();
    }
    case ExprKind::kIsNull: {
      Value v;
      JET_RETURN_IF_ERROR(Evaluate(*e.left, row, &v));
      *out = IsNull(v) != e.negated;
      return Status::Ok();
    }
  }
  return Status::NotSupported("unknown expression");
}

int CompareForOrder(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return ThreeWay(!IsNull(a), !IsNull(b));
  return CompareNonNull(a, b);
}

}  // namespace jet::sql
