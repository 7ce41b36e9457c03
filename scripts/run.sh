#!/usr/bin/env bash
# Tessil's main job. On a desktop (DISPLAY or WAYLAND_DISPLAY set) and without
# arguments it opens the desktop program. Otherwise it runs a study headless,
# with the default settings, and prints its results report; arguments go to
# `tessil-cli run` (see --help). Each way it first builds what it runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
cmake --preset release >/dev/null
jobs="$(nproc 2>/dev/null || echo 2)"

if [ "$#" -eq 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  cmake --build --preset release --target tessil -j "$jobs" >&2
  exec ./build/release/bin/tessil
fi

cmake --build --preset release --target tessil-cli -j "$jobs" >&2
exec ./build/release/bin/tessil-cli run "$@"
