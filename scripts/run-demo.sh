#!/usr/bin/env bash
# Builds Vellion and runs it in the foreground on a fresh copy of the demo
# program directory: loopback only, DNS on port 5353. Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
rm -rf run/demo
mkdir -p run
cp -r demo run/demo
exec build/vellmain -n --home run/demo --dns-port "${DNS_PORT:-5353}"
