#!/usr/bin/env bash
# Static checks on the product's sources: the layer order, the formatting
# (.clang-format) and clang-tidy (.clang-tidy, any warning fails).
# scripts/lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/check-layers.py

mapfile -t sources < <(git ls-files '*.cpp' '*.h' | grep -vE '^tests/fuzz/corpus/')
clang-format --dry-run --Werror "${sources[@]}"

folders=$(sed -n 's/^\([a-z_]*\):.*/\1/p' layers.txt | paste -sd'|')
run-clang-tidy -p "$build" -quiet -warnings-as-errors='*' "^$(pwd)/($folders)/" >"$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" | sort -u
  echo "clang-tidy found the warnings above"
  exit 1
}
echo "lint passed"
