#!/usr/bin/env bash
# Installs what is missing, builds Kivrun.exe and the test host, and runs the example update
# script under the test host (as an updating agent would start it). Prints the log, the
# host's record of the calls it received and Kivrun's exit code. Each step says what it does
# first: the first run installs, builds and creates a Wine prefix, which takes minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo "== $*" >&2; }
step "Checking the packages the build needs (the first run installs them with apt-get)"
scripts/setup.sh

step "Building Kivrun.exe and the test host in build/win64 (the first build takes a few minutes)"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j "$(nproc)" --target Kivrun kivrun_test_host >/dev/null

step "Starting Wine in the project's prefix build/win64/wineprefix (the first start creates it)"
source scripts/wine-prefix.sh

# A folder without "-" or "/": those end a value on Kivrun's command line.
example="$WINEPREFIX/drive_c/KivExample"
mkdir -p "$example"
cp examples/update/* "$example/"
rm -f "$example/update.log" "$example/record.txt"
# A first run: nothing is installed yet, so the whole update runs.
rm -rf "$WINEPREFIX/drive_c/Program Files/Vorna"
wine reg delete 'HKLM\SOFTWARE\Vorna' /f >/dev/null 2>&1 || true

step "Running the example update under the test host"
wine build/win64/bin/kivrun_test_host.exe --out 'C:\KivExample\record.txt' \
  --param engine=4.0.5.0 --param mode=normal --param 'console=C:\Program Files\Vorna\console.exe' \
  -- '/Script=C:\KivExample\update.kiv' '/Log=C:\KivExample\update.log'

echo "== Log (C:\\KivExample\\update.log)"
cat "$example/update.log"
echo "== Calls the host received"
sed 's/\r$//' "$example/record.txt"
echo "== Installed files (C:\\Program Files\\Vorna\\Scan)"
ls -l "$WINEPREFIX/drive_c/Program Files/Vorna/Scan"
echo "== scan.ini as the update left it"
cat "$WINEPREFIX/drive_c/Program Files/Vorna/Scan/scan.ini"
