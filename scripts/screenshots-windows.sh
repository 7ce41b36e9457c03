#!/usr/bin/env bash
# Pictures of every window of the desktop program on Windows, as Wine's X11
# driver draws them on a virtual X server: docs/screenshots/windows/ at 96
# dots per inch and docs/screenshots/windows/144dpi/ at 144 (Wine reads
# HKCU\Control Panel\Desktop\LogPixels). DesktopDriver.exe opens each window
# as a user would, runs a small study against the Win32 stand-in, and says
# where each window lies; ImageMagick's import takes it from the screen.
#
#   scripts/screenshots-windows.sh [windows build folder] [pictures folder]
#
# Needs the `windows` build (tessil.exe, DesktopDriver.exe, the stand-in),
# Xvfb, fonts-wine and ImageMagick (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/windows}
out=${2:-docs/screenshots/windows}
bin="$build/bin"
for needed in "$bin/tessil.exe" "$bin/DesktopDriver.exe" "$bin/EcoSim/EcoSim700.exe"; do
  [ -f "$needed" ] || { echo "$needed is missing: build the windows preset first" >&2; exit 1; }
done
mkdir -p "$out/144dpi"
out=$(cd "$out" && pwd)
bin=$(cd "$bin" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessil-pictures.XXXXXX")
export WINEPREFIX="$scratch/wine"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
finish() {
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap finish EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }

xvfb-run -a -s "-screen 0 1600x1200x24" bash -s -- "$bin" "$out" "$scratch" <<'INSIDE'
set -euo pipefail
bin=$1
out=$2
scratch=$3
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
timeout 120 wineboot -i >/dev/null 2>&1
# Without a window manager every hide of a window would wait 2 s.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

shots() {
  local dpi=$1 folder=$2
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  local sync="$scratch/sync-$dpi"
  mkdir -p "$sync"
  local s
  s=$(win "$sync")
  timeout -k 5 300 wine "$(win "$bin/DesktopDriver.exe")" >"$scratch/driver-$dpi.log" 2>&1 <<STEPS &
start | $(win "$bin/tessil.exe")
window | Tessil | 20 | Run
photo | $s | main-window
type | Rows (Number of Species): | 1
tab | Rows (Number of Species):
window | Tessil | 20 | OK
photo | $s | message-box
click | OK
window | Tessil | 20 | Run
type | Rows (Number of Species): | 10
tab | Rows (Number of Species):
click | Change...
window | Tessil -- EcoSim Options
click | V-ratio
photo | $s | ecosim-options
click | Cancel
window | Tessil | 20 | Run
click | Advanced Options...
window | Tessil -- Options
photo | $s | simulation-options
type | Number of Iterations: | 1
click | OK
message | Warning | Yes
window | Tessil | 20 | Run
click | Run
title | Tessil Progress... 1 | 120
photo | $s | progress-window
window | Tessil Results* | 150
photo | $s | results-window
click | Chart
photo | $s | results-chart
maximize | TessilChart
photo | $s | results-chart-maximized
click | Save
window | Save
photo | $s | save-dialog
close
window | Tessil Results*
click | Close
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
photo | $s | exit-confirmation
click | No
window | Tessil | 20 | Run
# "&About Tessil" (the menu's command 219).
command | 219
window | About Tessil
photo | $s | about
click | Close
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
click | Yes
exited | 20
STEPS
  local driver=$!
  local seen=0
  touch "$scratch/driver-$dpi.log"
  while kill -0 "$driver" 2>/dev/null || [ "$(grep -c '^photo ' "$scratch/driver-$dpi.log")" -gt "$seen" ]; do
    while read -r _ name x y w h; do
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$folder/$name.png"
      echo "wrote $folder/$name.png (${w}x${h})"
      touch "$sync/$name.done"
      seen=$((seen + 1))
    done < <(grep '^photo ' "$scratch/driver-$dpi.log" | tail -n +$((seen + 1)))
    sleep 0.2
  done
  wait "$driver" || { echo "the driver failed at $dpi dpi:"; grep -v '^ok\|^photo' "$scratch/driver-$dpi.log"; exit 1; }
  wineserver -k 2>/dev/null || true
}

shots 96 "$out"
shots 144 "$out/144dpi"
INSIDE
