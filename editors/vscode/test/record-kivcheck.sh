#!/usr/bin/env bash
# Stands in for kivcheck under scripts/check-examples.sh, so that the grammar's test reads the
# very scripts that check names as KIV: keeps a copy of each script it is handed (the last
# argument) in $KIV_RECORD, with check-examples' manifest of the docs' blocks when there is one,
# and passes it. Each copy is N.kiv, and the line "N<TAB>PATH" in $KIV_RECORD/index says what it
# was copied from.
set -euo pipefail
record=${KIV_RECORD:?KIV_RECORD names the folder that keeps the copies}
script=${!#}
touch "$record/index"
n=$(($(wc -l <"$record/index") + 1))
cp "$script" "$record/$n.kiv"
printf '%s\t%s\n' "$n" "$script" >>"$record/index"
if [[ -f $(dirname "$script")/manifest ]]; then cp "$(dirname "$script")/manifest" "$record/manifest"; fi
