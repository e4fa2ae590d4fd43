#!/usr/bin/env bash
# Runs the Windows tests under Wine, in a Wine prefix of their own inside the build folder.
# Called by test.sh inside a virtual X display; the prefix's desktop must start with it.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # a server left from an earlier run would refuse -p
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Start the prefix (and its background services) here, with their output going nowhere:
# services started from inside a test would keep CTest's output pipe open after the test ends.
wineboot -i >/dev/null 2>&1 </dev/null
ctest --test-dir build/win64 --output-on-failure
