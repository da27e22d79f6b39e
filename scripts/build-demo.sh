#!/usr/bin/env bash
# Builds the server and vellctl alone in build-demo/, installing only the
# build tools:
# a unity build (sources compiled in batches) takes a fraction of the time
# of the full build, so a first demo starts within a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
  -DVELL_TESTS=OFF -DVELL_BENCH=OFF >/dev/null
ninja -C build-demo vellmain vellctl
