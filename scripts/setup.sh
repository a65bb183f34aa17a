#!/usr/bin/env bash
# Installs every package the build and the tests need, from Debian's archive,
# and only when something is missing. Safe to run again; quiet when all is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libboost-dev
  # The desktop program and its tests and screenshots.
  qt6-base-dev qt6-svg-dev libqt6opengl6-dev libgl-dev xvfb xauth fonts-dejavu-core
  # Driving the desktop under Xvfb by keyboard and mouse, as a user does, with
  # a window manager giving dialogs the focus, and pictures of the screen.
  xdotool openbox x11-apps netpbm
  # Exported PDF charts turned into pictures to look at, and their fonts listed.
  poppler-utils
  # The single-node Slurm cluster of the studies' job-array test (scripts/slurm/).
  slurm-wlm munge
  # A decimal-comma locale for the test that numbers in files ignore the locale.
  locales
  # NetCDF output (the C library) and the tools the tests read it back with.
  libnetcdf-dev netcdf-bin
  # The units library that checks every units attribute of the NetCDF output.
  libudunits2-dev udunits-bin
  # The Python module and its tests, the output-format snippets and the calibration example.
  python3-dev pybind11-dev python3-numpy python3-pandas python3-xarray python3-netcdf4
  python3-venv python3-pip python3-setuptools
  python3-pytest python3-scipy python3-emcee python3-matplotlib
  # The test command runs the permission tests as an unprivileged user.
  util-linux
  # Compiler cache: rebuilds of unchanged sources in several checkouts are free.
  ccache
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

ensure_locale() {
  # de_DE.UTF-8 writes numbers with a decimal comma.
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    local sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    echo "setup: generating the de_DE.UTF-8 locale" >&2
    "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo_cmd[@]}" locale-gen >/dev/null
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_locale
