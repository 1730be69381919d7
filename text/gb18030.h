// Conversions between the program's texts (GB18030) and UTF-8 / UTF-16.
//
// The project's own codec, identical on Linux and Windows (Windows' and Wine's
// own GB18030 support cannot be relied on).  Decoding never fails: an invalid
// or truncated byte sequence becomes U+FFFD.  Encoding never fails: every
// Unicode scalar value has a GB18030 form; an unpaired surrogate in UTF-16 or
// invalid UTF-8 input is encoded as U+FFFD would be.
#pragma once

#include <string>
#include <string_view>

namespace text {

std::string Utf8FromGb18030(std::string_view gb);
std::string Gb18030FromUtf8(std::string_view utf8);
// The same into *out, replacing its content and reusing its buffer: a
// caller converting many values into one string allocates only when a
// value is longer than any before.
void AssignGb18030FromUtf8(std::string_view utf8, std::string* out);
std::u16string Utf16FromGb18030(std::string_view gb);
std::string Gb18030FromUtf16(std::u16string_view utf16);

}  // namespace text
