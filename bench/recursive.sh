#!/usr/bin/env bash
# Cache-hit answers per second of caching forwarders: vellmain, Unbound,
# PowerDNS Recursor and dnsmasq, each single-threaded on core 0 and
# forwarding to NSD (bench.test., 10,000 names), the cache warmed first,
# loaded by dnsperf on core 1, in one run. Prints rate, CPU share, rate per
# server core, the median latency at a fixed 20,000 queries a second and
# the ratios. Then the time to resolve the first name through a loopback
# tree (root 127.0.0.2, test. 127.0.0.3, bench.test. 127.0.0.4, all on
# port 53) from a fresh start, by vellmain and by Unbound.
# Run on demand: bench/recursive.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
. bench/lib.sh

bench_setup dnsperf nsd unbound pdns-recursor dnsmasq-base bc

# The tree, one NSD per server address, on core 1 beside dnsperf.
soa='@ IN SOA ns.test. hostmaster.test. ( 1 3600 600 86400 3600 )'
mkdir -p "$work/root" "$work/tld" "$work/bench"
printf '$TTL 3600\n%s\n@ NS a.root.\na.root. A 127.0.0.2\ntest. NS ns.test.\nns.test. A 127.0.0.3\n' "$soa" >"$work/root/zone"
printf '$TTL 3600\n%s\n@ NS ns.test.\nns A 127.0.0.3\nbench NS ns.bench\nns.bench A 127.0.0.4\n' "$soa" >"$work/tld/zone"
{
  printf '$TTL 3600\n%s\n@ NS ns\nns A 127.0.0.4\n' "$soa"
  for i in $(seq 1 10000); do echo "host$i A 10.$((i / 65536)).$((i / 256 % 256)).$((i % 256))"; done
} >"$work/bench/zone"
for entry in "root 127.0.0.2 ." "tld 127.0.0.3 test." "bench 127.0.0.4 bench.test."; do
  set -- $entry
  cat >"$work/$1/nsd.conf" <<CONF
server:
  ip-address: $2@53
  server-count: 1
  username: ""
  database: ""
  pidfile: "$work/$1/nsd.pid"
  xfrdfile: "$work/$1/xfrd.state"
  zonelistfile: "$work/$1/zone.list"
  verbosity: 0
remote-control:
  control-enable: no
zone:
  name: "$3"
  zonefile: "$work/$1/zone"
CONF
  spawn taskset -c 1 nsd -d -c "$work/$1/nsd.conf"
done
printf '.  3600000 NS A.ROOT.\r\nA.ROOT. 3600000 A 127.0.0.2\r\n' >"$work/named.root"
for i in $(seq 1 10000); do echo "host$i.bench.test A"; done | shuf >"$work/queries"

# vellmain: forwarding, logging off.
mkdir -p "$work/vell"
printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\nMaxActDNSReq: 1000\r\nRecursionOut: YES\r\nNS: 127.0.0.4\r\n' \
  >"$work/vell/vellion.ini"
spawn taskset -c 0 "${VELL_BIN:-build-bench/vellmain}" -n --home "$work/vell" --dns-port 5501 --console off
vell_pid=$!

spawn_unbound 5502 127.0.0.4@53 64m
unbound_pid=$!

mkdir -p "$work/pdns"
spawn taskset -c 0 pdns_recursor --local-address=127.0.0.1 --local-port=5503 --threads=1 \
  --pdns-distributes-queries=no --forward-zones=bench.test=127.0.0.4 --socket-dir="$work/pdns" \
  --config-dir="$work/pdns" --max-cache-entries=100000 --loglevel=0 --daemon=no --dnssec=off
pdns_pid=$!

spawn taskset -c 0 dnsmasq -k --no-resolv --no-hosts --listen-address=127.0.0.1 --bind-interfaces -p 5504 \
  --server=/bench.test/127.0.0.4 --cache-size=20000 --pid-file="$work/dnsmasq.pid" --user=root
dnsmasq_pid=$!

for port in 5501 5502 5503 5504; do wait_udp "$port" host1.bench.test; done

printf '%-10s %12s %10s %16s %9s %9s %14s\n' server "queries/s" "cpu share" "queries/s/core" \
  "user us" "kernel us" "ms at 20k q/s"
declare -A per_core
for entry in "vellmain 5501 $vell_pid" "unbound 5502 $unbound_pid" "pdns 5503 $pdns_pid" "dnsmasq 5504 $dnsmasq_pid"; do
  set -- $entry
  SERVER_PID=$3
  taskset -c 1 dnsperf -s 127.0.0.1 -p "$2" -d "$work/queries" -n 1 -q 50 >/dev/null 2>&1  # warm the cache
  read -r qps share user_us kernel_us < <(run_dnsperf "$2" "$work/queries" "$seconds")
  per_core[$1]=$(echo "1000000 / ($user_us + $kernel_us)" | bc -l)
  latency=$(run_latency "$2" "$work/queries" 5 20000)
  printf '%-10s %12.0f %10.2f %16.0f %9.2f %9.2f %14s\n' "$1" "$qps" "$share" "${per_core[$1]}" \
    "$user_us" "$kernel_us" "$latency"
  result cache_hit_qps_per_core "$1" "$(printf '%.0f' "${per_core[$1]}")"
  result cache_hit_cpu_share "$1" "$(printf '%.2f' "$share")"
  result cache_hit_user_us "$1" "$(printf '%.2f' "$user_us")"
  result cache_hit_kernel_us "$1" "$(printf '%.2f' "$kernel_us")"
  result cache_hit_latency_ms "$1" "$latency"
done
for peer in unbound pdns dnsmasq; do
  printf 'vellmain / %-8s per core: %.2f\n' "$peer" "$(echo "${per_core[vellmain]} / ${per_core[$peer]}" | bc -l)"
done

# Cold names through the tree: each resolver starts with an empty cache, five
# times, and the median of its five first names is its figure (one first
# name moves by half a millisecond from start to start on this machine).
sed -e 's/@5502/@5512/' -e '/^forward-zone/,$d' -e "s|pidfile: .*|pidfile: \"$work/u2.pid\"|" "$work/unbound.conf" >"$work/ucold.conf"
tr -d '\r' <"$work/named.root" >"$work/unbound.root"
printf '  root-hints: "%s"\n  qname-minimisation: no\n' "$work/unbound.root" >>"$work/ucold.conf"
# The first name each asks walks the whole tree: root, test., bench.test.
echo "host7.bench.test A" >"$work/cold"
first_name_ms() {
  taskset -c 1 dnsperf -s 127.0.0.1 -p "$1" -d "$work/cold" -n 1 -c 1 -q 1 2>&1 |
    awk '/Queries completed:/ {done = $3} /Average Latency \(s\):/ {ms = $4 * 1000} END {if (done == 1) printf "%.3f\n", ms}'
}
declare -A cold
for start in 1 2 3 4 5; do
  rm -rf "$work/vcold" && mkdir -p "$work/vcold"
  cp "$work/named.root" "$work/vcold/"
  printf 'StartMini: YES\r\nDNSBind: 127.0.0.1\r\n' >"$work/vcold/vellion.ini"
  spawn taskset -c 0 "${VELL_BIN:-build-bench/vellmain}" -n --home "$work/vcold" --dns-port 5511 --console off
  vcold_pid=$!
  spawn taskset -c 0 unbound -d -c "$work/ucold.conf"
  ucold_pid=$!
  sleep 2
  cold[vellmain]+="$(first_name_ms 5511) "
  cold[unbound]+="$(first_name_ms 5512) "
  kill_tree "$vcold_pid"
  kill_tree "$ucold_pid"
done
for server in vellmain unbound; do
  ms=$(printf '%s\n' ${cold[$server]} | sort -g | awk '{v[NR] = $1} END {if (NR == 5) print v[3]}')
  [ -n "$ms" ] || { echo "$server: a cold name went unanswered (${cold[$server]})"; continue; }
  printf '%-10s first name through the tree, median of 5 starts: %s ms (%s)\n' "$server" "$ms" "${cold[$server]% }"
  result cold_first_name_ms "$server" "$ms"
done
