// Pages of a database file, by number, through a cache; and the statement
// transaction that changes them atomically.
//
// A database file is a sequence of fixed-size pages (2048 bytes in Jet 3,
// 4096 in Jet 4); page 0 is the database definition page.  Readers ask for a
// page by number and get an immutable snapshot of its bytes.  Writers work
// inside a transaction:
//
//   BeginRead()  -- shared lock; the cache is dropped if another process has
//                   changed the file since we last looked.
//   BeginWrite() -- exclusive lock (and the same cache check).
//   Write()/Allocate() -- only between BeginWrite() and Commit()/Rollback().
//                   The first change of a page in a transaction saves the
//                   page's original bytes to the journal (<file>-journal).
//   Commit()     -- journal flushed, pages written, file flushed, journal
//                   removed; then the lock is released.  On any failure the
//                   file is restored from the journal and an error returned.
//   Rollback()   -- drops the changed pages; the file was never touched.
//   EndRead()    -- releases the shared lock.
//
// BeginRead() inside a write transaction, or nested in another read, only
// counts; BeginWrite() inside a read takes the exclusive lock and fails with
// Busy if the file changed between the two (the caller read stale pages).
//
// Opening a file that has a journal beside it first restores the file from
// the journal (a statement that was cut short is undone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/status.h"

namespace jet {

using PageBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct PagerOptions {
  bool read_only = true;
  bool sync = true;  // flush journal and file on commit (durability)
  // The files to work on; null means the platform's.  Tests pass a wrapper
  // that injects faults or records writes (jet/file_fault.h).  Not owned;
  // must outlive the Pager.
  FileSystem* file_system = nullptr;
  // Pages kept in the cache at most (0: no limit).
  std::size_t cache_pages = 8192;
};

class Pager {
 public:
  // Opens `path`; the page size is read from the definition page (offset
  // 0x14: version 0 = Jet 3 = 2048 bytes, otherwise 4096).
  static Status Open(const std::string& path, const PagerOptions& options,
                     std::unique_ptr<Pager>* pager);
  ~Pager();
  Pager(const Pager&) = delete;
  Pager& operator=(const Pager&) = delete;

  std::uint32_t page_size() const;
  std::uint32_t page_count() const;  // as of the last BeginRead/BeginWrite
                                     // (inside a write: allocated pages too)
  // Changes whenever cached pages may no longer be what the file holds:
  // another process changed the file (seen at Begin*), or a transaction of
  // ours committed or was restored.  Callers keeping decoded state (the
  // catalog) reload it when this moves.
  std::uint64_t generation() const;
  bool in_write() const;

  // A page outside the file is a Corruption naming the page.
  Status Read(std::uint32_t page_number, PageBytes* page);

  Status BeginRead();
  void EndRead();
  Status BeginWrite();
  // REQUIRES: inside a write transaction; data.size() == page_size().
  Status Write(std::uint32_t page_number, std::vector<std::uint8_t> data);
  // A new page at the end of the file, zero-filled; its number in *page_number.
  Status Allocate(std::uint32_t* page_number);
  Status Commit();
  void Rollback();

  struct Impl;

 private:
  explicit Pager(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace jet
