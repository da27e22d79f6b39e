#!/usr/bin/env bash
# Resident memory of vellmain while NAMES distinct names (default 2,000,000)
# are asked through it once each: vellmain forwards to NSD, which answers
# every name under bench.test from a wildcard, so each name adds a record
# to the cache until the CacheRecords bound (200,000 by default) holds it.
# Prints resident memory every 10 s, then the figure against the bound.
# Run on demand: bench/cache_bound.sh [names]
set -euo pipefail
cd "$(dirname "$0")/.."
names=${1:-2000000}
. bench/lib.sh

bench_setup dnsperf nsd
vell=${VELL_BIN:-build-bench/vellmain}
{
  echo '@ IN SOA ns1.bench.test. hostmaster.bench.test. ( 1 3600 600 86400 3600 )'
  echo '@ IN NS ns1.bench.test.'
  echo 'ns1 IN A 127.0.0.1'
  echo '* IN A 10.1.2.3'
} >"$work/zone"
# Not on 127.0.0.1: vellmain never forwards to an address of its own.
NSD_ADDRESS=127.0.0.5 spawn_nsd 5510 "$work/zone"
seq 1 "$names" | awk '{printf "n%d.bench.test A\n", $1}' | shuf >"$work/queries"

mkdir -p "$work/vell"
printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nMaxActDNSReq: 1000\r\nRecursionOut: YES\r\nNS: 127.0.0.5\r\n' \
  >"$work/vell/vellion.ini"
spawn taskset -c 0 "$vell" -n --home "$work/vell" --dns-port 5511 --peer-port 5510 --console off
vell_pid=$!
wait_udp 5511 ns1.bench.test
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$vell_pid/status"; }
base=$(rss)
echo "resident before: $base kB"

taskset -c 1 dnsperf -s 127.0.0.1 -p 5511 -d "$work/queries" -n 1 -c 8 -q 500 -t 5 >"$work/dnsperf.out" 2>&1 &
perf_pid=$!
peak=$base
while kill -0 "$perf_pid" 2>/dev/null; do
  sleep 10
  now=$(rss)
  [ "$now" -gt "$peak" ] && peak=$now
  echo "resident $now kB"
done
wait "$perf_pid" || true
grep -E 'Queries (sent|completed|lost|per second)|Run time' "$work/dnsperf.out"
final=$(rss)
echo "resident: before $base kB, peak $peak kB, after $final kB"
echo "growth $((peak - base)) kB for at most 200,000 cached records: $(((peak - base) * 1024 / 200000)) octets a record"
