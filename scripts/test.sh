#!/usr/bin/env bash
# Builds everything and runs every test: the native core under AddressSanitizer and UBSan,
# the 32-bit Windows program (built warning-free, not run: these machines cannot execute it)
# and the 64-bit Windows program with its tests under Wine, in a Wine prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
build() {  # build <folder> <cmake options...>
  local folder=$1; shift
  cmake -S . -B "build/$folder" "$@" >/dev/null
  cmake --build "build/$folder" -j "$jobs"
}
build native -DCMAKE_BUILD_TYPE=Debug -DKIVRUN_SANITIZE=ON
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

ctest --test-dir build/native --output-on-failure

export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # a server left from an earlier run would refuse -p
wineserver -p
# Start the prefix (and its background services) here, with their output going nowhere:
# services started from inside a test would keep CTest's output pipe open after the test ends.
wineboot -i >/dev/null 2>&1 </dev/null
trap 'wineserver -k 2>/dev/null || true' EXIT
# Windows need a display: the usage box and, later, the progress window.
xvfb-run -a ctest --test-dir build/win64 --output-on-failure
