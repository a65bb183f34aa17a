#!/usr/bin/env bash
# Builds the output display's benchmark in release mode (the bench-desktop
# preset) and runs it on the offscreen platform: a century of daily output
# opened as a table, scrolled, charted (ten series), redrawn after a resize and
# exported, and the peak memory; then a summary beside the targets.
# Extra arguments go to the benchmark program (--benchmark_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench-desktop >/dev/null
cmake --build --preset bench-desktop
exec ./build/bench-desktop/bench/ui/vindrel_bench_display "$@"
