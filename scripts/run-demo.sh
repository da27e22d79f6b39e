#!/usr/bin/env bash
# Builds the server (scripts/build-demo.sh) and runs it in the foreground on
# a fresh copy of the demo program directory: loopback only, DNS on port
# 5353. run/demo/ is made again at every start. Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-demo.sh
rm -rf run/demo
mkdir -p run
cp -r demo run/demo
echo "serving the demo zones on 127.0.0.1 port ${DNS_PORT:-5353}; logs in run/demo/logs/;"
echo "the operator console's address (with its access token) follows as \"Console: http://...\""
exec build-demo/vellmain -n --home run/demo --dns-port "${DNS_PORT:-5353}"
