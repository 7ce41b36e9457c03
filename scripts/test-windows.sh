#!/usr/bin/env bash
# The Windows part of the test command: cross-builds the `windows` preset,
# runs its tests under headless Wine, checks that the Windows program prints
# the very bytes the Linux one does (in the build and from the unpacked ZIP),
# that Ctrl-C cancels a run, installs and uninstalls the setup program in a
# prefix of its own, and runs the end-to-end checks against the Win32
# stand-in EcoSim. Every Wine program runs in a prefix of this job's own, in a
# temporary folder, and ends with it.
#
# Needs the Linux program of the `ci` preset (built here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

started=$(date +%s)
jobs=$(nproc 2>/dev/null || echo 2)
linux=build/ci/bin/tessil-cli
win=build/windows/bin

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessil-windows.XXXXXX")
export WINEPREFIX="$scratch/wine"
finish() {
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch" "$WINEPREFIX.lock"
}
trap finish EXIT

if [ ! -x "$linux" ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci --target tessil-cli -j "$jobs"
fi

echo "== windows: configure and build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "== windows: tests under Wine"
# The prefix is made once, before the tests start side by side.
scripts/wine-run.sh "$win/tessil-cli.exe" --help >/dev/null
ctest --preset windows -j "$jobs"

echo "== windows: the default report, byte for byte"
"$linux" run >"$scratch/linux.txt"
scripts/wine-run.sh "$win/tessil-cli.exe" run >"$scratch/windows.txt"
cmp "$scratch/linux.txt" "$scratch/windows.txt"
echo "PASS: tessil-cli.exe run prints the Linux report's $(wc -c <"$scratch/linux.txt") bytes"

echo "== windows: a sweep gives the Linux sweep's table and reports"
# Two shards into one folder: study folders renamed into place on Windows,
# and seeds drawn from identities alone.
for shard in 0/2 1/2; do
  scripts/wine-run.sh "$win/tessil-cli.exe" sweep tests/slurm/plan.toml -o "$scratch/sweep-windows" --shard "$shard" \
    --no-progress 2>/dev/null
done
scripts/wine-run.sh "$win/tessil-cli.exe" merge "$scratch/sweep-windows" -o "$scratch/sweep-windows.tsv"
"$linux" sweep tests/slurm/plan.toml -o "$scratch/sweep-linux" --no-progress 2>/dev/null
"$linux" merge "$scratch/sweep-linux" -o "$scratch/sweep-linux.tsv"
cmp "$scratch/sweep-linux.tsv" "$scratch/sweep-windows.tsv"
for report in "$scratch"/sweep-linux/studies/*/report.txt; do
  cmp "$report" "$scratch/sweep-windows/${report#"$scratch"/sweep-linux/}"
done
echo "PASS: tessil-cli.exe sweep in two shards and merge give the Linux sweep's table and reports"

echo "== windows: Ctrl-C cancels an in-process run"
scripts/wine-run.sh "$win/tessil-cli.exe" run --rows 40 --cols 40 --iterations 100000 \
  >"$scratch/cancel.out" 2>"$scratch/cancel.err" &
run=$!
# Wine turns SIGINT into the console's Ctrl-C event; the run is given time to
# start first, then 10 s to end.
sleep 3
kill -INT "$run"
for _ in $(seq 1 100); do
  kill -0 "$run" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$run" 2>/dev/null; then
  kill -KILL "$run"
  echo "FAIL: the run went on more than 10 s after Ctrl-C"
  exit 1
fi
status=0
wait "$run" || status=$?
if [ "$status" != 130 ] || ! grep -q "the run was cancelled" "$scratch/cancel.err" || [ -s "$scratch/cancel.out" ]; then
  echo "FAIL: Ctrl-C ended the run with status $status:"
  cat "$scratch/cancel.err"
  exit 1
fi
echo "PASS: Ctrl-C ends the run as cancelled, with no report"

echo "== windows: the ZIP for Windows users"
rm -rf build/windows/package
cpack --preset windows >/dev/null
zip=$(ls build/windows/package/Tessil-*-windows-x64.zip)
mkdir "$scratch/unpacked"
cmake -E chdir "$scratch/unpacked" cmake -E tar xf "$(pwd)/$zip"
folder=$(ls -d "$scratch"/unpacked/Tessil-*)
contents=$(cd "$folder" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
if [ "$contents" != "./README-Windows.txt ./Tessil Help.chm ./tessil-cli.exe ./tessil.exe " ]; then
  echo "FAIL: the ZIP holds: $contents"
  exit 1
fi
scripts/wine-run.sh "$folder/tessil-cli.exe" run >"$scratch/unpacked.txt"
cmp "$scratch/linux.txt" "$scratch/unpacked.txt"
echo "PASS: $zip holds tessil.exe, tessil-cli.exe, Tessil Help.chm and README-Windows.txt only; its program prints the Linux report"

echo "== windows: the setup program, installed and uninstalled"
installer_started=$(date +%s)
scripts/test-windows-installer.sh build/windows "$linux" "$(ls build/windows/package/Tessil-*-windows-x64-setup.exe)"
echo "   installer checks: $(($(date +%s) - installer_started)) s"

echo "== windows: end to end against the Win32 stand-in"
scripts/test-windows-e2e.sh build/windows "$linux"

echo "== windows: a stricter and a 32-bit stand-in, folders named in any language"
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j "$jobs"
scripts/test-windows-strict.sh build/windows build/windows-i686 "$linux"

echo "== windows: the desktop program, driven through its windows"
desktop_started=$(date +%s)
scripts/test-windows-desktop.sh build/windows "$linux" "$zip"
echo "   desktop checks: $(($(date +%s) - desktop_started)) s"

echo "== windows: done in $(($(date +%s) - started)) s"
