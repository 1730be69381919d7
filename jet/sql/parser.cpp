#include "jet/sql/parser.h"

#include <charconv>
#include <cstdlib>
#include <utility>

#include "jet/codec.h"
#include "jet/sql/lexer.h"
#include "jet/sql/value_text.h"

namespace jet::sql {
namespace {

// Words that can never be a plain (unbracketed) name.
constexpr std::string_view kReserved[] = {
    "SELECT", "FROM", "WHERE", "ORDER", "BY", "ASC", "DESC", "AND", "OR", "NOT", "LIKE",
    "IS", "NULL", "TRUE", "FALSE", "INSERT", "INTO", "VALUES", "UPDATE", "SET", "DELETE",
    "CREATE", "TABLE", "PRIMARY", "KEY", "CONSTRAINT"};

bool IsReserved(const std::string& word) {
  for (std::string_view r : kReserved)
    if (EqualsIgnoreCase(word, std::string(r))) return true;
  return false;
}

struct TypeName {
  std::string_view name;
  ColumnType type;
  bool autonumber;
};
constexpr TypeName kTypeNames[] = {
    {"COUNTER", ColumnType::kLong, true},       {"AUTOINCREMENT", ColumnType::kLong, true},
    {"LONG", ColumnType::kLong, false},         {"INTEGER", ColumnType::kLong, false},
    {"INT", ColumnType::kLong, false},          {"SHORT", ColumnType::kInteger, false},
    {"SMALLINT", ColumnType::kInteger, false},  {"BYTE", ColumnType::kByte, false},
    {"TINYINT", ColumnType::kByte, false},      {"TEXT", ColumnType::kText, false},
    {"VARCHAR", ColumnType::kText, false},      {"CHAR", ColumnType::kText, false},
    {"MEMO", ColumnType::kMemo, false},         {"LONGTEXT", ColumnType::kMemo, false},
    {"DOUBLE", ColumnType::kDouble, false},     {"FLOAT", ColumnType::kDouble, false},
    {"SINGLE", ColumnType::kSingle, false},     {"REAL", ColumnType::kSingle, false},
    {"CURRENCY", ColumnType::kCurrency, false}, {"MONEY", ColumnType::kCurrency, false},
    {"DATETIME", ColumnType::kDateTime, false}, {"DATE", ColumnType::kDateTime, false},
    {"BIT", ColumnType::kBoolean, false},       {"YESNO", ColumnType::kBoolean, false},
    {"LOGICAL", ColumnType::kBoolean, false},   {"GUID", ColumnType::kGuid, false},
    {"UNIQUEIDENTIFIER", ColumnType::kGuid, false},
    {"LONGBINARY", ColumnType::kOle, false},    {"OLEOBJECT", ColumnType::kOle, false},
};

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  Status ParseStatement(Statement* statement) {
    if (PeekKeyword("SELECT")) {
      SelectStatement s;
      JET_RETURN_IF_ERROR(ParseSelect(&s));
      *statement = std::move(s);
    } else if (PeekKeyword("INSERT")) {
      InsertStatement s;
      JET_RETURN_IF_ERROR(ParseInsert(&s));
      *statement = std::move(s);
    } else if (PeekKeyword("UPDATE")) {
      UpdateStatement s;
      JET_RETURN_IF_ERROR(ParseUpdate(&s));
      *statement = std::move(s);
    } else if (PeekKeyword("DELETE")) {
      DeleteStatement s;
      JET_RETURN_IF_ERROR(ParseDelete(&s));
      *statement = std::move(s);
    } else if (PeekKeyword("CREATE")) {
      CreateTableStatement s;
      JET_RETURN_IF_ERROR(ParseCreateTable(&s));
      *statement = std::move(s);
    } else {
      return Error("expected SELECT, INSERT, UPDATE, DELETE or CREATE TABLE");
    }
    if (PeekSymbol(";")) Advance();
    if (Peek().kind != TokenKind::kEnd) return Error("unexpected text after the end of the statement");
    return Status::Ok();
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& Advance() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool PeekKeyword(std::string_view word, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kIdentifier && EqualsIgnoreCase(t.text, std::string(word));
  }
  bool PeekSymbol(std::string_view symbol) const {
    return Peek().kind == TokenKind::kSymbol && Peek().text == symbol;
  }
  bool AcceptKeyword(std::string_view word) {
    if (!PeekKeyword(word)) return false;
    Advance();
    return true;
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!PeekSymbol(symbol)) return false;
    Advance();
    return true;
  }
  Status Error(const std::string& what) const {
    const Token& t = Peek();
    std::string near = t.kind == TokenKind::kEnd ? "the end" : "'" + t.text + "'";
    return Status::InvalidArgument("syntax error at position " + std::to_string(t.offset + 1) +
                                   " (near " + near + "): " + what);
  }
  Status ExpectKeyword(std::string_view word) {
    if (AcceptKeyword(word)) return Status::Ok();
    return Error("expected " + std::string(word));
  }
  Status ExpectSymbol(std::string_view symbol) {
    if (AcceptSymbol(symbol)) return Status::Ok();
    return Error("expected '" + std::string(symbol) + "'");
  }
  Status ExpectName(const char* what, std::string* name) {
    const Token& t = Peek();
    if (t.kind == TokenKind::kBracketIdentifier ||
        (t.kind == TokenKind::kIdentifier && !IsReserved(t.text))) {
      *name = Advance().text;
      return Status::Ok();
    }
    return Error(std::string("expected ") + what);
  }
  Status ParseNameList(const char* what, std::vector<std::string>* names) {
    do {
      std::string name;
      JET_RETURN_IF_ERROR(ExpectName(what, &name));
      names->push_back(std::move(name));
    } while (AcceptSymbol(","));
    return Status::Ok();
  }

  Status ParseSelect(SelectStatement* s) {
    Advance();  // SELECT
    if (AcceptSymbol("*")) {
      s->all_columns = true;
    } else {
      JET_RETURN_IF_ERROR(ParseNameList("a column name or *", &s->columns));
    }
    JET_RETURN_IF_ERROR(ExpectKeyword("FROM"));
    JET_RETURN_IF_ERROR(ExpectName("a table name", &s->table));
    if (AcceptKeyword("WHERE")) JET_RETURN_IF_ERROR(ParseExpr(&s->where));
    if (AcceptKeyword("ORDER")) {
      JET_RETURN_IF_ERROR(ExpectKeyword("BY"));
      do {
        OrderItem item;
        JET_RETURN_IF_ERROR(ExpectName("a column name", &item.column));
        if (AcceptKeyword("DESC")) item.ascending = false;
        else AcceptKeyword("ASC");
        s->order_by.push_back(std::move(item));
      } while (AcceptSymbol(","));
    }
    return Status::Ok();
  }

  Status ParseInsert(InsertStatement* s) {
    Advance();  // INSERT
    JET_RETURN_IF_ERROR(ExpectKeyword("INTO"));
    JET_RETURN_IF_ERROR(ExpectName("a table name", &s->table));
    if (AcceptSymbol("(")) {
      JET_RETURN_IF_ERROR(ParseNameList("a column name", &s->columns));
      JET_RETURN_IF_ERROR(ExpectSymbol(")"));
    }
    JET_RETURN_IF_ERROR(ExpectKeyword("VALUES"));
    JET_RETURN_IF_ERROR(ExpectSymbol("("));
    do {
      Literal literal;
      JET_RETURN_IF_ERROR(ParseLiteral(&literal));
      s->values.push_back(std::move(literal));
    } while (AcceptSymbol(","));
    JET_RETURN_IF_ERROR(ExpectSymbol(")"));
    if (!s->columns.empty() && s->columns.size() != s->values.size())
      return Status::InvalidArgument("number of query values and destination fields are not the same");
    return Status::Ok();
  }

  Status ParseUpdate(UpdateStatement* s) {
    Advance();  // UPDATE
    JET_RETURN_IF_ERROR(ExpectName("a table name", &s->table));
    JET_RETURN_IF_ERROR(ExpectKeyword("SET"));
    do {
      Assignment a;
      JET_RETURN_IF_ERROR(ExpectName("a column name", &a.column));
      JET_RETURN_IF_ERROR(ExpectSymbol("="));
      JET_RETURN_IF_ERROR(ParseLiteral(&a.value));
      s->assignments.push_back(std::move(a));
    } while (AcceptSymbol(","));
    if (AcceptKeyword("WHERE")) JET_RETURN_IF_ERROR(ParseExpr(&s->where));
    return Status::Ok();
  }

  Status ParseDelete(DeleteStatement* s) {
    Advance();  // DELETE
    AcceptSymbol("*");
    JET_RETURN_IF_ERROR(ExpectKeyword("FROM"));
    JET_RETURN_IF_ERROR(ExpectName("a table name", &s->table));
    if (AcceptKeyword("WHERE")) JET_RETURN_IF_ERROR(ParseExpr(&s->where));
    return Status::Ok();
  }

  Status ParseCreateTable(CreateTableStatement* s) {
    Advance();  // CREATE
    JET_RETURN_IF_ERROR(ExpectKeyword("TABLE"));
    JET_RETURN_IF_ERROR(ExpectName("a table name", &s->table));
    JET_RETURN_IF_ERROR(ExpectSymbol("("));
    do {
      if (PeekKeyword("CONSTRAINT") || PeekKeyword("PRIMARY")) {
        JET_RETURN_IF_ERROR(ParseTableConstraint(s));
      } else {
        JET_RETURN_IF_ERROR(ParseColumnSpec(s));
      }
    } while (AcceptSymbol(","));
    JET_RETURN_IF_ERROR(ExpectSymbol(")"));
    if (s->columns.empty()) return Status::InvalidArgument("a table needs at least one column");
    return Status::Ok();
  }

  Status ParseTableConstraint(CreateTableStatement* s) {
    if (AcceptKeyword("CONSTRAINT")) {
      std::string ignored_name;
      JET_RETURN_IF_ERROR(ExpectName("a constraint name", &ignored_name));
    }
    JET_RETURN_IF_ERROR(ExpectKeyword("PRIMARY"));
    JET_RETURN_IF_ERROR(ExpectKeyword("KEY"));
    JET_RETURN_IF_ERROR(ExpectSymbol("("));
    if (!s->primary_key.empty()) return Error("a table has only one primary key");
    JET_RETURN_IF_ERROR(ParseNameList("a column name", &s->primary_key));
    return ExpectSymbol(")");
  }

  Status ParseColumnSpec(CreateTableStatement* s) {
    ColumnSpec column;
    JET_RETURN_IF_ERROR(ExpectName("a column name", &column.name));
    const Token& type_token = Peek();
    const TypeName* type = nullptr;
    if (type_token.kind == TokenKind::kIdentifier)
      for (const TypeName& t : kTypeNames)
        if (EqualsIgnoreCase(type_token.text, std::string(t.name))) type = &t;
    if (!type) return Error("expected a column type");
    Advance();
    column.type = type->type;
    column.autonumber = type->autonumber;
    if (column.type == ColumnType::kText) {
      column.text_length = 255;
      if (AcceptSymbol("(")) {
        const Token& n = Peek();
        int length = 0;
        if (n.kind != TokenKind::kNumber ||
            std::from_chars(n.text.data(), n.text.data() + n.text.size(), length).ptr !=
                n.text.data() + n.text.size() ||
            length < 1 || length > 255)
          return Error("a text length is a number from 1 to 255");
        Advance();
        column.text_length = static_cast<std::uint16_t>(length);
        JET_RETURN_IF_ERROR(ExpectSymbol(")"));
      }
    }
    for (;;) {
      if (AcceptKeyword("NOT")) {
        JET_RETURN_IF_ERROR(ExpectKeyword("NULL"));
        column.not_null = true;
      } else if (AcceptKeyword("NULL")) {
        column.not_null = false;
      } else if (PeekKeyword("PRIMARY") || (PeekKeyword("CONSTRAINT") && PeekKeyword("PRIMARY", 2))) {
        if (AcceptKeyword("CONSTRAINT")) {
          std::string ignored_name;
          JET_RETURN_IF_ERROR(ExpectName("a constraint name", &ignored_name));
        }
        Advance();  // PRIMARY
        JET_RETURN_IF_ERROR(ExpectKeyword("KEY"));
        if (!s->primary_key.empty()) return Error("a table has only one primary key");
        s->primary_key.push_back(column.name);
      } else {
        break;
      }
    }
    s->columns.push_back(std::move(column));
    return Status::Ok();
  }

  // literal: 'text' | [+|-] number | #date# | TRUE | FALSE | NULL
  Status ParseLiteral(Literal* literal) {
    const Token& t = Peek();
    literal->offset = t.offset;
    if (t.kind == TokenKind::kString) {
      literal->value = Advance().text;
    } else if (t.kind == TokenKind::kNumber ||
               (t.kind == TokenKind::kSymbol && (t.text == "-" || t.text == "+") &&
                Peek(1).kind == TokenKind::kNumber)) {
      std::string digits;
      if (t.kind == TokenKind::kSymbol) {
        if (Advance().text == "-") digits = "-";
      }
      digits += Advance().text;
      literal->number_text = digits;
      literal->value = NumberValue(digits);
    } else if (t.kind == TokenKind::kDate) {
      DateTime date;
      if (!ParseDateTimeText(t.text, &date)) return Error("malformed date literal #" + t.text + "#");
      Advance();
      literal->value = date;
      literal->is_date = true;
    } else if (AcceptKeyword("TRUE")) {
      literal->value = true;
    } else if (AcceptKeyword("FALSE")) {
      literal->value = false;
    } else if (AcceptKeyword("NULL")) {
      literal->value = std::monostate{};
    } else {
      return Error("expected a value");
    }
    return Status::Ok();
  }

  Status ParseExpr(ExprPtr* out) { return ParseOr(out); }

  Status ParseBinaryChain(ExprKind kind, std::string_view keyword,
                          Status (Parser::*operand)(ExprPtr*), ExprPtr* out) {
    ExprPtr left;
    JET_RETURN_IF_ERROR((this->*operand)(&left));
    while (PeekKeyword(keyword)) {
      auto node = std::make_unique<Expr>();
      node->offset = Advance().offset;
      node->kind = kind;
      node->left = std::move(left);
      JET_RETURN_IF_ERROR((this->*operand)(&node->right));
      left = std::move(node);
    }
    *out = std::move(left);
    return Status::Ok();
  }
  Status ParseOr(ExprPtr* out) { return ParseBinaryChain(ExprKind::kOr, "OR", &Parser::ParseAnd, out); }
  Status ParseAnd(ExprPtr* out) { return ParseBinaryChain(ExprKind::kAnd, "AND", &Parser::ParseNot, out); }

  Status ParseNot(ExprPtr* out) {
    JET_RETURN_IF_ERROR(Enter());
    const Status status = ParseNotInner(out);
    --depth_;
    return status;
  }
  Status ParseNotInner(ExprPtr* out) {
    if (PeekKeyword("NOT")) {
      auto node = std::make_unique<Expr>();
      node->offset = Advance().offset;
      node->kind = ExprKind::kNot;
      JET_RETURN_IF_ERROR(ParseNot(&node->left));
      *out = std::move(node);
      return Status::Ok();
    }
    return ParsePredicate(out);
  }

  Status ParsePredicate(ExprPtr* out) {
    ExprPtr left;
    JET_RETURN_IF_ERROR(ParseOperand(&left));
    auto node = std::make_unique<Expr>();
    node->offset = Peek().offset;
    static constexpr std::pair<std::string_view, CompareOp> kOps[] = {
        {"=", CompareOp::kEqual},     {"<>", CompareOp::kNotEqual},
        {"<", CompareOp::kLess},      {"<=", CompareOp::kLessEqual},
        {">", CompareOp::kGreater},   {">=", CompareOp::kGreaterEqual}};
    for (const auto& [symbol, op] : kOps) {
      if (AcceptSymbol(symbol)) {
        node->kind = ExprKind::kCompare;
        node->op = op;
        node->left = std::move(left);
        JET_RETURN_IF_ERROR(ParseOperand(&node->right));
        *out = std::move(node);
        return Status::Ok();
      }
    }
    if (PeekKeyword("LIKE") || (PeekKeyword("NOT") && PeekKeyword("LIKE", 1))) {
      node->negated = AcceptKeyword("NOT");
      Advance();  // LIKE
      node->kind = ExprKind::kLike;
      node->left = std::move(left);
      JET_RETURN_IF_ERROR(ParseOperand(&node->right));
      *out = std::move(node);
      return Status::Ok();
    }
    if (AcceptKeyword("IS")) {
      node->negated = AcceptKeyword("NOT");
      JET_RETURN_IF_ERROR(ExpectKeyword("NULL"));
      node->kind = ExprKind::kIsNull;
      node->left = std::move(left);
      *out = std::move(node);
      return Status::Ok();
    }
    *out = std::move(left);
    return Status::Ok();
  }

  Status ParseOperand(ExprPtr* out) {
    auto node = std::make_unique<Expr>();
    node->offset = Peek().offset;
    if (AcceptSymbol("(")) {
      JET_RETURN_IF_ERROR(ParseExpr(out));
      return ExpectSymbol(")");
    }
    const Token& t = Peek();
    if (t.kind == TokenKind::kBracketIdentifier ||
        (t.kind == TokenKind::kIdentifier && !IsReserved(t.text))) {
      node->kind = ExprKind::kColumn;
      node->column = Advance().text;
      *out = std::move(node);
      return Status::Ok();
    }
    Literal literal;
    JET_RETURN_IF_ERROR(ParseLiteral(&literal));
    node->kind = ExprKind::kLiteral;
    node->value = std::move(literal.value);
    node->number_text = std::move(literal.number_text);
    *out = std::move(node);
    return Status::Ok();
  }

  // Jet refuses overly complex queries too; the limits keep the recursive
  // parser, evaluator and tree destructor far from the stack's end.
  static constexpr int kMaxDepth = 100;
  static constexpr int kMaxNodes = 2000;
  Status Enter() {
    if (++depth_ > kMaxDepth || ++nodes_ > kMaxNodes) return Error("expression too complex");
    return Status::Ok();
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  int depth_ = 0;  // nesting of NOT and parentheses being parsed
  int nodes_ = 0;  // expression nodes made so far
};

}  // namespace

Value NumberValue(const std::string& digits) {
  const char* begin = digits.data();
  const char* end = begin + digits.size();
  std::int64_t integer = 0;
  if (digits.find_first_of(".eE") == std::string::npos) {
    auto [ptr, ec] = std::from_chars(begin, end, integer);
    if (ec == std::errc() && ptr == end) return integer;
  }
  double real = 0;
  std::from_chars(begin, end, real);
  return real;
}

Status Parse(std::string_view sql, Statement* statement) {
  std::vector<Token> tokens;
  JET_RETURN_IF_ERROR(Tokenize(sql, &tokens));
  Parser parser(std::move(tokens));
  return parser.ParseStatement(statement);
}

}  // namespace jet::sql
