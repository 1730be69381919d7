#include "tests/reliability/torture_log.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace reliability {
namespace {

// Records: "B<op> <id> <n1> <n2> <n3>\n" + the three texts + "\n",
// "A\n", "F<n>\n" + message + "\n".
void Field(std::string& record, const Text& text) { record += std::to_string(text.size()) + " "; }

}  // namespace

void StatementLog::Append(const std::string& record) {
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
    if (n <= 0) ::_exit(90);  // a log that cannot be written makes the run meaningless
    done += static_cast<std::size_t>(n);
  }
}

void StatementLog::Begin(Op op, long id, const Note& note) {
  std::string record = "B";
  record += static_cast<char>(op);
  record += " " + std::to_string(id) + " ";
  Field(record, note.title);
  Field(record, note.content);
  Field(record, note.link);
  record += "\n" + note.title + note.content + note.link + "\n";
  Append(record);
}

void StatementLog::Acknowledge() { Append("A\n"); }

void StatementLog::Refuse(const std::string& error) {
  Append("F" + std::to_string(error.size()) + "\n" + error + "\n");
}

std::vector<LoggedStatement> ReadStatementLog(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream buffer;
  buffer << file.rdbuf();
  const std::string log = buffer.str();
  std::vector<LoggedStatement> statements;
  std::size_t at = 0;
  auto line = [&](std::string* out) {
    const std::size_t end = log.find('\n', at);
    if (end == std::string::npos) return false;
    *out = log.substr(at, end - at);
    at = end + 1;
    return true;
  };
  auto take = [&](std::size_t n, Text* out) {
    if (at + n > log.size()) return false;
    *out = log.substr(at, n);
    at += n;
    return true;
  };
  std::string header;
  while (line(&header)) {
    if (header == "A" && !statements.empty()) {
      statements.back().acknowledged = true;
      continue;
    }
    if (header.size() > 1 && header[0] == 'F' && !statements.empty()) {
      Text message;
      if (!take(std::stoul(header.substr(1)) + 1, &message)) break;
      statements.back().refused = true;
      statements.back().error = message.substr(0, message.size() - 1);
      continue;
    }
    if (header.size() < 3 || header[0] != 'B') break;
    LoggedStatement s;
    s.op = static_cast<Op>(header[1]);
    std::istringstream fields(header.substr(3));
    std::size_t n1 = 0, n2 = 0, n3 = 0;
    if (!(fields >> s.id >> n1 >> n2 >> n3)) break;
    Text end;
    if (!take(n1, &s.note.title) || !take(n2, &s.note.content) || !take(n3, &s.note.link) ||
        !take(1, &end) || end != "\n")
      break;  // cut short by the kill: never started
    statements.push_back(std::move(s));
  }
  return statements;
}

}  // namespace reliability
