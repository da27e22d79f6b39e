#!/usr/bin/env bash
# Installs what building and testing Vellion needs on Debian 12; with the
# argument "build", only what building the programs needs (the demo), with
# "package" that and the Debian packaging tools. Safe to run again: it only
# calls apt when a package is missing.
set -euo pipefail

packages=(cmake ninja-build g++ libmicrohttpd-dev)
[ "${1:-}" = build ] || packages+=(dpkg-dev)
if [ "${1:-}" != build ] && [ "${1:-}" != package ]; then
  packages+=(
    clang libclang-rt-14-dev clang-format clang-tidy
    libgtest-dev libgmock-dev libbenchmark-dev
    python3-pytest python3-dnspython bind9-dnsutils nsd bind9 knot dnsperf
    busybox isc-dhcp-client python3-scapy iproute2 zonemaster-cli
    chromium
    systemd  # systemd-analyze checks the units' lock-down
  )
  # A Node.js from outside Debian brings its own npm and conflicts with Debian's.
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# The browser test's driver, pinned in tests/browser/package-lock.json.
if [ "${1:-}" != build ] && [ "${1:-}" != package ] && [ ! -d "$(dirname "$0")/../tests/browser/node_modules/playwright-core" ]; then
  (cd "$(dirname "$0")/../tests/browser" && npm ci --no-audit --no-fund)
fi
