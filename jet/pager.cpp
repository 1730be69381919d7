// jet/pager.h: the page cache and the journalled statement transaction.
//
// Invariants:
//  1. The database file is written only after the journal holding the
//     originals of every page about to change is durable (file and
//     directory entry flushed).  So an invalid (torn) journal always belongs
//     to a statement that never touched the file, and is safely ignored.
//  2. A hot journal (one left by a writer that died) is applied before any
//     page is read: at Open and at every Begin*, under the exclusive lock.
//  3. Cached pages are what the file held when `stamp_` was taken; at every
//     Begin* under the lock, a different stamp drops the whole cache.
//
// Why a file stamp (size, last-write time, device, inode) decides whether
// the cache is still good: the definition page is shared with Access, so no
// change counter of our own can live in the file; a hash of a few pages
// misses changes to the others.  Last-write times alone tick coarsely (the
// kernel's clock advances in milliseconds), so two commits in one tick could
// look alike; therefore every commit of ours moves the last-write time
// strictly forward (at least 1 µs past what it was) before flushing.  A
// foreign tool that changes the file without changing its size within one
// clock tick could go unnoticed; Access itself keeps its own lock file and
// does not share files with us while writing.
#include "jet/pager.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>
#include <map>
#include <unordered_map>

#include "jet/journal.h"

namespace jet {

namespace {

constexpr std::uint64_t kMaxDatabaseBytes = std::uint64_t{2} << 30;  // Jet's 2 GB limit

std::int64_t NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Status ReadWholeFile(File* file, std::vector<std::uint8_t>* bytes) {
  std::uint64_t size = 0;
  JET_RETURN_IF_ERROR(file->Size(&size));
  if (size > (std::uint64_t{1} << 32)) return Status::Corruption(file->path() + ": journal too large");
  bytes->resize(static_cast<std::size_t>(size));
  if (size == 0) return Status::Ok();
  return file->Read(0, bytes->size(), bytes->data());
}

}  // namespace

struct Pager::Impl {
  PagerOptions options;
  std::unique_ptr<FileSystem> owned_fs;  // when options.file_system is null
  FileSystem* fs = nullptr;
  std::string path, journal_path;
  std::unique_ptr<File> file;

  std::uint32_t page_size = 0;
  std::uint32_t page_count = 0;        // whole pages; inside a write, allocated ones too
  std::uint32_t original_page_count = 0;
  FileStamp stamp;
  bool stamp_valid = false;
  std::uint64_t generation = 0;
  std::unordered_map<std::uint32_t, PageBytes> cache;

  int read_depth = 0;
  bool writing = false;
  std::map<std::uint32_t, PageBytes> dirty;  // ordered: written in page order

  Status SetLock(File::Lock lock) { return file->SetLock(lock); }

  void DropCache() {
    cache.clear();
    stamp_valid = false;
    ++generation;
  }

  // Takes the stamp under the lock; drops the cache if the file changed.
  Status Refresh() {
    FileStamp now;
    JET_RETURN_IF_ERROR(file->Stamp(&now));
    if (!stamp_valid || !(now == stamp)) {
      cache.clear();
      ++generation;
      stamp = now;
      stamp_valid = true;
    }
    page_count = static_cast<std::uint32_t>(stamp.size / page_size);
    return Status::Ok();
  }

  Status ReadPageSize() {
    std::uint64_t size = 0;
    JET_RETURN_IF_ERROR(file->Size(&size));
    std::uint8_t header[0x18];
    if (size < 2048) {
      return Status::Corruption(path + ": not an Access database (only " + std::to_string(size) + " bytes)");
    }
    JET_RETURN_IF_ERROR(file->Read(0, sizeof header, header));
    static constexpr std::uint8_t kStart[4] = {0x00, 0x01, 0x00, 0x00};
    if (std::memcmp(header, kStart, 4) != 0 ||
        (std::memcmp(header + 4, "Standard Jet DB", 16) != 0 &&
         std::memcmp(header + 4, "Standard ACE DB", 16) != 0)) {
      return Status::Corruption(path + ": not an Access database (no Jet signature on page 0)");
    }
    page_size = header[0x14] == 0 ? 2048 : 4096;
    return Status::Ok();
  }

  // Applies (or discards, if torn) the journal beside the file.
  // REQUIRES: `target` holds the exclusive lock and is open for writing.
  Status ApplyHotJournal(File* target) {
    if (!fs->Exists(journal_path)) return Status::Ok();
    std::unique_ptr<File> jf;
    Status opened = fs->Open(journal_path, File::Mode::kReadOnly, &jf);
    if (opened.code() == Status::Code::kNotFound) return Status::Ok();
    JET_RETURN_IF_ERROR(opened);
    std::vector<std::uint8_t> bytes;
    JET_RETURN_IF_ERROR(ReadWholeFile(jf.get(), &bytes));
    jf.reset();
    Journal journal;
    if (DecodeJournal(bytes, &journal).ok()) {
      JET_RETURN_IF_ERROR(RestoreFromJournal(journal, target, /*sync=*/true));
    }
    // A journal that does not validate was cut short before it was
    // flushed: the file was never touched (invariant 1).
    Status removed = fs->Remove(journal_path);
    if (!removed.ok() && removed.code() != Status::Code::kNotFound) return removed;
    if (removed.ok()) JET_RETURN_IF_ERROR(fs->SyncDirectoryOf(journal_path));
    DropCache();
    return Status::Ok();
  }

  // REQUIRES: no lock held by this pager.
  Status RecoverHotJournal() {
    if (!options.read_only) {
      JET_RETURN_IF_ERROR(SetLock(File::Lock::kExclusive));
      Status s = ApplyHotJournal(file.get());
      Status unlocked = SetLock(File::Lock::kNone);
      JET_RETURN_IF_ERROR(s);
      return unlocked;
    }
    // A reader restores through a handle of its own that may write.
    std::unique_ptr<File> writable;
    Status opened = fs->Open(path, File::Mode::kReadWrite, &writable);
    if (!opened.ok()) {
      return Status::IOError(path + ": an unfinished statement's journal " + journal_path +
                             " must be applied, but the file cannot be opened for writing: " + opened.message());
    }
    JET_RETURN_IF_ERROR(writable->SetLock(File::Lock::kExclusive));
    Status s = ApplyHotJournal(writable.get());
    writable->SetLock(File::Lock::kNone);
    return s;
  }

  // Shared lock held, no hot journal, stamp current.
  Status AcquireShared() {
    for (int attempt = 0;; ++attempt) {
      JET_RETURN_IF_ERROR(SetLock(File::Lock::kShared));
      if (!fs->Exists(journal_path)) break;
      SetLock(File::Lock::kNone);
      if (attempt == 3) return Status::Busy(path + ": its journal keeps coming back");
      JET_RETURN_IF_ERROR(RecoverHotJournal());
    }
    if (page_size == 0) {
      Status s = ReadPageSize();
      if (!s.ok()) {
        SetLock(File::Lock::kNone);
        return s;
      }
    }
    Status s = Refresh();
    if (!s.ok()) SetLock(File::Lock::kNone);
    return s;
  }

  void ReleaseAfterWrite() {
    writing = false;
    dirty.clear();
    SetLock(read_depth > 0 ? File::Lock::kShared : File::Lock::kNone);
  }

  // The page as the file holds it (not as changed in the transaction).
  Status ReadCommitted(std::uint32_t n, PageBytes* page) {
    auto hit = cache.find(n);
    if (hit != cache.end()) {
      *page = hit->second;
      return Status::Ok();
    }
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(page_size);
    Status s = file->Read(std::uint64_t{n} * page_size, page_size, bytes->data());
    if (s.code() == Status::Code::kCorruption) return Status::Corruption("page " + std::to_string(n) + ": " + s.message());
    JET_RETURN_IF_ERROR(s);
    if (options.cache_pages != 0 && cache.size() >= options.cache_pages) cache.clear();
    cache.emplace(n, bytes);
    *page = std::move(bytes);
    return Status::Ok();
  }

  Status WriteJournal(const Journal& journal) {
    std::unique_ptr<File> jf;
    JET_RETURN_IF_ERROR(fs->Open(journal_path, File::Mode::kCreate, &jf));
    std::vector<std::uint8_t> bytes = EncodeJournal(journal);
    JET_RETURN_IF_ERROR(jf->Write(0, bytes.data(), bytes.size()));
    if (options.sync) {
      JET_RETURN_IF_ERROR(jf->Sync());
      JET_RETURN_IF_ERROR(fs->SyncDirectoryOf(journal_path));
    }
    return Status::Ok();
  }

  // The statement is committed once the journal is gone for good.
  Status RemoveJournal() {
    JET_RETURN_IF_ERROR(fs->Remove(journal_path));
    return options.sync ? fs->SyncDirectoryOf(journal_path) : Status::Ok();
  }

  Status WritePages() {
    for (const auto& [number, bytes] : dirty) {
      JET_RETURN_IF_ERROR(file->Write(std::uint64_t{number} * page_size, bytes->data(), bytes->size()));
    }
    JET_RETURN_IF_ERROR(file->SetModified(std::max(NowNanoseconds(), stamp.modified_ns + 1000)));
    if (options.sync) JET_RETURN_IF_ERROR(file->Sync());
    return Status::Ok();
  }

  // After a failure once the file may have been touched: put the originals
  // back.  Returns `cause`, telling whether the file is as before.
  Status RestoreAfterFailure(const Journal& journal, const Status& cause) {
    DropCache();
    Status restored = RestoreFromJournal(journal, file.get(), options.sync);
    if (!restored.ok()) {
      return Status::IOError(cause.message() + "; restoring the file failed too (" + restored.message() +
                             "); its journal will be applied when it is next opened");
    }
    Status removed = fs->Remove(journal_path);
    (void)removed;  // a journal left behind holds the originals: applying it again is harmless
    return cause;
  }
};

Pager::Pager(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Pager::~Pager() {
  if (impl_ && impl_->file) {
    if (impl_->writing) Rollback();
    impl_->SetLock(File::Lock::kNone);
  }
}

Status Pager::Open(const std::string& path, const PagerOptions& options, std::unique_ptr<Pager>* pager) {
  auto impl = std::make_unique<Impl>();
  impl->options = options;
  if (options.file_system != nullptr) {
    impl->fs = options.file_system;
  } else {
    impl->owned_fs = PlatformFileSystem();
    impl->fs = impl->owned_fs.get();
  }
  impl->path = path;
  impl->journal_path = JournalPathFor(path);
  JET_RETURN_IF_ERROR(impl->fs->Open(path, options.read_only ? File::Mode::kReadOnly : File::Mode::kReadWrite,
                                     &impl->file));
  JET_RETURN_IF_ERROR(impl->AcquireShared());
  impl->SetLock(File::Lock::kNone);
  pager->reset(new Pager(std::move(impl)));
  return Status::Ok();
}

std::uint32_t Pager::page_size() const { return impl_->page_size; }
std::uint32_t Pager::page_count() const { return impl_->page_count; }
std::uint64_t Pager::generation() const { return impl_->generation; }
bool Pager::in_write() const { return impl_->writing; }

Status Pager::Read(std::uint32_t page_number, PageBytes* page) {
  Impl& m = *impl_;
  if (m.writing) {
    auto changed = m.dirty.find(page_number);
    if (changed != m.dirty.end()) {
      *page = changed->second;
      return Status::Ok();
    }
  }
  if (page_number >= m.page_count) {
    return Status::Corruption("page " + std::to_string(page_number) + " is outside the file (" +
                              std::to_string(m.page_count) + " pages)");
  }
  return m.ReadCommitted(page_number, page);
}

Status Pager::BeginRead() {
  Impl& m = *impl_;
  if (m.writing || m.read_depth > 0) {
    ++m.read_depth;
    return Status::Ok();
  }
  JET_RETURN_IF_ERROR(m.AcquireShared());
  m.read_depth = 1;
  return Status::Ok();
}

void Pager::EndRead() {
  Impl& m = *impl_;
  if (m.read_depth == 0) return;
  if (--m.read_depth == 0 && !m.writing) m.SetLock(File::Lock::kNone);
}

Status Pager::BeginWrite() {
  Impl& m = *impl_;
  if (m.options.read_only) return Status::InvalidArgument(m.path + " is open read-only");
  if (m.writing) return Status::InvalidArgument("a write transaction is already open on " + m.path);
  const bool upgrading = m.read_depth > 0;
  const FileStamp seen = m.stamp;
  // Never wait for the exclusive lock while holding the shared one: two
  // readers upgrading at once would wait for each other forever.
  if (upgrading) m.SetLock(File::Lock::kNone);
  JET_RETURN_IF_ERROR(m.SetLock(File::Lock::kExclusive));
  Status s = m.ApplyHotJournal(m.file.get());
  if (s.ok()) s = m.Refresh();
  if (s.ok() && upgrading && !(m.stamp == seen)) {
    s = Status::Busy(m.path + " was changed by another process during this statement; run it again");
  }
  if (!s.ok()) {
    m.SetLock(upgrading ? File::Lock::kShared : File::Lock::kNone);
    return s;
  }
  m.writing = true;
  m.original_page_count = m.page_count;
  m.dirty.clear();
  return Status::Ok();
}

Status Pager::Write(std::uint32_t page_number, std::vector<std::uint8_t> data) {
  Impl& m = *impl_;
  if (!m.writing) return Status::InvalidArgument("page write outside a write transaction");
  if (data.size() != m.page_size) {
    return Status::InvalidArgument("page " + std::to_string(page_number) + ": " + std::to_string(data.size()) +
                                   " bytes written, pages hold " + std::to_string(m.page_size));
  }
  if (page_number >= m.page_count) {
    return Status::InvalidArgument("page " + std::to_string(page_number) + " written but not allocated");
  }
  m.dirty[page_number] = std::make_shared<const std::vector<std::uint8_t>>(std::move(data));
  return Status::Ok();
}

Status Pager::Allocate(std::uint32_t* page_number) {
  Impl& m = *impl_;
  if (!m.writing) return Status::InvalidArgument("page allocation outside a write transaction");
  if (std::uint64_t{m.page_count + 1} * m.page_size > kMaxDatabaseBytes) {
    return Status::NotSupported(m.path + ": the database would grow past 2 GB");
  }
  *page_number = m.page_count++;
  m.dirty[*page_number] = std::make_shared<const std::vector<std::uint8_t>>(m.page_size, 0);
  return Status::Ok();
}

Status Pager::Commit() {
  Impl& m = *impl_;
  if (!m.writing) return Status::InvalidArgument("commit outside a write transaction");
  if (m.dirty.empty()) {
    m.ReleaseAfterWrite();
    return Status::Ok();
  }
  Journal journal;
  journal.page_size = m.page_size;
  journal.original_size = m.stamp.size;
  journal.salt = static_cast<std::uint64_t>(NowNanoseconds()) ^ (m.generation << 48);
  for (auto it = m.dirty.begin(); it != m.dirty.end();) {
    const std::uint32_t number = it->first;
    if (number >= m.original_page_count) break;  // new pages: undone by cutting the file back
    PageBytes original;
    Status s = m.ReadCommitted(number, &original);
    if (!s.ok()) {
      Rollback();
      return s;
    }
    // A page written back as it was is neither journaled nor written.
    if (*original == *it->second) {
      it = m.dirty.erase(it);
      continue;
    }
    journal.pages.push_back(JournalPage{number, *original});
    ++it;
  }
  if (m.dirty.empty()) {
    m.ReleaseAfterWrite();
    return Status::Ok();
  }

  Status s = m.WriteJournal(journal);
  if (!s.ok()) {
    m.fs->Remove(m.journal_path);  // the file is untouched; a stale journal would only restore it as it is
    Rollback();
    return s;
  }
  s = m.WritePages();
  if (s.ok()) s = m.RemoveJournal();
  if (!s.ok()) {
    s = m.RestoreAfterFailure(journal, s);
    m.page_count = m.original_page_count;
    m.ReleaseAfterWrite();
    return s;
  }
  for (auto& [number, bytes] : m.dirty) {
    if (m.options.cache_pages == 0 || m.cache.size() < m.options.cache_pages) m.cache[number] = bytes;
    else m.cache.erase(number);
  }
  FileStamp after;
  if (m.file->Stamp(&after).ok()) {
    m.stamp = after;
  } else {
    m.DropCache();
  }
  ++m.generation;
  m.ReleaseAfterWrite();
  return Status::Ok();
}

void Pager::Rollback() {
  Impl& m = *impl_;
  if (!m.writing) return;
  m.page_count = m.original_page_count;
  ++m.generation;  // callers may have decoded pages changed in the transaction
  m.ReleaseAfterWrite();
}

}  // namespace jet
