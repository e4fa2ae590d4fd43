#!/usr/bin/env bash
# Checks what the shipped programs (Kivrun.exe, kivcheck.exe) import against a reviewed list:
# every function they import must be in resources/imports-<arch>.txt, whose entries each name the
# oldest Windows of both families that has the function. A program with an import that is
# not on the list, or a list entry newer than the oldest Windows the program runs on, fails.
#   check-imports.sh <build folder> <i686|x86_64>
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 arch=$2
list=resources/imports-$arch.txt
programs=(Kivrun.exe kivcheck.exe)

# The oldest a list entry may name: "<9x>/<NT>" from 95 and NT 3.1 up to 98 and NT 4 (a
# "stub" after the 9x version: exported there but failing, the program takes another route
# on the 9x family); the 64-bit list also "x64" (every x64 Windows, from XP x64 on).
oldest='^(95|98)(stub)?/NT(3\.1|3\.5|3\.51|4)$'
[ "$arch" = x86_64 ] && oldest="$oldest|^x64\$"

status=0
while read -r dll function since _; do
  if [ -z "$since" ]; then
    echo "$list: $dll $function: names no oldest Windows" >&2
    status=1
  elif ! [[ "$since" =~ $oldest ]]; then
    echo "$list: $dll $function: oldest Windows \"$since\" is newer than what Kivrun runs on" >&2
    status=1
  fi
done < <(grep -v -e '^#' -e '^[[:space:]]*$' "$list")

# One "DLL function" line per import (upper-case DLL, "#n" for an import by ordinal).
imports() {
  "$arch-w64-mingw32-objdump" -p "$1" | awk '
    /^The Import Tables/ { tables = 1 }
    /^The Export Tables/ { tables = 0 }
    tables && /DLL Name:/ { dll = toupper($3); next }
    tables && dll != "" && /^[[:space:]]*$/ { dll = ""; next }
    tables && dll != "" && /Hint\/Ord/ { next }
    tables && dll != "" { print dll, (NF >= 3 ? $3 : "#" $2) }'
}

allowed=$(grep -v -e '^#' -e '^[[:space:]]*$' "$list" | awk '{ print toupper($1), $2 }' | sort -u)
for program in "${programs[@]}"; do
  path=$build/bin/$program
  [ -f "$path" ] || { echo "$path: not built" >&2; status=1; continue; }
  unexpected=$(imports "$path" | sort -u | comm -23 - <(echo "$allowed"))
  if [ -n "$unexpected" ]; then
    echo "$path imports what is not in $list (add each, with the oldest Windows that has it, or bind it at run time):" >&2
    sed 's/^/  /' <<<"$unexpected" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "Imports of ${programs[*]} ($arch): all on the reviewed list"
exit $status
