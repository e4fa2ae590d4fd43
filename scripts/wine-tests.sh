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
# The sandbox runner as an author uses it, on the example update with its what-if plan: the
# report must hold exactly the update's changes (tests/e2e/try_update.jq).
KIVTRY_BUILD=build/win64 scripts/try.sh examples/update/update.kiv --params='engine="4.0.5.0"' --whatif --format=json | jq -e -f tests/e2e/try_update.jq >/dev/null
