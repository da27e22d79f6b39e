#!/usr/bin/env bash
# Zone transfer time: one zone of N records (default 100,000) transferred
# with `dig AXFR` over TCP from vellmain, Knot and NSD in one run; each
# transfer is run three times and the best wall time is kept. Prints the
# times, the record counts and the ratios to the peers.
# Run on demand: bench/transfer.sh [records]
# (VELL_BIN=build/vellmain uses an existing build instead of build-bench.)
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-100000}
. bench/lib.sh

bench_setup nsd knot bc
vell=${VELL_BIN:-build-bench/vellmain}

zone=$work/bench.test.zone
python3 bench/make_zone.py "$records" >"$zone"

# vellmain: logging off, any address may transfer.
mkdir -p "$work/vell/data"
{ echo '; NotSecure'; cat "$zone"; } >"$work/vell/data/bench.test.dns"
printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nLogDetail: NO\r\n' >"$work/vell/vellion.ini"
spawn taskset -c 0 "$vell" -n --home "$work/vell" --dns-port 5411

mkdir -p "$work/nsd"
cat >"$work/nsd/nsd.conf" <<CONF
server:
  ip-address: 127.0.0.1@5412
  server-count: 1
  username: ""
  zonesdir: "$work"
  database: ""
  pidfile: "$work/nsd/nsd.pid"
  xfrdfile: "$work/nsd/xfrd.state"
  zonelistfile: "$work/nsd/zone.list"
  verbosity: 0
remote-control:
  control-enable: no
zone:
  name: bench.test
  zonefile: "$zone"
  provide-xfr: 127.0.0.1 NOKEY
CONF
spawn taskset -c 0 nsd -d -c "$work/nsd/nsd.conf"

mkdir -p "$work/knot/db"
cat >"$work/knot/knot.conf" <<CONF
server:
  listen: 127.0.0.1@5413
  rundir: "$work/knot"
  udp-workers: 1
  tcp-workers: 1
  background-workers: 1
database:
  storage: "$work/knot/db"
log:
  - target: stderr
    any: error
acl:
  - id: local
    address: 127.0.0.1
    action: transfer
zone:
  - domain: bench.test
    file: "$zone"
    acl: local
CONF
spawn taskset -c 0 knotd -c "$work/knot/knot.conf"

for port in 5411 5412 5413; do wait_udp "$port" ns1.bench.test; done

# axfr PORT -> "seconds records" of the fastest of three transfers
axfr() {
  local best="" start end count t
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    count=$(taskset -c 1 dig +tcp +time=60 +tries=1 @127.0.0.1 -p "$1" bench.test AXFR +nocmd +nostats |
      grep -vc '^;\|^$' || true)
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best $count"
}

printf '%-10s %10s %10s\n' server seconds records
declare -A secs
for entry in "vellmain 5411" "knot 5413" "nsd 5412"; do
  set -- $entry
  read -r t n < <(axfr "$2")
  secs[$1]=$t
  printf '%-10s %10.3f %10d\n' "$1" "$t" "$n"
done
printf 'vellmain / knot time: %.2f\n' "$(echo "${secs[vellmain]} / ${secs[knot]}" | bc -l)"
printf 'vellmain / nsd  time: %.2f\n' "$(echo "${secs[vellmain]} / ${secs[nsd]}" | bc -l)"
