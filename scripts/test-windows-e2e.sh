#!/usr/bin/env bash
# End-to-end checks of the Windows build under Wine: tessil-cli.exe drives the
# Win32 stand-in EcoSim (bin/EcoSim/EcoSim700.exe of the cross build, another
# process) through its windows, and each outcome is checked against the Linux
# in-process program built beside it.
#
#   scripts/test-windows-e2e.sh [windows build folder] [Linux tessil-cli]
#
# Defaults: build/windows and build/ci/bin/tessil-cli. Uses WINEPREFIX as
# scripts/wine-run.sh does; ends every Wine program it started before it
# returns. Prints PASS, FAIL or SKIPPED per check; exits 1 when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=${1:-build/windows}
linux=${2:-build/ci/bin/tessil-cli}
bin="$build/bin"
cli="$bin/tessil-cli.exe"
standin="$bin/EcoSim/EcoSim700.exe"
foreign="$bin/ForeignWindow.exe"
wine_run="$root/scripts/wine-run.sh"

for needed in "$cli" "$linux" "$foreign"; do
  if [ ! -x "$needed" ] && [ ! -f "$needed" ]; then
    echo "FAIL: $needed is missing; build the windows and ci presets first"
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessil-e2e.XXXXXX")
background=()
finish() {
  for pid in "${background[@]}"; do kill "$pid" 2>/dev/null; done
  WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tessil-wine-$(id -u)}" wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

failures=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}
skip() { echo "SKIPPED: $1"; }

# Runs tessil-cli.exe from folder $1 with the rest as its arguments, at most
# $limit seconds; leaves status, out and err in $work/last.*.
limit=120
win_cli() {
  local folder=$1
  shift
  timeout -k 5 "$limit" "$wine_run" "$folder/tessil-cli.exe" "$@" >"$work/last.out" 2>"$work/last.err"
  echo $? >"$work/last.status"
}
status() { cat "$work/last.status"; }
said() { grep -Eiq "$1" "$work/last.err"; }
show() { echo "  status $(status); standard error:"; sed 's/^/    /' "$work/last.err" | head -20; }

# Ends every Wine program of this job, so that each check starts with none.
wine_clean() { wineserver -k 2>/dev/null || true; }

# The processes of the prefix whose program file is EcoSim700.exe.
ecosims_running() { timeout 60 "$wine_run" "$foreign" list TEcoSim 2>/dev/null | grep -c . || true; }

# A folder holding a copy of tessil-cli.exe and, when given, EcoSim's program
# file at EcoSim\EcoSim700.exe beside it.
program_folder() {
  local folder="$work/$1"
  mkdir -p "$folder"
  cp "$cli" "$folder/"
  if [ $# -gt 1 ]; then
    mkdir -p "$folder/EcoSim"
    cp "$2" "$folder/EcoSim/EcoSim700.exe"
  fi
  echo "$folder"
}

small=(run --rows 5 --cols 6 --iterations 1 --yes --ecosim-iterations 20)

# (b) Error 02 without EcoSim's program file; tells whether this build drives
# EcoSim through its windows at all.
alone=$(program_folder alone)
win_cli "$alone" "${small[@]}" --ecosim windows
backend=yes
if said "not available in this build"; then
  backend=no
  skip "no Win32 window system in this build (--ecosim windows is not available): every check below"
elif [ "$(status)" = 1 ] && grep -qx "tessil-cli: Error 02: EcoSim700.exe not found." "$work/last.err"; then
  pass "Error 02 when EcoSim700.exe is missing"
else
  fail "Error 02 when EcoSim700.exe is missing"
  show
fi
[ "$backend" = yes ] || exit 0

# (c) A program file that is not a program: the run ends at once, saying
# EcoSim could not be started.
printf 'not a program\r\n' >"$work/not-a-program.txt"
broken=$(program_folder broken "$work/not-a-program.txt")
win_cli "$broken" "${small[@]}" --ecosim windows
if [ "$(status)" != 0 ] && [ "$(status)" != 124 ] && said "could not be started|cannot be started|not be started"; then
  pass "a program file that is not a program: EcoSim could not be started"
else
  fail "a program file that is not a program: EcoSim could not be started"
  show
fi
wine_clean

if [ ! -f "$standin" ]; then
  skip "no Win32 stand-in ($standin): the checks that drive EcoSim"
  exit $((failures > 0))
fi
own=$(dirname "$cli")

# (a) The same bytes as the Linux in-process report, for settings that cover
# each index, constraint family, fixed-fixed algorithm and degenerate
# treatment, and empty sites both ways.
settings=(
  "--index c-score --column-constraint fixed --algorithm sequential-swap"
  "--index checkerboards --column-constraint fixed --algorithm independent-swap --empty-sites include --seed 7"
  "--index combinations --column-constraint fixed --algorithm knights-tour --ecosim-seed 5"
  "--index v-ratio --column-constraint equiprobable --degenerate retain --empty-sites include"
  "--index combinations --column-constraint proportional --degenerate discard --empty-sites exclude --seed 3"
  "--row-constraint equiprobable --column-constraint proportional --degenerate split --index v-ratio"
  "--row-constraint proportional --column-constraint equiprobable --degenerate fix --index checkerboards"
)
study=(run --rows 5 --cols 6 --iterations 2 --yes --ecosim-iterations 20)
for setting in "${settings[@]}"; do
  # shellcheck disable=SC2206 # the setting's words are options
  options=($setting)
  "$linux" "${study[@]}" "${options[@]}" --threads 1 >"$work/linux.out" 2>"$work/linux.err"
  win_cli "$own" "${study[@]}" "${options[@]}" --ecosim windows
  if [ "$(status)" = 0 ] && cmp -s "$work/linux.out" "$work/last.out"; then
    pass "same report as Linux: $setting"
  else
    fail "same report as Linux: $setting"
    show
    diff <(tr -d '\r' <"$work/linux.out") <(tr -d '\r' <"$work/last.out") | head -10
  fi
  wine_clean
done

# (c) A stand-in that exits before its first window.
TESSIL_ECOSIM_FAULTS=exit-at-start win_cli "$own" "${small[@]}" --ecosim windows
if [ "$(status)" != 0 ] && [ "$(status)" != 124 ] && said "could not be started|not be started|ended|exited"; then
  pass "a stand-in that exits at its start ends the run at once"
else
  fail "a stand-in that exits at its start ends the run at once"
  show
fi
wine_clean

# (d) A size EcoSim refuses: its resize dialog stays open; the run ends
# naming the size.
win_cli "$own" run --rows 2 --cols 100001 --iterations 1 --yes --ecosim-iterations 20 --ecosim windows
if [ "$(status)" != 0 ] && [ "$(status)" != 124 ] && said "would not take a matrix" && said "100001 columns"; then
  pass "a refused size ends the run and names the size"
else
  fail "a refused size ends the run and names the size"
  show
fi
wine_clean

# (e) Every test of the study stalls: each is aborted, and the run ends. (f)
# A confirmation instead of results: its OK is pressed, and the run ends.
# The warm-up test before the study is spared: without its results Tessil
# cannot start (EcoSim's results window is missing).
tiny=(run --rows 2 --cols 2 --iterations 1 --yes --ecosim-iterations 5)
for fault in stall confirm; do
  TESSIL_ECOSIM_FAULTS="from-test=2;$fault" win_cli "$own" "${tiny[@]}" --ecosim windows
  if [ "$(status)" = 0 ] && grep -q "TYPE I ERROR RATES" "$work/last.out" && [ "$(ecosims_running)" = 0 ]; then
    pass "$fault: the run ends with its report and EcoSim closed"
  else
    fail "$fault: the run ends with its report and EcoSim closed"
    show
  fi
  wine_clean
done

# (g) A missing window: error 0x80040201 (printed in decimal, 2147746305),
# and EcoSim is closed all the same.
TESSIL_ECOSIM_FAULTS="missing=TStringGrid" win_cli "$own" "${small[@]}" --ecosim windows
if [ "$(status)" = 1 ] && said "0x80040201|2147746305" && [ "$(ecosims_running)" = 0 ]; then
  pass "a missing window: error 0x80040201, EcoSim closed"
else
  fail "a missing window: error 0x80040201, EcoSim closed"
  show
fi
wine_clean

# (h) A p-value that is not a number ends the run.
TESSIL_ECOSIM_FAULTS="pvalue=nan" win_cli "$own" "${small[@]}" --ecosim windows
if [ "$(status)" = 1 ] && said "p-value" && [ ! -s "$work/last.out" ]; then
  pass "a p-value of nan ends the run without a report"
else
  fail "a p-value of nan ends the run without a report"
  show
fi
wine_clean

# (i) A stand-in that hangs inside a send: Ctrl-C (Wine turns SIGINT into the
# console's Ctrl-C event) ends the run within 9 s.
TESSIL_ECOSIM_FAULTS="hang-send=40" "$wine_run" "$own/tessil-cli.exe" "${small[@]}" --ecosim windows \
  >"$work/hang.out" 2>"$work/hang.err" &
hung=$!
background+=("$hung")
# Long enough for the stand-in to start and take the 40th character.
timeout 60 "$wine_run" "$foreign" wait TEcoSim 60 >/dev/null 2>&1
sleep 5
kill -INT "$hung" 2>/dev/null
# Where Wine starts the program through start.exe without a terminal, the
# signal to start.exe reaches no console: tessil-cli.exe's own process gets
# it too (found by its program file's Windows path).
own_exe="Z:$(cd "$own" && pwd -P | tr / '\\')\\tessil-cli.exe"
for pid in $(pgrep -f 'tessil-cli\.exe run'); do
  if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$own_exe run"; then kill -INT "$pid" 2>/dev/null; fi
done
ended=no
for _ in $(seq 1 90); do
  if ! kill -0 "$hung" 2>/dev/null; then
    ended=yes
    break
  fi
  sleep 0.1
done
wait "$hung" 2>/dev/null
hang_status=$?
if [ "$ended" = yes ] && [ "$hang_status" = 130 ] && grep -q "cancelled" "$work/hang.err"; then
  pass "a stand-in hung inside a send: Ctrl-C ends the run within 9 s"
else
  fail "a stand-in hung inside a send: Ctrl-C ends the run within 9 s (ended: $ended, status $hang_status)"
  sed 's/^/    /' "$work/hang.err" | head -10
fi
wine_clean

# (k) An EcoSim that misbehaves never holds Tessil: each run ends within
# its limit, shortened for the tests (TESSIL_TEST_WAIT_SECONDS), saying what
# happened; finished results are kept, and no EcoSim is left running.
export TESSIL_TEST_WAIT_SECONDS=5
limit=60
# expects: fault, the status wanted, a pattern of standard error, whether a
# report is wanted, what the check shows
fault_check() {
  TESSIL_ECOSIM_FAULTS="$1" win_cli "$own" "${small[@]}" --ecosim windows
  local report=no
  grep -q "TYPE I ERROR RATES" "$work/last.out" && report=yes
  if [ "$(status)" = "$2" ] && said "$3" && [ "$report" = "$4" ] && [ "$(ecosims_running)" = 0 ]; then
    pass "$5"
  else
    fail "$5"
    show
  fi
  wine_clean
}
# The warm-up types 25 characters: the 40th is in the study's first matrix.
fault_check "end-at-char=40" 1 "EcoSim ended during the run \(exit code 9\)" no \
  "EcoSim ended during a matrix's entry: the run ends at once with its exit code"
fault_check "from-test=2;end-in-test" 1 "EcoSim ended during the run \(exit code 9\)" no \
  "EcoSim ended during a test: the run ends at once with its exit code"
fault_check "missing=TCoOccurrence" 1 "warm-up test did not show its results within 5 seconds" no \
  "no results window: the warm-up test ends at its limit"
fault_check "missing=TButton/&Run" 1 "missing: the \"&Run\" button" no \
  "no \"&Run\" button: the run ends naming it, nothing is clicked"
fault_check "other-close-question" 3 "could not be closed: EcoSim did not close within 5 seconds" yes \
  "a close question that is no message form: the report is kept, EcoSim ended, exit status 3"

# (l) Another program asks EcoSim to close (a posted WM_CLOSE, as taskkill
# without /F does): Tessil never answers EcoSim's question, and the run ends
# saying so; EcoSim is closed as after every run.
timeout -k 5 "$limit" "$wine_run" "$own/tessil-cli.exe" run --rows 5 --cols 6 --iterations 20 --yes \
  --ecosim-iterations 20 --ecosim windows >"$work/closed.out" 2>"$work/closed.err" &
closed=$!
background+=("$closed")
timeout 60 "$wine_run" "$foreign" wait TEcoSim 60 >/dev/null 2>&1
timeout 60 "$wine_run" "$foreign" close TEcoSim 40 >/dev/null 2>&1
asked=$?
wait "$closed"
closed_status=$?
if [ "$asked" = 0 ] && [ "$closed_status" = 1 ] &&
  grep -q "EcoSim was asked to close by another program" "$work/closed.err" && [ "$(ecosims_running)" = 0 ]; then
  pass "EcoSim asked to close by another program: never answered by Tessil, the run ends saying so"
else
  fail "EcoSim asked to close by another program (question seen: $asked, status $closed_status)"
  sed 's/^/    /' "$work/closed.err" | head -10
fi
wine_clean
unset TESSIL_TEST_WAIT_SECONDS
limit=120

# (j) Another program's message box with an OK, and an EcoSim the user had
# open before, are still there after a run, untouched.
log_unix="$work/foreign.log"
log_windows=$(WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tessil-wine-$(id -u)}" winepath -w "$log_unix" 2>/dev/null)
"$wine_run" "$foreign" show "$log_windows" >/dev/null 2>&1 &
box=$!
background+=("$box")
"$wine_run" "$standin" >/dev/null 2>&1 &
users=$!
background+=("$users")
timeout 60 "$wine_run" "$foreign" wait TMessageForm 60 >/dev/null 2>&1
timeout 60 "$wine_run" "$foreign" wait TEcoSim 60 >/dev/null 2>&1
timeout 60 "$wine_run" "$foreign" list TEcoSim >"$work/before.txt" 2>/dev/null
"$linux" "${small[@]}" --threads 1 >"$work/linux.out" 2>/dev/null
win_cli "$own" "${small[@]}" --ecosim windows
timeout 60 "$wine_run" "$foreign" list TEcoSim >"$work/after.txt" 2>/dev/null
if [ "$(status)" = 0 ] && cmp -s "$work/linux.out" "$work/last.out" && kill -0 "$box" 2>/dev/null &&
  kill -0 "$users" 2>/dev/null && [ "$(cat "$log_unix" 2>/dev/null)" = ready ] &&
  [ -s "$work/before.txt" ] && cmp -s "$work/before.txt" "$work/after.txt"; then
  pass "another program's OK box and the user's EcoSim are left alone"
else
  fail "another program's OK box and the user's EcoSim are left alone"
  show
  echo "  box log: $(tr '\n' ' ' <"$log_unix" 2>/dev/null); EcoSims before: $(cat "$work/before.txt"); after: $(cat "$work/after.txt")"
fi
wine_clean

exit $((failures > 0))
