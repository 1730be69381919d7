// The program's texts: byte strings in its 8-bit code page, GB18030.
//
// GB18030 is byte-identical to GBK (code page 936) on every GBK character and
// also holds every other Unicode character, as four-byte sequences.  The
// program treats a byte from 0x80 up as the start of a two-byte character;
// a four-byte GB18030 character then counts as two such pairs and still stays
// whole, because its second and fourth bytes (0x30-0x39) never start a match.
//
// An absent text counts as "" everywhere; std::string is never "absent".
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace text {

using Text = std::string;

// Byte-for-byte comparison over the whole text.
bool TextEquals(std::string_view a, std::string_view b);

// Every occurrence of `find` in `text`, left to right and without overlap,
// replaced by `replacement`.  A match never begins inside a character.
// An empty `find` leaves the text unchanged.
Text ReplaceText(std::string_view text, std::string_view find, std::string_view replacement);

// The pieces joined in order, nothing between them.
Text JoinTexts(std::initializer_list<std::string_view> pieces);

}  // namespace text
