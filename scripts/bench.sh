#!/usr/bin/env bash
# Builds the benchmarks in release mode (the bench preset) and runs them all in
# one program: the equations beside their floor, whole runs of the example
# stand, the file formats beside std::to_chars and std::from_chars, and the peak
# memory of a 3-year and a 300-year run; then it prints a summary of the ratios
# and their targets. It exits with status 3 when a target was missed.
#
# Extra arguments go to the benchmark program, for example
#   scripts/bench.sh --benchmark_filter=equations --no-peak-memory
# (the summary uses every repetition's own figures: do not ask for aggregates only).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target vindrel_bench
exec ./build/bench/bench/vindrel_bench --benchmark_repetitions=3 "$@"
