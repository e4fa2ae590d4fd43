#!/usr/bin/env bash
# Builds everything and runs every test: the native core under AddressSanitizer and UBSan,
# the 32-bit Windows programs (built warning-free, without the tests: these machines cannot run them)
# and the 64-bit Windows program with its tests under Wine, in a Wine prefix of its own.
cd "$(dirname "$0")/.."
source scripts/strict.sh
scripts/setup.sh
# No include runs from a lower layer to a higher one.
scripts/check-layers.sh

jobs=$(nproc)
build() {  # build <folder> <cmake options...>
  local folder=$1; shift
  cmake -S . -B "build/$folder" "$@" >/dev/null
  cmake --build "build/$folder" -j "$jobs"
}
build native -DCMAKE_BUILD_TYPE=Debug -DKIVRUN_SANITIZE=ON
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DKIVRUN_TESTS=OFF
build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
# The shipped programs import only what the oldest Windows they run on has.
scripts/check-imports.sh build/win32 i686
scripts/check-imports.sh build/win64 x86_64

ctest --test-dir build/native --output-on-failure
# The README's checker command, as a script author runs it, on the example update.
scripts/kivcheck.sh --werror
scripts/check-grammar.sh build/native/bin/kivcheck  # the VS Code grammar and problem matchers (editors/vscode)

# Windows need a display (the usage box, later the progress window): the Wine prefix and
# every Windows test run inside one virtual X display.
xvfb-run -a scripts/wine-tests.sh
