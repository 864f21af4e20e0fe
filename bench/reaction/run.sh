#!/usr/bin/env bash
# How fast wardend tells the monitors of a mains failure: builds the native programs and runs the
# reaction benchmark against the simulated UPS (about a minute). Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target wardend upssim reaction >/dev/null
exec build/native/bench/reaction --wardend build/native/src/wardend \
  --upssim build/native/src/tools/upssim/upssim --examples examples/install "$@"
