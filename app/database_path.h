// Where the program finds its database: data.mdb in the directory of its
// executable.  The one place that knows the platform's path separator.
#pragma once

#include <string_view>

namespace app {

#ifdef _WIN32
inline constexpr std::string_view kDatabaseFileName = "\\data.mdb";
#else
inline constexpr std::string_view kDatabaseFileName = "/data.mdb";
#endif

// The database's password: none.
inline constexpr std::string_view kDatabasePassword = "";

}  // namespace app
