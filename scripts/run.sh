#!/usr/bin/env bash
# Tessil's main job: runs a study with the default settings and prints its
# results report. Extra arguments go to `tessil-cli run` (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
cmake --preset release >/dev/null
cmake --build --preset release --target tessil-cli -j "$(nproc 2>/dev/null || echo 2)" >&2
exec ./build/release/bin/tessil-cli run "$@"
