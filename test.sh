#!/usr/bin/env bash
# Installs what is missing, builds both programs, runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

install_linux_build
install_windows_build
install_test_tools

echo "== building the Windows program (mingw-w64, i686)"
build_preset windows
build_preset windows-jet
# The same program for x86-64, which Wine can run on this kind of machine.
build_preset windows-x64
build_preset windows-jet-x64
echo "== building the Linux program"
build_preset linux

echo "== running the tests"
export NORVANE_WINDOWS_BUILD="$PWD/build/windows" NORVANE_WINDOWS_JET_BUILD="$PWD/build/windows-jet"
ctest --test-dir build/linux --output-on-failure -j"$(jobs)" --timeout 600 -LE bench

# The benchmark's quick run proves the harness works: every contender gives
# the right answer.  Its durations are printed, never judged.
echo "== the benchmark harness, quick"
ctest --test-dir build/linux --output-on-failure --timeout 900 -L bench

if [ "${NORVANE_SANITIZE_RUN:-${CI:-}}" = "true" ]; then
  echo "== the suite again under AddressSanitizer and UndefinedBehaviorSanitizer"
  build_preset sanitize
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  # The 100,000-row agreement run has been made above; under the sanitizers
  # the same code paths at 10,000 rows take minutes instead of a quarter-hour.
  export NORVANE_AGREEMENT_ROWS="${NORVANE_AGREEMENT_ROWS:-10000}"
  ctest --test-dir build/sanitize --output-on-failure -j"$(jobs)" --timeout 900 -LE "nosanitize|bench"
fi
