// The result of an engine operation: ok, or a category and a message.
//
// Every failure of the engine travels as a Status; the engine never throws
// and never aborts on anything read from a file.  A message names what is
// wrong and where ("page 12: row 3 offset 9000 outside the page").
#pragma once

#include <string>
#include <utility>

namespace jet {

class Status {
 public:
  enum class Code {
    kOk,
    kNotFound,       // no such file, table or column
    kCorruption,     // the file contradicts itself or the format
    kNotSupported,   // a valid file or statement the engine does not handle
    kInvalidArgument,// a bad statement, value or password
    kIOError,        // the operating system refused a read, write, flush or lock
    kBusy,           // another process holds the lock
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string m) { return Status(Code::kNotFound, std::move(m)); }
  static Status Corruption(std::string m) { return Status(Code::kCorruption, std::move(m)); }
  static Status NotSupported(std::string m) { return Status(Code::kNotSupported, std::move(m)); }
  static Status InvalidArgument(std::string m) { return Status(Code::kInvalidArgument, std::move(m)); }
  static Status IOError(std::string m) { return Status(Code::kIOError, std::move(m)); }
  static Status Busy(std::string m) { return Status(Code::kBusy, std::move(m)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }
  std::string ToString() const;

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}
  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace jet

// Returns from the enclosing function when `expr` gives a failed Status.
#define JET_RETURN_IF_ERROR(expr)          \
  do {                                     \
    ::jet::Status jet_status_ = (expr);    \
    if (!jet_status_.ok()) return jet_status_; \
  } while (0)
