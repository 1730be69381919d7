#include "jet/header.h"

#include <cmath>
#include <cstring>

#include "jet/bytes.h"
#include "jet/codec.h"

namespace jet {
namespace {

constexpr std::uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};  // 0x6B39DAC7, little-endian
constexpr std::size_t kMaskedStart = 0x18;

std::string StoredPasswordJet3(const std::uint8_t* p, std::uint16_t code_page) {
  std::size_t n = 0;
  while (n < 20 && p[n] != 0) ++n;
  std::string out;
  if (!DecodeCodePage(p, n, code_page, &out).ok()) out.assign(reinterpret_cast<const char*>(p), n);
  return out;
}

std::string StoredPasswordJet4(const std::uint8_t* p, double created) {
  std::uint8_t bytes[40];
  std::memcpy(bytes, p, sizeof bytes);
  // The mask is the whole-day part of the creation date as a 32-bit integer.
  std::uint32_t mask = 0;
  if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
    mask = std::uint32_t(std::int32_t(created));
  }
  std::uint8_t m[4];
  Put32(m, mask);
  for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] ^= m[i % 4];
  std::size_t units = 0;
  while (units < 20 && (bytes[2 * units] | bytes[2 * units + 1]) != 0) ++units;
  return Utf16ToUtf8(bytes, units * 2);
}

}  // namespace

Status DecodeDefinitionPage(const std::uint8_t* data, std::size_t size, DefinitionPage* page) {
  static const char kJet[] = "Standard Jet DB";
  static const char kAce[] = "Standard ACE DB";
  if (size < kMaskedStart + 128) {
    return Status::Corruption("page 0: file too short for a database definition page (" +
                              std::to_string(size) + " bytes)");
  }
  if (Get32(data) != 0x00000100) {
    return Status::Corruption("page 0: not an Access database (no definition page signature)");
  }
  if (std::memcmp(data + 4, kAce, sizeof kAce) == 0) {
    return Status::NotSupported(
        "an ACE database (Access 2007 or later, .accdb); only Jet 3 and Jet 4 files are supported");
  }
  if (std::memcmp(data + 4, kJet, sizeof kJet) != 0) {
    return Status::Corruption("page 0: not an Access database (format name missing)");
  }
  std::uint32_t version = Get32(data + 0x14);
  if (version >= 2) {
    return Status::NotSupported("an ACE database (format version " + std::to_string(version) +
                                "); only Jet 3 and Jet 4 files are supported");
  }
  bool jet3 = version == 0;
  std::vector<std::uint8_t> h(data, data + kMaskedStart + 128);
  Rc4(kHeaderKey, sizeof kHeaderKey, h.data() + kMaskedStart, jet3 ? 126 : 128);

  DatabaseInfo& info = page->info;
  info.jet_version = jet3 ? 3 : 4;
  info.page_size = jet3 ? 2048 : 4096;
  info.code_page = Get16(h.data() + 0x3C);
  page->database_key = Get32(h.data() + 0x3E);
  info.encoded = page->database_key != 0;
  if (jet3) {
    info.sort_order = Get16(h.data() + 0x3A);
    info.created = DateTime{0};
    page->password = StoredPasswordJet3(h.data() + 0x42, info.code_page);
  } else {
    info.sort_order = Get16(h.data() + 0x6E);
    info.created = DateTime{GetDouble(h.data() + 0x72)};
    page->password = StoredPasswordJet4(h.data() + 0x42, info.created.days);
  }
  info.has_password = !page->password.empty();
  return Status::Ok();
}

Status CheckPassword(const DefinitionPage& page, const std::string& given) {
  if (page.password == given) return Status::Ok();
  if (given.empty()) return Status::InvalidArgument("the database is protected by a password");
  return Status::InvalidArgument("wrong database password");
}

void CodePage(std::uint32_t database_key, std::uint32_t page_number, std::uint8_t* data,
              std::size_t size) {
  if (database_key == 0 || page_number == 0) return;
  std::uint8_t key[4];
  Put32(key, database_key ^ page_number);
  Rc4(key, sizeof key, data, size);
}

}  // namespace jet
