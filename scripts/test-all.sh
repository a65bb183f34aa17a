#!/usr/bin/env bash
# Builds and runs every test: the release build with its unit and program tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default
cmake --build --preset default
ctest --preset default -j2
