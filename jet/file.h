// The engine's one door to the operating system: a database file read and
// written at byte offsets, flushed, grown, locked.
//
// Everything the engine does to a file goes through this interface, so that
// tests can inject a failure into any write or flush and record the writes
// for crash simulation, while the engine above stays the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "jet/status.h"

namespace jet {

class File {
 public:
  enum class Mode { kReadOnly, kReadWrite, kCreate };
  enum class Lock { kNone, kShared, kExclusive };

  virtual ~File() = default;
  virtual Status Size(std::uint64_t* size) = 0;
  // A short read (past the end of the file) is an error.
  virtual Status Read(std::uint64_t offset, std::size_t n, std::uint8_t* out) = 0;
  virtual Status Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) = 0;
  virtual Status Truncate(std::uint64_t size) = 0;
  virtual Status Sync() = 0;  // data durable on return
  // Blocks until granted; another process's lock is waited for.
  virtual Status SetLock(Lock lock) = 0;
  virtual const std::string& path() const = 0;
};

// The platform's file (POSIX or Win32).
Status OpenFile(const std::string& path, File::Mode mode, std::unique_ptr<File>* file);
// Whether a file exists at `path`; removing one (the journal).
bool FileExists(const std::string& path);
Status RemoveFile(const std::string& path);

}  // namespace jet
