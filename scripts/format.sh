#!/usr/bin/env bash
# Brings the tree to its written style in one step: renames what breaks the
# naming rules (clang-tidy's readability-identifier-naming, applied to every
# product source) and formats every tracked C++ file. Run it after a merge,
# then build and test: a rename reaches every use in the product sources, and
# the build shows any use in a test it missed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/style-common.sh

ensure_compile_commands
echo "== naming (clang-tidy --fix)"
"$RUN_CLANG_TIDY" "${TIDY_ARGS[@]}" -fix -checks='-*,readability-identifier-naming' "$(tidy_files all)" \
  >/dev/null || true
echo "== clang-format -i"
tracked_sources | xargs -0 "$CLANG_FORMAT" -i
git status --short -- '*.cpp' '*.h'
