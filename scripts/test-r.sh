#!/usr/bin/env bash
# The R package's part of the tests: assembles the package, builds it and
# runs R CMD check --no-manual on it, its tests comparing it with the
# tessil-cli given (default: build/ci/bin/tessil-cli). Everything it makes is
# under build/ (the check's library included); R's own library is not
# touched. A warning fails the check as an error does.
#   scripts/test-r.sh [TESSIL_CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cli=$(realpath "${1:-build/ci/bin/tessil-cli}")
[ -x "$cli" ] || { echo "test-r: $cli is not a tessil-cli to compare with; build the ci preset first" >&2; exit 1; }

work=build/r-check
rm -rf "$work"
mkdir -p "$work"
bash scripts/r-assemble.sh "$work/tessil" >/dev/null
# Compiled through ccache where it is installed, like the rest of the build.
if command -v ccache >/dev/null; then
  printf 'CXX20 = ccache %s\n' "$(R CMD config CXX20)" >"$work/Makevars"
  export R_MAKEVARS_USER="$root/$work/Makevars"
fi
# Cached across clones and folders: the object does not depend on where it
# was compiled.
export CCACHE_NOHASHDIR=true
export MAKEFLAGS="-j$(nproc 2>/dev/null || echo 2)"
export TESSIL_CLI="$cli"
cd "$work"
timeout 300 R CMD build --no-build-vignettes tessil
# The examples and tests may use two cores, as CRAN's checks allow.
export _R_CHECK_LIMIT_CORES_=true
timeout 900 R CMD check --no-manual --output="$root/$work" tessil_*.tar.gz | tee check.log
if grep -qE '^Status: .*(WARNING|ERROR)' check.log; then
  echo "test-r: R CMD check found warnings or errors (see $work/tessil.Rcheck)" >&2
  exit 1
fi
grep -E '^Status: ' check.log
