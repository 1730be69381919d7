// Test hooks in the file layer: a FileSystem wrapper that makes chosen
// writes or flushes fail (or the disk fill up), and one that records every
// write and flush so a test can build the files a power cut would leave.
//
// Both forward to a real FileSystem; the engine above them is the real one.
// Not thread-safe; one wrapper serves one test.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/file.h"

namespace jet {

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem* base) : base_(base) {}

  // The n-th write (counting from 1, over every file opened here) fails
  // with an IOError; 0 disables.  Likewise for flushes (Sync, directory
  // flushes).  Each fault fires once.
  void FailWrite(int n) { fail_write_ = n; }
  void FailSync(int n) { fail_sync_ = n; }
  // The disk holds `bytes` more bytes: a write that would grow the files
  // past that fails as a full disk does.  Writes inside a file's current
  // size always fit.
  void SetFreeSpace(std::uint64_t bytes) { free_space_ = bytes; }

  int writes() const { return writes_; }
  int syncs() const { return syncs_; }
  int faults() const { return faults_; }

  Status Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) override;
  bool Exists(const std::string& path) override { return base_->Exists(path); }
  Status Remove(const std::string& path) override { return base_->Remove(path); }
  Status SyncDirectoryOf(const std::string& path) override;

 private:
  friend class FaultyFile;
  Status BeforeWrite(std::uint64_t growth);
  Status BeforeSync();
  void Released(std::uint64_t bytes) {
    if (free_space_) *free_space_ += bytes;
  }

  FileSystem* base_;
  int fail_write_ = 0, fail_sync_ = 0;
  int writes_ = 0, syncs_ = 0, faults_ = 0;
  std::optional<std::uint64_t> free_space_;
};

// What reached the files, in order.
struct RecordedOp {
  enum class Kind { kCreate, kWrite, kTruncate, kSync, kSyncDirectory, kRemove };
  Kind kind;
  std::string path;
  std::uint64_t offset = 0;          // kWrite; the new size for kTruncate
  std::vector<std::uint8_t> data;    // kWrite
};

class RecordingFileSystem final : public FileSystem {
 public:
  explicit RecordingFileSystem(FileSystem* base) : base_(base) {}
  const std::vector<RecordedOp>& log() const { return log_; }
  void Clear() { log_.clear(); }

  Status Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) override;
  bool Exists(const std::string& path) override { return base_->Exists(path); }
  Status Remove(const std::string& path) override;
  Status SyncDirectoryOf(const std::string& path) override;

 private:
  friend class RecordingFile;
  FileSystem* base_;
  std::vector<RecordedOp> log_;
};

// File contents by path; nullopt: no such file.
using FileImages = std::map<std::string, std::optional<std::vector<std::uint8_t>>>;

// The files a power cut leaves after the first `cut` operations of `log`,
// starting from `before`.  What was flushed is there; of each file's writes
// since its last flush, those for which `keep(i)` is true reach the disk
// (write i of the log), the others are lost.  A kept write may be torn:
// `torn(i)` gives how many of its bytes arrived (its size for all of them).
// A created file exists for sure only once its directory was flushed.
// Removals are durable at once (RemoveFile flushes the directory).
FileImages PowerCut(const FileImages& before, const std::vector<RecordedOp>& log, std::size_t cut,
                    const std::function<bool(std::size_t)>& keep,
                    const std::function<std::size_t(std::size_t)>& torn);

}  // namespace jet
