// Where the corpus maker writes the notes: one sink per file format, each fed
// the same notes in ID order.
//
// Lifetime: Open, then Add for IDs 1, 2, 3, ... in order, then Finish.  A sink
// whose Finish has not returned "" holds no usable file: the maker removes it.
// Every step reports an error as a non-empty message (UTF-8); none throws.
#pragma once

#include <memory>
#include <string>

#include "bench/corpus.h"

namespace bench {

class CorpusSink {
 public:
  virtual ~CorpusSink() = default;
  virtual std::string Open(const std::string& path) = 0;
  virtual std::string Add(long id, const Note& note) = 0;
  virtual std::string Finish() = 0;
};

// RFC 4180: header ID,标题,内容,资料链接; CRLF between records; every text field
// quoted, quotes doubled; UTF-8 without a byte-order mark.
std::unique_ptr<CorpusSink> MakeCsvSink();
// SQLite: table 知识点 (ID INTEGER PRIMARY KEY AUTOINCREMENT, 标题 TEXT,
// 内容 TEXT, 资料链接 TEXT), filled in one transaction.
std::unique_ptr<CorpusSink> MakeSqliteSink();
// data.mdb through our engine; null when this build has no engine.
std::unique_ptr<CorpusSink> MakeMdbSink();

}  // namespace bench
