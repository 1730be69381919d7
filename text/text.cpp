// The program's texts: comparison, substitution and joining, byte by byte.
#include "text/text.h"

#include <algorithm>
#include <cstddef>

namespace text {

bool TextEquals(std::string_view a, std::string_view b) { return a == b; }

// Scans from the first byte; where `find` does not match, one whole character
// is passed over (two bytes when its first byte is 0x80 or above), so a match
// can never begin at the second byte of a character.  Unmatched bytes are
// copied in runs, at the next match or at the end.
Text ReplaceText(std::string_view text, std::string_view find, std::string_view replacement) {
  if (find.empty()) return Text(text);
  Text result;
  result.reserve(text.size());
  std::size_t copied = 0;  // text[copied, pos) is still to be copied
  std::size_t pos = 0;
  while (text.size() - pos >= find.size()) {
    if (text[pos] == find[0] && text.compare(pos, find.size(), find) == 0) {
      result.append(text, copied, pos - copied);
      result.append(replacement);
      pos += find.size();
      copied = pos;
      continue;
    }
    const std::size_t character = static_cast<unsigned char>(text[pos]) >= 0x80 ? 2 : 1;
    pos += std::min(character, text.size() - pos);  // a lead byte may end the text
  }
  result.append(text, copied, std::string_view::npos);
  return result;
}

Text JoinTexts(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  Text joined;
  joined.reserve(size);
  for (std::string_view piece : pieces) joined.append(piece);
  return joined;
}

}  // namespace text
