#!/usr/bin/env bash
# Checks every KIV example of the documentation, and the example packages, with kivcheck: a
# fault in an example (an unknown command, a wrong argument shape) fails, while a fragment's
# references to what lies outside it do not.
#
#   scripts/check-examples.sh KIVCHECK
#
# Which fenced blocks of docs/*.md and README.md are KIV: a block fenced ```kiv always; a block
# with another language (```sh, ```idl, ```text for illustrations that show faults on purpose)
# never; a block with no language when a line starts with a [Section] header or its first
# line (after comments) starts with a keyword or a word in capitals, as a misspelt keyword is.
#   - A block of two or more sections is a whole script: checked as it is, from [DefaultInstall]
#     or, without one, from its first section; the docs ship no package.
#   - Any other block is a fragment: a block with no header is put under [DefaultInstall], a
#     block of one section is checked from that section, and the checks that look outside the
#     block are off.
# Every examples/**/*.kiv is checked as it is, its own folder being its package.
# A warning fails as an error does (--werror): an example shows how to write a script.
set -euo pipefail

kivcheck=${1:?usage: check-examples.sh KIVCHECK}
root=$(cd "$(dirname "$0")/.." && pwd)

# Checks that look outside a fragment: its calls, variables, delivered files and list entries
# belong to a script around it that the docs do not show. A name this kivcheck does not know
# (yet) is left out, and said so.
fragment_off=(missing-section unreachable-section undefined-variable missing-package-file list-entry-outside-list)
# Checks off for a whole script of the docs: the docs ship no package.
whole_off=(missing-package-file)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each name is tried once on a clean script: kivcheck refuses a check it does not know.
printf '[DefaultInstall]\r\nRETURN\r\n' >"$work/probe.kiv"
declare -A known=()
for name in "${fragment_off[@]}" "${whole_off[@]}"; do
  [[ -n ${known[$name]+x} ]] && continue
  known[$name]=0
  if "$kivcheck" "--disable=$name" "$work/probe.kiv" >/dev/null 2>&1; then
    known[$name]=1
  else
    echo "check-examples: kivcheck has no check '$name' (yet): not switched off" >&2
  fi
done
# The names it knows, joined by commas for --disable=.
accepted() {
  local list="" name
  for name in "$@"; do
    if [[ ${known[$name]} == 1 ]]; then list+=${list:+,}$name; fi
  done
  echo "$list"
}
fragment_disable=$(accepted "${fragment_off[@]}")
whole_disable=$(accepted "${whole_off[@]}")

# Writes each KIV block to $work/N.kiv (CR LF line ends) and one line for it to the manifest:
# N, the doc, the line of its opening fence, kind (whole or fragment), start section, and the
# number of lines added above the block (1 when a header was put there).
keywords=$(grep -o '{"[A-Z]*", kOp' "$root/src/engine/command_forms.cpp" | cut -d'"' -f2 | tr '\n' ' ')
(cd "$root" && awk -v work="$work" -v keywords="$keywords" '
  BEGIN { split(keywords, list, " "); for (i in list) keyword[list[i]] = 1; blocks = 0 }
  FNR == 1 { fenced = 0 }
  /^```/ {
    if (!fenced) { fenced = 1; language = substr($0, 4); gsub(/[ \t\r]/, "", language); start = FNR; n = 0; next }
    fenced = 0
    first = ""; commandLike = 0; headers = 0; firstSection = ""; hasDefault = 0
    for (i = 1; i <= n; i++) {
      if (match(line[i], /^\[[^]]+\]/)) {
        name = substr(line[i], 2, RLENGTH - 2)
        if (headers++ == 0) firstSection = name
        if (name == "DefaultInstall") hasDefault = 1
      } else if (first == "" && line[i] !~ /^[ \t]*(;|$)/) {
        first = line[i]; sub(/^[ \t]+/, "", first)
        commandLike = first ~ /^[A-Z][A-Z0-9]+([ \t]|$)/
        sub(/[^A-Za-z0-9].*/, "", first)
      }
    }
    kiv = language == "kiv" || (language == "" && (headers > 0 || first in keyword || commandLike))
    if (!kiv) next
    file = work "/" ++blocks ".kiv"
    added = 0
    if (headers == 0) { printf "[DefaultInstall]\r\n" > file; added = 1 }
    for (i = 1; i <= n; i++) printf "%s\r\n", line[i] > file
    close(file)
    kind = headers >= 2 ? "whole" : "fragment"
    startSection = hasDefault || headers == 0 ? "DefaultInstall" : firstSection
    printf "%d\t%s\t%d\t%s\t%s\t%d\n", blocks, FILENAME, start, kind, startSection, added > (work "/manifest")
    next
  }
  fenced { line[++n] = $0 }
' docs/*.md README.md)
touch "$work/manifest"

failures=0
blocks=0
# Runs kivcheck on one file; on a fault prints what was checked and the diagnostics, with the
# temporary file's lines turned back into the doc's.
check() {  # check LABEL FILE SHOWN-AS LINE-OFFSET OPTION...
  local label=$1 file=$2 shown=$3 offset=$4 output
  shift 4
  if output=$("$kivcheck" --werror "$@" "$file" 2>&1); then return; fi
  failures=$((failures + 1))
  echo "FAIL $label"
  awk -v file="$file" -v shown="$shown" -v offset="$offset" '
    index($0, file ":") == 1 {
      rest = substr($0, length(file) + 2); lineNumber = rest; sub(/:.*/, "", lineNumber)
      print "  " shown ":" (lineNumber + offset) substr(rest, length(lineNumber) + 1); next
    }
    { print "  " $0 }' <<<"$output"
}

while IFS=$'\t' read -r n doc fence kind start added; do
  blocks=$((blocks + 1))
  options=("--start=$start")
  disable=$([[ $kind == whole ]] && echo "$whole_disable" || echo "$fragment_disable")
  if [[ -n $disable ]]; then options+=("--disable=$disable"); fi
  check "$doc:$((fence + 1)) ($kind, ${options[*]})" \
    "$work/$n.kiv" "$doc" $((fence - added)) "${options[@]}"
done <"$work/manifest"

scripts=0
while IFS= read -r -d '' script; do
  scripts=$((scripts + 1))
  check "${script#"$root"/}" "$script" "${script#"$root"/}" 0 --start=DefaultInstall
done < <(find "$root/examples" -name '*.kiv' -print0 | sort -z)

echo "check-examples: $blocks KIV blocks in the docs and $scripts example scripts checked, $failures failed"
[[ $failures == 0 ]]
