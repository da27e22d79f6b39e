#!/usr/bin/env bash
# Authoritative answers per second: one zone of BENCH_NAMES names (10,000
# by default; one query in twenty for a missing name) served by vellmain,
# NSD and Knot, each with one thread pinned to core 0, loaded by dnsperf
# pinned to core 1, in one run. Prints the rate, the server's CPU share, the
# rate per server core, the median latency at a fixed 20,000 queries a
# second and the resident memory, and the ratios to the peers.
# Run on demand: bench/authoritative.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
. bench/lib.sh

bench_setup dnsperf nsd knot bc

# The zone and the query list.
zone=$work/bench.test.zone
{
  echo '$TTL 3600'
  bench_zone_records
} >"$zone"
bench_queries >"$work/queries"

# vellmain: logging off, no console output.
mkdir -p "$work/vell/data"
sed 's/^\$TTL.*//' "$zone" >"$work/vell/data/bench.test.dns"
printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nLogDetail: NO\r\nMaxActDNSReq: 1000\r\n' >"$work/vell/vellion.ini"
spawn taskset -c 0 "${VELL_BIN:-build-bench/vellmain}" -n --home "$work/vell" --dns-port 5401 --console off
vell_pid=$!

# NSD, one server process.
spawn_nsd 5402 "$zone"
nsd_pid=$!

# Knot, one UDP worker.
spawn_knot 5403 "$zone"
knot_pid=$!

# A large zone takes a while to load.
WAIT_TENTHS=1200
wait_udp 5401 host1.bench.test
wait_udp 5402 host1.bench.test
wait_udp 5403 host1.bench.test

names=${BENCH_NAMES:-10000}
printf '%-10s %12s %10s %16s %9s %9s %14s %10s\n' server "queries/s" "cpu share" "queries/s/core" \
  "user us" "kernel us" "ms at 20k q/s" "MB"
declare -A per_core
for entry in "vellmain 5401 $vell_pid" "nsd 5402 $nsd_pid" "knot 5403 $knot_pid"; do
  set -- $entry
  SERVER_PID=$3
  run_dnsperf "$2" "$work/queries" 2 >/dev/null  # warm-up
  read -r qps share user_us kernel_us < <(run_dnsperf "$2" "$work/queries" "$seconds")
  per_core[$1]=$(echo "1000000 / ($user_us + $kernel_us)" | bc -l)
  latency=$(run_latency "$2" "$work/queries" 5 20000)
  mb=$(($(rss_kb "$3") / 1024))
  printf '%-10s %12.0f %10.2f %16.0f %9.2f %9.2f %14s %10d\n' "$1" "$qps" "$share" "${per_core[$1]}" \
    "$user_us" "$kernel_us" "$latency" "$mb"
  result "auth_${names}_qps_per_core" "$1" "$(printf '%.0f' "${per_core[$1]}")"
  result "auth_${names}_cpu_share" "$1" "$(printf '%.2f' "$share")"
  result "auth_${names}_user_us" "$1" "$(printf '%.2f' "$user_us")"
  result "auth_${names}_kernel_us" "$1" "$(printf '%.2f' "$kernel_us")"
  result "auth_${names}_latency_ms" "$1" "$latency"
  result "auth_${names}_rss_mb" "$1" "$mb"
done
printf 'vellmain / nsd  per core: %.2f\n' "$(echo "${per_core[vellmain]} / ${per_core[nsd]}" | bc -l)"
printf 'vellmain / knot per core: %.2f\n' "$(echo "${per_core[vellmain]} / ${per_core[knot]}" | bc -l)"
