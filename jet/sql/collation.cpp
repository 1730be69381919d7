#include "jet/sql/collation.h"

namespace jet::sql {

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    char32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    bool valid = length > 0 && i + length <= s.size();
    for (int k = 1; valid && k < length; ++k) {
      const unsigned char cont = static_cast<unsigned char>(s[i + k]);
      if ((cont >> 6) != 2) valid = false;
      cp = (cp << 6) | (cont & 0x3F);
    }
    if (valid) {
      static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
      valid = cp >= kMinimum[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!valid) {
      out += U'\uFFFD';
      ++i;
      continue;
    }
    out += cp;
    i += length;
  }
  return out;
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A: upper/lower pairs, even-odd except 0x139-0x148 and 0x179-0x17E.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;
    const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;              // full-width Latin
  return c;
}

std::u32string FoldedText(std::string_view utf8) {
  std::u32string text = DecodeUtf8(utf8);
  for (char32_t& c : text) c = FoldCase(c);
  return text;
}

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
  const std::u32string fa = FoldedText(a), fb = FoldedText(b);
  return fa.compare(fb);
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (char32_t c : DecodeUtf8(utf8)) units += c >= 0x10000 ? 2 : 1;
  return units;
}

}  // namespace jet::sql
