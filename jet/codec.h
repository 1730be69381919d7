// Text and cipher codecs of the file format: UTF-16LE as Jet 4 stores text
// (optionally "Unicode compressed"), the 8-bit code page of Jet 3 texts, and
// RC4, which masks the definition page and encodes the pages of encoded
// databases.  See doc/jet-format.md, "Texts".
//
// Every function is pure; malformed input from a file is reported, never
// trusted (an unpaired surrogate becomes U+FFFD).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/status.h"

namespace jet {

// UTF-16LE bytes (an odd trailing byte is ignored) to UTF-8.
std::string Utf16ToUtf8(const std::uint8_t* data, std::size_t size);

// Appends one code point's UTF-8 bytes.
void AppendUtf8(std::uint32_t cp, std::string* out);
// UTF-8 to UTF-16LE bytes; InvalidArgument on malformed UTF-8.
Status Utf8ToUtf16(const std::string& utf8, std::vector<std::uint8_t>* out);

// A Jet 4 text value: UTF-16LE, or, when it starts with FF FE, compressed:
// runs of one byte per character (high byte 0) and runs of UTF-16, each
// 00 byte switching between them.  Starts in one-byte mode.
std::string DecodeJet4Text(const std::uint8_t* data, std::size_t size);
// Encodes for storage; compresses when `compress` and it is shorter.
Status EncodeJet4Text(const std::string& utf8, bool compress, std::vector<std::uint8_t>* out);

// Jet 3 texts are bytes of the database's Windows code page.  1252 (and
// ASCII) are known; other code pages pass ASCII and refuse other bytes.
Status DecodeCodePage(const std::uint8_t* data, std::size_t size, std::uint16_t code_page,
                      std::string* utf8);
Status EncodeCodePage(const std::string& utf8, std::uint16_t code_page,
                      std::vector<std::uint8_t>* out);

// RC4 keystream XORed over data in place.
void Rc4(const std::uint8_t* key, std::size_t key_size, std::uint8_t* data, std::size_t size);

// ASCII case-insensitive equality, as Jet compares object names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace jet
