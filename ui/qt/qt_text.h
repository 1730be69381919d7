// The program's texts (GB18030) as Qt strings and back.  Every text crosses
// into Qt here, through the project's own codec, as UTF-16.
#pragma once

#include <QString>
#include <string_view>

#include "text/gb18030.h"
#include "text/text.h"

namespace ui::qt {

inline QString ToQString(std::string_view gb) {
  const std::u16string utf16 = text::Utf16FromGb18030(gb);
  return QString(reinterpret_cast<const QChar*>(utf16.data()), static_cast<qsizetype>(utf16.size()));
}

inline text::Text FromQString(const QString& s) {
  return text::Gb18030FromUtf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())));
}

}  // namespace ui::qt
