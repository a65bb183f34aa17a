#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang 14 with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one for SECONDS (default 300) on a
# scratch copy of its seed corpus in fuzz/corpus/<target>/. The repository's
# corpus is never written to. Fails on the first crash, sanitizer report, hang
# (an input that takes more than 10 s) or runaway memory (more than 2 GiB); the
# input that did it is kept in the scratch folder, whose name is printed.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-300}"
shift || true
VINDREL_SETUP_FUZZ=1 bash scripts/setup.sh

# VINDREL_FUZZ_BUILD_DIR picks another build folder than the preset's.
build="${VINDREL_FUZZ_BUILD_DIR:-build/fuzz}"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    [ -e "$source" ] || continue
    targets+=("$(basename "$source" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets" >&2
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vindrel-fuzz.XXXXXX")"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=0
summary=()
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  seeds="fuzz/corpus/$target"
  corpus="$work/$target/corpus"
  artifacts="$work/$target/artifacts/"
  mkdir -p "$corpus" "$artifacts"
  if [ -d "$seeds" ]; then cp -R "$seeds/." "$corpus/"; fi
  dict=()
  if [ -f fuzz/numbers.dict ]; then dict=(-dict=fuzz/numbers.dict); fi
  log="$work/$target/log.txt"
  echo "fuzz: $target for ${seconds}s (scratch folder $work/$target)" >&2
  status=0
  "$binary" "$corpus" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -artifact_prefix="$artifacts" -print_final_stats=1 \
    >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  seconds_run="$(sed -n 's/.*Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -n 1)"
  peak_rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
  corpus_size="$(find "$corpus" -type f | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "fuzz: $target FAILED (exit $status); last lines of $log:" >&2
    tail -n 60 "$log" >&2
    echo "fuzz: the failing input is in $artifacts" >&2
    summary+=("$target: FAILED after ${runs:-?} executions")
  else
    summary+=("$target: ${runs:-?} executions in ${seconds_run:-$seconds} s, corpus $corpus_size inputs, peak memory ${peak_rss:-?} MB, no failure")
  fi
done

echo "fuzz summary (${seconds}s per target):"
for line in "${summary[@]}"; do echo "  $line"; done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: failures found; inputs kept in $work" >&2
  exit 1
fi
rm -rf "$work"
