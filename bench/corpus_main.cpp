// norvane_corpus: writes the benchmark corpus into CSV, SQLite and data.mdb.
//
//   norvane_corpus [--notes N] [--seed S] [--formats csv,sqlite,mdb] --out DIR
//
// DIR receives notes.csv, notes.sqlite, data.mdb and corpus.txt; corpus.txt
// (key=value lines) records the corpus' size, its keywords, the number of
// notes holding the hit keyword, and the outcome of each format: "ok",
// "unavailable: ..." (this build cannot write it) or "failed: ...".  A failed
// format's file is removed.  Exit status 0 when no format failed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/corpus.h"
#include "bench/corpus_sinks.h"

namespace {

struct Options {
  long notes = bench::kDefaultNotes;
  std::uint64_t seed = bench::kDefaultSeed;
  std::string formats = "csv,sqlite,mdb";
  std::string out;
};

struct Format {
  std::string name;
  std::string file;
  std::unique_ptr<bench::CorpusSink> sink;
  std::string outcome = "ok";
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--notes") options->notes = std::strtol(value.c_str(), nullptr, 10);
    else if (flag == "--seed") options->seed = std::strtoull(value.c_str(), nullptr, 10);
    else if (flag == "--formats") options->formats = value;
    else if (flag == "--out") options->out = value;
    else return false;
  }
  if (argc % 2 == 0 || options->out.empty()) return false;
  if (options->notes < bench::kMinNotes || options->notes > bench::kMaxNotes) {
    std::cerr << "norvane_corpus: --notes must lie between " << bench::kMinNotes << " and "
              << bench::kMaxNotes << "\n";
    return false;
  }
  return true;
}

bool Wanted(const Options& options, const std::string& name) {
  return ("," + options.formats + ",").find("," + name + ",") != std::string::npos;
}

std::vector<Format> OpenFormats(const Options& options) {
  std::vector<Format> formats;
  auto add = [&](const std::string& name, const std::string& file,
                 std::unique_ptr<bench::CorpusSink> sink) {
    if (!Wanted(options, name)) return;
    Format f{name, options.out + "/" + file, std::move(sink)};
    std::filesystem::remove(f.file);
    if (!f.sink) {
      f.outcome = "unavailable: this build has no engine";
    } else if (std::string error = f.sink->Open(f.file); !error.empty()) {
      f.outcome = "failed: " + error;
      f.sink.reset();
    }
    formats.push_back(std::move(f));
  };
  add("csv", "notes.csv", bench::MakeCsvSink());
  add("sqlite", "notes.sqlite", bench::MakeSqliteSink());
  add("mdb", "data.mdb", bench::MakeMdbSink());
  return formats;
}

void Fail(Format& format, const std::string& error) {
  format.outcome = "failed: " + error;
  format.sink.reset();
  std::error_code ignored;
  std::filesystem::remove(format.file, ignored);
}

bool WriteSummary(const Options& options, const bench::CorpusSummary& summary,
                  const std::vector<Format>& formats) {
  std::string path = options.out + "/corpus.txt";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "notes=" << summary.notes << "\n"
      << "seed=" << options.seed << "\n"
      << "hit_keyword=" << bench::kHitKeyword << "\n"
      << "miss_keyword=" << bench::kMissKeyword << "\n"
      << "hit_notes=" << summary.hit_notes << "\n"
      << "utf8_bytes=" << summary.utf8_bytes << "\n"
      << "text_bytes=" << summary.text_bytes << "\n";
  for (const Format& f : formats) out << f.name << "=" << f.outcome << "\n";
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::cerr << "usage: norvane_corpus [--notes N] [--seed S] [--formats csv,sqlite,mdb] --out DIR\n";
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (error) {
    std::cerr << "norvane_corpus: cannot create " << options.out << ": " << error.message() << "\n";
    return 1;
  }

  std::vector<Format> formats = OpenFormats(options);
  bench::CorpusGenerator generator(options.seed);
  bench::CorpusSummary summary;
  for (long id = 1; id <= options.notes; ++id) {
    bench::Note note = generator.Next();
    bench::AddToSummary(note, &summary);
    for (Format& f : formats) {
      if (!f.sink) continue;
      if (std::string e = f.sink->Add(id, note); !e.empty()) Fail(f, e);
    }
  }
  for (Format& f : formats) {
    if (!f.sink) continue;
    if (std::string e = f.sink->Finish(); !e.empty()) Fail(f, e);
  }

  bool ok = WriteSummary(options, summary, formats);
  for (const Format& f : formats) {
    std::cout << f.file << ": " << f.outcome << "\n";
    if (f.outcome.rfind("failed", 0) == 0) ok = false;
  }
  std::cout << summary.notes << " notes, " << summary.hit_notes << " with the hit keyword, "
            << summary.text_bytes << " bytes of text\n";
  return ok ? 0 : 1;
}
