#include "jet/file_fault.h"

#include <algorithm>

namespace jet {

class FaultyFile final : public File {
 public:
  FaultyFile(std::unique_ptr<File> base, FaultyFileSystem* fs) : base_(std::move(base)), fs_(fs) {}
  Status Size(std::uint64_t* size) override { return base_->Size(size); }
  Status Read(std::uint64_t offset, std::size_t n, std::uint8_t* out) override { return base_->Read(offset, n, out); }
  Status Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override {
    std::uint64_t size = 0;
    JET_RETURN_IF_ERROR(base_->Size(&size));
    std::uint64_t end = offset + n;
    JET_RETURN_IF_ERROR(fs_->BeforeWrite(end > size ? end - size : 0));
    return base_->Write(offset, data, n);
  }
  Status Truncate(std::uint64_t size) override {
    std::uint64_t old = 0;
    JET_RETURN_IF_ERROR(base_->Size(&old));
    if (size > old) JET_RETURN_IF_ERROR(fs_->BeforeWrite(size - old));
    JET_RETURN_IF_ERROR(base_->Truncate(size));
    if (size < old) fs_->Released(old - size);
    return Status::Ok();
  }
  Status Sync() override {
    JET_RETURN_IF_ERROR(fs_->BeforeSync());
    return base_->Sync();
  }
  Status SetLock(Lock lock) override { return base_->SetLock(lock); }
  const std::string& path() const override { return base_->path(); }
  Status Stamp(FileStamp* stamp) override { return base_->Stamp(stamp); }
  Status SetModified(std::int64_t ns) override { return base_->SetModified(ns); }

 private:
  std::unique_ptr<File> base_;
  FaultyFileSystem* fs_;
};

Status FaultyFileSystem::Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) {
  std::unique_ptr<File> base;
  std::uint64_t old_size = 0;
  if (mode == File::Mode::kCreate && base_->Exists(path)) {
    std::unique_ptr<File> existing;
    if (base_->Open(path, File::Mode::kReadOnly, &existing).ok()) existing->Size(&old_size);
  }
  JET_RETURN_IF_ERROR(base_->Open(path, mode, &base));
  if (old_size) Released(old_size);
  *file = std::make_unique<FaultyFile>(std::move(base), this);
  return Status::Ok();
}

Status FaultyFileSystem::SyncDirectoryOf(const std::string& path) {
  JET_RETURN_IF_ERROR(BeforeSync());
  return base_->SyncDirectoryOf(path);
}

Status FaultyFileSystem::BeforeWrite(std::uint64_t growth) {
  ++writes_;
  if (writes_ == fail_write_) {
    ++faults_;
    return Status::IOError("injected write fault (write " + std::to_string(writes_) + ")");
  }
  if (free_space_ && growth > *free_space_) {
    ++faults_;
    return Status::IOError("no space left on device");
  }
  if (free_space_) *free_space_ -= growth;
  return Status::Ok();
}

Status FaultyFileSystem::BeforeSync() {
  ++syncs_;
  if (syncs_ == fail_sync_) {
    ++faults_;
    return Status::IOError("injected flush fault (flush " + std::to_string(syncs_) + ")");
  }
  return Status::Ok();
}

class RecordingFile final : public File {
 public:
  RecordingFile(std::unique_ptr<File> base, RecordingFileSystem* fs) : base_(std::move(base)), fs_(fs) {}
  Status Size(std::uint64_t* size) override { return base_->Size(size); }
  Status Read(std::uint64_t offset, std::size_t n, std::uint8_t* out) override { return base_->Read(offset, n, out); }
  Status Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override {
    fs_->log_.push_back({RecordedOp::Kind::kWrite, path(), offset, std::vector<std::uint8_t>(data, data + n)});
    return base_->Write(offset, data, n);
  }
  Status Truncate(std::uint64_t size) override {
    fs_->log_.push_back({RecordedOp::Kind::kTruncate, path(), size, {}});
    return base_->Truncate(size);
  }
  Status Sync() override {
    fs_->log_.push_back({RecordedOp::Kind::kSync, path(), 0, {}});
    return base_->Sync();
  }
  Status SetLock(Lock lock) override { return base_->SetLock(lock); }
  const std::string& path() const override { return base_->path(); }
  Status Stamp(FileStamp* stamp) override { return base_->Stamp(stamp); }
  Status SetModified(std::int64_t ns) override { return base_->SetModified(ns); }

 private:
  std::unique_ptr<File> base_;
  RecordingFileSystem* fs_;
};

Status RecordingFileSystem::Open(const std::string& path, File::Mode mode, std::unique_ptr<File>* file) {
  std::unique_ptr<File> base;
  JET_RETURN_IF_ERROR(base_->Open(path, mode, &base));
  if (mode == File::Mode::kCreate) log_.push_back({RecordedOp::Kind::kCreate, path, 0, {}});
  *file = std::make_unique<RecordingFile>(std::move(base), this);
  return Status::Ok();
}

Status RecordingFileSystem::Remove(const std::string& path) {
  log_.push_back({RecordedOp::Kind::kRemove, path, 0, {}});
  return base_->Remove(path);
}

Status RecordingFileSystem::SyncDirectoryOf(const std::string& path) {
  log_.push_back({RecordedOp::Kind::kSyncDirectory, path, 0, {}});
  return base_->SyncDirectoryOf(path);
}

namespace {

void Apply(const RecordedOp& op, std::size_t bytes, std::optional<std::vector<std::uint8_t>>* image) {
  if (!*image) *image = std::vector<std::uint8_t>();
  std::vector<std::uint8_t>& b = **image;
  if (op.kind == RecordedOp::Kind::kTruncate) {
    b.resize(static_cast<std::size_t>(op.offset));
    return;
  }
  std::size_t n = std::min(bytes, op.data.size());
  if (n == 0) return;
  std::size_t end = static_cast<std::size_t>(op.offset) + n;
  if (b.size() < end) b.resize(end);
  std::copy(op.data.begin(), op.data.begin() + static_cast<std::ptrdiff_t>(n),
            b.begin() + static_cast<std::ptrdiff_t>(op.offset));
}

std::string DirOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

FileImages PowerCut(const FileImages& before, const std::vector<RecordedOp>& log, std::size_t cut,
                    const std::function<bool(std::size_t)>& keep,
                    const std::function<std::size_t(std::size_t)>& torn) {
  FileImages durable = before;
  std::map<std::string, std::vector<std::size_t>> pending;  // op indexes since the last flush
  std::map<std::string, bool> created_unflushed;
  cut = std::min(cut, log.size());
  for (std::size_t i = 0; i < cut; ++i) {
    const RecordedOp& op = log[i];
    switch (op.kind) {
      case RecordedOp::Kind::kCreate:
        durable[op.path] = std::vector<std::uint8_t>();
        pending[op.path].clear();
        created_unflushed[op.path] = true;
        break;
      case RecordedOp::Kind::kWrite:
      case RecordedOp::Kind::kTruncate:
        pending[op.path].push_back(i);
        break;
      case RecordedOp::Kind::kSync:
        for (std::size_t j : pending[op.path]) Apply(log[j], log[j].data.size(), &durable[op.path]);
        pending[op.path].clear();
        break;
      case RecordedOp::Kind::kSyncDirectory:
        for (auto& [path, unflushed] : created_unflushed) {
          if (DirOf(path) == DirOf(op.path)) unflushed = false;
        }
        break;
      case RecordedOp::Kind::kRemove:
        durable[op.path] = std::nullopt;
        pending.erase(op.path);
        created_unflushed.erase(op.path);
        break;
    }
  }
  for (auto& [path, ops] : pending) {
    for (std::size_t j : ops) {
      if (keep(j)) Apply(log[j], log[j].kind == RecordedOp::Kind::kWrite ? torn(j) : 0, &durable[path]);
    }
  }
  for (auto& [path, unflushed] : created_unflushed) {
    if (unflushed && !keep(log.size() + std::hash<std::string>{}(path) % 1024)) durable[path] = std::nullopt;
  }
  return durable;
}

}  // namespace jet
