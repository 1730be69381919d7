// A test seam of the engine backend: a connection whose engine works on a
// chosen set of files, so that a test can make any write or flush of the
// program's statements fail (jet/file_fault.h) and watch what the program
// does about it.  Not part of the program's interface; only tests call it.
#pragma once

#include "jet/file.h"
#include "store/database.h"

namespace store {

// ConnectAccess without a password, the engine's files going through
// `files` (not owned; must outlive the connection).
int ConnectAccessOver(DBConnection& connection, const Text& path, jet::FileSystem* files);

}  // namespace store
