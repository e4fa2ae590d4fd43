#!/usr/bin/env bash
# Runs the Windows tests under Wine, in a Wine prefix of their own inside the build folder.
# Called by test.sh inside a virtual X display; the prefix's desktop must start with it.
cd "$(dirname "$0")/.."
source scripts/strict.sh
source scripts/wine-prefix.sh

# A restart first: what is scheduled for deletion at the next start is carried out when
# Wine starts again (its server ended, then a new start).
wine build/win64/bin/kivrun_restart_tests.exe --gtest_filter='RestartPrepare.*'
start_wine
wine build/win64/bin/kivrun_restart_tests.exe --gtest_filter='RestartAfter.*'

ctest --test-dir build/win64 --output-on-failure
