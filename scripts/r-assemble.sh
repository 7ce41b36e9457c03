#!/usr/bin/env bash
# Assembles the R package tessil into a self-contained source folder: the
# package's own files (r/tessil/) with the project's Qt-free sources beside
# them, flat in src/, and the two header-only libraries the sweep reader
# needs. R CMD build works on the result without the rest of the clone.
#   scripts/r-assemble.sh [OUT]   (default: build/r-package/tessil)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/r-package/tessil}"

version=$(sed -n 's/^project(Tessil VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "r-assemble: no version in CMakeLists.txt" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
cp -R "$root/r/tessil/." "$out/"
rm -f "$out/.gitignore"
sed -i "s/^Version: .*/Version: $version/" "$out/DESCRIPTION"
sed -i "s/@TESSIL_VERSION@/$version/" "$out/src/Makevars" "$out/src/Makevars.win"

# The engine's layers below the front ends, and of tessil-cli only what
# builds a study from its settings and reads a sweep's folder: nothing here
# includes Qt or CLI11.
folders=(engine/settings ecosim/api engine cooccurrence ecosim/inprocess results frontend)
cli_files=(Study.h Study.cpp StudyJson.cpp ChoiceNames.h CommandLine.h CliEnvironment.h CliEnvironment.cpp
  Version.h FileOutput.h FileOutput.cpp MatrixFile.h MatrixFile.cpp ProgressBar.h ProgressBar.cpp
  sweep/Sweep.h sweep/Sweep.cpp sweep/SweepMerge.h sweep/SweepMerge.cpp sweep/SweepPlan.h sweep/SweepPlan.cpp
  sweep/SweepFolder.h sweep/SweepFolder.cpp)
for folder in "${folders[@]}"; do
  for file in "$root/$folder"/*.h "$root/$folder"/*.cpp; do
    [ -e "$file" ] || continue
    name=$(basename "$file")
    if [ -e "$out/src/$name" ]; then
      echo "r-assemble: two sources named $name; the package keeps its sources in one folder" >&2
      exit 1
    fi
    cp "$file" "$out/src/$name"
  done
done
for file in "${cli_files[@]}"; do
  name=$(basename "$file")
  [ ! -e "$out/src/$name" ] || { echo "r-assemble: two sources named $name" >&2; exit 1; }
  cp "$root/cli/$file" "$out/src/$name"
done

# toml++ and nlohmann/json, header-only, from Debian's packages. R asks for
# file names of letters, digits, dots, hyphens and underscores, so toml++'s
# folder is renamed and its one include follows it.
[ -f /usr/include/toml++/toml.h ] || { echo "r-assemble: toml++ is missing (apt-get install libtomlplusplus-dev)" >&2; exit 1; }
[ -f /usr/include/nlohmann/json.hpp ] || { echo "r-assemble: nlohmann/json is missing (apt-get install nlohmann-json3-dev)" >&2; exit 1; }
cp -R /usr/include/toml++ "$out/src/tomlplusplus"
cp -R /usr/include/nlohmann "$out/src/nlohmann"
sed -i 's|#include <toml++/toml.h>|#include "tomlplusplus/toml.h"|' "$out/src/SweepPlan.cpp"
grep -q '"tomlplusplus/toml.h"' "$out/src/SweepPlan.cpp" || { echo "r-assemble: SweepPlan.cpp no longer includes toml++ as expected" >&2; exit 1; }
# The R functions that call the C++ ones, from the C++ files' export notes.
Rscript -e 'Rcpp::compileAttributes(commandArgs(TRUE)[1])' "$out" >/dev/null
[ -f "$out/src/RcppExports.cpp" ] || { echo "r-assemble: Rcpp::compileAttributes wrote nothing" >&2; exit 1; }

mkdir -p "$out/inst"
{
  echo "The package holds two header-only libraries in src/, as Debian ships them."
  echo
  echo "== toml++ (src/tomlplusplus) =="
  cat /usr/share/doc/libtomlplusplus-dev/copyright
  echo
  echo "== nlohmann/json (src/nlohmann) =="
  cat /usr/share/doc/nlohmann-json3-dev/copyright
} >"$out/inst/COPYRIGHTS"
echo "$out"
