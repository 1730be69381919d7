#include "jet/sql/lexer.h"

namespace jet::sql {
namespace {

bool IsIdentifierByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c >= 0x80;
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

Status SyntaxError(std::string what, std::size_t offset) {
  return Status::InvalidArgument("syntax error at position " + std::to_string(offset + 1) + ": " +
                                 std::move(what));
}

// Reads digits, an optional fraction and an optional exponent from `pos`.
std::size_t ScanNumber(std::string_view sql, std::size_t pos) {
  std::size_t i = pos;
  while (i < sql.size() && IsDigit(sql[i])) ++i;
  if (i < sql.size() && sql[i] == '.') {
    ++i;
    while (i < sql.size() && IsDigit(sql[i])) ++i;
  }
  if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < sql.size() && (sql[j] == '+' || sql[j] == '-')) ++j;
    if (j < sql.size() && IsDigit(sql[j])) {
      while (j < sql.size() && IsDigit(sql[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

Status Tokenize(std::string_view sql, std::vector<Token>* tokens) {
  tokens->clear();
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    Token token;
    token.offset = i;
    if (c == '\'') {
      token.kind = TokenKind::kString;
      std::size_t j = i + 1;
      for (;;) {
        if (j >= sql.size()) return SyntaxError("text literal not closed", i);
        if (sql[j] == '\'') {
          if (j + 1 < sql.size() && sql[j + 1] == '\'') {
            token.text += '\'';
            j += 2;
            continue;
          }
          break;
        }
        token.text += sql[j++];
      }
      i = j + 1;
    } else if (c == '[') {
      const std::size_t close = sql.find(']', i + 1);
      if (close == std::string_view::npos) return SyntaxError("name in brackets not closed", i);
      token.kind = TokenKind::kBracketIdentifier;
      token.text = std::string(sql.substr(i + 1, close - i - 1));
      if (token.text.empty()) return SyntaxError("empty name in brackets", i);
      i = close + 1;
    } else if (c == '#') {
      const std::size_t close = sql.find('#', i + 1);
      if (close == std::string_view::npos) return SyntaxError("date literal not closed", i);
      token.kind = TokenKind::kDate;
      token.text = std::string(sql.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (IsDigit(c) || (c == '.' && i + 1 < sql.size() && IsDigit(sql[i + 1]))) {
      token.kind = TokenKind::kNumber;
      const std::size_t end = ScanNumber(sql, i);
      token.text = std::string(sql.substr(i, end - i));
      i = end;
      if (i < sql.size() && IsIdentifierByte(static_cast<unsigned char>(sql[i])))
        return SyntaxError("malformed number", token.offset);
    } else if (IsIdentifierByte(static_cast<unsigned char>(c))) {
      token.kind = TokenKind::kIdentifier;
      std::size_t j = i;
      while (j < sql.size() && IsIdentifierByte(static_cast<unsigned char>(sql[j]))) ++j;
      token.text = std::string(sql.substr(i, j - i));
      i = j;
    } else {
      token.kind = TokenKind::kSymbol;
      const std::string_view two = sql.substr(i, 2);
      if (two == "<>" || two == "<=" || two == ">=") {
        token.text = std::string(two);
        i += 2;
      } else if (std::string_view("=<>(),*;-+.").find(c) != std::string_view::npos) {
        token.text = std::string(1, c);
        ++i;
      } else {
        return SyntaxError(std::string("unexpected character '") + c + "'", i);
      }
    }
    tokens->push_back(std::move(token));
  }
  Token end;
  end.offset = sql.size();
  tokens->push_back(end);
  return Status::Ok();
}

}  // namespace jet::sql
