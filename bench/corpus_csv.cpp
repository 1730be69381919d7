#include <cstdio>
#include <memory>

#include "bench/corpus_sinks.h"
#include "bench/utf8.h"

namespace bench {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void AppendQuoted(std::string_view field, std::string* line) {
  line->push_back('"');
  for (char c : field) {
    if (c == '"') line->push_back('"');
    line->push_back(c);
  }
  line->push_back('"');
}

class CsvSink : public CorpusSink {
 public:
  std::string Open(const std::string& path) override {
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return "cannot create " + path;
    return Write(Utf8(u8"ID,标题,内容,资料链接\r\n"));
  }

  std::string Add(long id, const Note& note) override {
    line_ = std::to_string(id);
    for (const std::string* field : {&note.title, &note.content, &note.link}) {
      line_.push_back(',');
      AppendQuoted(*field, &line_);
    }
    line_ += "\r\n";
    return Write(line_);
  }

  std::string Finish() override {
    if (std::fclose(file_.release()) != 0) return "cannot finish the CSV file";
    return "";
  }

 private:
  std::string Write(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      return "cannot write the CSV file";
    }
    return "";
  }

  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string line_;  // reused: one record
};

}  // namespace

std::unique_ptr<CorpusSink> MakeCsvSink() { return std::make_unique<CsvSink>(); }

}  // namespace bench
