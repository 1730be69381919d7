// Splits an SQL text (UTF-8) into tokens.
//
// Identifiers are runs of ASCII letters, digits, '_' and any non-ASCII
// character (so 知识点 is one identifier), or any text but ']' between
// brackets.  A string literal is quoted with ' and holds '' for a quote.
// Numbers are digits with an optional fraction and exponent; a sign is a
// separate token.  #...# is a date literal.  Keywords are not told apart
// here: the parser compares identifiers case-insensitively.  A token's
// `offset` is its byte position in the text, for messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "jet/status.h"

namespace jet::sql {

enum class TokenKind {
  kIdentifier,         // text: the name (without brackets)
  kBracketIdentifier,  // [name]: never a keyword
  kString,             // text: the value, quotes undone
  kNumber,             // text: the digits as written
  kDate,               // text: between the # signs
  kSymbol,             // text: one of = <> < <= > >= ( ) , * ; - + .
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  std::size_t offset = 0;
};

// InvalidArgument for an unterminated literal or bracket, or a character
// that starts no token.
Status Tokenize(std::string_view sql, std::vector<Token>* tokens);

}  // namespace jet::sql
