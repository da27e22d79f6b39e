#!/usr/bin/env bash
# Loads one zone file of 1,000,000 records (names in shuffled order) with
# vellmain's loader, NSD's nsd-checkzone and Knot's kzonecheck, and prints
# the times. Run on demand: bench/zone_load.sh [records]
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-1000000}
zone=bench.test.
. bench/lib.sh

need() { command -v "$1" >/dev/null || { apt-get update -qq && apt-get install -y -qq "$2" >/dev/null; }; }
need nsd-checkzone nsd
need kzonecheck knot-dnssecutils
[ -e /usr/include/benchmark/benchmark.h ] || apt-get install -y -qq libbenchmark-dev >/dev/null

# VELL_BENCH_DIR names a build that has bench_zone_load already.
bench_dir=${VELL_BENCH_DIR:-build-bench}
if [ -z "${VELL_BENCH_DIR:-}" ]; then
  cmake -G Ninja -B build-bench -DCMAKE_BUILD_TYPE=Release -DVELL_BENCH=ON >/dev/null
  ninja -C build-bench -j2 bench_zone_load >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vell-zone-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/data"
file="$work/data/${zone}dns"
python3 bench/make_zone.py "$records" >"$file"
echo "zone file: $(wc -l <"$file") lines, $(du -h "$file" | cut -f1)"

# Wall-clock seconds and peak resident memory of one command.
timed() {
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
  read -r secs kb <"$work/time"
  printf '%-28s %8.2f s %8d MB\n' "$label" "$secs" $((kb / 1024))
  echo "$secs" >"$work/$label.secs"
  result zone_load_s "$label" "$secs"
  result zone_load_rss_mb "$label" $((kb / 1024))
}

echo "--- vellmain LoadZone (Google Benchmark, 3 loads in one process)"
VELL_BENCH_HOME=$work VELL_BENCH_ZONE=$zone "$bench_dir"/bench/bench_zone_load --benchmark_repetitions=3
echo "--- whole process, one load each"
timed vellmain env VELL_BENCH_HOME="$work" VELL_BENCH_ZONE=$zone \
  "$bench_dir"/bench/bench_zone_load
timed nsd-checkzone nsd-checkzone "$zone" "$file"
timed kzonecheck kzonecheck -o "$zone" "$file"
for peer in nsd-checkzone kzonecheck; do
  awk -v v="$(cat "$work/vellmain.secs")" -v p="$(cat "$work/$peer.secs")" -v n="$peer" \
    'BEGIN { printf "vellmain / %s: %.2f\n", n, v / p }'
done
