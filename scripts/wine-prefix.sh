# Sourced by the scripts that run Windows programs: a Wine prefix of the project's own inside
# the build folder, its server kept running until the calling script exits.
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

source scripts/strict.sh

# The 64-bit programs go straight to the 64-bit loader: once the 32-bit Wine is installed
# (scripts/test-i686.sh), plain `wine` and `wineboot` start everything through the 32-bit
# loader, which these machines only emulate. wineserver stays the 64-bit one either way.
wine() { /usr/lib/wine/wine64 "$@"; }

# Starts Wine afresh, as a machine starts again: a server still running (or left from an
# earlier run, which would refuse -p) ends first; the new one stays until the calling script
# exits; wineboot then carries out what was scheduled for the next start (pending deletions,
# wininit.ini) and starts the prefix's background services, with their output going nowhere:
# services started from inside a test would keep CTest's output pipe open after it ends.
start_wine() {
  local attempt
  for attempt in 1 2 3 4 5; do
    wineserver -k 2>/dev/null || true  # no server running is fine: -k then exits with 1
    wineserver -w 2>/dev/null || true
    wineserver -p 2>/dev/null && break  # refused (2) while an ending server still holds the prefix
    if [ "$attempt" = 5 ]; then
      echo "wineserver -p refused five times" >&2
      return 1
    fi
    sleep 1
  done
  # Its own status is not the judge: the tests find out whether the start did its work.
  wine wineboot >/dev/null 2>&1 </dev/null || echo "wineboot ended with $?; the tests judge the start" >&2
}

start_wine
trap 'wineserver -k 2>/dev/null || true' EXIT
