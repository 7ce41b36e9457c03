#!/usr/bin/env bash
# Checks that the tree keeps its written style (CONTRIBUTING.md): every tracked
# C++ file is formatted as .clang-format says, and the Qt-free product sources
# (with the headers they include) pass .clang-tidy's checks, naming included.
# Exits non-zero on any finding; scripts/format.sh mends what it can.
# STYLE_TIDY=all also checks the Qt sources (several minutes longer).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/style-common.sh

echo "== clang-format"
tracked_sources | xargs -0 "$CLANG_FORMAT" --dry-run --Werror

echo "== clang-tidy"
ensure_compile_commands
"$RUN_CLANG_TIDY" "${TIDY_ARGS[@]}" "$(tidy_files "${STYLE_TIDY:-qt-free}")"
echo "style: clean"
