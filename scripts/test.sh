#!/usr/bin/env bash
# Builds Vellion, runs the static checks (layers, formatting, clang-tidy)
# and every test: unit and system tests, the seed corpora,
# the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for FUZZ_SECONDS (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELL_WERROR=ON
scripts/lint.sh build
scripts/build-demo.sh  # the demo's unity build must keep compiling
ctest --test-dir build --output-on-failure

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELL_WERROR=ON -DVELL_SANITIZE=ON -DVELL_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure

CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELL_FUZZ=ON
seconds=${FUZZ_SECONDS:-30}
for target in build-fuzz/tests/fuzz/fuzz_*; do
  name=$(basename "$target")
  corpus=tests/fuzz/corpus/${name#fuzz_}
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds}s"
  TMPDIR=$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp ) "$target" -max_total_time="$seconds" -print_final_stats=0 "$work" 2>&1 | tail -n 2
  rm -rf "$work"
done
echo "all tests passed"
