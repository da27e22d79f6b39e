#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-pkg/ and CPack.
# The .deb is written to build-pkg/ (vellion_<version>_<arch>.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELL_TESTS=OFF -DVELL_BENCH=OFF >/dev/null
ninja -C build-pkg
(cd build-pkg && cpack -G DEB)
ls build-pkg/*.deb
