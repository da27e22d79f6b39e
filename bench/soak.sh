#!/usr/bin/env bash
# Malformed-input soak (bench/soak.py) in a network namespace made here and
# removed on exit: nothing leaves it. Run on demand, as root, against any
# build, the sanitizer build included:
#   bench/soak.sh [VELLMAIN] [DATAGRAMS] [STREAMS]
set -euo pipefail
cd "$(dirname "$0")/.."
vell=${1:-build/vellmain}
ns=vsoak$$
trap 'ip netns del "$ns" 2>/dev/null || true' EXIT
ip netns add "$ns"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} ip netns exec "$ns" /usr/bin/python3 bench/soak.py "$vell" "${@:2}"
