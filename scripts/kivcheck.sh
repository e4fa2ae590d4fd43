#!/usr/bin/env bash
# Checks KIV scripts: installs what is missing (a compiler and CMake only), builds the checker natively (a Release tree
# of its own, build/kivcheck; only the first call takes long) and runs it with the arguments
# given, on the example update when they name no script. Its exit status is the checker's:
# 0 clean, 1 an error (or a warning with --werror), 2 a usage fault or an unreadable script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" --checker >&2
cmake -S "$root" -B "$root/build/kivcheck" -DCMAKE_BUILD_TYPE=Release -DKIVRUN_TESTS=OFF >/dev/null
cmake --build "$root/build/kivcheck" -j "$(nproc)" --target kivcheck >/dev/null
scripts=0
for argument in "$@"; do [[ $argument == -* ]] || scripts=$((scripts + 1)); done
[ "$scripts" -gt 0 ] || set -- "$@" "$root/examples/update/update.kiv"
exec "$root/build/kivcheck/bin/kivcheck" "$@"
