# Sourced by the build and test scripts: stop at the first failing step, and name it
# (set -e alone would end the script without a word of which step it was).
set -Eeuo pipefail
trap 'status=$?; echo "${BASH_SOURCE[0]}:$LINENO: \"$BASH_COMMAND\" failed with $status" >&2' ERR
