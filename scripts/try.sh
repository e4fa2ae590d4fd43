#!/usr/bin/env bash
# Tries a KIV script in a sandbox: runs it as an updating agent would (the test host, its
# parameters, the package folder as the script's folder) in a throwaway Wine prefix of its
# own, and prints the exit code with its message, the host's calls, the log and what the run
# changed on the sandbox machine (files, registry, services, what the next start deletes).
#
#   scripts/try.sh SCRIPT [--section=S] [--params=TEXT] [--package=DIR] [--keep]
#                  [--format=json] [--timeout=SECONDS] [--whatif]
#
# With --whatif the script first runs with /WhatIf in the same sandbox, and the report shows
# its plan (what the run would change) beside what the real run then changed.
#
# The first use installs and builds what is missing and makes the template prefix that every
# run copies (a minute or more); later uses take seconds. Step messages go to stderr, the
# report to stdout. Exit status: 0 when the run was tried (whatever its exit code), 1 when
# it could not be, 2 on a usage fault. docs/try.md has the details.
set -euo pipefail

usage() {
  echo "usage: scripts/try.sh SCRIPT [--section=S] [--params=TEXT] [--package=DIR] [--keep] [--format=json] [--timeout=SECONDS] [--whatif]" >&2
  echo "       (scripts/try.sh --help for more)" >&2
  exit 2
}
help() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
  exit 0
}

script="" section="" params="" package="" keep=0 format=text timeout=60 whatif=0
for arg in "$@"; do
  case "$arg" in
    --section=*) section=${arg#*=} ;;
    --params=*) params=${arg#*=} ;;
    --package=*) package=${arg#*=} ;;
    --keep) keep=1 ;;
    --whatif) whatif=1 ;;
    --format=json | --format=text) format=${arg#*=} ;;
    --format=*) echo "try.sh: --format takes json or text, not '${arg#*=}'" >&2; usage ;;
    --timeout=*) timeout=${arg#*=} ;;
    -h | --help) help ;;
    --section | --params | --package | --format | --timeout)
      echo "try.sh: write $arg=VALUE" >&2; usage ;;
    -*) echo "try.sh: unknown option $arg" >&2; usage ;;
    *) [ -z "$script" ] || { echo "try.sh: one script at a time" >&2; usage; }; script=$arg ;;
  esac
done
[ -n "$script" ] || { echo "try.sh: no script named" >&2; usage; }
[[ "$timeout" =~ ^[1-9][0-9]*$ ]] || { echo "try.sh: --timeout takes whole seconds, not '$timeout'" >&2; usage; }
[ -f "$script" ] || { echo "try.sh: no such file: $script" >&2; exit 1; }
script=$(realpath "$script")
package=$(realpath "${package:-$(dirname "$script")}")
[ -d "$package" ] || { echo "try.sh: the package is no folder: $package" >&2; exit 1; }
# Kivrun cuts a value of its command line at a blank followed by / or -, and keeps quotes.
case "$(basename "$script")$section" in
  *[[:space:]/]*) echo "try.sh: the script's name and the section must hold no blanks or '/'" >&2; exit 1 ;;
esac

step() { echo "== $*" >&2; }
wine64=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver  # never the 32-bit loader

# ---- Installed, built, and inside a display -----------------------------------------------
# Windows need a display (a message box, the progress window): the rest runs inside a
# virtual one, started once the packages are there.
root=$(realpath "$(dirname "$0")/..")
if [ -z "${KIVTRY_READY:-}" ]; then
  step "Checking the packages try.sh needs (the first use installs them with apt-get)"
  "$root/scripts/setup.sh" jq
  if [ -z "${DISPLAY:-}" ]; then
    KIVTRY_READY=1 exec xvfb-run -a "$root/scripts/try.sh" "$@"
  fi
fi

cd "$root"
source scripts/strict.sh
# The prefixes live in build/try; the programs come from there too, or from the build folder
# KIVTRY_BUILD names (the test command's own, already built).
build=${KIVTRY_BUILD:-build/try}
sandboxes=$PWD/build/try
mkdir -p "$sandboxes"
step "Building Kivrun.exe, the test host and kivrun_snapshot in $build (the first build takes minutes)"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >"$sandboxes/build.log" 2>&1 ||
    { cat "$sandboxes/build.log" >&2; exit 1; }
fi
cmake --build "$build" -j 2 --target Kivrun kivrun_test_host kivrun_snapshot >"$sandboxes/build.log" 2>&1 ||
  { tail -40 "$sandboxes/build.log" >&2; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# ---- The template prefix and the sandbox ---------------------------------------------------
# A prefix is made once (wineboot: a minute, several with the 32-bit Wine) and copied for
# each run. Wine's own modules (most of its size) are hard links to the template's,
# everything else a copy: a run that writes into a linked module in place would change the
# template, so the modules' sizes, times and modes are checked after each run, and a
# template found changed is made again the next time. The sandbox has no Z: drive: Wine's
# Z: is the whole Linux file system.
template=$sandboxes/template
modules='.*/drive_c/windows/.*\.\(dll\|exe\|sys\|drv\|ocx\|cpl\|acm\|ax\|tlb\|ds\|nls\|ttf\|fon\)'
module_list() { find "$template/drive_c/windows" -type f -regex "$modules" -printf '%P %s %T@ %m\n' | sort; }

# A template is Wine's of one version, with the 32-bit half (its own folders and keys) or not.
wine_version="$($wine64 --version)$([ ! -x /usr/lib/wine/wine ] || echo ' with the 32-bit Wine')"
if [ "$(cat "$template.ready" 2>/dev/null)" != "$wine_version" ]; then
  step "Making the template Wine prefix $template (once: a minute, or several with the 32-bit Wine)"
  rm -rf "$template" "$template.ready"
  (
    export WINEPREFIX=$template
    $wine64 wineboot --init >/dev/null 2>&1 </dev/null || true
    rm -f "$WINEPREFIX/dosdevices/z:"
    mkdir -p "$WINEPREFIX/drive_c/KivTry/bin"
    cp "$build/bin/kivrun_test_host.exe" "$build/bin/kivrun_snapshot.exe" "$WINEPREFIX/drive_c/KivTry/bin/"
    # The test host registers its interfaces' type library as it starts: registered here
    # once, from where every run starts it, a run's registration changes nothing.
    cd "$WINEPREFIX/drive_c"
    $wine64 'C:\KivTry\bin\kivrun_test_host.exe' --kivrun 'C:\KivTry\none.exe' >/dev/null 2>&1 </dev/null || true
    # The template's state, with the version of every module: a run's own snapshot takes
    # the versions of unchanged files from it instead of reading them again.
    $wine64 'C:\KivTry\bin\kivrun_snapshot.exe' save 'C:\KivTry\template.state' --skip 'C:\KivTry' </dev/null
    $wineserver -k 2>/dev/null || true
    $wineserver -w
    mv "$WINEPREFIX/drive_c/KivTry/template.state" "$template.state"
    rm -rf "$WINEPREFIX/drive_c/KivTry"
  )
  module_list >"$template.modules"
  echo "$wine_version" >"$template.ready"
fi

mkdir -p "$sandboxes/runs"
sandbox=$(mktemp -d "$sandboxes/runs/run-XXXXXX")
step "Copying the template into the sandbox $sandbox"
rmdir "$sandbox"
cp -al "$template" "$sandbox"
( cd "$template" && find . -type f ! -regex "$modules" -print0 ) |
  ( cd "$sandbox" && xargs -0 -r rm -f )
( cd "$template" && find . -type f ! -regex "$modules" -print0 | xargs -0 -r cp -a --parents -t "$sandbox" )

# Try.sh's own folder in the sandbox: the programs and the run's files are left out of the
# report; the package is the script's folder, and what the run does to it is reported.
own=$sandbox/drive_c/KivTry
mkdir -p "$own/bin" "$own/run" "$own/package"
cp "$build/bin/Kivrun.exe" "$build/bin/kivrun_test_host.exe" "$build/bin/kivrun_snapshot.exe" "$own/bin/"
cp -r "$package/." "$own/package/"
cp "$script" "$own/package/"
script_name=$(basename "$script")

export WINEPREFIX=$sandbox
finish() {
  $wineserver -k 2>/dev/null || true
  $wineserver -w 2>/dev/null || true
  if [ "$(module_list)" != "$(cat "$template.modules")" ]; then
    echo "try.sh: the run wrote into one of Wine's modules, which the sandbox shares with the template: it is made again next time" >&2
    rm -f "$template.ready"
  fi
  if [ "$keep" = 1 ]; then
    echo "== The sandbox is kept: WINEPREFIX=$sandbox (C:\\KivTry\\run holds the log, the host's record and the states)" >&2
  else
    rm -rf "$sandbox"
  fi
}
trap finish EXIT

# ---- The run ------------------------------------------------------------------------------
cd "$sandbox/drive_c"  # Wine's working folder: C:\ (the sandbox has no drive for the Linux one)
snapshot() { $wine64 'C:\KivTry\bin\kivrun_snapshot.exe' "$@" --skip 'C:\KivTry\bin' --skip 'C:\KivTry\run' </dev/null; }
$wineserver -p
step "Taking the sandbox's state before the run"
cp "$template.state" "$own/run/template.state"
snapshot save 'C:\KivTry\run\before.state' --cache 'C:\KivTry\run\template.state'

# run_under_host NAME [KIVRUN OPTIONS]: Kivrun under the test host, its log, record, output
# and (when it had to be ended) windows in C:\KivTry\run\NAME.*; timed_out says whether
# it was ended.
run_under_host() {
  local name=$1 host tenth
  shift
  local host_args=(--out "C:\\KivTry\\run\\$name.record.txt")
  [ -z "$params" ] || host_args+=(--params-hex "$(printf '%s' "$params" | od -An -v -tx1 | tr -d ' \n')")
  local kivrun_args=("/Script=C:\\KivTry\\package\\$script_name" "/Log=C:\\KivTry\\run\\$name.log" "$@")
  [ -z "$section" ] || kivrun_args+=("/Section=$section")
  $wine64 'C:\KivTry\bin\kivrun_test_host.exe' "${host_args[@]}" -- "${kivrun_args[@]}" </dev/null \
    >"$own/run/$name.output.txt" 2>&1 &
  host=$!
  timed_out=0
  for ((tenth = 0; tenth < timeout * 10; ++tenth)); do
    kill -0 "$host" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$host" 2>/dev/null; then
    # Kivrun ended from inside: the host then records the exit and writes its record.
    timed_out=1
    $wine64 'C:\KivTry\bin\kivrun_snapshot.exe' stop Kivrun.exe "C:\\KivTry\\run\\$name.windows.txt" </dev/null || true
    for ((tenth = 0; tenth < 100; ++tenth)); do
      kill -0 "$host" 2>/dev/null || break
      sleep 0.1
    done
    kill "$host" 2>/dev/null || true  # a host that does not end either (no record then)
  fi
  wait "$host" 2>/dev/null || true
}

# A what-if run changes nothing: it runs first, and the real run after it starts from the
# same state (what the two find differently would show in the changes).
whatif_timed_out=0
if [ "$whatif" = 1 ]; then
  step "Running $script_name with /WhatIf (ended if it still runs after ${timeout} s)"
  run_under_host whatif /WhatIf '/Plan=C:\KivTry\run\plan.json'
  whatif_timed_out=$timed_out
fi
step "Running $script_name under the test host (ended if it still runs after ${timeout} s)"
run_under_host kivrun

step "Comparing the sandbox's state with the one before the run"
json_flag=()
[ "$format" = text ] || json_flag=(--json)
snapshot diff 'C:\KivTry\run\before.state' 'C:\KivTry\run\changes.txt' "${json_flag[@]}"
$wineserver -k 2>/dev/null || true

# ---- The report ---------------------------------------------------------------------------
# Each section prints itself as text, or as a JSON object that the report merges: one more
# section is one more function and one more name in the list.
run=$own/run
# The exit code a record ends with; none for a run ended from outside (its code says nothing).
recorded_exit() { [ "$2" = 1 ] || sed -n 's/^exit \(-\{0,1\}[0-9]*\)\r\{0,1\}$/\1/p' "$1" 2>/dev/null | tail -1; }
exit_code=$(recorded_exit "$run/kivrun.record.txt" "$timed_out")

# The exit codes of a script's result are those of resources/messages.def; the others are
# Kivrun's own (docs/command-line.md, Exit codes).
exit_message() {
  case "$1" in
    0) echo "The script ran to its end, or ended on a conditional stop." ;;
    56) echo "No Script= value (the usage box), Rollback without Journal=, or RegServer failed." ;;
    57) echo "The journal's folder is in use by another run, or cannot be created or written." ;;
    58) echo "An unfinished journal could not be rolled back whole; the script did not run." ;;
    -1) echo "The process named by Parent= ended first." ;;
    -2) echo "The test host could not start Kivrun.exe." ;;
    *) sed -n "s/^KIV_RESULT($1, [0-9]*, \"\(.*\)\")\$/\1/p" "$root/resources/messages.def" ;;
  esac
}

# Kivrun writes its log and the host its record in the ANSI code page; JSON is UTF-8.
lines_of() { [ -f "$1" ] && sed 's/\r$//' "$1" | iconv -c -f WINDOWS-1252 -t UTF-8 || true; }

section_outcome() {
  local message=""
  [ -z "$exit_code" ] || message=$(exit_message "$exit_code")
  if [ "$1" = text ]; then
    echo "== Script: $script_name in $package${section:+, section $section}${params:+, parameters $params}"
    if [ "$timed_out" = 1 ]; then
      echo "== The run was ended after ${timeout} s: it was still running (a message box, a wait?)"
      [ ! -s "$run/kivrun.windows.txt" ] || { echo "Kivrun's windows then:"; sed 's/^/  /' "$run/kivrun.windows.txt"; }
    fi
    echo "== Exit code: ${exit_code:-none} ${message:+($message)}"
    return
  fi
  jq -n --arg script "$script" --arg package "$package" --arg section "$section" --arg params "$params" \
    --arg code "$exit_code" --arg message "$message" --argjson timedOut "$([ "$timed_out" = 1 ] && echo true || echo false)" \
    --argjson timeout "$timeout" --rawfile windows <(lines_of "$run/kivrun.windows.txt") \
    '{script: $script, package: $package, section: $section, params: $params,
      exitCode: (if $code == "" then null else ($code | tonumber) end), message: $message,
      timedOut: $timedOut, timeoutSeconds: $timeout,
      windows: ($windows | split("\n") | map(select(. != "")))}'
}

section_host_calls() {
  if [ "$1" = text ]; then
    echo "== Calls the host received"
    lines_of "$run/kivrun.record.txt"
    [ ! -s "$run/kivrun.output.txt" ] || { echo "== The test host's output"; lines_of "$run/kivrun.output.txt"; }
    return
  fi
  lines_of "$run/kivrun.record.txt" | jq -R . | jq -s '{hostCalls: .}'
}

section_log() {
  if [ "$1" = text ]; then
    echo "== Log (kivrun.log)"
    lines_of "$run/kivrun.log"
    return
  fi
  lines_of "$run/kivrun.log" | jq -R . | jq -s '{log: .}'
}

# The what-if run's plan: its plan lines (the log's "Line N COMMAND: Would ..." and its
# summary), its exit code and final status; as JSON, the plan file itself.
section_plan() {
  local code
  code=$(recorded_exit "$run/whatif.record.txt" "$whatif_timed_out")
  if [ "$1" = text ]; then
    echo "== What the what-if run planned (exit code ${code:-none, it was ended after ${timeout} s})"
    lines_of "$run/whatif.log" | sed -n 's/^.* \(Line [0-9]* [A-Z]*: .*\)$/\1/p; s/^.* \(What-if: .*\)$/\1/p'
    lines_of "$run/whatif.record.txt" | grep '^OnComplete' || true
    return
  fi
  if [ -s "$run/plan.json" ]; then
    iconv -c -f WINDOWS-1252 -t UTF-8 "$run/plan.json" | jq '{whatIf: .}'
  else
    jq -n '{whatIf: null}'
  fi
}

section_changes() {
  if [ "$1" = text ]; then
    echo "== What the run changed"
    cat "$run/changes.txt"
    return
  fi
  jq '{changes: .}' "$run/changes.txt"
}

section_sandbox() {
  local kept=""
  [ "$keep" = 0 ] || kept=$sandbox
  [ "$1" = text ] || jq -n --arg kept "$kept" '{sandbox: (if $kept == "" then null else $kept end)}'
}

sections=(outcome host_calls log changes sandbox)
[ "$whatif" = 0 ] || sections=(outcome host_calls log plan changes sandbox)
if [ "$format" = text ]; then
  for name in "${sections[@]}"; do "section_$name" text; done
else
  for name in "${sections[@]}"; do "section_$name" json; done | jq -s add
fi
