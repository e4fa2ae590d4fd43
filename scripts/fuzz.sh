#!/usr/bin/env bash
# Fuzzes the routines that read host and script text, each target for a while:
#   scripts/fuzz.sh [seconds per target, default 60] [target...]
# Targets: param_search hex_decode command_line substitute condition loader check (default: all;
# check is the script checker on whole scripts, seeded with its own test scripts).
# With clang installed the targets are built with libFuzzer (coverage-guided) and ASan and
# UBSan; otherwise (or with KIVRUN_FUZZ_ENGINE=driver) with g++ and the in-tree driver:
# seeded mutations, the seed printed, KIVRUN_FUZZ_SEED repeats a run. The corpus in
# tests/fuzz/corpus is read, never written: libFuzzer's own finds go to <build>/corpus/,
# inputs that crash or hang to <build>/artifacts/. The build folders are under build/fuzz
# unless KIVRUN_FUZZ_BUILD names another.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(param_search hex_decode command_line substitute condition loader check)
base=${KIVRUN_FUZZ_BUILD:-build/fuzz}

engine=${KIVRUN_FUZZ_ENGINE:-}
if [ -z "$engine" ]; then
  engine=driver
  command -v clang++ >/dev/null && engine=libfuzzer
fi
if [ "$engine" = libfuzzer ]; then
  build=$base/libfuzzer
  # The log's format attribute is spelled for g++; clang only notes that it ignores it.
  cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVRUN_SANITIZE=ON -DKIVRUN_LIBFUZZER=ON \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -Wno-ignored-attributes" >/dev/null
else
  build=$base/driver
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVRUN_SANITIZE=ON >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/kivrun_fuzz_}" >/dev/null

seed=${KIVRUN_FUZZ_SEED:-$(date +%s)}
artifacts=$build/artifacts
mkdir -p "$artifacts"
failed=()
for target in "${targets[@]}"; do
  echo "== $target: $seconds s with $engine"
  program=$build/bin/kivrun_fuzz_$target
  seeds=("tests/fuzz/corpus/$target")
  [ "$target" = check ] && seeds=(tests/check/corpus tests/check/runs)
  common=(-max_total_time="$seconds" -timeout=10 -max_len=4096 -artifact_prefix="$artifacts/$target-")
  if [ "$engine" = libfuzzer ]; then
    mkdir -p "$build/corpus/$target"
    "$program" "${common[@]}" -print_final_stats=1 "$build/corpus/$target" "${seeds[@]}" \
      2>"$build/$target.log" || failed+=("$target")
    tail -n 12 "$build/$target.log"
  else
    "$program" "${common[@]}" -runs=-1 -seed="$seed" "${seeds[@]}" || failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Faults found in: ${failed[*]} (inputs in $artifacts/, logs in $build/)"
  exit 1
fi
echo "No faults found."
