#!/usr/bin/env bash
# Installs every package the build and the tests need, from Debian's archive,
# and only when something is missing. Safe to run again; quiet when all is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libboost-dev
  # The desktop program and its tests and screenshots.
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev xvfb xauth fonts-dejavu-core
  # The single-node Slurm cluster of the studies' job-array test (scripts/slurm/).
  slurm-wlm munge
)
# Optional extras: clang for the fuzz preset, clang-format for the house style.
if [ "${VINDREL_SETUP_FUZZ:-0}" = 1 ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
