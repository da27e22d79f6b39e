#!/usr/bin/env bash
# Full DHCP exchanges (DISCOVER, OFFER, REQUEST, ACK) per second for CLIENTS
# distinct clients, 64 at a time: vellmain, dnsmasq and Kea, each on core 0
# in a server namespace, the load generator (bench/dhcp_load.cpp) on core 1
# in a client namespace, joined by a veth pair on the benchmarking range
# 198.18.0.0/16. Then the time from a client's ACK to its name answering in
# DNS, for 200 new clients one at a time (vellmain and dnsmasq; Kea has no
# DNS of its own). The namespaces are removed on exit.
# Run on demand: bench/dhcp.sh [clients]
set -euo pipefail
cd "$(dirname "$0")/.."
clients=${1:-5000}
. bench/lib.sh

bench_setup dnsmasq-base kea-dhcp4-server bc
vell=${VELL_BIN:-$PWD/build-bench/vellmain}
srv=vbench-s$$
cli=vbench-c$$
cleanup() {
  bench_cleanup
  ip netns del "$srv" 2>/dev/null || true
  ip netns del "$cli" 2>/dev/null || true
}
trap cleanup EXIT
g++ -O2 -std=c++20 -o "$work/dhcp_load" bench/dhcp_load.cpp

ip netns add "$srv"
ip netns add "$cli"
ip link add vs0 netns "$srv" type veth peer vc0 netns "$cli"
ip -n "$srv" addr add 198.18.0.1/16 dev vs0
ip -n "$cli" addr add 198.18.255.250/16 dev vc0
for ns in "$srv" "$cli"; do
  ip -n "$ns" link set lo up
done
ip -n "$srv" link set vs0 up
ip -n "$cli" link set vc0 up
from=198.18.1.0
to=198.18.40.255 # 10,240 addresses

# run NAME DNS_DOMAIN: the throughput run, then (with a domain) the DNS delays,
# for the server started last ($SERVER_PID).
run() {
  local hz before after start end out
  hz=$(getconf CLK_TCK)
  sleep 2
  before=$(cpu_ticks "$SERVER_PID")
  start=$(date +%s.%N)
  out=$(ip netns exec "$cli" taskset -c 1 "$work/dhcp_load" vc0 198.18.0.1 0 - "$clients" 64 || true)
  end=$(date +%s.%N)
  after=$(cpu_ticks "$SERVER_PID")
  rate=$(echo "$out" | awk '{print $8}')
  share=$(echo "($after - $before) / $hz / ($end - $start)" | bc -l)
  printf '%-8s %s cpu %.2f per-core %.0f\n' "$1" "$out" "$share" "$(echo "$rate / $share" | bc -l)"
  eval "rate_$1=$(echo "$rate / $share" | bc -l)"
  if [ -n "$2" ]; then
    printf '%-8s ACK to DNS: %s\n' "$1" \
      "$(ip netns exec "$cli" taskset -c 1 "$work/dhcp_load" vc0 198.18.0.1 53 "$2" 200 1 100000 || true)"
  fi
  kill_tree "$SERVER_PID"
}

mkdir -p "$work/vell"
printf '%s\r\n' "StartMini: YES" \
  "DHCP: 198.18.0.1 lan $from $to 255.255.0.0 0.0.0.0 3600" >"$work/vell/vellion.ini"
spawn ip netns exec "$srv" taskset -c 0 "$vell" -n --home "$work/vell" --console off
SERVER_PID=$!
run vellmain lan

spawn ip netns exec "$srv" taskset -c 0 dnsmasq -k --conf-file=/dev/null --interface=vs0 --port=53 --no-resolv \
  --no-hosts --no-ping --quiet-dhcp --log-facility="$work/dnsmasq.log" --domain=lan --dhcp-authoritative --dhcp-lease-max=20000 --user=root \
  --dhcp-range="$from,$to,255.255.0.0,1h" --dhcp-leasefile="$work/dnsmasq.leases" --pid-file="$work/dnsmasq.pid"
SERVER_PID=$!
run dnsmasq lan

cat >"$work/kea.json" <<CONF
{ "Dhcp4": {
  "interfaces-config": { "interfaces": [ "vs0" ], "dhcp-socket-type": "raw" },
  "lease-database": { "type": "memfile", "persist": true, "name": "$work/kea.leases", "lfc-interval": 0 },
  "valid-lifetime": 3600,
  "subnet4": [ { "id": 1, "subnet": "198.18.0.0/16", "pools": [ { "pool": "$from - $to" } ] } ],
  "loggers": [ { "name": "kea-dhcp4", "severity": "ERROR", "output_options": [ { "output": "stderr" } ] } ]
} }
CONF
KEA_PIDFILE_DIR=$work KEA_LOCKFILE_DIR=none spawn ip netns exec "$srv" taskset -c 0 kea-dhcp4 -c "$work/kea.json"
SERVER_PID=$!
run kea ""

best=$(echo "if ($rate_dnsmasq > $rate_kea) $rate_dnsmasq else $rate_kea" | bc -l)
printf 'vellmain / faster peer (per core): %.2f\n' "$(echo "$rate_vellmain / $best" | bc -l)"
