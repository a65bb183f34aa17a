#!/usr/bin/env bash
# Builds and runs every test: the release build with its unit and program tests,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer (any
# report fails), a build of the benchmarks, and a short run of every fuzz
# target (30 s each).
set -euo pipefail
cd "$(dirname "$0")/.."
VINDREL_SETUP_FUZZ=1 bash scripts/setup.sh

cmake --preset default
cmake --build --preset default
ctest --preset default -j2

# Without the desktop the program needs no Qt: the headless preset forbids
# CMake to find it, and the command line must build and link without it.
cmake --preset headless
cmake --build --preset headless --target vindrel-cli
if ldd build/headless/app/vindrel-cli | grep -qi qt; then
  echo "test-all: the headless vindrel-cli links Qt" >&2
  exit 1
fi

# Any sanitizer report ends the program that made it with a non-zero exit, which
# fails its test.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Leaks inside the system's font and display libraries are theirs, not ours.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

# The benchmarks are only built here, so that they keep compiling; scripts/bench.sh runs them.
cmake --preset bench
cmake --build --preset bench

bash scripts/fuzz.sh 30
