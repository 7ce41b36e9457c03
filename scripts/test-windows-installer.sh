#!/usr/bin/env bash
# The setup program for Windows, under headless Wine, in a prefix of its own:
# a silent install into a folder whose name has a space and a non-ASCII
# letter, the installed programs run (the report byte for byte as on Linux,
# the desktop's main window), a silent uninstall that leaves the user's EcoSim
# files alone, and a default install that lands in the user's local
# application data.
#
#   scripts/test-windows-installer.sh [windows build folder] [Linux tessil-cli] [setup.exe]
#
# Prints PASS or FAIL per check; exits 1 when any failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)

build=${1:-build/windows}
linux=${2:-build/ci/bin/tessil-cli}
setup=${3:-$(ls "$build"/package/Tessil-*-windows-x64-setup.exe 2>/dev/null | head -1)}
driver="$build/bin/DesktopDriver.exe"
for needed in "$driver" "$linux" "$setup"; do
  if [ ! -f "$needed" ]; then
    echo "FAIL: ${needed:-the setup program} is missing; build the windows and ci presets and the packages first"
    exit 1
  fi
done
setup=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup")

work=$(mktemp -d "${TMPDIR:-/tmp}/tessil-installer.XXXXXX")
export WINEPREFIX="$work/wine"
finish() {
  wineserver -k 2>/dev/null
  rm -rf "$work" "$WINEPREFIX.lock"
}
trap finish EXIT
failures=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
wine_run() { timeout -k 5 "$1" "$root/scripts/wine-run.sh" "${@:2}"; }
# Every program of the prefix has ended (an uninstaller runs on as a copy of
# itself after the one started has returned).
settle() { timeout -k 5 60 wineserver -w; }
registered() { wine_run 30 reg query "$1" >/dev/null 2>&1; }

# NSIS's default stub is 32-bit and, under 64-bit-only Wine, exits 0 having
# installed nothing: the setup program must be an x86-64 PE file.
header=$(od -An -tu4 -j60 -N4 "$setup" | tr -d ' ')
machine=$(od -An -tx2 -j$((header + 4)) -N2 "$setup" | tr -d ' ')
if [ "$machine" = 8664 ]; then
  pass "$(basename "$setup") is a 64-bit Windows program"
else
  fail "$(basename "$setup") is built for machine $machine, not x86-64"
fi

# The prefix, made before anything is timed against it.
wine_run 120 cmd /c ver >/dev/null 2>&1
# Wine names the Windows user after the Unix one.
profile="$WINEPREFIX/drive_c/users/$(id -un)"
local_app="$profile/AppData/Local/Programs/Tessil"
menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tessil"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessil'
app_key='HKCU\Software\Tessil'

# 1. A silent install into a chosen folder. NSIS takes /D= only unquoted and
#    last on its command line, which `wine setup.exe` does not keep; a batch
#    file does, and reads the folder's name from the environment, so the
#    file itself is ASCII in any code page.
target="$work/Tessil Prüfung"
printf '@"%%TESSIL_SETUP%%" /S /D=%%TESSIL_TARGET%%\r\n' >"$work/install.bat"
TESSIL_SETUP=$(win "$setup") TESSIL_TARGET=$(win "$target") wine_run 120 cmd /c "$(win "$work/install.bat")" 2>/dev/null
status=$?
settle
contents=$(cd "$target" 2>/dev/null && find . | LC_ALL=C sort | tr '\n' ' ')
expected='. ./EcoSim ./README-Windows.txt ./Tessil Help.chm ./Uninstall.exe ./tessil-cli.exe ./tessil.exe '
if [ "$status" = 0 ] && [ "$contents" = "$expected" ]; then
  pass "a silent install into \"$(basename "$target")\" holds the programs, the help, the text and an EcoSim folder"
else
  fail "the silent install ended with status $status and holds: ${contents:-nothing}"
fi
if [ -f "$menu/Tessil.lnk" ] && registered "$uninstall_key" && registered "$app_key"; then
  pass "the install made a Start-menu entry and the current user's uninstall entry"
else
  fail "the Start-menu entry or the current user's registry keys are missing"
fi

# 2. The installed programs: the CLI prints the Linux report's bytes, and the
#    desktop program shows its main window and leaves when asked.
"$linux" run >"$work/linux.txt" 2>/dev/null
if wine_run 120 "$target/tessil-cli.exe" run >"$work/installed.txt" 2>/dev/null && cmp -s "$work/linux.txt" "$work/installed.txt"; then
  pass "the installed tessil-cli.exe run prints the Linux report's $(wc -c <"$work/linux.txt") bytes"
else
  fail "the installed tessil-cli.exe run does not print the Linux report"
fi
if wine_run 60 "$driver" >"$work/desktop.log" 2>&1 <<EOF; then
start | $(win "$target/tessil.exe")
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
click | Yes
exited | 20
EOF
  pass "the installed tessil.exe shows its main window"
else
  fail "the installed tessil.exe did not show its main window:"
  tail -3 "$work/desktop.log"
fi
settle

# An install over an earlier one, without /D, renews it where it is (the
# program's file, dated back, gets the build's date again).
touch -d '2000-01-01' "$target/tessil-cli.exe"
wine_run 120 "$setup" /S 2>/dev/null
settle
contents=$(cd "$target" && find . | LC_ALL=C sort | tr '\n' ' ')
if [ "$contents" = "$expected" ] && [ "$(date -r "$target/tessil-cli.exe" +%Y)" != 2000 ] && [ ! -e "$local_app" ]; then
  pass "an install over an earlier one renews it in its folder"
else
  fail "an install over an earlier one did not renew \"$(basename "$target")\": ${contents:-nothing}"
fi

# 3. A silent uninstall: nothing of Tessil's is left, and the user's EcoSim
#    program file stays where the user put it.
printf 'not Tessil'"'"'s\n' >"$target/EcoSim/EcoSim700.exe"
wine_run 60 "$target/Uninstall.exe" /S 2>/dev/null
settle
left=$(cd "$target" 2>/dev/null && find . | LC_ALL=C sort | tr '\n' ' ')
leftovers=""
[ "$left" = '. ./EcoSim ./EcoSim/EcoSim700.exe ' ] || leftovers+=" the folder holds: ${left:-nothing};"
[ -e "$menu" ] && leftovers+=" the Start-menu folder holds: $(ls "$menu" | tr '\n' ' ');"
registered "$uninstall_key" && leftovers+=" the uninstall entry is left;"
registered "$app_key" && leftovers+=" $app_key is left;"
if [ -z "$leftovers" ]; then
  pass "a silent uninstall leaves no file, Start-menu entry or registry key of Tessil's, and the user's EcoSim file"
else
  fail "after a silent uninstall$leftovers"
fi

# 4. A default install (no /D) goes to the user's local application data,
#    never to ProgramData or Program Files.
wine_run 120 "$setup" /S 2>/dev/null
settle
elsewhere=$(find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/Program Files" \
  "$WINEPREFIX/drive_c/Program Files (x86)" -iname 'tessil*' 2>/dev/null | head -1)
if [ -f "$local_app/tessil-cli.exe" ] && [ -z "$elsewhere" ]; then
  pass "a default install lands in the user's local application data (${local_app#"$WINEPREFIX"/})"
else
  fail "a default install is not in ${local_app#"$WINEPREFIX"/}${elsewhere:+ but in $elsewhere}"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures installer check(s) failed"
  exit 1
fi
echo "all installer checks passed"
