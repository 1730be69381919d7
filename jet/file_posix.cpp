// jet/file.h on POSIX: pread/pwrite, fsync, ftruncate, fcntl record locks.
//
// Locks cover the whole file.  Where the kernel has open-file-description
// locks (Linux F_OFD_SETLKW) they are used: they belong to this open file
// rather than to the process, so two handles in one process exclude each
// other too, and closing some other descriptor of the same file does not drop
// them.  Elsewhere classic process-wide F_SETLKW locks are used.
#ifndef _WIN32

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/file.h"

namespace jet {
namespace {

#ifdef F_OFD_SETLKW
constexpr int kSetLockWait = F_OFD_SETLKW;
#else
constexpr int kSetLockWait = F_SETLKW;
#endif

Status ErrnoStatus(const std::string& what, const std::string& path, int err) {
  std::string message = what + " " + path + ": " + std::strerror(err);
  if (err == ENOENT) return Status::NotFound(message);
  return Status::IOError(message);
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  Status Size(std::uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus("cannot stat", path_, errno);
    *size = static_cast<std::uint64_t>(st.st_size);
    return Status::Ok();
  }

  Status Read(std::uint64_t offset, std::size_t n, std::uint8_t* out) override {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus("cannot read", path_, errno);
      }
      if (got == 0) {
        return Status::Corruption(path_ + ": read of " + std::to_string(n) + " bytes at offset " +
                                  std::to_string(offset) + " goes past the end of the file");
      }
      done += static_cast<std::size_t>(got);
    }
    return Status::Ok();
  }

  Status Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      ssize_t put = ::pwrite(fd_, data + done, n - done, static_cast<off_t>(offset + done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus("cannot write", path_, errno);
      }
      done += static_cast<std::size_t>(put);
    }
    return Status::Ok();
  }

  Status Truncate(std::uint64_t size) override {
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return ErrnoStatus("cannot truncate", path_, errno);
    }
    return Status::Ok();
  }

  Status Sync() override {
#if defined(__APPLE__)
    if (::fcntl(fd_, F_FULLFSYNC) == 0) return Status::Ok();
#endif
    while (::fsync(fd_) != 0) {
      if (errno != EINTR) return ErrnoStatus("cannot flush", path_, errno);
    }
    return Status::Ok();
  }

  Status SetLock(Lock lock) override {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;  // the whole file, however far it grows
    fl.l_type = lock == Lock::kNone ? F_UNLCK : lock == Lock::kShared ? F_RDLCK : F_WRLCK;
    while (::fcntl(fd_, kSetLockWait, &fl) != 0) {
      if (errno == EINTR) continue;
      if (errno == EDEADLK) return Status::Busy("lock on " + path_ + " would deadlock");
      return ErrnoStatus("cannot lock", path_, errno);
    }
    return Status::Ok();
  }

  const std::string& path() const override { return path_; }

  Status Stamp(FileStamp* stamp) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus("cannot stat", path_, errno);
    stamp->size = static_cast<std::uint64_t>(st.st_size);
    stamp->modified_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->device = static_cast<std::uint64_t>(st.st_dev);
    stamp->inode = static_cast<std::uint64_t>(st.st_ino);
    return Status::Ok();
  }

  Status SetModified(std::int64_t modified_ns) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // access time untouched
    times[1].tv_sec = static_cast<time_t>(modified_ns / 1000000000);
    times[1].tv_nsec = static_cast<long>(modified_ns % 1000000000);
    if (::futimens(fd_, times) != 0) return ErrnoStatus("cannot set the time of", path_, errno);
    return Status::Ok();
  }

 private:
  const int fd_;
  const std::string path_;
};

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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
  int flags = O_CLOEXEC;
  switch (mode) {
    case File::Mode::kReadOnly: flags |= O_RDONLY; break;
    case File::Mode::kReadWrite: flags |= O_RDWR; break;
    case File::Mode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrnoStatus("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument(path + " is not a regular file");
  }
  *file = std::make_unique<PosixFile>(fd, path);
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

Status RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return ErrnoStatus("cannot remove", path, errno);
  return Status::Ok();
}

Status SyncDirectoryOf(const std::string& path) {
  std::string dir = DirectoryOf(path);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return ErrnoStatus("cannot open directory", dir, errno);
  int rc;
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  int err = errno;
  ::close(fd);
  // Some file systems refuse fsync on a directory; their metadata is
  // then as durable as it gets.
  if (rc != 0 && err != EINVAL && err != EROFS) return ErrnoStatus("cannot flush directory", dir, err);
  return Status::Ok();
}

std::unique_ptr<FileSystem> PlatformFileSystem() { return std::make_unique<PlatformFiles>(); }

}  // namespace jet

#endif  // !_WIN32
