#!/usr/bin/env bash
# Prints the benchmark figures: the loader, the executor and the checker natively (optimised),
# and the executor, Kivrun.exe's start-up, its file lists and its journal under Wine (the 64-bit
# Windows build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKIVRUN_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target kivrun_parse_bench kivrun_exec_bench kivcheck_bench >/dev/null
build/bench/bin/kivrun_parse_bench
build/bench/bin/kivrun_exec_bench
build/bench/bin/kivcheck_bench

cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j "$(nproc)" --target kivrun_startup_bench kivrun_exec_bench kivrun_filelist_bench kivrun_journal_bench >/dev/null
source scripts/wine-prefix.sh
echo "Under Wine:"
wine build/win64/bin/kivrun_exec_bench.exe
wine build/win64/bin/kivrun_startup_bench.exe
wine build/win64/bin/kivrun_filelist_bench.exe
wine build/win64/bin/kivrun_journal_bench.exe
