// The statement log a writer keeps while it is tortured: before running a
// statement it appends what it is about to do, after the store accepted it
// an acknowledgement.  A record cut short by the kill was never started.
#pragma once

#include <string>
#include <vector>

#include "tests/reliability/knowledge.h"

namespace reliability {

struct LoggedStatement {
  Op op = Op::kInsert;
  long id = 0;  // for an insert, the ID the engine is expected to give
  Note note;    // insert and modify
  bool acknowledged = false;
  bool refused = false;  // the store gave 0
  std::string error;     // the store's message when refused
};

// Appends with one write(2) each, so that a kill leaves whole records or a
// cut-short last one.
class StatementLog {
 public:
  explicit StatementLog(int fd) : fd_(fd) {}
  void Begin(Op op, long id, const Note& note);
  void Acknowledge();
  void Refuse(const std::string& error);

 private:
  void Append(const std::string& record);
  int fd_;
};

// The complete records of a log file, in order.
std::vector<LoggedStatement> ReadStatementLog(const std::string& path);

}  // namespace reliability
