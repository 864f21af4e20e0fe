#!/usr/bin/env bash
# How many requests the UDP service of wardend answers a second on loopback: builds optimised
# native programs (build/bench; a throughput figure of a debug build says little) and runs the
# UDP benchmark against the simulated UPS (about a minute and a half). Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLTSENTRY_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target wardend upssim udp_bench >/dev/null
exec build/bench/bench/udp_bench --wardend build/bench/src/wardend \
  --upssim build/bench/src/tools/upssim/upssim --examples examples/install "$@"
