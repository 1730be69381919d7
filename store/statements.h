// The knowledge table 知识点 and the five statements that read and change it.
//
// The statements are spliced from fixed pieces and the user's texts, exactly
// as the program has always sent them (capital SQL keywords in the insert,
// small ones elsewhere, no blank between `like` and its quote).  Splicing
// cannot protect a text literal, so a title, link or keyword holding an
// apostrophe is refused: the builder gives no statement and the caller
// reports the command's failure.  The content never holds an apostrophe,
// because EscapeApostrophes replaces each one with "‘" before it is spliced;
// content that still holds a 0x27 byte (not escaped, or a malformed text in
// which a lone byte from 0x80 up hides the apostrophe from the substitution)
// is refused as well, so no builder ever splices an apostrophe.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace store {

using text::Text;

// A constant: "select * from 知识点 order by ID desc".
std::string_view SelectAllStatement();

// std::nullopt when the keyword holds an apostrophe (refused).
std::optional<Text> SearchStatement(std::string_view keyword);
// std::nullopt when the title, the link or the (escaped) content holds an
// apostrophe byte (refused).
std::optional<Text> InsertStatement(std::string_view title, std::string_view content,
                                    std::string_view link);
std::optional<Text> UpdateStatement(std::string_view title, std::string_view content,
                                    std::string_view link, std::string_view id);
Text DeleteStatement(std::string_view id);

// "'" -> "‘" (A1 AE) and back, over text::ReplaceText.
Text EscapeApostrophes(std::string_view content);
Text RestoreApostrophes(std::string_view content);

}  // namespace store
