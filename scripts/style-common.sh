# Shared by check-style.sh and format.sh: the tools, the build whose compile
# commands clang-tidy reads, and which sources clang-tidy looks at.
CLANG_FORMAT=${CLANG_FORMAT:-clang-format-14}
CLANG_TIDY=${CLANG_TIDY:-clang-tidy-14}
RUN_CLANG_TIDY=${RUN_CLANG_TIDY:-run-clang-tidy-14}
CLANG_APPLY_REPLACEMENTS=${CLANG_APPLY_REPLACEMENTS:-clang-apply-replacements-14}
STYLE_BUILD=${STYLE_BUILD:-build/release}
STYLE_JOBS=${STYLE_JOBS:-$(nproc 2>/dev/null || echo 2)}

# The compiler is GCC; clang does not know some of its warning flags.
TIDY_ARGS=(-p "$STYLE_BUILD" -j "$STYLE_JOBS" -quiet
  -clang-tidy-binary "$(command -v "$CLANG_TIDY")"
  -clang-apply-replacements-binary "$(command -v "$CLANG_APPLY_REPLACEMENTS")"
  -extra-arg=-Wno-unknown-warning-option)

tracked_sources() {
  git ls-files -z -- '*.cpp' '*.h'
}

# clang-tidy reads the release build's compile commands; configuring is
# enough (no source includes a generated file).
ensure_compile_commands() {
  if [[ ! -f "$STYLE_BUILD/compile_commands.json" ]]; then
    cmake --preset release >/dev/null
  fi
}

# A regular expression matching the product sources that clang-tidy reads:
# every compiled file outside tests/ and the build folder ("all"), or only
# those compiled without Qt ("qt-free"; clang-tidy takes several times longer
# on a file that includes Qt's headers). Headers are checked through them.
tidy_files() {
  python3 - "$STYLE_BUILD/compile_commands.json" "$(pwd -P)" "$1" <<'PY'
import json, re, sys
commands, root, which = sys.argv[1], sys.argv[2].rstrip("/") + "/", sys.argv[3]
files = set()
for entry in json.load(open(commands)):
    path = entry["file"]
    inside = path[len(root):] if path.startswith(root) else None
    if inside is None or inside.startswith(("tests/", "build/")):
        continue
    if which == "qt-free" and "QT_CORE_LIB" in entry.get("command", " ".join(entry.get("arguments", []))):
        continue
    files.add(path)
print("^(" + "|".join(re.escape(f) for f in sorted(files)) + ")$")
PY
}
