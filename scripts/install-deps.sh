#!/usr/bin/env bash
# Installs every Debian package Tessil needs to build, test and run.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev
  libcli11-dev nlohmann-json3-dev libtomlplusplus-dev
  xvfb xauth
  clang-format-14 clang-tidy-14 clang-tools-14
  # The test command's builds compile through it (CMakeLists.txt), so a fresh
  # clone reuses what an earlier one compiled.
  ccache
  # The Windows build and its tests: the posix-thread mingw-w64 compiler
  # (the win32 one has no std::thread) and Wine to run the results.
  g++-mingw-w64-x86-64-posix wine wine64
  # The Windows desktop's help file, "Tessil Help.chm": Free Pascal's CHM
  # compiler chmcmd, and chmls, with which its test reads the file back.
  fp-utils-3.2.2
  # The one-node Slurm cluster of scripts/test-slurm.sh, which starts its own
  # daemons; installing them must not start the machine's (see below).
  slurmd slurmctld slurm-client munge
  # The R package: R, Rcpp to build it (scripts/r-package.sh installs these
  # two itself), and for its check testthat, vegan (compared with in its
  # tests) and roxygen2 (its help pages, when its R code changes).
  r-base-dev r-cran-rcpp r-cran-testthat r-cran-vegan r-cran-roxygen2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# Debian starts a package's service when it installs it: munged would be left
# running, and slurmd and slurmctld find no configuration. A policy-rc.d that
# refuses every start keeps the install of these daemons from starting
# anything; one the machine already has is left as it is.
policy=/usr/sbin/policy-rc.d
if [[ " ${missing[*]} " =~ \ (slurmd|slurmctld|munge)\  ]] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# Written by Tessil'"'"'s scripts/install-deps.sh for the length of an install.\nexit 101\n' |
    $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  trap '$SUDO rm -f "$policy"' EXIT
fi
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
