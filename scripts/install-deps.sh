#!/usr/bin/env bash
# Installs the Debian packages Tessil needs, and no more than its caller does:
#
#   scripts/install-deps.sh          what scripts/run.sh needs: the Linux build
#                                    of the desktop program and tessil-cli
#   scripts/install-deps.sh --test   that and what scripts/test.sh needs: the
#                                    style tools, benchmarks, the Windows cross
#                                    builds and Wine (64- and 32-bit), the
#                                    one-node Slurm cluster, R, the installer
#                                    and help compilers, pictures, ccache
#
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

test_part=no
for argument in "$@"; do
  case "$argument" in
    --test) test_part=yes ;;
    *)
      echo "install-deps.sh: unknown argument \"$argument\"; use --test or nothing" >&2
      exit 2
      ;;
  esac
done

packages=(
  build-essential cmake ninja-build pkg-config
  # CMake finds GoogleTest in every Linux build, tests or not.
  libgtest-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev
  libcli11-dev nlohmann-json3-dev libtomlplusplus-dev
)
if [ "$test_part" = yes ]; then
  packages+=(
    libbenchmark-dev ccache
    xvfb xauth imagemagick
    clang-format-14 clang-tidy-14 clang-tools-14
    # The Windows build and its tests: the posix-thread mingw-w64 compilers
    # (the win32 ones have no std::thread), 64-bit for Tessil and 32-bit for
    # the stand-in EcoSim as EcoSim 7.0 is, and Wine to run both. A Wine
    # prefix must be made after wine32 is installed (scripts/wine-run.sh).
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386 fonts-wine
    # The Windows installer and its help file.
    nsis fp-utils-3.2.2
    # The R package over Tessil's libraries.
    r-base-dev r-cran-rcpp r-cran-testthat r-cran-vegan
    # The one-node Slurm cluster of scripts/test-slurm.sh, which starts its
    # own daemons; installing them must not start the machine's (see below).
    slurmd slurmctld slurm-client munge
  )
fi

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
# 32-bit Wine comes from Debian's i386 architecture, which apt must know of
# before its lists are fetched.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
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
