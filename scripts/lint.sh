#!/usr/bin/env bash
# Static checks on the product's sources: the layer order, no reference to
# the design documents' numbering in code or tests, the formatting
# (.clang-format) and clang-tidy (.clang-tidy, any warning fails).
# scripts/lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/check-layers.py

# Code and tests speak for themselves: they say why, not which paragraph of
# a document they follow.
references=$(git ls-files -- '*.cpp' '*.h' '*.py' '*.sh' '*.txt' '*.pod' | grep -vE '^tests/fuzz/corpus/' |
  xargs grep -nE '\bPart [0-9]+\.[0-9]|\bspec(ification)?\b|\bDESIGN\.md\b' -- || true)
if [ -n "$references" ]; then
  echo "$references"
  echo "references to the design documents above"
  exit 1
fi

mapfile -t sources < <(git ls-files '*.cpp' '*.h' | grep -vE '^tests/fuzz/corpus/')
clang-format --dry-run --Werror "${sources[@]}"

folders=$(sed -n 's/^\([a-z_]*\):.*/\1/p' layers.txt | paste -sd'|')
ours="^$(pwd)/($folders)/"
run-clang-tidy -p "$build" -quiet -header-filter="$ours" "$ours" >"$build/clang-tidy.log" 2>&1 || true
# Only findings in our own files count (the counts of suppressed findings in
# system headers do not); the tool colours its output.
if sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E '^/.*: (warning|error): ' | sort -u | grep .; then
  echo "clang-tidy found the findings above"
  exit 1
fi
echo "lint passed"
