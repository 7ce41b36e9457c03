#!/usr/bin/env bash
# Assembles, builds and installs the R package tessil into your own R library
# (R_LIBS_USER, made if missing), installing what it needs from Debian first.
# Then, in R: library(tessil); power_study(rows = 10, cols = 10)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(r-base-dev r-cran-rcpp libtomlplusplus-dev nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

bash scripts/r-assemble.sh build/r-package/tessil >/dev/null
(cd build/r-package && R CMD build --no-build-vignettes tessil)
# Compiled for this machine as the CMake build compiles it: optimised, and on
# x86-64 with the popcount instruction, which counts shared sites about three
# times faster than the library routine a portable build calls. The package
# itself asks for neither, so that it builds anywhere.
flags=build/r-package/Makevars
printf 'CXX20FLAGS += -O3\n' >"$flags"
case "$(uname -m)" in x86_64 | amd64) printf 'CXX20FLAGS += -mpopcnt\n' >>"$flags" ;; esac
if command -v ccache >/dev/null; then printf 'CXX20 = ccache %s\n' "$(R CMD config CXX20)" >>"$flags"; fi
export R_MAKEVARS_USER="$PWD/$flags"
library=$(Rscript -e 'cat(path.expand(Sys.getenv("R_LIBS_USER")))')
mkdir -p "$library"
MAKEFLAGS="-j$(nproc 2>/dev/null || echo 2)" R CMD INSTALL --library="$library" build/r-package/tessil_*.tar.gz
echo "tessil is installed in $library; in R: library(tessil); power_study(rows = 10, cols = 10)"
