#!/usr/bin/env bash
# Every measure at once, vellmain beside its peers in the same run: the
# authoritative rate per server core at 10,000 and 1,000,000 names, latency
# at a fixed rate, resident memory, cache hits, the first cold name through
# a loopback tree, memory per cached name and the load of a 1,000,000-record
# zone. Each server runs one worker pinned to core 0, the load generator on
# core 1. Prints one table with the ratios and writes the figures as CSV.
# Run after the README's test command: bench/run.sh [seconds] [csv file]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
csv=${2:-bench-results.csv}
export RESULTS
RESULTS=$(mktemp)
trap 'rm -f "$RESULTS"' EXIT

echo "=== authoritative, 10,000 names"
bench/authoritative.sh "$seconds"
echo "=== authoritative, 1,000,000 names"
BENCH_NAMES=1000000 bench/authoritative.sh "$seconds"
echo "=== cache hits and the first cold name"
bench/recursive.sh "$seconds"
echo "=== cache memory, 1,000,000 names"
bench/cache_memory.sh 1000000
echo "=== zone load, 1,000,000 records"
bench/zone_load.sh 1000000

{
  echo "measure,server,value"
  cat "$RESULTS"
} >"$csv"

# value MEASURE SERVER
value() { awk -F, -v m="$1" -v s="$2" '$1 == m && $2 == s {print $3}' "$RESULTS"; }
# row LABEL MEASURE PEER GOAL HIGHER: vellmain, the peer, vellmain / peer
# (or peer / vellmain when lower is better, so that above 1 is ahead), the goal.
row() {
  local v p ratio
  v=$(value "$2" vellmain)
  p=$(value "$2" "$3")
  if [ -z "$v" ] || [ -z "$p" ]; then
    printf '%-46s %-14s %12s %12s %8s  %s\n' "$1" "$3" "${v:--}" "${p:--}" "-" "$4"
    return
  fi
  if [ "$5" = higher ]; then ratio=$(echo "$v / $p" | bc -l); else ratio=$(echo "$p / $v" | bc -l); fi
  printf '%-46s %-14s %12s %12s %8.2f  %s\n' "$1" "$3" "$v" "$p" "$ratio" "$4"
}

echo
echo "=== summary (ratio above 1: vellmain ahead)"
printf '%-46s %-14s %12s %12s %8s  %s\n' measure peer vellmain peer ratio goal
row "authoritative q/s per core, 10k names" auth_10000_qps_per_core knot "1.3" higher
row "authoritative q/s per core, 10k names" auth_10000_qps_per_core nsd "1.5" higher
row "authoritative q/s per core, 1M names" auth_1000000_qps_per_core knot "1.3" higher
row "cache-hit q/s per core" cache_hit_qps_per_core unbound "2" higher
row "cache-hit q/s per core" cache_hit_qps_per_core pdns "2" higher
row "first cold name (ms)" cold_first_name_ms unbound "1" lower
row "authoritative median latency, 20k q/s (ms)" auth_10000_latency_ms nsd "1" lower
row "cache-hit median latency, 20k q/s (ms)" cache_hit_latency_ms unbound "1" lower
row "resident MB, 1M-name zone loaded" auth_1000000_rss_mb knot "1" lower
row "resident MB, 1M-name zone loaded" auth_1000000_rss_mb nsd "1" lower
row "resident octets per cached name, 1M names" cache_octets_per_name unbound "1" lower
row "zone load, 1M records, whole process (s)" zone_load_s kzonecheck "1" lower
row "zone load, 1M records, whole process (s)" zone_load_s nsd-checkzone "1" lower
v10=$(value auth_10000_qps_per_core vellmain)
v1m=$(value auth_1000000_qps_per_core vellmain)
[ -z "$v10" ] || [ -z "$v1m" ] ||
  printf '%-46s %-14s %12s %12s %8.2f  %s\n' "authoritative 1M / 10k names" "(itself)" "$v1m" "$v10" \
    "$(echo "$v1m / $v10" | bc -l)" "0.9"
# A server that used little of its core was not saturated by dnsperf: its
# rate per core counts its CPU time per query, which a busier server may
# spend differently (fewer wake-ups per query).
awk -F, '$1 ~ /cpu_share$/ && $3 < 0.8 {printf "note: %s ran at %s of a core in %s (dnsperf did not saturate it)\n", $2, $3, $1}' "$RESULTS"

# Where a query's time goes: the kernel's part (receiving and sending the
# datagrams) is the same work for every server, so it bounds any ratio.
echo
echo "=== CPU microseconds per query: user + kernel"
for measure in auth_10000 auth_1000000 cache_hit; do
  awk -F, -v m="$measure" '$1 == m "_user_us" {user[$2] = $3} $1 == m "_kernel_us" {kernel[$2] = $3}
    END {for (s in user) printf "%-14s %-10s %6.2f + %6.2f = %6.2f\n", m, s, user[s], kernel[s], user[s] + kernel[s]}' "$RESULTS"
done
echo "figures written to $csv"
