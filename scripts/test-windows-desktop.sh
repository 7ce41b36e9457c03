#!/usr/bin/env bash
# The desktop program on Windows, under headless Wine: DesktopDriver.exe drives
# tessil.exe's own windows from another process (find by class and caption,
# type, press, read back), the way Tessil drives EcoSim. tessil.exe runs from
# the unpacked ZIP in a folder whose name has a space and letters outside the
# ANSI code page, with the Win32 stand-in as its EcoSim (another process).
#
#   scripts/test-windows-desktop.sh [windows build folder] [Linux tessil-cli] [ZIP]
#
# Prints PASS or FAIL per check; exits 1 when any failed. Uses WINEPREFIX as
# scripts/wine-run.sh does and ends every Wine program before it returns.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=${1:-build/windows}
linux=${2:-build/ci/bin/tessil-cli}
zip=${3:-$(ls "$build"/package/Tessil-*-windows-x64.zip 2>/dev/null | head -1)}
driver="$build/bin/DesktopDriver.exe"
standin="$build/bin/EcoSim/EcoSim700.exe"
wine_run="$root/scripts/wine-run.sh"
for needed in "$driver" "$standin" "$linux" "$zip"; do
  if [ ! -f "$needed" ]; then
    echo "FAIL: ${needed:-the ZIP} is missing; build the windows and ci presets and the package first"
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessil-desktop.XXXXXX")
finish() {
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
failures=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

# The unpacked ZIP in a folder with a space and Greek letters (outside code
# page 1252), EcoSim's program file beside it as a user would put it.
folder="$work/Tessil Δοκιμή"
mkdir -p "$folder"
cmake -E chdir "$folder" cmake -E tar xf "$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")"
program=$(ls -d "$folder"/Tessil-*)
mkdir -p "$program/EcoSim"
cp "$standin" "$program/EcoSim/EcoSim700.exe"
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
exe=$(win "$program/tessil.exe")
out=$(win "$work")

# Runs one driver script (standard input) against a fresh tessil.exe, at most
# $2 seconds; its steps and status go to $work/$1.log.
drive() {
  local name=$1 seconds=$2
  timeout -k 5 "$seconds" env TESSIL_HELP_LOG="$(win "$work/help-$name.log")" ${3:+TESSIL_ECOSIM_FAULTS=$3} \
    "$wine_run" "$driver" >"$work/$name.log" 2>&1
  local status=$?
  wineserver -k 2>/dev/null
  return $status
}
said() { sed 's/^/    /' "$work/$1.log" | grep -v '^    ok' | tail -5; }

# 1. The windows' rules, one program: a refused size and its message, the
#    simulation options' question, a study through Run, Save and Save Chart
#    (a name it cannot write refused), Report and Chart reached by Tab and
#    chosen by Space or Enter, the results window maximized,
#    Cancel during a second study, the EcoSim options, the exit question by
#    the mouse and by the keyboard.
started=$(date +%s)
if drive behaviour 300 <<EOF; then
start | $exe
window | Tessil | 20 | Run
checked | No Interactions Between Species | 1
enabled | Sites Equivalent #2 | 1
enabled | Interactions Between Species: | 0
box | 1 | Interactions Between Species
click | Species Equivalent
enabled | Interactions Between Species: | 1
enabled | Species Equivalent #2 | 0
click | No Interactions Between Species
type | Rows (Number of Species): | 1
tab | Rows (Number of Species):
message | Error 05: Matrix must have at least 2 rows. | OK
type | Rows (Number of Species): | 12abc
tab | Rows (Number of Species):
expect | Rows (Number of Species): | 12
type | Rows (Number of Species): | 10
tab | Rows (Number of Species):
click | Advanced Options...
window | Tessil -- Options
type | Number of Iterations: | 2
click | OK
message | Warning: Simulating with fewer than 100 iterations may yield unreliable results. Continue? (Error 09) | No
window | Tessil -- Options
expect | Number of Iterations: | 2
click | OK
message | Warning: Simulating with fewer than 100 iterations may yield unreliable results. Continue? (Error 09) | Yes
gone | Tessil -- Options
window | Tessil | 20 | Run
key | F1
click | Run
title | Tessil Progress...
window | Tessil Results* | 150
click | Help
click | Save
save | Save | $out\\report
window | Tessil Results
click | Save Chart
save | Save Chart | $out\\chart.svg
focus | Help | Tab | Report
focus | Report | Tab | Chart
focus | Chart | Space
checked | Chart | 1
checked | Report | 0
click | Save Chart
save | Save Chart | $out\\chart.png
click | Save Chart
save | Save Chart | $out\\chart.jpg
message | The chart cannot be saved as | OK
window | Tessil Results
maximize | TessilChart
focus | Report | Enter
checked | Report | 1
checked | Chart | 0
click | Close
window | Tessil | 20 | Run
click | Run
title | Tessil Progress... | 60 | Cancel
title | Tessil Progress... 1
# Esc is Cancel: the key reaches the progress window while EcoSim computes.
key | Esc
window | Tessil | 9 | Run
gone | Tessil Progress... | 9
click | Change...
window | Tessil -- EcoSim Options
visible | Include | 0
click | V-ratio
visible | Include | 1
click | Include
type | Number of iterations: | 0
tab | Number of iterations:
message | Error 01: At least 1 iteration required. | OK
type | Number of iterations: | 1e3
tab | Number of iterations:
expect | Number of iterations: | 1000
click | Make Changes
window | Tessil | 20 | Run
box | 2 | Empty Sites: Include\r\nFixed-Fixed Randomization Algorithm: Sequential Swap\r\nDegenerate Matrices: Retain\r\nColumn Constraints: Equiprobable\r\nRow Constraints: Fixed Sum\r\nCo-occurrence Index: V-ratio\r\nNumber of iterations: 1000\r\nRandom Number Seed: 0
click | Change...
window | Tessil -- EcoSim Options
click | C-score
visible | Include | 0
type | Number of iterations: | 7
click | Cancel
window | Tessil | 20 | Run
click | Change...
window | Tessil -- EcoSim Options
checked | V-ratio | 1
visible | Include | 1
expect | Number of iterations: | 1000
click | Cancel
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
click | No
window | Tessil | 20 | Run
# By the keyboard: the focused button alone is the default one, and Enter
# presses it, No as well as Yes.
close
window | Tessil | 20 | Exit Tessil?
focused | Yes
press | Tab
focused | No
press | Enter
gone | Tessil | 9 | Exit Tessil?
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
focused | Yes
press | Enter
exited | 20
EOF
  pass "the desktop's windows: refusals, questions, a study, Save and Save Chart, a maximized chart, Cancel, EcoSim options, exit by mouse and keyboard ($(($(date +%s) - started)) s)"
else
  fail "the desktop's windows:"
  said behaviour
fi

# 2. The saved report is the Linux in-process report of the same study, byte
#    for byte; the chart is an SVG picture.
"$linux" run --rows 10 --cols 10 --iterations 2 --yes >"$work/linux.txt" 2>/dev/null
if [ -f "$work/report.txt" ] && cmp -s "$work/linux.txt" "$work/report.txt"; then
  pass "the report saved through the desktop is the Linux report's $(wc -c <"$work/linux.txt") bytes"
else
  fail "the saved report differs from the Linux report"
  [ -f "$work/report.txt" ] && diff "$work/linux.txt" "$work/report.txt" | head -5
fi
if [ -f "$work/chart.svg" ] && grep -q '<svg' "$work/chart.svg" && [ -f "$work/chart.png" ] &&
  [ "$(head -c 8 "$work/chart.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] &&
  ! ls "$work"/chart.jpg* >/dev/null 2>&1; then
  pass "Save Chart wrote an SVG picture and a PNG picture, and refused a JPEG name without writing"
else
  fail "Save Chart wrote no SVG or no PNG picture, or wrote under a JPEG name"
fi

# 3. Help: the topics asked for by the menu and the results window, and every
#    help window closed at exit.
help="$work/help-behaviour.log"
if [ -f "$help" ] && grep -q 'Tessil Help.chm", 0, "Getting Started.htm"' "$help" &&
  grep -q 'Tessil Help.chm", 0, "Results.htm"' "$help" && tail -1 "$help" | grep -q '"", 18, ""'; then
  pass "help opens Getting Started.htm and Results.htm, and closes every help window at exit"
else
  fail "the help calls were:"
  sed 's/^/    /' "$help" 2>/dev/null
fi

# 4. A run-ending EcoSim fault shown through the desktop: EcoSim ends as it
#    starts; the user is told, and the main window returns.
if drive fault 120 exit-at-start <<EOF; then
start | $exe
window | Tessil | 20 | Run
click | Run
message | The run could not be completed. | OK | 60
window | Tessil | 20 | Run
close
window | Tessil | 20 | Exit Tessil?
click | Yes
exited | 20
EOF
  pass "an EcoSim that ends at its start is reported in a message box, and the main window returns"
else
  fail "a run-ending fault:"
  said fault
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures desktop check(s) failed"
  exit 1
fi
echo "all desktop checks passed"
