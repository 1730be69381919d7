// GB18030 <-> Unicode, from the tables generated out of glibc's iconv.
//
// GB18030 has four shapes of character:
//   00-7F                       one byte, ASCII
//   81-FE 40-7E|80-FE           two bytes, table kTwoByte
//   81-84 30-39 81-FE 30-39     four bytes, BMP, table kFourByteRuns
//   90-E3 30-39 81-FE 30-39     four bytes, U+10000.. U+10FFFF in linear order
// A four-byte code is counted by its linear index: 10 * 126 * 10 codes per
// first byte, 0 = 81 30 81 30.  Decoding turns a well-formed code that maps
// to nothing into one U+FFFD, and a byte that cannot start or finish a
// character into U+FFFD and goes on with the next byte, so that ASCII after a
// damaged character survives.  Encoding maps a scalar value that GB18030 (as
// glibc has it: 24 private-use code points) leaves out onto U+FFFD's code.
#include "text/gb18030.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace text {
namespace {

struct FourByteRun {
  std::uint16_t first_index;
  char16_t first;
  std::uint16_t count;
};

#include "text/gb18030_tables.inc"

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kTrailsPerLead = 191;                 // 0x40..0xFE
constexpr std::uint32_t kCodesPerFirstByte = 10 * 126 * 10;
constexpr std::uint32_t kBmpFourByteCount = 39420;  // 81308130..8431A439
constexpr std::uint32_t kSupplementaryFirstIndex = (0x90 - 0x81) * kCodesPerFirstByte;
constexpr std::uint32_t kSupplementaryLastIndex = kSupplementaryFirstIndex + (0x10FFFF - 0x10000);

// ---- tables derived at compile time --------------------------------------

constexpr std::uint16_t TwoByteCode(std::size_t slot) {
  return static_cast<std::uint16_t>(((0x81 + slot / kTrailsPerLead) << 8) | (0x40 + slot % kTrailsPerLead));
}

// BMP scalar value -> its two-byte code, 0 where it has none.
constexpr std::array<std::uint16_t, 0x10000> MakeBmpTwoByteCodes() {
  std::array<std::uint16_t, 0x10000> codes{};
  for (std::size_t slot = 0; slot < std::size(kTwoByte); ++slot) {
    if (kTwoByte[slot] != 0 && kTwoByte[slot] <= 0xFFFF) codes[kTwoByte[slot]] = TwoByteCode(slot);
  }
  return codes;
}
constexpr auto kBmpTwoByteCodes = MakeBmpTwoByteCodes();

// The few supplementary characters that have a two-byte code.
struct SupplementaryTwoByte {
  char32_t scalar;
  std::uint16_t code;
};
constexpr std::size_t CountSupplementaryTwoByte() {
  std::size_t n = 0;
  for (char32_t u : kTwoByte) n += u > 0xFFFF;
  return n;
}
constexpr auto MakeSupplementaryTwoByte() {
  std::array<SupplementaryTwoByte, CountSupplementaryTwoByte()> found{};
  std::size_t n = 0;
  for (std::size_t slot = 0; slot < std::size(kTwoByte); ++slot) {
    if (kTwoByte[slot] > 0xFFFF) found[n++] = {kTwoByte[slot], TwoByteCode(slot)};
  }
  return found;
}
constexpr auto kSupplementaryTwoByte = MakeSupplementaryTwoByte();

// The four-byte runs again, ordered by scalar value for encoding.
constexpr auto MakeRunsByScalar() {
  std::array<FourByteRun, std::size(kFourByteRuns)> runs{};
  std::copy(std::begin(kFourByteRuns), std::end(kFourByteRuns), runs.begin());
  std::sort(runs.begin(), runs.end(), [](const FourByteRun& a, const FourByteRun& b) { return a.first < b.first; });
  return runs;
}
constexpr auto kRunsByScalar = MakeRunsByScalar();

// ---- GB18030 -> scalar values ----------------------------------------------

constexpr bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
constexpr bool IsDigit(unsigned char b) { return b >= 0x30 && b <= 0x39; }
constexpr bool IsTwoByteTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

char32_t BmpFromFourByteIndex(std::uint32_t index) {
  auto after = std::upper_bound(std::begin(kFourByteRuns), std::end(kFourByteRuns), index,
                                [](std::uint32_t i, const FourByteRun& run) { return i < run.first_index; });
  if (after == std::begin(kFourByteRuns)) return kReplacement;
  const FourByteRun& run = *(after - 1);
  if (index - run.first_index >= run.count) return kReplacement;
  return run.first + (index - run.first_index);
}

char32_t ScalarFromFourByteIndex(std::uint32_t index) {
  if (index < kBmpFourByteCount) return BmpFromFourByteIndex(index);
  if (index >= kSupplementaryFirstIndex && index <= kSupplementaryLastIndex) {
    return 0x10000 + (index - kSupplementaryFirstIndex);
  }
  return kReplacement;
}

// The character at gb[*pos]; advances *pos past it (at least one byte).
char32_t NextFromGb18030(std::string_view gb, std::size_t* pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(gb[*pos + i]); };
  const std::size_t left = gb.size() - *pos;
  const unsigned char b1 = byte(0);
  if (b1 < 0x80) {
    *pos += 1;
    return b1;
  }
  if (IsLead(b1) && left >= 2) {
    const unsigned char b2 = byte(1);
    if (IsTwoByteTrail(b2)) {
      *pos += 2;
      const char32_t u = kTwoByte[(b1 - 0x81) * kTrailsPerLead + (b2 - 0x40)];
      return u != 0 ? u : kReplacement;
    }
    if (IsDigit(b2) && left >= 4 && IsLead(byte(2)) && IsDigit(byte(3))) {
      const std::uint32_t index = (((b1 - 0x81) * 10u + (b2 - 0x30)) * 126u + (byte(2) - 0x81)) * 10u + (byte(3) - 0x30);
      *pos += 4;
      return ScalarFromFourByteIndex(index);
    }
  }
  *pos += 1;
  return kReplacement;
}

// ---- scalar values -> GB18030 ----------------------------------------------

void AppendFourByte(std::uint32_t index, std::string* out) {
  char code[4];
  code[3] = static_cast<char>(0x30 + index % 10);
  index /= 10;
  code[2] = static_cast<char>(0x81 + index % 126);
  index /= 126;
  code[1] = static_cast<char>(0x30 + index % 10);
  code[0] = static_cast<char>(0x81 + index / 10);
  out->append(code, 4);
}

void AppendTwoByte(std::uint16_t code, std::string* out) {
  out->push_back(static_cast<char>(code >> 8));
  out->push_back(static_cast<char>(code & 0xFF));
}

// The four-byte index of a BMP scalar value without a two-byte code; -1 if none.
constexpr long FourByteIndexOfBmp(char32_t u) {
  auto after = std::upper_bound(kRunsByScalar.begin(), kRunsByScalar.end(), u,
                                [](char32_t v, const FourByteRun& run) { return v < run.first; });
  if (after == kRunsByScalar.begin()) return -1;
  const FourByteRun& run = *(after - 1);
  if (u - run.first >= run.count) return -1;
  return run.first_index + static_cast<long>(u - run.first);
}
constexpr long kReplacementIndex = FourByteIndexOfBmp(kReplacement);
static_assert(kReplacementIndex >= 0, "U+FFFD must have a GB18030 code");

// Expects a scalar value (no surrogate, at most U+10FFFF).
void AppendGb18030(char32_t u, std::string* out) {
  if (u < 0x80) {
    out->push_back(static_cast<char>(u));
    return;
  }
  if (u <= 0xFFFF) {
    if (const std::uint16_t code = kBmpTwoByteCodes[u]; code != 0) {
      AppendTwoByte(code, out);
      return;
    }
    const long index = FourByteIndexOfBmp(u);
    AppendFourByte(static_cast<std::uint32_t>(index >= 0 ? index : kReplacementIndex), out);
    return;
  }
  for (const SupplementaryTwoByte& s : kSupplementaryTwoByte) {
    if (s.scalar == u) {
      AppendTwoByte(s.code, out);
      return;
    }
  }
  AppendFourByte(kSupplementaryFirstIndex + (u - 0x10000), out);
}

// ---- UTF-8 and UTF-16 ------------------------------------------------------

constexpr bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The scalar value at utf8[*pos]; an ill-formed sequence gives U+FFFD for
// its longest valid beginning (at least one byte).
char32_t NextFromUtf8(std::string_view utf8, std::size_t* pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[*pos + i]); };
  const std::size_t left = utf8.size() - *pos;
  const unsigned char b1 = byte(0);
  if (b1 < 0x80) {
    *pos += 1;
    return b1;
  }
  int length = 0;
  char32_t u = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b1 >= 0xC2 && b1 <= 0xDF) {
    length = 2, u = b1 & 0x1F;
  } else if (b1 >= 0xE0 && b1 <= 0xEF) {
    length = 3, u = b1 & 0x0F;
    if (b1 == 0xE0) low = 0xA0;   // overlong
    if (b1 == 0xED) high = 0x9F;  // surrogates
  } else if (b1 >= 0xF0 && b1 <= 0xF4) {
    length = 4, u = b1 & 0x07;
    if (b1 == 0xF0) low = 0x90;   // overlong
    if (b1 == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    *pos += 1;
    return kReplacement;
  }
  std::size_t used = 1;
  for (; used < static_cast<std::size_t>(length); ++used) {
    if (used >= left) break;
    const unsigned char b = byte(used);
    const bool fits = used == 1 ? (b >= low && b <= high) : IsContinuation(b);
    if (!fits) break;
    u = (u << 6) | (b & 0x3F);
  }
  *pos += used;
  return used == static_cast<std::size_t>(length) ? u : kReplacement;
}

void AppendUtf8(char32_t u, std::string* out) {
  if (u < 0x80) {
    out->push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (u >> 6)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else if (u < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (u >> 12)));
    out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (u >> 18)));
    out->push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The scalar value at utf16[*pos]; an unpaired surrogate gives U+FFFD.
char32_t NextFromUtf16(std::u16string_view utf16, std::size_t* pos) {
  const char16_t c = utf16[*pos];
  *pos += 1;
  if (IsHighSurrogate(c) && *pos < utf16.size() && IsLowSurrogate(utf16[*pos])) {
    const char16_t low = utf16[*pos];
    *pos += 1;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return kReplacement;
  return c;
}

void AppendUtf16(char32_t u, std::u16string* out) {
  if (u < 0x10000) {
    out->push_back(static_cast<char16_t>(u));
  } else {
    u -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (u >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (u & 0x3FF)));
  }
}

// The end of the run of ASCII bytes that starts at `pos`.
std::size_t AsciiRunEnd(std::string_view s, std::size_t pos) {
  while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) ++pos;
  return pos;
}

}  // namespace

// ASCII is the same in all three forms, so runs of it are copied whole.
std::string Utf8FromGb18030(std::string_view gb) {
  std::string out;
  out.reserve(gb.size() + gb.size() / 2);
  for (std::size_t pos = 0; pos < gb.size();) {
    const std::size_t ascii_end = AsciiRunEnd(gb, pos);
    out.append(gb, pos, ascii_end - pos);
    pos = ascii_end;
    if (pos < gb.size()) AppendUtf8(NextFromGb18030(gb, &pos), &out);
  }
  return out;
}

namespace {

// A well-formed three-byte UTF-8 sequence at s[pos] (U+0800..U+FFFF, no
// surrogate): its scalar value; 0 otherwise.
char32_t ThreeByteScalarAt(std::string_view s, std::size_t pos) {
  if (pos + 2 >= s.size()) return 0;
  const auto b0 = static_cast<unsigned char>(s[pos]), b1 = static_cast<unsigned char>(s[pos + 1]),
             b2 = static_cast<unsigned char>(s[pos + 2]);
  if ((b0 & 0xF0) != 0xE0 || !IsContinuation(b1) || !IsContinuation(b2)) return 0;
  const char32_t u = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | char32_t(b2 & 0x3F);
  if (u < 0x800 || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return u;
}

}  // namespace

std::string Gb18030FromUtf8(std::string_view utf8) {
  std::string out;
  AssignGb18030FromUtf8(utf8, &out);
  return out;
}

// Chinese text is mostly three-byte UTF-8 with a two-byte GB18030 code:
// that case is decoded and looked up in place.
void AssignGb18030FromUtf8(std::string_view utf8, std::string* out) {
  out->clear();
  out->reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t ascii_end = AsciiRunEnd(utf8, pos);
    out->append(utf8, pos, ascii_end - pos);
    pos = ascii_end;
    if (pos >= utf8.size()) break;
    if (const char32_t u = ThreeByteScalarAt(utf8, pos); u != 0) {
      if (const std::uint16_t code = kBmpTwoByteCodes[u]; code != 0) {
        AppendTwoByte(code, out);
        pos += 3;
        continue;
      }
    }
    AppendGb18030(NextFromUtf8(utf8, &pos), out);
  }
}

std::u16string Utf16FromGb18030(std::string_view gb) {
  std::u16string out;
  out.reserve(gb.size());
  for (std::size_t pos = 0; pos < gb.size();) AppendUtf16(NextFromGb18030(gb, &pos), &out);
  return out;
}

std::string Gb18030FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (std::size_t pos = 0; pos < utf16.size();) AppendGb18030(NextFromUtf16(utf16, &pos), &out);
  return out;
}

}  // namespace text
