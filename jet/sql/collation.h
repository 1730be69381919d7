// How the engine compares texts: by Unicode code point after folding letter
// case, so 'ABC' = 'abc' as in Jet's general sort order.  Folding covers
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin
// letters; other characters compare as themselves.
#pragma once

#include <string>
#include <string_view>

namespace jet::sql {

// UTF-8 to code points; an invalid sequence becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
char32_t FoldCase(char32_t c);
// DecodeUtf8 with every character folded.
std::u32string FoldedText(std::string_view utf8);
// <0, 0, >0, ignoring letter case.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);
// Characters (UTF-16 code units, as Jet counts a Text(n) column's length).
std::size_t Utf16Length(std::string_view utf8);

}  // namespace jet::sql
