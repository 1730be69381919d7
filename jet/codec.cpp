#include "jet/codec.h"

#include <array>
#include <utility>

namespace jet {
namespace {

// Decodes UTF-8 into code points; false on a malformed sequence.
bool DecodeUtf8(const std::string& s, std::vector<std::uint32_t>* cps) {
  for (std::size_t i = 0; i < s.size();) {
    auto b = std::uint8_t(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + std::size_t(extra) >= s.size() + (extra == 0 ? 1 : 0)) return false;
    std::uint32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra; ++k) {
      auto c = std::uint8_t(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    cps->push_back(cp);
    i += 1 + extra;
  }
  return true;
}

// Windows-1252 bytes 0x80..0x9F; the rest of the page is Latin-1.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// Writes `cp` as UTF-8 at `p`; returns the byte after it.
char* PutUtf8(std::uint32_t cp, char* p) {
  if (cp < 0x80) {
    *p++ = char(cp);
  } else if (cp < 0x800) {
    *p++ = char(0xC0 | (cp >> 6));
    *p++ = char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = char(0xE0 | (cp >> 12));
    *p++ = char(0x80 | ((cp >> 6) & 0x3F));
    *p++ = char(0x80 | (cp & 0x3F));
  } else {
    *p++ = char(0xF0 | (cp >> 18));
    *p++ = char(0x80 | ((cp >> 12) & 0x3F));
    *p++ = char(0x80 | ((cp >> 6) & 0x3F));
    *p++ = char(0x80 | (cp & 0x3F));
  }
  return p;
}

// UTF-16LE units [data, data + 2 * units) as UTF-8 at `p`.
char* PutUtf16AsUtf8(const std::uint8_t* data, std::size_t units, char* p) {
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
    if (u < 0x80) {
      *p++ = char(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      std::uint32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        p = PutUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), p);
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    p = PutUtf8(u, p);
  }
  return p;
}

// One-byte characters (Latin-1) [data, data + n) as UTF-8 at `p`.
char* PutLatin1AsUtf8(const std::uint8_t* data, std::size_t n, char* p) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = data[i];
    if (b < 0x80) {
      *p++ = char(b);
    } else {
      *p++ = char(0xC0 | (b >> 6));
      *p++ = char(0x80 | (b & 0x3F));
    }
  }
  return p;
}

// The UTF-8 length of what PutUtf16AsUtf8 writes for the same units.
std::size_t Utf8LengthOfUtf16(const std::uint8_t* data, std::size_t units) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
    if (u < 0x80) {
      n += 1;
    } else if (u < 0x800) {
      n += 2;
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const std::uint32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
      const bool pair = low >= 0xDC00 && low <= 0xDFFF;
      n += pair ? 4 : 3;
      i += pair ? 1 : 0;
    } else {
      n += 3;
    }
  }
  return n;
}

std::size_t Utf8LengthOfLatin1(const std::uint8_t* data, std::size_t n) {
  std::size_t high = 0;
  for (std::size_t i = 0; i < n; ++i) high += data[i] >> 7;
  return n + high;
}

// Calls run(compressed, begin, end) for each run of a compressed text's
// body (after FF FE), in order; two-byte runs hold whole units only.
template <typename Run>
void ForEachCompressedRun(const std::uint8_t* data, std::size_t size, Run run) {
  bool compressed = true;
  std::size_t i = 2;
  while (i < size) {
    if (data[i] == 0x00) {
      compressed = !compressed;
      ++i;
      continue;
    }
    std::size_t end = i;
    if (compressed) {
      while (end < size && data[end] != 0x00) ++end;
    } else {
      // Two-byte units up to the next unit whose first byte is 00 (a switch);
      // a lone trailing byte is not a character.
      while (end + 1 < size && data[end] != 0x00) end += 2;
    }
    run(compressed, i, end);
    if (!compressed && end + 1 == size && data[end] != 0x00) break;
    i = end;
  }
}

}  // namespace

void AppendUtf8(std::uint32_t cp, std::string* out) {
  char bytes[4];
  out->append(bytes, PutUtf8(cp, bytes));
}

// Texts are measured first and written into a string of exactly their
// length: no per-character growth and no slack kept in the value.
std::string Utf16ToUtf8(const std::uint8_t* data, std::size_t size) {
  const std::size_t units = size / 2;
  std::string out(Utf8LengthOfUtf16(data, units), '\0');
  PutUtf16AsUtf8(data, units, out.data());
  return out;
}

Status Utf8ToUtf16(const std::string& utf8, std::vector<std::uint8_t>* out) {
  std::vector<std::uint32_t> cps;
  if (!DecodeUtf8(utf8, &cps)) return Status::InvalidArgument("text is not valid UTF-8");
  out->clear();
  out->reserve(cps.size() * 2);
  auto put = [out](std::uint32_t u) {
    out->push_back(std::uint8_t(u & 0xFF));
    out->push_back(std::uint8_t(u >> 8));
  };
  for (std::uint32_t cp : cps) {
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return Status::Ok();
}

// Compressed texts alternate runs; each run is converted as a block.  A
// surrogate pair split by a mode switch is not joined (each half becomes
// U+FFFD), which no writer produces.
std::string DecodeJet4Text(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) return Utf16ToUtf8(data, size);
  std::size_t length = 0;
  ForEachCompressedRun(data, size, [&](bool compressed, std::size_t begin, std::size_t end) {
    length += compressed ? Utf8LengthOfLatin1(data + begin, end - begin) : Utf8LengthOfUtf16(data + begin, (end - begin) / 2);
  });
  std::string out(length, '\0');
  char* p = out.data();
  ForEachCompressedRun(data, size, [&](bool compressed, std::size_t begin, std::size_t end) {
    p = compressed ? PutLatin1AsUtf8(data + begin, end - begin, p) : PutUtf16AsUtf8(data + begin, (end - begin) / 2, p);
  });
  return out;
}

Status EncodeJet4Text(const std::string& utf8, bool compress, std::vector<std::uint8_t>* out) {
  std::vector<std::uint8_t> utf16;
  JET_RETURN_IF_ERROR(Utf8ToUtf16(utf8, &utf16));
  // Compress only when every character fits one byte: a single run needs no
  // mode switches, which every reader handles.
  bool one_byte = compress && !utf16.empty();
  for (std::size_t i = 0; one_byte && i < utf16.size(); i += 2) {
    one_byte = utf16[i + 1] == 0 && utf16[i] != 0;
  }
  if (one_byte) {
    out->assign({0xFF, 0xFE});
    for (std::size_t i = 0; i < utf16.size(); i += 2) out->push_back(utf16[i]);
  } else if (utf16.size() >= 2 && utf16[0] == 0xFF && utf16[1] == 0xFE) {
    // U+FEFF first would read as the compression mark: switch straight to
    // two-byte mode inside a compressed value instead.
    out->assign({0xFF, 0xFE, 0x00});
    out->insert(out->end(), utf16.begin(), utf16.end());
  } else {
    *out = std::move(utf16);
  }
  return Status::Ok();
}

Status DecodeCodePage(const std::uint8_t* data, std::size_t size, std::uint16_t code_page,
                      std::string* utf8) {
  utf8->clear();
  for (std::size_t i = 0; i < size; ++i) {
    std::uint8_t b = data[i];
    if (b < 0x80) {
      utf8->push_back(char(b));
    } else if (code_page == 1252 || code_page == 0) {
      AppendUtf8(b < 0xA0 ? kCp1252High[b - 0x80] : b, utf8);
    } else {
      return Status::NotSupported("text in code page " + std::to_string(code_page) +
                                  " is not supported");
    }
  }
  return Status::Ok();
}

Status EncodeCodePage(const std::string& utf8, std::uint16_t code_page,
                      std::vector<std::uint8_t>* out) {
  std::vector<std::uint32_t> cps;
  if (!DecodeUtf8(utf8, &cps)) return Status::InvalidArgument("text is not valid UTF-8");
  out->clear();
  for (std::uint32_t cp : cps) {
    if (cp < 0x80 || ((code_page == 1252 || code_page == 0) && cp >= 0xA0 && cp <= 0xFF)) {
      out->push_back(std::uint8_t(cp));
      continue;
    }
    bool found = false;
    if (code_page == 1252 || code_page == 0) {
      for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
        if (kCp1252High[k] == cp && cp != 0xFFFD) {
          out->push_back(std::uint8_t(0x80 + k));
          found = true;
          break;
        }
      }
    }
    if (!found) {
      return Status::InvalidArgument("character U+" + std::to_string(cp) +
                                     " has no place in code page " + std::to_string(code_page));
    }
  }
  return Status::Ok();
}

void Rc4(const std::uint8_t* key, std::size_t key_size, std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, 256> s;
  for (int i = 0; i < 256; ++i) s[i] = std::uint8_t(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = std::uint8_t(j + s[i] + key[i % key_size]);
    std::swap(s[i], s[j]);
  }
  std::uint8_t a = 0, b = 0;
  for (std::size_t n = 0; n < size; ++n) {
    a = std::uint8_t(a + 1);
    b = std::uint8_t(b + s[a]);
    std::swap(s[a], s[b]);
    data[n] ^= s[std::uint8_t(s[a] + s[b])];
  }
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace jet
