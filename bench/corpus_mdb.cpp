// The corpus into data.mdb through our engine: a fresh Jet 4 file, the
// knowledge table as the program expects it, and one INSERT per note spliced
// exactly like the program's own add command.
//
// Filling runs without the commit flush: a fill cut short is thrown away
// anyway (the maker removes a format that failed).
#include <memory>

#include "bench/corpus_sinks.h"
#include "bench/utf8.h"
#include "jet/create.h"
#include "jet/engine.h"

namespace bench {
namespace {

std::string Describe(const char* what, const jet::Status& status) {
  return std::string("engine: ") + what + ": " + status.ToString();
}

class MdbSink : public CorpusSink {
 public:
  std::string Open(const std::string& path) override {
    if (jet::Status s = jet::CreateDatabase(path); !s.ok()) return Describe("create", s);
    jet::ConnectionOptions options;
    options.sync = false;
    if (jet::Status s = jet::Connection::Open(path, options, &connection_); !s.ok()) {
      return Describe("open", s);
    }
    return Execute(Utf8(u8"CREATE TABLE 知识点 (ID COUNTER PRIMARY KEY, 标题 MEMO, 内容 MEMO, "
                        u8"资料链接 MEMO)"));
  }

  std::string Add(long id, const Note& note) override {
    statement_ = insert_start_;
    statement_ += note.title;
    statement_ += "','";
    statement_ += note.content;
    statement_ += "','";
    statement_ += note.link;
    statement_ += "')";
    if (std::string error = Execute(statement_); !error.empty()) return error;
    if (result_.rows_affected != 1) return "engine: note " + std::to_string(id) + " was not inserted";
    return "";
  }

  std::string Finish() override {
    connection_.reset();
    return "";
  }

 private:
  std::string Execute(const std::string& sql) {
    if (jet::Status s = connection_->Execute(sql, &result_); !s.ok()) {
      return Describe(sql.substr(0, 60).c_str(), s);
    }
    return "";
  }

  std::unique_ptr<jet::Connection> connection_;
  jet::Result result_;
  const std::string insert_start_ = Utf8(u8"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('");
  std::string statement_;  // reused: one statement
};

}  // namespace

std::unique_ptr<CorpusSink> MakeMdbSink() { return std::make_unique<MdbSink>(); }

}  // namespace bench
