#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The layers, highest first;
# a file may include its own layer and any layer below it. app and check are two programs
# on the same floor: neither includes the other.
#
#   scripts/check-layers.sh [SOURCE_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
src=${1:-src}
layers=(app:7 check:7 commands:6 host:5 engine:4 platform:3 log:2 base:1)

rank() {  # rank <layer>: its floor, or nothing for a folder outside the layers
  local entry
  for entry in "${layers[@]}"; do
    if [[ ${entry%%:*} == "$1" ]]; then echo "${entry##*:}"; fi
  done
  return 0
}

faults=0
while IFS= read -r file; do
  layer=${file#"$src"/}; layer=${layer%%/*}
  own=$(rank "$layer")
  [[ -n $own ]] || continue
  while IFS= read -r included; do
    target=${included%%/*}
    [[ $target == "$layer" ]] && continue
    theirs=$(rank "$target")
    [[ -n $theirs ]] || continue
    if (( theirs >= own )); then
      echo "$file includes $included: $layer may not include $target" >&2
      faults=$((faults + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)

if (( faults > 0 )); then
  echo "$faults include(s) against the layer order (${layers[*]})" >&2
  exit 1
fi
echo "layers: every include goes down (${layers[*]})"
