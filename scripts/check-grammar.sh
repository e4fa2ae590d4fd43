#!/usr/bin/env bash
# Tests the VS Code support for KIV scripts (editors/vscode) as VS Code uses it: tokenizes every
# KIV example that scripts/check-examples.sh checks (the docs' blocks and examples/) with the
# grammar through vscode-textmate and vscode-oniguruma, and reads a faulty script's kivcheck
# output with the problem matchers. Installs Node.js and npm with apt-get when they are missing,
# and the two npm packages (editors/vscode/test/package-lock.json) once.
#
#   scripts/check-grammar.sh [KIVCHECK]
#
# KIVCHECK defaults to build/native/bin/kivcheck (the test command builds it); without one there,
# scripts/kivcheck.sh builds its own.
cd "$(dirname "$0")/.."
source scripts/strict.sh
step() { echo "== $*" >&2; }

kivcheck=${1:-build/native/bin/kivcheck}
if [[ $# == 0 && ! -x $kivcheck ]]; then
  step "Building the checker (scripts/kivcheck.sh, in build/kivcheck)"
  scripts/kivcheck.sh --version >/dev/null
  kivcheck=build/kivcheck/bin/kivcheck
fi
kivcheck=$(realpath "$kivcheck")

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  step "Installing Node.js and npm (apt-get)"
  scripts/setup.sh --checker nodejs npm
fi

# npm ci empties node_modules first: run it only when the lock file changed since the last one.
tests=editors/vscode/test
if ! cmp -s "$tests/package-lock.json" "$tests/node_modules/.kivrun-lock"; then
  step "Installing vscode-textmate and vscode-oniguruma (npm ci in $tests)"
  (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$tests/package-lock.json" "$tests/node_modules/.kivrun-lock"
fi

step "Tokenizing the KIV examples with the grammar; reading kivcheck's output with the problem matchers"
cd "$tests"
KIVCHECK=$kivcheck node --test grammar.test.js
