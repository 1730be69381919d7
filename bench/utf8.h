// UTF-8 literals as std::string.
//
// The build compiles narrow literals to GB18030 (the program's code page);
// the benchmark talks UTF-8 to SQLite, the engine and the files it writes, so
// it writes u8"..." and converts here.
#pragma once

#include <string>
#include <string_view>

namespace bench {

inline std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

}  // namespace bench
