#!/usr/bin/env bash
# Builds the server alone (build-demo/) and runs it in the foreground on a
# fresh copy of the demo program directory: loopback only, DNS on port 5353.
# run/demo/ is replaced at every start. Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELL_TESTS=OFF -DVELL_BENCH=OFF >/dev/null
ninja -C build-demo vellmain
rm -rf run/demo
mkdir -p run
cp -r demo run/demo
echo "serving the demo zones on 127.0.0.1 port ${DNS_PORT:-5353}; logs in run/demo/logs/"
exec build-demo/vellmain -n --home run/demo --dns-port "${DNS_PORT:-5353}"
