#!/usr/bin/env bash
# How fast the UPS log cleaning trims a 64 MB log and its peak memory: builds the release
# program (build/release) and runs it (a few seconds). An optional folder argument puts the
# log on that disk instead of /tmp. Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target clean_bench >/dev/null
exec build/release/bench/clean_bench "$@"
