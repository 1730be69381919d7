// Little-endian integers and floats in byte buffers: every number in an
// Access file is stored least significant byte first.
//
// The Get*/Put* functions REQUIRE the range to be inside the buffer; callers
// check with InRange() first (or use a Cursor, which checks for them and
// reports a Corruption naming the field).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "jet/status.h"

namespace jet {

inline bool InRange(std::size_t size, std::size_t offset, std::size_t n) {
  return offset <= size && n <= size - offset;
}

inline std::uint16_t Get16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t Get24(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return Get32(p) | (std::uint64_t(Get32(p + 4)) << 32);
}
inline double GetDouble(const std::uint8_t* p) {
  std::uint64_t bits = Get64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
inline float GetFloat(const std::uint8_t* p) {
  std::uint32_t bits = Get32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline void Put16(std::uint8_t* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void Put24(std::uint8_t* p, std::uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; }
inline void Put32(std::uint8_t* p, std::uint32_t v) { Put16(p, v & 0xFFFF); Put16(p + 2, v >> 16); }
inline void Put64(std::uint8_t* p, std::uint64_t v) { Put32(p, std::uint32_t(v)); Put32(p + 4, std::uint32_t(v >> 32)); }
inline void PutDouble(std::uint8_t* p, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  Put64(p, bits);
}
inline void PutFloat(std::uint8_t* p, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  Put32(p, bits);
}

// A row pointer word: row slot in the low byte, page number above it.
inline std::uint32_t PackPointer(std::uint32_t page, std::uint8_t row) { return (page << 8) | row; }

// Reads fields of a structure in order, checking each against the buffer.
// The first failure sticks: later reads return 0 and status() keeps the
// first message ("<where>: <field> at offset N past the end (size M)").
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size, std::string where, std::size_t offset = 0)
      : data_(data), size_(size), where_(std::move(where)), offset_(offset) {}

  std::uint8_t U8(const char* field) { return Need(1, field) ? data_[offset_++] : 0; }
  std::uint16_t U16(const char* field) { return Take<std::uint16_t>(2, field, Get16); }
  std::uint32_t U32(const char* field) { return Take<std::uint32_t>(4, field, Get32); }
  // Returns a pointer to n bytes and moves past them; nullptr after a failure.
  const std::uint8_t* Bytes(std::size_t n, const char* field) {
    if (!Need(n, field)) return nullptr;
    const std::uint8_t* p = data_ + offset_;
    offset_ += n;
    return p;
  }
  void Skip(std::size_t n, const char* field) { Bytes(n, field); }

  std::size_t offset() const { return offset_; }
  bool ok() const { return status_.ok(); }
  const Status& status() const { return status_; }

 private:
  bool Need(std::size_t n, const char* field) {
    if (!status_.ok()) return false;
    if (InRange(size_, offset_, n)) return true;
    status_ = Status::Corruption(where_ + ": " + field + " at offset " + std::to_string(offset_) +
                                 " runs past the end (" + std::to_string(size_) + " bytes)");
    return false;
  }
  template <typename T, typename F>
  T Take(std::size_t n, const char* field, F get) {
    if (!Need(n, field)) return 0;
    T v = T(get(data_ + offset_));
    offset_ += n;
    return v;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::string where_;
  std::size_t offset_;
  Status status_;
};

}  // namespace jet
