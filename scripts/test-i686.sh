#!/usr/bin/env bash
# Runs the 32-bit Kivrun.exe and its tests under Wine: the i686 unit tests and a smoke suite
# (one update under the 32-bit test host that reaches every family of commands, on the NT
# family's route and on the 9x family's, and the registration). These machines' kernels do
# not run 32-bit code: qemu-i386 emulates it, registered with binfmt_misc for the run only.
# Everything is set up from scratch on a fresh Debian machine, as root, with apt-get: qemu,
# the i386 architecture and the 32-bit Wine. The 64-bit tests keep calling the 64-bit loader
# (scripts/wine-prefix.sh, cmake/mingw-common.cmake), so nothing they do changes.
#
# Builds build/i686 (with the tests) and runs in a Wine prefix of its own, build/i686/wineprefix:
# a 64-bit prefix with its 32-bit side, so that only the 32-bit programs are emulated (the first
# run makes it). scripts/package.sh runs it before it writes any archive.
cd "$(dirname "$0")/.."
source scripts/strict.sh
step() { echo "== $*" >&2; }
started=$SECONDS

readonly binfmt=/proc/sys/fs/binfmt_misc
# The emulator: qemu-user 9.1 or newer, whose qemu-i386 is a static program. Bookworm's own
# qemu-user-static (7.2) ends the 32-bit Wine's programs at random points (stack smashing
# detected, segmentation faults, hangs in COM and shell calls); qemu 10 runs the same suite
# clean. Bookworm takes it from bookworm-backports; later releases have it.
readonly qemu=/usr/bin/qemu-i386
# i386 ELF programs (executables and shared objects), as qemu's own binfmt table names them.
# F: the kernel opens the emulator once, here, so it serves in every mount namespace.
readonly qemu_i386=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F'
# A 32-bit Wine process under qemu gets 2 GiB and 16 MiB of address space: all a 32-bit
# Windows program has, and Wine needs a little above 2 GiB. With the whole 4 GiB, Wine's
# start probes every 64 KiB of it that qemu cannot place, and a start takes minutes, not seconds.
export QEMU_RESERVED_VA=0x81000000

# The Windows half, inside a virtual X display (the host's and Kivrun's windows, the prefix's
# desktop): a server of the prefix's own for the whole run (a fresh one would start the
# prefix's services again for each program); the 64-bit loader's wineboot brings the prefix up
# to date natively and starts its services, which later start the 32-bit test service.
if [ "${1:-}" = "--in-display" ]; then
  export WINEPREFIX="$PWD/build/i686/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null || echo "wineboot ended with $?; the tests judge the start" >&2
  # A test program passes when it wrote its report with no failure: one that the emulation
  # ends halfway writes none, whatever exit status Wine then gives.
  run_tests() {  # run_tests <name> <gtest options...>
    local report=build/i686/$1.xml
    rm -f "$report"
    /usr/lib/wine/wine "build/i686/bin/$1.exe" "--gtest_output=xml:$report" "${@:2}" || true
    if ! grep -q '<testsuites [^>]*failures="0" [^>]*errors="0"' "$report" 2>/dev/null; then
      echo "$1 did not pass (its report: $report)" >&2
      return 1
    fi
  }
  step "The i686 unit tests"
  run_tests kivrun_unit_tests --gtest_brief=1
  # The service the update stops and starts again, set up with Wine's 64-bit tools: the tests'
  # 32-bit service, installed as VornaSmokeService and running.
  sc() { /usr/lib/wine/wine64 sc "$@" </dev/null >/dev/null 2>&1; }
  sc create VornaSmokeService binPath= "Z:$(pwd -P | tr / '\\')\\build\\i686\\bin\\kivrun_test_service.exe" || true
  sc start VornaSmokeService || true
  step "The smoke suite: one update on both routes under the 32-bit host, and the registration"
  run_tests kivrun_i686_smoke_tests
  exit 0
fi

step "Checking the packages: qemu-user 9.1 or newer, the i386 architecture, the 32-bit Wine"
scripts/setup.sh xvfb xauth
qemu_fits() {
  local version
  version=$("$qemu" --version 2>/dev/null | sed -n '1s/.* version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
  [ -n "$version" ] || return 1
  set -- $version
  [ "$1" -gt 9 ] || { [ "$1" -eq 9 ] && [ "$2" -ge 1 ]; }
}
if ! qemu_fits; then
  source /etc/os-release
  release=()
  if [ "${VERSION_CODENAME:-}" = bookworm ]; then
    # Backports are installed only when asked for by name: nothing else on the machine changes.
    if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d; then
      printf '%s\n' "Types: deb" "URIs: http://deb.debian.org/debian" "Suites: bookworm-backports" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
        >/etc/apt/sources.list.d/bookworm-backports.sources
    fi
    release=(-t bookworm-backports)
  fi
  apt-get update -q
  # The older qemu-user-static goes with it (qemu-user replaces it); no binfmt package comes
  # along, so nothing is registered beyond this script's runs.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${release[@]}" qemu-user qemu-user-static-
  qemu_fits || { echo "qemu-user 9.1 or newer is needed for $qemu" >&2; exit 1; }
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
scripts/setup.sh wine32:i386  # its apt-get update reads the i386 lists too

step "Registering qemu-i386 with binfmt_misc for this run"
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
# Runs share the registration through a lock: the last one to end takes it away, so that
# between runs the machine runs no 32-bit code, as before (a 64-bit prefix made then gets no
# emulated 32-bit side, and the 64-bit tests' Wine starts exactly as it did).
exec {registration}>/run/lock/kivrun-qemu-i386.lock
flock -s "$registration"
unregister() {
  if flock -xn "$registration"; then echo -1 >"$binfmt/qemu-i386" 2>/dev/null || true; fi
}
trap unregister EXIT
[ -e "$binfmt/qemu-i386" ] || printf '%s' "$qemu_i386" >"$binfmt/register"
grep -qx enabled "$binfmt/qemu-i386" || echo 1 >"$binfmt/qemu-i386"

step "Building the 32-bit programs and tests in build/i686"
cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/i686 -j "$(nproc)" --target kivrun_unit_tests kivrun_i686_smoke_tests

step "Running them under Wine in build/i686/wineprefix (the first run makes it)"
xvfb-run -a scripts/test-i686.sh --in-display
step "The 32-bit Kivrun.exe passed, in $((SECONDS - started)) s"
