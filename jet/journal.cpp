#include "jet/journal.h"

#include <array>
#include <chrono>
#include <cstring>

namespace jet {
namespace {

constexpr std::uint8_t kMagic[8] = {'J', 'e', 't', 'J', 'r', 'n', 'l', 0x01};
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kRecordHeaderSize = 8;

// CRC-32 (the zlib polynomial) eight bytes at a time ("slicing by 8"):
// table k gives the CRC of a byte followed by k zero bytes.  Every page a
// statement changes passes through here, so the byte-wise loop showed.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}
constexpr CrcTables kCrcTables = MakeCrcTables();

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
std::uint64_t Get64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::uint32_t RecordChecksum(std::uint64_t salt, std::uint32_t page_number, const std::uint8_t* bytes,
                             std::size_t n) {
  std::uint8_t prefix[12];
  Put64(prefix, salt);
  Put32(prefix + 8, page_number);
  return Crc32(bytes, n, Crc32(prefix, sizeof prefix));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc) {
  const CrcTables& t = kCrcTables;
  crc = ~crc;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint8_t* p = data + i;
    const std::uint32_t lo = crc ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                    std::uint32_t(p[3]) << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; i < n; ++i) crc = t[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string JournalPathFor(const std::string& database_path) { return database_path + "-journal"; }

std::vector<std::uint8_t> EncodeJournal(const Journal& journal) {
  const std::size_t record_size = kRecordHeaderSize + journal.page_size;
  std::vector<std::uint8_t> out(kHeaderSize + journal.pages.size() * record_size, 0);
  std::memcpy(out.data(), kMagic, sizeof kMagic);
  Put32(&out[8], journal.page_size);
  Put32(&out[12], static_cast<std::uint32_t>(journal.pages.size()));
  Put64(&out[16], journal.original_size);
  Put64(&out[24], journal.salt);
  Put32(&out[60], Crc32(out.data(), 60));
  std::uint8_t* p = out.data() + kHeaderSize;
  for (const JournalPage& page : journal.pages) {
    Put32(p, page.page_number);
    Put32(p + 4, RecordChecksum(journal.salt, page.page_number, page.original.data(), page.original.size()));
    std::memcpy(p + kRecordHeaderSize, page.original.data(), page.original.size());
    p += record_size;
  }
  return out;
}

Status DecodeJournal(const std::vector<std::uint8_t>& bytes, Journal* journal) {
  if (bytes.size() < kHeaderSize) return Status::Corruption("journal: shorter than its header");
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return Status::Corruption("journal: bad magic");
  if (Get32(&bytes[60]) != Crc32(bytes.data(), 60)) return Status::Corruption("journal: header checksum mismatch");
  Journal j;
  j.page_size = Get32(&bytes[8]);
  const std::uint32_t count = Get32(&bytes[12]);
  j.original_size = Get64(&bytes[16]);
  j.salt = Get64(&bytes[24]);
  if (j.page_size != 2048 && j.page_size != 4096) {
    return Status::Corruption("journal: page size " + std::to_string(j.page_size));
  }
  const std::uint64_t record_size = kRecordHeaderSize + j.page_size;
  if (bytes.size() != kHeaderSize + count * record_size) {
    return Status::Corruption("journal: holds " + std::to_string(bytes.size()) + " bytes, header announces " +
                              std::to_string(count) + " pages");
  }
  const std::uint8_t* p = bytes.data() + kHeaderSize;
  for (std::uint32_t i = 0; i < count; ++i, p += record_size) {
    JournalPage page;
    page.page_number = Get32(p);
    if (Get32(p + 4) != RecordChecksum(j.salt, page.page_number, p + kRecordHeaderSize, j.page_size)) {
      return Status::Corruption("journal: record " + std::to_string(i) + " checksum mismatch");
    }
    if (std::uint64_t{page.page_number} * j.page_size >= j.original_size) {
      return Status::Corruption("journal: record " + std::to_string(i) + " page " +
                                std::to_string(page.page_number) + " beyond the original file");
    }
    page.original.assign(p + kRecordHeaderSize, p + record_size);
    j.pages.push_back(std::move(page));
  }
  *journal = std::move(j);
  return Status::Ok();
}

Status RestoreFromJournal(const Journal& journal, File* database, bool sync) {
  FileStamp before;
  JET_RETURN_IF_ERROR(database->Stamp(&before));
  for (const JournalPage& page : journal.pages) {
    JET_RETURN_IF_ERROR(database->Write(std::uint64_t{page.page_number} * journal.page_size,
                                        page.original.data(), page.original.size()));
  }
  std::uint64_t size = 0;
  JET_RETURN_IF_ERROR(database->Size(&size));
  if (size != journal.original_size) JET_RETURN_IF_ERROR(database->Truncate(journal.original_size));
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  JET_RETURN_IF_ERROR(database->SetModified(std::max(now, before.modified_ns + 1000)));
  if (sync) JET_RETURN_IF_ERROR(database->Sync());
  return Status::Ok();
}

}  // namespace jet
