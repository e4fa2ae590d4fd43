#!/usr/bin/env bash
# Builds the benchmarks natively with optimisation and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKIVRUN_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target kivrun_parse_bench kivrun_exec_bench >/dev/null
build/bench/bin/kivrun_parse_bench
build/bench/bin/kivrun_exec_bench
