// libFuzzer target: see fuzz_entries.h (RunStatements).
#include <cstdio>
#include <cstdlib>

#include "tests/reliability/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = reliability::fuzz::RunStatements(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
