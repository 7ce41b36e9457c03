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
  # The Windows build and its tests: the posix-thread mingw-w64 compiler
  # (the win32 one has no std::thread) and Wine to run the results.
  g++-mingw-w64-x86-64-posix wine wine64
  # The desktop program's pictures under Wine's X11 driver: without
  # fonts-wine (only recommended by wine) Wine's windows and GDI+ find no
  # Tahoma and draw no text; ImageMagick's import photographs the screen.
  fonts-wine imagemagick
  # The one-node Slurm cluster of scripts/test-slurm.sh, which starts its own
  # daemons; installing them must not start the machine's (see below).
  slurmd slurmctld slurm-client munge
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
