#!/usr/bin/env bash
# How fast wardend tells the monitors of a mains failure: builds the release programs
# (build/release, as packaged) and runs the reaction benchmark against the simulated UPS (about
# a minute). Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target wardend upssim reaction >/dev/null
exec build/release/bench/reaction --wardend build/release/src/wardend \
  --upssim build/release/src/tools/upssim/upssim --examples examples/install "$@"
