// The program's texts (GB18030) as Windows wide strings and back.  Every text
// crosses into the Win32 API here, through the project's own codec, so the
// Chinese texts come out right whatever the system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

#include "text/gb18030.h"
#include "text/text.h"

namespace ui::win32 {

// wchar_t is 16 bits on Windows: UTF-16 code units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring ToWide(std::string_view gb) {
  const std::u16string utf16 = text::Utf16FromGb18030(gb);
  return std::wstring(utf16.begin(), utf16.end());
}

inline text::Text FromWide(std::wstring_view wide) {
  return text::Gb18030FromUtf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace ui::win32
