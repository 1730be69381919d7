// Where the format code gets its pages: the Pager, seen through the
// database's page encoding.  One interface so that every page-type module
// reads (and writes) pages the same way, and a test can hand it a buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual int jet_version() const = 0;
  virtual std::uint32_t page_size() const = 0;
  virtual std::uint32_t page_count() const = 0;
  // A page outside the file is a Corruption naming it.
  virtual Status ReadPage(std::uint32_t number, PageBytes* page) = 0;
  // REQUIRES: inside a write transaction; data.size() == page_size().
  virtual Status WritePage(std::uint32_t number, std::vector<std::uint8_t> data) = 0;
  // A new zero-filled page at the end of the file.
  virtual Status AllocatePage(std::uint32_t* number) = 0;
};

}  // namespace jet
