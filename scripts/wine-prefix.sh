# Sourced by the scripts that run Windows programs: a Wine prefix of the project's own inside
# the build folder, its server kept running until the calling script exits.
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # a server left from an earlier run would refuse -p
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Start the prefix (and its background services) here, with their output going nowhere:
# services started from inside a test would keep CTest's output pipe open after the test ends.
wineboot >/dev/null 2>&1 </dev/null
