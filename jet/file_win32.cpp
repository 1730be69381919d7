// jet/file.h on Windows: ReadFile/WriteFile at offsets, FlushFileBuffers,
// SetEndOfFile, LockFileEx.  Paths are UTF-8 and opened as UTF-16.
//
// Windows byte-range locks are mandatory: a locked range cannot be read or
// written through other handles.  So the lock is not taken on the pages but
// on one byte far beyond any Jet file (Jet files stop at 2 GB): shared and
// exclusive locks on it exclude each other exactly as the engine needs, and
// reads and writes of the pages are never blocked by them.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

#include "jet/file.h"

namespace jet {
namespace {

constexpr std::uint64_t kLockOffset = std::uint64_t{1} << 40;

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

Status LastErrorStatus(const std::string& what, const std::string& path) {
  DWORD err = ::GetLastError();
  std::string message = what + " " + path + ": Windows error " + std::to_string(err);
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::NotFound(message);
  if (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL) return Status::IOError(message + " (disk full)");
  return Status::IOError(message);
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

// 100 ns ticks since 1601 <-> ns since 1970.
constexpr std::int64_t kEpochDifferenceTicks = 116444736000000000LL;

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~Win32File() override {
    if (lock_ != Lock::kNone) SetLock(Lock::kNone);
    ::CloseHandle(handle_);
  }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  Status Size(std::uint64_t* size) override {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(handle_, &li)) return LastErrorStatus("cannot stat", path_);
    *size = static_cast<std::uint64_t>(li.QuadPart);
    return Status::Ok();
  }

  Status Read(std::uint64_t offset, std::size_t n, std::uint8_t* out) override {
    std::size_t done = 0;
    while (done < n) {
      OVERLAPPED o = At(offset + done);
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(handle_, out + done, chunk, &got, &o)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) got = 0;
        else return LastErrorStatus("cannot read", path_);
      }
      if (got == 0) {
        return Status::Corruption(path_ + ": read of " + std::to_string(n) + " bytes at offset " +
                                  std::to_string(offset) + " goes past the end of the file");
      }
      done += got;
    }
    return Status::Ok();
  }

  Status Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      OVERLAPPED o = At(offset + done);
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(handle_, data + done, chunk, &put, &o)) return LastErrorStatus("cannot write", path_);
      done += put;
    }
    return Status::Ok();
  }

  Status Truncate(std::uint64_t size) override {
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handle_, FileEndOfFileInfo, &info, sizeof info)) {
      return LastErrorStatus("cannot truncate", path_);
    }
    return Status::Ok();
  }

  Status Sync() override {
    if (!::FlushFileBuffers(handle_)) return LastErrorStatus("cannot flush", path_);
    return Status::Ok();
  }

  Status SetLock(Lock lock) override {
    if (lock == lock_) return Status::Ok();
    if (lock_ != Lock::kNone) {
      OVERLAPPED o = At(kLockOffset);
      if (!::UnlockFileEx(handle_, 0, 1, 0, &o)) return LastErrorStatus("cannot unlock", path_);
      lock_ = Lock::kNone;
    }
    if (lock == Lock::kNone) return Status::Ok();
    OVERLAPPED o = At(kLockOffset);
    DWORD flags = lock == Lock::kExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (!::LockFileEx(handle_, flags, 0, 1, 0, &o)) return LastErrorStatus("cannot lock", path_);
    lock_ = lock;
    return Status::Ok();
  }

  const std::string& path() const override { return path_; }

  Status Stamp(FileStamp* stamp) override {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle_, &info)) return LastErrorStatus("cannot stat", path_);
    stamp->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    stamp->modified_ns = (ticks - kEpochDifferenceTicks) * 100;
    stamp->device = info.dwVolumeSerialNumber;
    stamp->inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return Status::Ok();
  }

  Status SetModified(std::int64_t modified_ns) override {
    std::uint64_t ticks = static_cast<std::uint64_t>(modified_ns / 100 + kEpochDifferenceTicks);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    if (!::SetFileTime(handle_, nullptr, nullptr, &ft)) return LastErrorStatus("cannot set the time of", path_);
    return Status::Ok();
  }

 private:
  const HANDLE handle_;
  const std::string path_;
  Lock lock_ = Lock::kNone;
};

class PlatformFiles final : public FileSystem {
 public:
  Status Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) override {
    return OpenFile(path, mode, file);
  }
  bool Exists(const std::string& path) override { return FileExists(path); }
  Status Remove(const std::string& path) override { return RemoveFile(path); }
  Status SyncDirectoryOf(const std::string& path) override { return jet::SyncDirectoryOf(path); }
};

}  // namespace

Status OpenFile(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) {
  DWORD access = mode == File::Mode::kReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = mode == File::Mode::kCreate ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE h = ::CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastErrorStatus("cannot open", path);
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return Status::InvalidArgument(path + " is not a regular file");
  }
  *file = std::make_unique<Win32File>(h, path);
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Status RemoveFile(const std::string& path) {
  if (!::DeleteFileW(Widen(path).c_str())) return LastErrorStatus("cannot remove", path);
  return Status::Ok();
}

// NTFS journals its directory changes itself; there is no directory handle
// to flush.
Status SyncDirectoryOf(const std::string&) { return Status::Ok(); }

std::unique_ptr<FileSystem> PlatformFileSystem() { return std::make_unique<PlatformFiles>(); }

}  // namespace jet

#endif  // _WIN32
