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

// What identifies one state of a file on disk, for cache validation: equal
// stamps mean "as far as the operating system can tell, unchanged".
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // last-write time, nanoseconds since the epoch
  std::uint64_t device = 0, inode = 0;  // which file (a replaced file differs)
  bool operator==(const FileStamp&) const = default;
};

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
  // Blocks until granted; another process's lock is waited for.  Moving
  // between kShared and kExclusive is one call (not atomic: the lock may be
  // released in between).
  virtual Status SetLock(Lock lock) = 0;
  virtual const std::string& path() const = 0;
  // The file's identity and last-write time.
  virtual Status Stamp(FileStamp* stamp) = 0;
  // Sets the last-write time (a writer makes every commit visible this way;
  // see pager.cpp).
  virtual Status SetModified(std::int64_t modified_ns) = 0;
};

// The platform's file (POSIX or Win32).  kCreate creates the file, or
// truncates an existing one.
Status OpenFile(const std::string& path, File::Mode mode, std::unique_ptr<File>* file);
// Whether a file exists at `path`; removing one (the journal).  The removal
// is made durable by SyncDirectoryOf afterwards, which callers skip when
// they run without flushes.
bool FileExists(const std::string& path);
Status RemoveFile(const std::string& path);
// Makes the creation of a file in `path`'s directory durable.
Status SyncDirectoryOf(const std::string& path);

// The set of files the pager works on: the platform's, or a test's wrapper
// around it (fault injection, write recording; see jet/file_fault.h).
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual Status Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual Status Remove(const std::string& path) = 0;
  virtual Status SyncDirectoryOf(const std::string& path) = 0;
};

// The platform's files, through the functions above.
std::unique_ptr<FileSystem> PlatformFileSystem();

}  // namespace jet
