#!/usr/bin/env bash
# Makes the pictures in docs/images again: the progress window mid-run, the SHOWMSG and YESNO
# boxes and PROMPTREBOOT's question, each shown by a small script that Kivrun.exe runs under
# Wine inside a virtual X display, captured (the window alone) and Kivrun then ended.
# Usage: scripts/screenshots.sh [build folder]   (default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build/screenshots}")
images=docs/images

if [ -z "${KIVRUN_SHOT_DISPLAY:-}" ]; then
  # Capturing needs xdotool and import (ImageMagick), and the boxes want Wine's own fonts;
  # setup installs them with the rest, only when missing.
  scripts/setup.sh xdotool imagemagick fonts-wine

  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKIVRUN_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target Kivrun >/dev/null

  # The rest runs again inside a virtual display of a fixed size with a plain black desktop.
  exec env KIVRUN_SHOT_DISPLAY=1 xvfb-run -a -s '-screen 0 1024x768x24 -br' scripts/screenshots.sh "$build"
fi

# A fresh Wine prefix of the pictures' own (made as scripts/wine-prefix.sh makes the tests' one).
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot >/dev/null 2>&1 </dev/null
# No window manager runs here: Wine then draws the title bars and frames itself, as Windows does.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# Debian's Wine does not load the fonts of fonts-wine from where that package puts them; in the
# prefix's Fonts folder it does (Tahoma for the texts, Marlett for the close button).
cp /usr/share/wine/fonts/{tahoma,tahomabd,marlett}.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# A folder without "-" or "/": those end a value on Kivrun's command line.
shots="$WINEPREFIX/drive_c/KivShots"
mkdir -p "$shots" "$images"

# shoot <picture> <window title> <script lines...>: runs the lines as the script's start
# section, waits for the window, captures it as docs/images/<picture>.png and ends Kivrun
# (never answering a box: a Yes to PROMPTREBOOT would restart Windows).
shoot() {
  local picture=$1 title=$2; shift 2
  { printf '[DefaultInstall]\r\n'; printf '%s\r\n' "$@"; } >"$shots/$picture.kiv"
  wine "$build/bin/Kivrun.exe" "/Script=C:\\KivShots\\$picture.kiv" "/Log=C:\\KivShots\\$picture.log" \
    >/dev/null 2>&1 </dev/null &
  local kivrun=$! window
  if ! window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$title\$"); then
    echo "No window \"$title\" appeared for $picture" >&2
    kill "$kivrun" 2>/dev/null || true
    return 1
  fi
  window=${window%%$'\n'*}
  # shellcheck disable=SC2034  # getwindowgeometry --shell sets all six
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$window")"
  sleep 1  # let the window repaint (the progress window after its last SETPROGRESS)
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "png8:$images/$picture.png"
  kill "$kivrun"
  wait "$kivrun" 2>/dev/null || true
  echo "$images/$picture.png: ${WIDTH}x${HEIGHT}"
}

shoot progress 'Vorna Scan update' \
  'STARTPROGRESSDLG Vorna Scan update' \
  'SETPROGRESS 40,Installing engine 5.4.1...' \
  'WAITFORTIME 60000'
shoot showmsg 'Vorna Kivrun' \
  'SHOWMSG The update to DAT 4410 is complete.'
shoot yesno 'Kivrun' \
  'YESNO Restart=Restart Windows now to finish the update?'
shoot promptreboot 'Vorna Kivrun' \
  'PROMPTREBOOT The update needs a restart of Windows. Restart now?'
