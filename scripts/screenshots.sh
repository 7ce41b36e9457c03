#!/usr/bin/env bash
# Pictures of every window of the desktop program, written to docs/screenshots/
# (or the folder given as the argument). Under a virtual X server it first
# starts the program itself and checks that its main window appears, then
# opens every window in turn, runs the default study through the Run button
# and photographs each window, the results window with the report among them.
set -euo pipefail
cd "$(dirname "$0")/.."

# TESSIL_BUILD names another build folder of the release preset.
build="${TESSIL_BUILD:-build/release}"
bash scripts/install-deps.sh --test >&2
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target tessil tessil-screenshots -j "$(nproc 2>/dev/null || echo 2)" >&2

out="${1:-docs/screenshots}"
mkdir -p "$out"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -s -- "$build" "$out" <<'INSIDE'
set -euo pipefail
build="$1"
out="$2"

# The program as a user starts it: its main window, titled "Tessil", must
# come up and the program must stay running until it is told to stop.
"$build/bin/tessil" &
program=$!
shown=no
for _ in $(seq 1 50); do
  if ! kill -0 "$program" 2>/dev/null; then
    echo "the desktop program ended on its own" >&2
    exit 1
  fi
  if command -v xwininfo >/dev/null 2>&1; then
    if xwininfo -root -tree | grep -q '"Tessil"'; then shown=yes; break; fi
  else
    shown="running (xwininfo not installed to look for its window)"
  fi
  sleep 0.2
done
kill "$program"
wait "$program" 2>/dev/null || true
echo "desktop program started; main window shown: $shown"
[ "$shown" != no ]

"$build/bin/tessil-screenshots" "$out"
INSIDE
