#!/usr/bin/env bash
# How many requests the UDP service of wardend answers a second on loopback: builds the native
# programs and runs the UDP benchmark against the simulated UPS (about a minute). Prints its
# figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target wardend upssim udp_bench >/dev/null
exec build/native/bench/udp_bench --wardend build/native/src/wardend \
  --upssim build/native/src/tools/upssim/upssim --examples examples/install "$@"
