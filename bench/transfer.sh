#!/usr/bin/env bash
# Zone transfer time: one zone of N records (default 100,000) transferred
# to a BIND secondary from vellmain, Knot and NSD in one run. Each transfer
# is run three times (a fresh named each time) and the best of the times
# BIND reports for it is kept. Prints the times, the record counts and the
# ratios to the peers. The primaries share core 0, named and dig core 1.
# Run on demand: bench/transfer.sh [records]
# (VELL_BIN=build/vellmain uses an existing build instead of build-bench.)
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-100000}
. bench/lib.sh

bench_setup nsd knot bind9 bc
vell=${VELL_BIN:-build-bench/vellmain}

zone=$work/bench.test.zone
python3 bench/make_zone.py "$records" >"$zone"

# vellmain: logging off, any address may transfer.
mkdir -p "$work/vell/data"
{ echo '; NotSecure'; cat "$zone"; } >"$work/vell/data/bench.test.dns"
printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nLogDetail: NO\r\n' >"$work/vell/vellion.ini"
spawn taskset -c 0 "$vell" -n --home "$work/vell" --dns-port 5411 --console off

spawn_nsd 5412 "$zone" "provide-xfr: 127.0.0.1 NOKEY"

spawn_knot 5413 "$zone" 127.0.0.1

for port in 5411 5412 5413; do wait_udp "$port" ns1.bench.test; done

# to_bind PORT -> "seconds records" of the fastest of three transfers to a
# BIND secondary, as BIND reports them ("Transfer completed: ... N records,
# ... S secs").
to_bind() {
  local best="" count="" run d line t n
  for run in 1 2 3; do
    d=$work/bind-$1-$run
    mkdir -p "$d"
    cat >"$d/named.conf" <<CONF
options { directory "$d"; pid-file "$d/pid"; session-keyfile "$d/key"; managed-keys-directory "$d";
  listen-on port 5414 { 127.0.0.1; }; listen-on-v6 { none; }; recursion no; notify no; };
controls { };
zone "bench.test" { type secondary; primaries { 127.0.0.1 port $1; }; file "$d/copy"; };
CONF
    : >"$d/log"
    taskset -c 1 named -g -n 1 -c "$d/named.conf" >"$d/log" 2>&1 &
    local named=$!
    for _ in $(seq 1 600); do
      line=$(grep -m1 "Transfer completed" "$d/log" || true)
      [ -n "$line" ] && break
      sleep 0.1
    done
    kill_tree "$named"
    wait "$named" 2>/dev/null || true
    [ -n "$line" ] || { echo "no transfer from port $1" >&2; return 1; }
    t=$(echo "$line" | sed 's/.* \([0-9.]*\) secs.*/\1/')
    n=$(echo "$line" | sed 's/.* \([0-9]*\) records.*/\1/')
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t count=$n; fi
  done
  echo "$best $count"
}

printf '%-10s %10s %10s\n' server seconds records
declare -A secs
for entry in "vellmain 5411" "knot 5413" "nsd 5412"; do
  set -- $entry
  read -r t n < <(to_bind "$2")
  secs[$1]=$t
  printf '%-10s %10.3f %10d\n' "$1" "$t" "$n"
done
printf 'vellmain / knot time: %.2f\n' "$(echo "${secs[vellmain]} / ${secs[knot]}" | bc -l)"
printf 'vellmain / nsd  time: %.2f\n' "$(echo "${secs[vellmain]} / ${secs[nsd]}" | bc -l)"
