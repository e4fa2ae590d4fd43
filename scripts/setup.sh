#!/usr/bin/env bash
# Installs what the build and the tests need and is missing (Debian, as root), and any further
# packages named on its command line (a script's own tools). With --checker first, only what
# the native checker needs (a compiler and CMake). Idempotent: when every package is already
# there it does nothing.
set -euo pipefail

if [ "${1:-}" = "--checker" ]; then
  shift
  packages=(cmake make g++ "$@")
else
  packages=(
    cmake make g++ googletest
    mingw-w64 mingw-w64-tools
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
    g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
    gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-i686-win32
    wine wine64 xvfb xauth
    zip git jq
    "$@"
  )
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
