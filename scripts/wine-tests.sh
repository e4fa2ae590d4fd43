#!/usr/bin/env bash
# Runs the Windows tests under Wine, in a Wine prefix of their own inside the build folder.
# Called by test.sh inside a virtual X display; the prefix's desktop must start with it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-prefix.sh
ctest --test-dir build/win64 --output-on-failure
