#!/usr/bin/env bash
# How fast the UPS log cleaning trims a 64 MB log and its peak memory: builds an optimised
# native program (build/bench) and runs it (a few seconds). An optional folder argument puts the
# log on that disk instead of /tmp. Prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLTSENTRY_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target clean_bench >/dev/null
exec build/bench/bench/clean_bench "$@"
