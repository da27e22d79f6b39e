#!/usr/bin/env bash
# What the operator console costs: authoritative answers per second per
# server core of vellmain (the 10,000-name zone of authoritative.sh, core 0,
# dnsperf on core 1) with the console off, and with the console open and a
# page's worth of polling (the state with the 150 log lines, once a second).
# The log window is open in both runs (StartMini: NO) so that the polled log
# is live. Runs alternate, three of each, and the medians are compared.
# Run on demand: bench/console.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
. bench/lib.sh

bench_setup dnsperf bc curl
vell=${VELL_BIN:-build-bench/vellmain}

mkdir -p "$work/vell/data"
bench_zone_records >"$work/vell/data/bench.test.dns"
bench_queries >"$work/queries"
printf 'StartMini: NO\r\nDNSBind: 127.0.0.1\r\nLogDetail: NO\r\nMaxActDNSReq: 1000\r\n' >"$work/vell/vellion.ini"

# run MODE -> prints queries/s per server core; MODE is "off" or "polled".
run() {
  local console=off poller=
  [ "$1" = polled ] && console=127.0.0.1:5481
  spawn taskset -c 0 "$vell" -n --home "$work/vell" --dns-port 5401 --console "$console"
  SERVER_PID=$!
  wait_udp 5401 host1.bench.test
  if [ "$1" = polled ]; then
    # The page's poll, bounded to the run's length and a margin.
    spawn taskset -c 1 bash -c "for i in \$(seq 1 $((seconds + 10))); do
      curl -s -o /dev/null -H 'Cookie: vellion_5481='\$(cat '$work/vell/console.token') http://127.0.0.1:5481/api/state
      sleep 1; done"
    poller=$!
  fi
  run_dnsperf 5401 "$work/queries" 2 >/dev/null  # warm-up
  read -r qps share _ < <(run_dnsperf 5401 "$work/queries" "$seconds")
  [ -n "$poller" ] && kill_tree "$poller"
  kill_tree "$SERVER_PID"
  echo "$qps / $share" | bc -l
}

median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

off=() polled=()
for round in 1 2 3; do
  off+=("$(run off)")
  polled+=("$(run polled)")
  printf 'round %d: console off %8.0f   console polled %8.0f  queries/s/core\n' "$round" "${off[-1]}" "${polled[-1]}"
done
m_off=$(median "${off[@]}")
m_polled=$(median "${polled[@]}")
printf 'median: off %.0f, polled %.0f; polled / off = %.3f\n' "$m_off" "$m_polled" "$(echo "$m_polled / $m_off" | bc -l)"
