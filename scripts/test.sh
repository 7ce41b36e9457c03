#!/usr/bin/env bash
# Checks the written style, then builds Tessil and runs every test twice: in
# the release build as CI builds it (the `ci` preset: warnings are errors) and
# in the address and undefined-behaviour sanitizer build; then a sweep on a
# one-node Slurm cluster (scripts/test-slurm.sh, which says when it cannot
# start one, e.g. without root); then the Windows part
# (scripts/test-windows.sh): the cross build, its tests under Wine and the
# end-to-end checks. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --test

jobs=$(nproc 2>/dev/null || echo 2)

echo "== style"
# The release preset's compile commands list the benchmarks too, which the
# `ci` build leaves out (no test runs them); configuring is enough.
cmake --preset release >/dev/null
STYLE_BUILD=build/release bash scripts/check-style.sh
for preset in ci sanitize; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== ${preset}: tests"
  ctest --preset "$preset" -j "$jobs"
done

echo "== slurm"
bash scripts/test-slurm.sh build/ci/bin/tessil-cli

echo "== windows"
bash scripts/test-windows.sh

echo "== R package"
bash scripts/test-r.sh build/ci/bin/tessil-cli
