// The database definition page (page 0): format version, the masked header
// region, code page, collation, creation date, database key and password.
// See doc/jet-format.md, "Database definition page".
//
//   offset  size  meaning
//   0x00    4     00 01 00 00
//   0x04    16    "Standard Jet DB\0" ("Standard ACE DB\0": Access 2007+)
//   0x14    4     version: 0 Jet 3, 1 Jet 4, 2.. ACE
//   0x18    126/128  region masked with RC4 (key 0x6B39DAC7), Jet 3/Jet 4:
//     0x3A  2     Jet 3 collation (sort order)
//     0x3C  2     code page of 8-bit texts
//     0x3E  4     database key; not 0: every other page is RC4-encoded
//     0x42  20/40 password (Jet 3: code page bytes; Jet 4: UTF-16, each
//                 byte XORed with the low 4 bytes of (int32) creation date)
//     0x6E  4     Jet 4 collation (sort order)
//     0x72  8     Jet 4 creation date (double)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"

namespace jet {

struct DefinitionPage {
  DatabaseInfo info;
  std::uint32_t database_key = 0;
  std::string password;  // UTF-8, as stored (unmasked)
};

// Decodes page 0 (at least the first 0x18 + 128 bytes).  NotSupported for ACE
// files, Corruption for anything that is not a Jet definition page.
Status DecodeDefinitionPage(const std::uint8_t* data, std::size_t size, DefinitionPage* page);

// Ok when `given` opens a database whose stored password is `stored`:
// equal, case-sensitive, as Jet compares them.  InvalidArgument otherwise.
Status CheckPassword(const DefinitionPage& page, const std::string& given);

// Decodes (or encodes: RC4 is its own inverse) one page of an encoded
// database in place.  Page 0 is never encoded.
void CodePage(std::uint32_t database_key, std::uint32_t page_number, std::uint8_t* data,
              std::size_t size);

}  // namespace jet
