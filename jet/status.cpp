#include "jet/status.h"

namespace jet {

std::string Status::ToString() const {
  const char* name = "OK";
  switch (code_) {
    case Code::kOk: return "OK";
    case Code::kNotFound: name = "Not found"; break;
    case Code::kCorruption: name = "Corruption"; break;
    case Code::kNotSupported: name = "Not supported"; break;
    case Code::kInvalidArgument: name = "Invalid argument"; break;
    case Code::kIOError: name = "I/O error"; break;
    case Code::kBusy: name = "Busy"; break;
  }
  return std::string(name) + ": " + message_;
}

}  // namespace jet
