#!/usr/bin/env bash
# Checks under Wine against a stand-in EcoSim stricter than Windows and a
# 32-bit one, from folders named outside the ANSI code page:
#   - a Shift key held in EcoSim's grid thread misplaces no cell;
#   - tessil-cli.exe and EcoSim in "Tessil Ω Łódź", with -o, --tsv, a
#     matrix file and a sweep plan in folders named so;
#   - the 64-bit tessil-cli.exe against the 32-bit stand-in (as EcoSim 7.0
#     is): the same report, confirmations instead of results, and Ctrl-C.
# Every stand-in runs strict (TESSIL_ECOSIM_STRICT=1): its edits carry no
# names, so Tessil finds them as it must where EcoSim made them empty.
#
#   scripts/test-windows-strict.sh [windows build] [32-bit build] [Linux tessil-cli]
#
# Defaults: build/windows, build/windows-i686 and build/ci/bin/tessil-cli.
# Uses WINEPREFIX as scripts/wine-run.sh does; ends every Wine program it
# started. Prints PASS or FAIL per check; exits 1 when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=${1:-build/windows}
build32=${2:-build/windows-i686}
linux=${3:-build/ci/bin/tessil-cli}
cli="$build/bin/tessil-cli.exe"
standin="$build/bin/EcoSim/EcoSim700.exe"
standin32="$build32/bin/EcoSim/EcoSim700.exe"
wine_run="$root/scripts/wine-run.sh"
export TESSIL_ECOSIM_STRICT=1

for needed in "$cli" "$standin" "$standin32" "$linux"; do
  if [ ! -f "$needed" ]; then
    echo "FAIL: $needed is missing; build the windows, windows-i686 and ci presets first"
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessil-strict.XXXXXX")
finish() {
  WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tessil-wine-$(id -u)}" wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

failures=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
  echo "  status $(cat "$work/last.status"); standard error:"
  sed 's/^/    /' "$work/last.err" | head -10
}
# Runs program $1 under Wine with the rest as its arguments, at most 120 s;
# leaves status, out and err in $work/last.*.
win() {
  local program=$1
  shift
  timeout -k 5 120 "$wine_run" "$program" "$@" >"$work/last.out" 2>"$work/last.err"
  echo $? >"$work/last.status"
  wineserver -k 2>/dev/null || true
}
ok_and_same() { [ "$(cat "$work/last.status")" = 0 ] && cmp -s "$1" "$2"; }

# tessil-cli.exe in folder $1 with EcoSim's program file $2 beside it.
program_folder() {
  mkdir -p "$1/EcoSim"
  cp "$cli" "$1/"
  cp "$2" "$1/EcoSim/EcoSim700.exe"
}

small=(run --rows 5 --cols 6 --iterations 3 --yes --ecosim-iterations 20)
"$linux" "${small[@]}" --threads 1 >"$work/linux.txt" 2>/dev/null
"$linux" "${small[@]}" --threads 1 --tsv "$work/linux.tsv" >/dev/null 2>&1

# (1) A folder name outside the ANSI code page, both ways: the program's
# folder (EcoSim started from it), the report and table written into one,
# the matrix and the plan read from one, and a path named right in a message.
home="$work/Tessil Ω Łódź"
out="$work/Wyniki Ω Łódź"
data="$work/Dane Ω Łódź"
mkdir -p "$out" "$data"
program_folder "$home" "$standin"
win "$home/tessil-cli.exe" "${small[@]}" --ecosim windows -o "$out/raport ż.txt" --tsv "$out/moc ż.tsv"
if ok_and_same "$work/linux.txt" "$out/raport ż.txt" && cmp -s "$work/linux.tsv" "$out/moc ż.tsv"; then
  pass "from \"Tessil Ω Łódź\": EcoSim started, -o and --tsv written into \"Wyniki Ω Łódź\" as on Linux"
else
  fail "from \"Tessil Ω Łódź\": EcoSim started, -o and --tsv written into \"Wyniki Ω Łódź\" as on Linux"
fi
printf '1,0,1,1,0\r\n0,1,1,0,1\r\n1,1,0,0,1\r\n0,0,1,1,1\r\n' >"$data/macierz ż.csv"
"$linux" test "$data/macierz ż.csv" >"$work/linux-test.txt" 2>/dev/null
cp tests/slurm/plan.toml "$data/plan ż.toml"
win "$home/tessil-cli.exe" test "$data/macierz ż.csv"
test_ok=no
ok_and_same "$work/linux-test.txt" "$work/last.out" && test_ok=yes
win "$home/tessil-cli.exe" sweep "$data/plan ż.toml" -o "$out/przegląd" --no-progress
sweep_ok=no
[ "$(cat "$work/last.status")" = 0 ] && [ -f "$out/przegląd/sweep.txt" ] && sweep_ok=yes
win "$home/tessil-cli.exe" run --iterations 1 --yes -o "$work/Brak Ω Łódź/r.txt"
if [ "$test_ok" = yes ] && [ "$sweep_ok" = yes ] && [ "$(cat "$work/last.status")" != 0 ] &&
  grep -qF "cannot write \"$work/Brak Ω Łódź/r.txt\": the folder does not exist" "$work/last.err"; then
  pass "a matrix file and a sweep plan read from \"Dane Ω Łódź\"; a missing \"Brak Ω Łódź\" named as it is"
else
  fail "a matrix file and a sweep plan read from \"Dane Ω Łódź\"; a missing \"Brak Ω Łódź\" named as it is (test $test_ok, sweep $sweep_ok)"
fi

# (2) EcoSim's grid thread sees Shift held from the 40th character (inside
# the study's first matrix) for 1.5 s: its Tabs would go back a cell, and
# every later matrix would be typed from the wrong cell.
TESSIL_ECOSIM_FAULTS="hold-shift=40" win "$home/tessil-cli.exe" "${small[@]}" --ecosim windows
if ok_and_same "$work/linux.txt" "$work/last.out"; then
  pass "Shift held in EcoSim's grid thread: no cell misplaced, the Linux report"
else
  fail "Shift held in EcoSim's grid thread: no cell misplaced, the Linux report"
fi

# (3) The 64-bit tessil-cli.exe against the 32-bit stand-in: handles and
# messages across the two widths.
wide="$work/Tessil 32 Ω"
program_folder "$wide" "$standin32"
win "$wide/tessil-cli.exe" "${small[@]}" --ecosim windows
if ok_and_same "$work/linux.txt" "$work/last.out"; then
  pass "32-bit EcoSim: the Linux report, byte for byte"
else
  fail "32-bit EcoSim: the Linux report, byte for byte"
fi
tiny=(run --rows 2 --cols 2 --iterations 1 --yes --ecosim-iterations 5)
# Every test of the study ends with a confirmation window instead of its
# results: its OK is found and pressed across the two widths.
TESSIL_ECOSIM_FAULTS="from-test=2;confirm" win "$wide/tessil-cli.exe" "${tiny[@]}" --ecosim windows
if [ "$(cat "$work/last.status")" = 0 ] && grep -q "TYPE I ERROR RATES" "$work/last.out"; then
  pass "32-bit EcoSim: confirmations instead of results answered, the run ends with its report"
else
  fail "32-bit EcoSim: confirmations instead of results answered, the run ends with its report"
fi
# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event) once EcoSim is
# at work on a long study: the run ends as cancelled within 10 s.
"$wine_run" "$wide/tessil-cli.exe" run --iterations 1000 --yes --ecosim-iterations 20 --ecosim windows \
  >"$work/cancel.out" 2>"$work/cancel.err" &
running=$!
timeout 60 "$wine_run" "$build/bin/ForeignWindow.exe" wait TCoOccurrence 60 >/dev/null 2>&1
sleep 2
kill -INT "$running" 2>/dev/null
ended=no
for _ in $(seq 1 100); do
  if ! kill -0 "$running" 2>/dev/null; then
    ended=yes
    break
  fi
  sleep 0.1
done
[ "$ended" = yes ] || kill -KILL "$running" 2>/dev/null
wait "$running" 2>/dev/null
cancel_status=$?
wineserver -k 2>/dev/null || true
if [ "$ended" = yes ] && [ "$cancel_status" = 130 ] && grep -q "cancelled" "$work/cancel.err"; then
  pass "32-bit EcoSim: Ctrl-C ends the run as cancelled within 10 s"
else
  echo "$cancel_status" >"$work/last.status"
  cp "$work/cancel.err" "$work/last.err"
  fail "32-bit EcoSim: Ctrl-C ends the run as cancelled within 10 s (ended: $ended)"
fi

exit $((failures > 0))
