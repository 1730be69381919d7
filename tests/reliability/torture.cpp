// Crash and concurrency torture of the store over our engine.
//
//   reliability_torture kill KILLS [SEED]
//     A writer process runs random add, modify and delete statements of the
//     program on a data.mdb and is killed with SIGKILL at a random moment,
//     KILLS times.  After each kill the file is reopened (journal recovery),
//     checked with jetsql .check, read with mdb-export and with the store,
//     and compared with the statements the writer had acknowledged: the one
//     in flight is either wholly there or not at all.
//
//   reliability_torture concurrent STATEMENTS [SEED]
//     Two writers run STATEMENTS random statements each on one file at the
//     same time while a third process reads it over and over.  Afterwards
//     every acknowledged change is there, .check is clean, and the reader
//     never saw a torn row.
//
// Exit status 0 when everything held; the figures are printed either way.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "store/database.h"
#include "tests/reliability/knowledge.h"
#include "tests/reliability/torture_log.h"
#include "text/gb18030.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

int Fail(const std::string& message) {
  std::cerr << "FAIL: " << message << "\n";
  return 1;
}

fs::path WorkDirectory(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("norvane-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

struct Writer {
  store::DBConnection connection;
  store::RecordSet records;

  bool Open(const std::string& path) {
    if (store::ConnectAccess(connection, text::Gb18030FromUtf8(path), "") != 1) return false;
    store::AttachConnection(records, connection);
    return true;
  }
  bool Run(const Text& statement) { return store::OpenRecordSet(records, statement, 1) == 1; }
};

// Picks the next statement against the writer's own view of the table,
// keeping the table between a few and a few dozen notes.
Op PickOp(std::mt19937& random, std::size_t notes) {
  if (notes == 0) return Op::kInsert;
  const unsigned roll = random() % 100;
  if (notes > 40) return roll < 60 ? Op::kDelete : Op::kModify;
  return roll < 45 ? Op::kInsert : roll < 80 ? Op::kModify : Op::kDelete;
}

long PickId(std::mt19937& random, const Notes& notes) {
  auto it = notes.begin();
  std::advance(it, random() % notes.size());
  return it->first;
}

// The child: statements until it is killed.  `notes` and `next_id` are the
// parent's model, inherited through fork.
[[noreturn]] void KilledWriter(const std::string& path, const std::string& log_path, unsigned seed,
                               Notes notes, long next_id) {
  const int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  if (fd < 0) ::_exit(91);
  StatementLog log(fd);
  Writer writer;
  if (!writer.Open(path)) ::_exit(92);
  std::mt19937 random(seed);
  for (;;) {
    const Op op = PickOp(random, notes.size());
    const long id = op == Op::kInsert ? next_id : PickId(random, notes);
    const Note note = op == Op::kDelete ? Note{} : RandomNote(random, 20000);
    const std::optional<Text> statement = StatementFor(op, id, note);
    if (!statement) ::_exit(93);
    log.Begin(op, id, note);
    if (!writer.Run(*statement)) {
      log.Refuse(store::LastError(writer.records));
      continue;
    }
    log.Acknowledge();
    if (op == Op::kInsert) notes[next_id++] = note;
    else if (op == Op::kModify) notes[id] = note;
    else notes.erase(id);
  }
}

void Apply(const LoggedStatement& s, Notes* notes, long* next_id) {
  if (s.op == Op::kInsert) {
    (*notes)[s.id] = s.note;
    *next_id = std::max(*next_id, s.id + 1);
  } else if (s.op == Op::kModify) {
    (*notes)[s.id] = s.note;
  } else {
    notes->erase(s.id);
  }
}

// After a kill: the file reopened must hold the model, or the model with
// the statement that was in flight.
struct KillFigures {
  int kills = 0, states_checked = 0, in_flight_applied = 0, in_flight_absent = 0;
  long acknowledged = 0;
  int refused = 0;
};

std::string VerifyAfterKill(const std::string& path, const std::vector<LoggedStatement>& log, Notes* model,
                            long* next_id, KillFigures* figures) {
  const LoggedStatement* in_flight = nullptr;
  for (const LoggedStatement& s : log) {
    if (s.acknowledged) {
      Apply(s, model, next_id);
      ++figures->acknowledged;
    } else if (s.refused) {
      ++figures->refused;
      return "the store refused a statement: " + s.error;
    } else {
      in_flight = &s;
    }
  }
  std::string error;
  const std::optional<Notes> read = ReadNotes(path, &error);  // recovers from the journal
  if (!read) return "reopening: " + error;
  if (fs::exists(path + "-journal")) return "the journal is still there after reopening";
  if (std::string report = CheckReport(path); !report.empty()) return ".check: " + report;
  const std::optional<Notes> exported = ExportedNotes(path, &error);
  if (!exported) return error;
  if (std::string d = Difference(AsExported(*read), *exported); !d.empty()) return "mdb-export disagrees with the store: " + d;
  ++figures->states_checked;
  const std::string as_model = Difference(*model, *read);
  if (as_model.empty()) {
    if (in_flight) ++figures->in_flight_absent;
    return "";
  }
  if (!in_flight) return "no statement was in flight, yet " + as_model;
  Notes with = *model;
  long with_next = *next_id;
  Apply(*in_flight, &with, &with_next);
  if (std::string d = Difference(with, *read); !d.empty()) {
    return "neither the acknowledged state (" + as_model + ") nor that plus the statement in flight (" + d + ")";
  }
  *model = std::move(with);
  *next_id = with_next;
  ++figures->in_flight_applied;
  return "";
}

int KillTorture(int kills, unsigned seed) {
  const fs::path dir = WorkDirectory("kill");
  const std::string path = (dir / "data.mdb").string(), log_path = (dir / "statements.log").string();
  if (std::string e = MakeKnowledgeDatabase(path); !e.empty()) return Fail(e);
  std::mt19937 random(seed);
  Notes model;
  long next_id = 1;  // a new table's first AutoNumber
  KillFigures figures;
  const auto start = std::chrono::steady_clock::now();
  for (int kill = 0; kill < kills; ++kill) {
    // A writer killed before it opened its log would otherwise leave the
    // last one's statements to be applied to the model a second time.
    fs::remove(log_path);
    const pid_t child = ::fork();
    if (child < 0) return Fail("fork");
    if (child == 0) KilledWriter(path, log_path, seed * 7919u + kill, model, next_id);
    // Mostly short lives (the kill lands in the first statements, or in the
    // opening), sometimes long ones (a larger, older table).
    ::usleep(random() % 10 == 0 ? 100000 + random() % 300000 : 2000 + random() % 80000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) return Fail("writer exited by itself with status " + std::to_string(WEXITSTATUS(status)));
    ++figures.kills;
    const std::string error = VerifyAfterKill(path, ReadStatementLog(log_path), &model, &next_id, &figures);
    if (!error.empty()) {
      fs::copy_file(path, dir / ("failed-" + std::to_string(kill) + ".mdb"), fs::copy_options::overwrite_existing);
      return Fail("kill " + std::to_string(kill) + " (seed " + std::to_string(seed) + "): " + error +
                  "\n  files kept in " + dir.string());
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "kills survived: " << figures.kills << "\nstates checked: " << figures.states_checked
            << "\nacknowledged statements: " << figures.acknowledged
            << "\nin-flight statements found applied: " << figures.in_flight_applied
            << "\nin-flight statements found absent: " << figures.in_flight_absent
            << "\nnotes at the end: " << model.size() << "\nseconds: " << seconds << "\n";
  fs::remove_all(dir);
  return 0;
}

// ---- two writers and a reader ----------------------------------------------

// A row proves itself whole: its link carries a digest of its title and
// content, so a row mixing two versions shows.
std::string Digest(const Text& title, const Text& content) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : title + "\x01" + content) h = (h ^ c) * 1099511628211ull;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(h));
  return buffer;
}

Note SealedNote(std::mt19937& random, const Text& title) {
  Note note = RandomNote(random, 3000);
  note.title = title;
  note.link = "https://example.org/" + Digest(note.title, note.content);
  return note;
}

bool Sealed(const Note& note) { return note.link == "https://example.org/" + Digest(note.title, note.content); }

// The ID of the note titled `title` (titles are unique to their writer).
long FindId(Writer& writer, const Text& title) {
  if (!writer.Run("select ID from 知识点 where 标题='" + title + "'")) return -1;
  if (store::RecordCount(writer.records) != 1) return -1;
  store::MoveFirst(writer.records);
  Text id;
  store::ReadFieldText(writer.records, "ID", id);
  return std::stol(id);
}

// One writer: `statements` statements on notes titled with its own mark;
// at the end its notes as it expects them, in the statement-log format.
int ConcurrentWriter(const std::string& path, const std::string& result_path, char mark, int statements,
                     unsigned seed) {
  Writer writer;
  if (!writer.Open(path)) return 2;
  std::mt19937 random(seed);
  Notes notes;
  int serial = 0, refused = 0;
  for (int i = 0; i < statements; ++i) {
    const Op op = PickOp(random, notes.size());
    const long id = op == Op::kInsert ? 0 : PickId(random, notes);
    const Text title = std::string("w") + mark + "-" + std::to_string(serial++) + " 并发";
    const Note note = op == Op::kDelete ? Note{} : SealedNote(random, title);
    if (!writer.Run(*StatementFor(op, id, note))) {
      std::cerr << "writer " << mark << ": refused: " << store::LastError(writer.records) << "\n";
      ++refused;
      continue;
    }
    if (op == Op::kInsert) {
      const long new_id = FindId(writer, title);
      if (new_id < 0) return 3;
      notes[new_id] = note;
    } else if (op == Op::kModify) {
      notes[id] = note;
    } else {
      notes.erase(id);
    }
  }
  const int fd = ::open(result_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  StatementLog out(fd);
  for (const auto& [id, note] : notes) {
    out.Begin(Op::kInsert, id, note);
    out.Acknowledge();
  }
  ::close(fd);
  return refused == 0 ? 0 : 4;
}

// The reader: whole snapshots until `stop` appears; the count of snapshots
// and of torn ones goes to `result_path`.
int ConcurrentReader(const std::string& path, const std::string& stop, const std::string& result_path) {
  long snapshots = 0, torn = 0, failed = 0;
  std::string first_problem;
  while (!fs::exists(stop)) {
    std::string error;
    const std::optional<Notes> notes = ReadNotes(path, &error);
    if (!notes) {
      ++failed;
      if (first_problem.empty()) first_problem = error;
      continue;
    }
    ++snapshots;
    for (const auto& [id, note] : *notes) {
      if (!Sealed(note)) {
        ++torn;
        if (first_problem.empty()) first_problem = "ID " + std::to_string(id) + " torn: " + Shown(note.title);
      }
    }
  }
  std::ofstream(result_path) << snapshots << " " << torn << " " << failed << "\n" << first_problem << "\n";
  return 0;
}

int ConcurrentTorture(int statements, unsigned seed) {
  const fs::path dir = WorkDirectory("concurrent");
  const std::string path = (dir / "data.mdb").string(), stop = (dir / "stop").string();
  if (std::string e = MakeKnowledgeDatabase(path); !e.empty()) return Fail(e);
  const auto start = std::chrono::steady_clock::now();
  auto spawn = [](const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    return pid;
  };
  const pid_t reader = spawn([&] { return ConcurrentReader(path, stop, (dir / "reader").string()); });
  const pid_t a = spawn([&] { return ConcurrentWriter(path, (dir / "a").string(), 'A', statements, seed); });
  const pid_t b = spawn([&] { return ConcurrentWriter(path, (dir / "b").string(), 'B', statements, seed + 1); });
  int status_a = 0, status_b = 0, status_r = 0;
  ::waitpid(a, &status_a, 0);
  ::waitpid(b, &status_b, 0);
  std::ofstream(stop) << "stop\n";
  ::waitpid(reader, &status_r, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (int s : {status_a, status_b, status_r}) {
    if (!WIFEXITED(s) || WEXITSTATUS(s) != 0) return Fail("a process failed with status " + std::to_string(s));
  }
  Notes expected;
  for (const char* name : {"a", "b"}) {
    for (const LoggedStatement& s : ReadStatementLog((dir / name).string())) expected[s.id] = s.note;
  }
  std::string error;
  const std::optional<Notes> read = ReadNotes(path, &error);
  if (!read) return Fail(error);
  if (std::string d = Difference(expected, *read); !d.empty()) return Fail("after both writers: " + d);
  if (std::string report = CheckReport(path); !report.empty()) return Fail(".check: " + report);
  const std::optional<Notes> exported = ExportedNotes(path, &error);
  if (!exported) return Fail(error);
  if (std::string d = Difference(AsExported(expected), *exported); !d.empty()) return Fail("mdb-export: " + d);
  long snapshots = 0, torn = 0, failed = 0;
  std::ifstream reader_result(dir / "reader");
  reader_result >> snapshots >> torn >> failed;
  std::string problem;
  std::getline(reader_result >> std::ws, problem);
  std::cout << "concurrent statements: " << 2 * statements << "\nnotes at the end: " << read->size()
            << "\nreader snapshots: " << snapshots << "\ntorn snapshots: " << torn
            << "\nfailed reads: " << failed << "\nseconds: " << seconds << "\n";
  if (torn != 0 || failed != 0) return Fail("the reader saw: " + problem);
  fs::remove_all(dir);
  return 0;
}

}  // namespace
}  // namespace reliability

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: reliability_torture kill KILLS [SEED] | concurrent STATEMENTS [SEED]\n";
    return 2;
  }
  const std::string mode = argv[1];
  const int count = std::stoi(argv[2]);
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::stoul(argv[3])) : 20261211u;
  if (mode == "kill") return reliability::KillTorture(count, seed);
  if (mode == "concurrent") return reliability::ConcurrentTorture(count, seed);
  std::cerr << "unknown mode " << mode << "\n";
  return 2;
}
