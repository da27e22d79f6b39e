#!/usr/bin/env bash
# Resident memory of caching resolvers while NAMES distinct names (default
# 1,000,000) are asked through each once: each forwards to NSD, which
# answers every name under bench.test from a wildcard, so each name adds a
# record to the cache. Prints resident memory every 10 s and the growth per
# name. vellmain's CacheRecords bound is NAMES plus room for the rest unless
# CACHE_RECORDS sets it: with CACHE_RECORDS=200000 and 2,000,000 names the
# run shows the bound holding memory flat. Unbound's caches get room for
# every name.
# Run on demand: bench/cache_memory.sh [names] [server ...] (vellmain unbound)
set -euo pipefail
cd "$(dirname "$0")/.."
names=${1:-1000000}
shift || true
servers=${*:-vellmain unbound}
. bench/lib.sh

bench_setup dnsperf nsd unbound
{
  echo '@ IN SOA ns1.bench.test. hostmaster.bench.test. ( 1 3600 600 86400 3600 )'
  echo '@ IN NS ns1.bench.test.'
  echo 'ns1 IN A 127.0.0.1'
  echo '* IN A 10.1.2.3'
} >"$work/zone"
# Not on 127.0.0.1: vellmain never forwards to an address of its own.
NSD_ADDRESS=127.0.0.5 spawn_nsd 5510 "$work/zone"
seq 1 "$names" | awk '{printf "n%d.bench.test A\n", $1}' | shuf >"$work/queries"

start_vellmain() {
  mkdir -p "$work/vell"
  printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nMaxActDNSReq: 1000\r\nRecursionOut: YES\r\nNS: 127.0.0.5\r\nCacheRecords: %s\r\n' \
    "${CACHE_RECORDS:-$((names + 1000))}" >"$work/vell/vellion.ini"
  spawn taskset -c 0 "${VELL_BIN:-build-bench/vellmain}" -n --home "$work/vell" --dns-port 5511 --peer-port 5510 --console off
}
start_unbound() {
  spawn_unbound 5511 127.0.0.5@5510 4g
}

for server in $servers; do
  "start_$server"
  pid=$!
  wait_udp 5511 ns1.bench.test
  base=$(rss_kb "$pid")
  echo "$server resident before: $base kB"
  taskset -c 1 dnsperf -s 127.0.0.1 -p 5511 -d "$work/queries" -n 1 -c 8 -q 500 -t 5 >"$work/dnsperf.out" 2>&1 &
  perf_pid=$!
  peak=$base
  while kill -0 "$perf_pid" 2>/dev/null; do
    sleep 10
    now=$(rss_kb "$pid")
    [ "$now" -gt "$peak" ] && peak=$now
    echo "$server resident $now kB"
  done
  wait "$perf_pid" || true
  grep -E 'Queries (sent|completed|lost|per second)|Run time' "$work/dnsperf.out"
  completed=$(awk '/Queries completed:/ {print $3}' "$work/dnsperf.out")
  kept=$((completed < ${CACHE_RECORDS:-$completed} ? completed : ${CACHE_RECORDS:-$completed}))
  echo "$server resident: before $base kB, peak $peak kB, after $(rss_kb "$pid") kB"
  echo "$server growth $((peak - base)) kB for $kept cached names: $(((peak - base) * 1024 / kept)) octets a name"
  result cache_octets_per_name "$server" "$(((peak - base) * 1024 / kept))"
  kill_tree "$pid"
done
