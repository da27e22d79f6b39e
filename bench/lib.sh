# Shared helpers of the benchmark scripts: CPU accounting of a process and a
# dnsperf run pinned to the client core.

# pid and all its descendants (NSD serves from forked grandchildren).
process_tree() {
  local pids=$1 frontier=$1 next
  while [ -n "$frontier" ]; do
    next=$(ps -e -o pid=,ppid= | awk -v parents=" $frontier " 'index(parents, " " $2 " ") {printf "%s ", $1}')
    pids="$pids $next"
    frontier=$(echo $next)
  done
  echo $pids
}

# Stops pid and every process below it, by process id; what still runs
# after half a second (an NSD server child left alone) is killed outright.
kill_tree() {
  local tree p
  tree=$(process_tree "$1")
  for p in $tree; do kill "$p" 2>/dev/null || true; done
  sleep 0.5
  for p in $tree; do kill -9 "$p" 2>/dev/null || true; done
}

# Clock ticks of user + system time used so far by pid and its descendants;
# with a second argument "user" or "system", that part alone.
cpu_ticks() {
  local total=0 p fields='$12 + $13'
  [ "${2:-}" != user ] || fields='$12'
  [ "${2:-}" != system ] || fields='$13'
  for p in $(process_tree "$1"); do
    # utime and stime, counted after the command name (which may hold blanks)
    [ -r "/proc/$p/stat" ] && total=$((total + $(sed 's/.*) //' "/proc/$p/stat" | awk "{print $fields}")))
  done
  echo "$total"
}

# run_dnsperf PORT QUERYFILE SECONDS -> prints "qps cpu_share user_us
# kernel_us" for server pid $SERVER_PID: the rate, the share of a core the
# server used, and its user and kernel microseconds per answered query. The
# rate per core is a million over those microseconds: dividing the rate by
# the share would count dnsperf's wait for lost queries at the end (up to 5 s)
# as idle time of the server.
run_dnsperf() {
  local port=$1 queries=$2 seconds=$3
  local hz user0 system0 user1 system1 start end out qps done
  hz=$(getconf CLK_TCK)
  user0=$(cpu_ticks "$SERVER_PID" user)
  system0=$(cpu_ticks "$SERVER_PID" system)
  start=$(date +%s.%N)
  out=$(taskset -c "${CLIENT_CORE:-1}" dnsperf -s 127.0.0.1 -p "$port" -d "$queries" -l "$seconds" -c 8 -q 200 2>&1)
  end=$(date +%s.%N)
  user1=$(cpu_ticks "$SERVER_PID" user)
  system1=$(cpu_ticks "$SERVER_PID" system)
  qps=$(echo "$out" | awk '/Queries per second:/ {print $4}')
  done=$(echo "$out" | awk '/Queries completed:/ {print $3}')
  echo "$qps $(echo "($user1 + $system1 - $user0 - $system0) / $hz / ($end - $start)" | bc -l)" \
    "$(echo "($user1 - $user0) / $hz * 1000000 / $done" | bc -l)" "$(echo "($system1 - $system0) / $hz * 1000000 / $done" | bc -l)"
}

# run_latency PORT QUERYFILE SECONDS RATE -> median latency in ms at a fixed
# rate of queries per second. The median, not the mean: this virtual machine
# stalls every server alike for about 15 ms a few times a minute, and one
# stall moves a 5-second mean by more than the servers differ.
run_latency() {
  taskset -c "${CLIENT_CORE:-1}" dnsperf -s 127.0.0.1 -p "$1" -d "$2" -l "$3" -Q "$4" -c 8 -q 200 -v 2>/dev/null |
    awk '/^> / {print $NF}' | sort -g | awk '{v[NR] = $1} END {printf "%.3f\n", v[int((NR + 1) / 2)] * 1000}'
}

# Resident kilobytes of pid and its descendants.
rss_kb() {
  local total=0 p kb
  for p in $(process_tree "$1"); do
    kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$p/status" 2>/dev/null || true)
    total=$((total + ${kb:-0}))
  done
  echo "$total"
}

# result MEASURE SERVER VALUE: one figure for bench/run.sh's table, when it
# collects them (RESULTS names its file).
result() {
  [ -z "${RESULTS:-}" ] || echo "$1,$2,$3" >>"$RESULTS"
}

# wait_udp PORT NAME: until the server answers NAME with an address (at most
# WAIT_TENTHS tenths of a second, 10 s by default), so that a peer answering from the wrong data is caught before it is
# measured.
wait_udp() {
  for _ in $(seq 1 "${WAIT_TENTHS:-100}"); do
    [ -n "$(dig +short +tries=1 +time=1 @127.0.0.1 -p "$1" "$2" A 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  echo "server on port $1 gave no address for $2" >&2
  return 1
}

# bench_setup PACKAGE...: installs the peers, builds a Release vellmain in
# build-bench (unless VELL_BIN names a vellmain already built), and makes $work, a scratch directory removed on exit together
# with every process started through spawn (stopped by process id).
bench_setup() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null
  done
  [ -n "${VELL_BIN:-}" ] || scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELL_BENCH=OFF
  work=$(mktemp -d)
  pids=()
  trap bench_cleanup EXIT
}

bench_cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill_tree "$pid"; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

# Starts a command in the background, output discarded; its pid is in $!.
spawn() {
  "$@" >/dev/null 2>&1 &
  pids+=($!)
}

# spawn_nsd PORT ZONEFILE [EXTRA_ZONE_LINE]: NSD, one server process on
# core 0, serving bench.test from ZONEFILE on $NSD_ADDRESS (127.0.0.1 by
# default); its pid is in $!.
spawn_nsd() {
  mkdir -p "$work/nsd"
  cat >"$work/nsd/nsd.conf" <<CONF
server:
  ip-address: ${NSD_ADDRESS:-127.0.0.1}@$1
  server-count: 1
  username: ""
  zonesdir: "$work"
  database: ""
  pidfile: "$work/nsd/nsd.pid"
  xfrdfile: "$work/nsd/xfrd.state"
  zonelistfile: "$work/nsd/zone.list"
  verbosity: 0
  # One client address asks for everything here: rate limiting would make
  # the answers of a wildcard (one bucket) slip to truncated ones.
  rrl-ratelimit: 0
remote-control:
  control-enable: no
zone:
  name: bench.test
  zonefile: "$2"
  ${3:-}
CONF
  spawn taskset -c 0 nsd -d -c "$work/nsd/nsd.conf"
}

# spawn_unbound PORT FORWARD CACHE: Unbound with one thread on core 0,
# forwarding bench.test to FORWARD (address@port), CACHE the size of each of
# its two caches; its configuration is $work/unbound.conf, its pid in $!.
spawn_unbound() {
  cat >"$work/unbound.conf" <<CONF
server:
  interface: 127.0.0.1@$1
  num-threads: 1
  username: ""
  chroot: ""
  directory: "$work"
  pidfile: "$work/unbound.pid"
  do-not-query-localhost: no
  # test. is a special-use name that Unbound answers NXDOMAIN by default.
  local-zone: "test." nodefault
  access-control: 127.0.0.0/8 allow
  msg-cache-size: $3
  rrset-cache-size: $3
  verbosity: 0
forward-zone:
  name: "bench.test."
  forward-addr: $2
CONF
  spawn taskset -c 0 unbound -d -c "$work/unbound.conf"
}

# spawn_knot PORT ZONEFILE [ACL_ADDRESS]: Knot with one worker of each kind
# on core 0, serving bench.test from ZONEFILE; with ACL_ADDRESS, that
# address may transfer the zone. Its pid is in $!.
spawn_knot() {
  mkdir -p "$work/knot/db"
  {
    cat <<CONF
server:
  listen: 127.0.0.1@$1
  rundir: "$work/knot"
  udp-workers: 1
  tcp-workers: 1
  background-workers: 1
database:
  storage: "$work/knot/db"
log:
  - target: stderr
    any: error
CONF
    [ -z "${3:-}" ] || printf 'acl:\n  - id: local\n    address: %s\n    action: transfer\n' "$3"
    printf 'zone:\n  - domain: bench.test\n    file: "%s"\n' "$2"
    [ -z "${3:-}" ] || printf '    acl: local\n'
  } >"$work/knot/knot.conf"
  spawn taskset -c 0 knotd -c "$work/knot/knot.conf"
}

# The records of bench.test, BENCH_NAMES host names (10,000 by default) and
# their addresses, and the queries for them in random order, one in twenty
# for a name that does not exist.
bench_zone_records() {
  echo '@ IN SOA ns1.bench.test. hostmaster.bench.test. ( 1 3600 600 86400 3600 )'
  echo '@ IN NS ns1.bench.test.'
  echo 'ns1 IN A 127.0.0.1'
  awk -v n="${BENCH_NAMES:-10000}" 'BEGIN { for (i = 1; i <= n; i++)
    printf "host%d IN A 10.%d.%d.%d\n", i, int(i / 65536), int(i / 256) % 256, i % 256 }'
}
bench_queries() {
  awk -v n="${BENCH_NAMES:-10000}" 'BEGIN { for (i = 1; i <= n; i++)
    printf (i % 20 == 0 ? "missing%d" : "host%d") ".bench.test A\n", i }' | shuf
}
