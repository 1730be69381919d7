// The rollback journal: the original bytes of every page a statement is
// about to change, kept beside the database as <file>-journal until the
// statement's pages are durably in the file.
//
// A journal is self-validating, so that one cut short by a crash before it
// was flushed is recognised and ignored (the database was not touched yet:
// the pager writes the database only after the journal is durable).
//
// Layout (little-endian):
//
//   offset size  meaning
//   0      8     magic "JetJrnl\x01"
//   8      4     page size
//   12     4     number of page records that follow
//   16     8     size of the database file before the statement (bytes)
//   24     8     salt: differs between journals, mixed into every checksum
//   32     28    zero
//   60     4     CRC-32 of bytes 0..59
//   64     ...   page records: page number (4), CRC-32 of salt, page
//                number and bytes (4), the page's original bytes
//
// The journal is valid only when the header checks out and the file holds
// exactly `count` records, each with a matching checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/status.h"

namespace jet {

struct JournalPage {
  std::uint32_t page_number = 0;
  std::vector<std::uint8_t> original;  // page_size bytes
};

struct Journal {
  std::uint32_t page_size = 0;
  std::uint64_t original_size = 0;  // the database file's size before the statement
  std::uint64_t salt = 0;
  std::vector<JournalPage> pages;
};

std::string JournalPathFor(const std::string& database_path);

// The journal's bytes.  REQUIRES: every original has page_size bytes.
std::vector<std::uint8_t> EncodeJournal(const Journal& journal);
// Corruption when the bytes are not one complete, intact journal.
Status DecodeJournal(const std::vector<std::uint8_t>& bytes, Journal* journal);

// Puts the journal's pages back into `database`, cuts it to its original
// size and flushes it (when `sync`).  The file's last-write time is moved
// strictly forward so that other processes' caches see the change.
Status RestoreFromJournal(const Journal& journal, File* database, bool sync);

// CRC-32 (IEEE 802.3 polynomial), for journal records and tests.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0);

}  // namespace jet
