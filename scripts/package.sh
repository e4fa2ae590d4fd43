#!/usr/bin/env bash
# Builds the release archives into build/packages:
#   kivrun-VERSION-x86.zip, kivrun-VERSION-x64.zip   Kivrun.exe and kivcheck.exe (stripped),
#       install.txt (installing and registering), LICENSE.txt, docs\ as text with its pictures,
#       examples\ (the example updates with their packages)
#   kivcheck-VERSION-linux-x86_64.tar.gz             the checker for Linux, when the tree builds it
#   SHA256SUMS                                       the archives' SHA-256 sums
# from Release trees of its own (build/release-x86, build/release-x64, build/release-linux),
# without the tests. VERSION (top of the tree) names the release. It prints the sizes of the
# stripped programs and fails when Kivrun.exe is over its size goal.
#
# One commit always gives the same bytes: nothing in the archives carries a time, a user or a
# build folder (the programs get none: see src/CMakeLists.txt; every entry is dated from the
# commit, SOURCE_DATE_EPOCH, and the entries are in name order).
#   scripts/package.sh --check   builds everything twice, in build/repro-1 and build/repro-2,
#                                and fails unless the two SHA256SUMS are identical
# Before any archive is written, scripts/test-i686.sh runs the 32-bit Kivrun.exe and its tests
# under the emulated 32-bit Wine (as root; about a minute, some five more on a fresh machine):
# no archive comes from a tree whose 32-bit program fails them.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/test-i686.sh

readonly kSizeGoal=262144  # a stripped Kivrun.exe, for each target: at most 256 KiB
version=$(head -n 1 VERSION)
jobs=${KIVRUN_JOBS:-$(nproc)}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C  # zip keeps local times; names sort the same everywhere
umask 022

# The shipped programs' toolchain: the -win32 compilers where the tree has their files.
toolchain() {  # toolchain <processor>
  local file=cmake/mingw-$1-win32threads.cmake
  [ -f "$file" ] || file=cmake/mingw-$1.cmake
  echo "$file"
}

has_target() {  # has_target <build folder> <target>
  cmake --build "$1" --target help | grep -w "$2" >/dev/null
}

# Configures a Release tree without the tests and builds the given targets that it has.
# Prints the targets it built.
build_release() {  # build_release <folder> <cmake options> -- <targets...>
  local folder=$1; shift
  local options=()
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release -DKIVRUN_TESTS=OFF "${options[@]}" >/dev/null
  local present=()
  for target in "$@"; do
    if has_target "$folder" "$target"; then present+=("$target"); fi
  done
  [ ${#present[@]} -eq 0 ] && return 0
  cmake --build "$folder" -j "$jobs" --target "${present[@]}" >&2
  echo "${present[@]}"
}

# Text for Windows readers: CRLF line ends, whatever the source has.
as_windows_text() {  # as_windows_text <source> <destination>
  sed 's/\r$//; s/$/\r/' "$1" >"$2"
}

# Dates every staged entry from the commit and fixes its mode.
normalise() {  # normalise <folder>
  find "$1" -type d -exec chmod 755 {} +
  find "$1" -type f -exec chmod 644 {} +
  find "$1" -type f \( -name '*.exe' -o -name kivcheck \) -exec chmod 755 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

report_size() {  # report_size <label> <file>
  local bytes
  bytes=$(stat -c %s "$2")
  printf '%-28s %7d bytes (%s KiB)\n' "$1" "$bytes" "$(awk "BEGIN { printf \"%.1f\", $bytes / 1024 }")"
}

# Builds, stages and archives everything into <root>/packages.
package() {  # package <build root>
  local root=$1 out=$1/packages stage=$1/stage
  rm -rf "$out" "$stage"
  mkdir -p "$out" "$stage"
  local oversize=0

  local arch processor triple folder name built
  for arch in x86 x64; do
    processor=i686; [ "$arch" = x64 ] && processor=x86_64
    triple=$processor-w64-mingw32
    folder=$root/release-$arch
    built=$(build_release "$folder" -DCMAKE_TOOLCHAIN_FILE="$(toolchain $processor)" -- Kivrun kivcheck)
    name=kivrun-$version-$arch
    mkdir -p "$stage/$name/docs" "$stage/$name/examples"
    for program in $built; do
      local exe=$program.exe
      [ "$program" = Kivrun ] && exe=Kivrun.exe
      "$triple-strip" -o "$stage/$name/$exe" "$folder/bin/$exe"
      report_size "$exe ($arch, stripped)" "$stage/$name/$exe"
    done
    if [ ! -f "$stage/$name/Kivrun.exe" ]; then
      echo "Kivrun.exe ($arch) was not built" >&2
      return 1
    fi
    if [ "$(stat -c %s "$stage/$name/Kivrun.exe")" -gt $kSizeGoal ]; then
      echo "Kivrun.exe ($arch) is over its size goal of $kSizeGoal bytes" >&2
      oversize=1
    fi
    as_windows_text docs/install.txt "$stage/$name/install.txt"
    as_windows_text LICENSE "$stage/$name/LICENSE.txt"
    for doc in docs/*.md; do
      as_windows_text "$doc" "$stage/$name/docs/$(basename "$doc" .md).txt"
    done
    # The pictures commands.txt links (images/progress.png, ...) sit beside it as in the tree.
    mkdir -p "$stage/$name/docs/images"
    cp docs/images/*.png "$stage/$name/docs/images/"
    cp -r examples/* "$stage/$name/examples/"
    normalise "$stage/$name"
    (cd "$stage" && find "$name" -type f | sort | zip -X -D -9 -q "../packages/$name.zip" -@)
  done

  folder=$root/release-linux
  built=$(build_release "$folder" -- kivcheck)
  if [ -n "$built" ]; then
    name=kivcheck-$version-linux-x86_64
    mkdir -p "$stage/$name"
    strip -o "$stage/$name/kivcheck" "$folder/bin/kivcheck"
    report_size "kivcheck (linux, stripped)" "$stage/$name/kivcheck"
    normalise "$stage/$name"
    tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
        -cf - "$name" | gzip -n -9 >"$out/$name.tar.gz"
  else
    echo "kivcheck: not built by this tree, no Linux archive"
  fi

  (cd "$out" && sha256sum -- * >SHA256SUMS)
  return $oversize
}

if [ "${1:-}" = "--check" ]; then
  rm -rf build/repro-1 build/repro-2
  package build/repro-1
  package build/repro-2
  cat build/repro-1/packages/SHA256SUMS
  if cmp -s build/repro-1/packages/SHA256SUMS build/repro-2/packages/SHA256SUMS; then
    echo "Reproducible: two builds in build/repro-1 and build/repro-2 gave identical archives"
  else
    echo "NOT reproducible: the two builds differ:" >&2
    diff build/repro-1/packages/SHA256SUMS build/repro-2/packages/SHA256SUMS >&2 || true
    exit 1
  fi
else
  package build
  echo "Archives in build/packages:"
  cat build/packages/SHA256SUMS
fi
