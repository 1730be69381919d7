// The codec against glibc's iconv "GB18030", the converter its tables were
// generated from: every Unicode scalar value must encode to iconv's bytes
// and decode back, every GB18030 code must decode as iconv decodes it, and
// damaged input must come out as U+FFFD without harm.
#include "text/gb18030.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace text {
namespace {

// One iconv(3) conversion descriptor; converts a whole input or nothing.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> Convert(std::string_view in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string input(in);
    char out[64];
    char* in_ptr = input.data();
    size_t in_left = input.size();
    char* out_ptr = out;
    size_t out_left = sizeof out;
    if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1) || in_left != 0) {
      return std::nullopt;
    }
    return std::string(out, sizeof out - out_left);
  }

 private:
  iconv_t cd_;
};

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

std::string Utf8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

std::string Utf8Of(char32_t u) {
  std::string out;
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
  return out;
}

std::u16string Utf16Of(char32_t u) {
  if (u < 0x10000) return std::u16string(1, static_cast<char16_t>(u));
  u -= 0x10000;
  return {static_cast<char16_t>(0xD800 + (u >> 10)), static_cast<char16_t>(0xDC00 + (u & 0x3FF))};
}

std::string Utf32Of(char32_t u) {
  const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                         static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
  return std::string(bytes, 4);
}

const std::string kReplacementUtf8 = Utf8(u8"\uFFFD");
const std::string kReplacementGb = "\x84\x31\xA4\x37";

// Collects the first few mismatches of a sweep so that a broken table
// reports some examples and a count rather than a million failures.
class Mismatches {
 public:
  void Add(const std::string& what) {
    if (examples_.size() < 10) examples_.push_back(what);
    ++count_;
  }
  std::size_t count() const { return count_; }
  std::string Report() const {
    std::string report;
    for (const std::string& e : examples_) report += e + "\n";
    return report;
  }

 private:
  std::vector<std::string> examples_;
  std::size_t count_ = 0;
};

TEST(Gb18030Test, EveryScalarValueEncodesAsIconvAndDecodesBack) {
  Iconv encoder("GB18030", "UTF-32LE");
  ASSERT_TRUE(encoder.ok()) << "glibc's GB18030 converter is missing";
  Mismatches mismatches;
  std::size_t left_out_by_iconv = 0;
  for (char32_t u = 0; u <= 0x10FFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::optional<std::string> expected = encoder.Convert(Utf32Of(u));
    const std::string utf8 = Utf8Of(u);
    const std::string from_utf8 = Gb18030FromUtf8(utf8);
    const std::string from_utf16 = Gb18030FromUtf16(Utf16Of(u));
    char label[16];
    snprintf(label, sizeof label, "U+%04X", static_cast<unsigned>(u));
    if (!expected) {
      // A few private-use code points have no GB18030 code in glibc; they
      // are encoded as U+FFFD would be.
      ++left_out_by_iconv;
      if (u < 0xE000 || u > 0xF8FF) mismatches.Add(std::string(label) + " not encodable by iconv");
      if (from_utf8 != kReplacementGb || from_utf16 != kReplacementGb) {
        mismatches.Add(std::string(label) + " -> " + Hex(from_utf8) + ", want U+FFFD's code");
      }
      continue;
    }
    if (from_utf8 != *expected || from_utf16 != *expected) {
      mismatches.Add(std::string(label) + " -> " + Hex(from_utf8) + " / " + Hex(from_utf16) + ", iconv " +
                     Hex(*expected));
      continue;
    }
    if (Utf8FromGb18030(from_utf8) != utf8 || Utf16FromGb18030(from_utf8) != Utf16Of(u)) {
      mismatches.Add(std::string(label) + " does not decode back from " + Hex(from_utf8));
    }
  }
  EXPECT_EQ(mismatches.count(), 0u) << mismatches.Report();
  EXPECT_LT(left_out_by_iconv, 64u);
}

// Compares the decoding of one code with iconv's: the same character where
// iconv knows one, otherwise a U+FFFD first.
void CheckDecoding(Iconv& decoder, const std::string& code, Mismatches* mismatches) {
  const std::optional<std::string> expected = decoder.Convert(code);
  const std::string decoded = Utf8FromGb18030(code);
  if (expected ? decoded != *expected : decoded.compare(0, kReplacementUtf8.size(), kReplacementUtf8) != 0) {
    mismatches->Add(Hex(code) + " -> " + Hex(decoded) + ", iconv " + (expected ? Hex(*expected) : "refuses"));
  }
}

TEST(Gb18030Test, EveryTwoByteCodeDecodesAsIconv) {
  Iconv decoder("UTF-8", "GB18030");
  ASSERT_TRUE(decoder.ok()) << "glibc's GB18030 converter is missing";
  Mismatches mismatches;
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      CheckDecoding(decoder, {static_cast<char>(lead), static_cast<char>(trail)}, &mismatches);
    }
  }
  EXPECT_EQ(mismatches.count(), 0u) << mismatches.Report();
}

TEST(Gb18030Test, EveryFourByteCodeDecodesAsIconv) {
  Iconv decoder("UTF-8", "GB18030");
  ASSERT_TRUE(decoder.ok()) << "glibc's GB18030 converter is missing";
  Mismatches mismatches;
  std::string code(4, '\0');
  for (int b1 = 0x81; b1 <= 0xFE; ++b1) {
    for (int b2 = 0x30; b2 <= 0x39; ++b2) {
      for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
        for (int b4 = 0x30; b4 <= 0x39; ++b4) {
          code = {static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3), static_cast<char>(b4)};
          CheckDecoding(decoder, code, &mismatches);
        }
      }
    }
  }
  EXPECT_EQ(mismatches.count(), 0u) << mismatches.Report();
}

struct DecodeCase {
  const char* name;
  std::string gb;
  std::u8string utf8;
};

const DecodeCase kDamagedCases[] = {
    {"0x80 alone", "\x80", u8"\uFFFD"},
    {"0xFF alone", "\xFF", u8"\uFFFD"},
    {"lead at the end", "a\xB0", u8"a\uFFFD"},
    {"lead before DEL", "\xB0\x7F", u8"\uFFFD\x7F"},
    {"lead before an apostrophe keeps the apostrophe", "\xB0'x", u8"\uFFFD'x"},
    {"lead before a digit and ASCII", "\xB0\x30z", u8"\uFFFD0z"},
    {"four-byte code cut after two bytes", "\x81\x30", u8"\uFFFD0"},
    {"four-byte code cut after three bytes", "\x81\x30\x81", u8"\uFFFD0\uFFFD"},
    {"four-byte code with a bad last byte", "\x81\x30\x81\x2F", u8"\uFFFD0\uFFFD/"},
    {"four-byte code ending in a character", "\x81\x30\xCB\xD1", u8"\uFFFD0搜"},
    {"past the BMP's four-byte codes", "\x84\x31\xA5\x30", u8"\uFFFD"},
    {"unassigned first byte 0x85", "\x85\x30\x81\x30", u8"\uFFFD"},
    {"past U+10FFFF", "\xE3\x32\x9A\x36", u8"\uFFFD"},
    {"last four-byte code", "\xFE\x39\xFE\x39", u8"\uFFFD"},
    {"valid around damage", "\xCB\xD1\x80\xCB\xF7", u8"搜\uFFFD索"},
};

TEST(Gb18030Test, DamagedBytesDecodeToReplacementCharacters) {
  for (const DecodeCase& c : kDamagedCases) {
    EXPECT_EQ(Hex(Utf8FromGb18030(c.gb)), Hex(Utf8(c.utf8))) << c.name;
    // The UTF-16 decoder replaces the same bytes.
    EXPECT_EQ(Gb18030FromUtf16(Utf16FromGb18030(c.gb)), Gb18030FromUtf8(Utf8FromGb18030(c.gb))) << c.name;
  }
}

struct EncodeCase {
  const char* name;
  std::string utf8;
  std::string gb;
};

const EncodeCase kBadUtf8Cases[] = {
    {"stray continuation byte", "a\x80z", "a" + kReplacementGb + "z"},
    {"0xFF", "\xFF", kReplacementGb},
    {"overlong slash", "\xC0\xAF", kReplacementGb + kReplacementGb},
    {"overlong three-byte", "\xE0\x80\xAF", kReplacementGb + kReplacementGb + kReplacementGb},
    {"encoded surrogate", "\xED\xA0\x80", kReplacementGb + kReplacementGb + kReplacementGb},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", kReplacementGb + kReplacementGb + kReplacementGb + kReplacementGb},
    {"cut three-byte sequence", "\xE6\x90", kReplacementGb},
    {"cut sequence before ASCII", "\xE6\x90'", kReplacementGb + "'"},
    {"cut four-byte sequence", "\xF0\x9F\x98", kReplacementGb},
};

TEST(Gb18030Test, IllFormedUtf8EncodesAsReplacementCharacters) {
  for (const EncodeCase& c : kBadUtf8Cases) EXPECT_EQ(Hex(Gb18030FromUtf8(c.utf8)), Hex(c.gb)) << c.name;
}

TEST(Gb18030Test, Utf16SurrogatePairs) {
  const struct {
    const char* name;
    std::u16string utf16;
    std::string gb;
  } cases[] = {
      {"U+10000", u"\U00010000", "\x90\x30\x81\x30"},
      {"emoji", u"\U0001F600", "\x94\x39\xFC\x36"},
      {"U+20000", u"\U00020000", "\x95\x32\x82\x36"},
      {"U+20087 has a two-byte code", u"\U00020087", "\xFE\x51"},
      {"U+10FFFF", u"\U0010FFFF", "\xE3\x32\x9A\x35"},
      {"pair among Chinese", u"搜\U0001F600索", "\xCB\xD1\x94\x39\xFC\x36\xCB\xF7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Gb18030FromUtf16(c.utf16)), Hex(c.gb)) << c.name;
    EXPECT_EQ(Utf16FromGb18030(c.gb), c.utf16) << c.name;
  }

  const struct {
    const char* name;
    std::u16string utf16;
    std::string gb;
  } unpaired[] = {
      {"high surrogate at the end", {u'a', char16_t{0xD83D}}, "a" + kReplacementGb},
      {"low surrogate alone", {char16_t{0xDE00}, u'b'}, kReplacementGb + "b"},
      {"high before ASCII", {char16_t{0xD83D}, u'\''}, kReplacementGb + "'"},
      {"two highs then a low", {char16_t{0xD83D}, char16_t{0xD83D}, char16_t{0xDE00}},
       kReplacementGb + "\x94\x39\xFC\x36"},
      {"reversed pair", {char16_t{0xDE00}, char16_t{0xD83D}}, kReplacementGb + kReplacementGb},
  };
  for (const auto& c : unpaired) EXPECT_EQ(Hex(Gb18030FromUtf16(c.utf16)), Hex(c.gb)) << c.name;
}

TEST(Gb18030Test, EmptyTextsStayEmpty) {
  EXPECT_EQ(Utf8FromGb18030(""), "");
  EXPECT_EQ(Gb18030FromUtf8(""), "");
  EXPECT_EQ(Utf16FromGb18030(""), u"");
  EXPECT_EQ(Gb18030FromUtf16(u""), "");
}

}  // namespace
}  // namespace text
