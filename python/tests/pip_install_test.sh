#!/usr/bin/env bash
# pip install of the checkout into a fresh virtual environment, offline, then
# a run from another folder. The module is taken from the build folder given
# (already built by CMake), so the test checks the packaging, not a second
# compilation. Usage: pip_install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
/usr/bin/python3 -m venv --system-site-packages "$scratch/venv"
VINDREL_CMAKE_BUILD_DIR=$build_dir "$scratch/venv/bin/pip" install --quiet --no-build-isolation \
  --no-index "$source_dir"
cd "$scratch"
"$scratch/venv/bin/python" - "$source_dir" <<'PY'
import sys
import vindrel

assert vindrel.__file__.startswith(sys.prefix), vindrel.__file__
examples = sys.argv[1] + "/examples/"
result = vindrel.run(examples + "vindrel-example.par", examples + "vindrel-example.drr", stop=20)
assert result["LAI"].shape == (19,)
print("installed and ran from", vindrel.__file__)
PY
