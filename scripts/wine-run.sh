#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, headless: Wine's null
# display driver, no X server. The prefix is made on first use (about 15 s)
# in WINEPREFIX, by default a folder of this user's in the temporary folder;
# concurrent runs share it, and its server ends after the last of them.
#
#   scripts/wine-run.sh build/windows/bin/tessil-cli.exe run --iterations 100
set -euo pipefail

export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tessil-wine-$(id -u)}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${TESSIL_WINE_LOCALE:-C.UTF-8}"
unset DISPLAY WAYLAND_DISPLAY

# The marker names the set-up below; a prefix made by an older set-up is
# brought up to date. A prefix made before 32-bit Wine (wine32:i386) was
# installed lacks the 32-bit system folder that a 32-bit program needs, so
# this set-up (3) is the first that expects it.
ready="$WINEPREFIX/.tessil-ready-3"
if [ ! -f "$ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      wineboot -i >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      # A program that crashes prints its backtrace and ends, instead of
      # waiting for a crash window that nobody can see to be closed.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      wineserver -w
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# With 32-bit Wine installed, Debian's `wine` starts every program through
# the 32-bit loader, and a 64-bit program started so never receives the
# SIGINT sent to that loader (Ctrl-C would be lost): a 64-bit program is
# started by the 64-bit loader itself. It starts 32-bit programs as usual.
loader=wine
if [ -x /usr/lib/wine/wine64 ] && [ -f "${1:-}" ]; then
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  if [ -n "$header" ] && [ "$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" = 8664 ]; then
    loader=/usr/lib/wine/wine64
  fi
fi
exec "$loader" "$@"
