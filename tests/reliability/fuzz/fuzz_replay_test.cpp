// Every input a fuzzer found something with, kept under corpus/<target>/,
// fed again to the same entry point: each must now pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "tests/reliability/fuzz/fuzz_entries.h"

namespace reliability::fuzz {
namespace {

namespace fs = std::filesystem;
using Entry = std::function<std::string(const std::uint8_t*, std::size_t)>;

// Runs every file of the target's directory; the number run.
int Replay(const std::string& target, const Entry& entry) {
  const fs::path dir = fs::path("tests/reliability/fuzz/corpus") / target;  // from the source tree
  int replayed = 0;
  if (!fs::exists(dir)) return replayed;
  for (const auto& file : fs::directory_iterator(dir)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(entry(bytes.data(), bytes.size()), "") << file.path();
    ++replayed;
  }
  return replayed;
}

TEST(FuzzReplay, DamagedFilesOpenOrFailCleanly) { RecordProperty("inputs", Replay("open_file", OpenAndReadFile)); }
TEST(FuzzReplay, StatementsFailCleanlyOrKeepTheFileConsistent) {
  RecordProperty("inputs", Replay("statements", RunStatements));
}
TEST(FuzzReplay, TextsSurviveTheCodec) { RecordProperty("inputs", Replay("codec", RoundTripTexts)); }

}  // namespace
}  // namespace reliability::fuzz
