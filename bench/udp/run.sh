#!/usr/bin/env bash
# How many requests the UDP service of wardend answers a second on loopback: builds the
# release programs (build/release, as packaged; a throughput figure of a debug build says
# little) and runs the UDP benchmark against the simulated UPS (about a minute and a half).
# Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target wardend upssim udp_bench >/dev/null
exec build/release/bench/udp_bench --wardend build/release/src/wardend \
  --upssim build/release/src/tools/upssim/upssim --examples examples/install "$@"
