#!/usr/bin/env bash
# Builds and runs every test: the release build with its unit and program tests,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer (any
# report fails), a build of the benchmarks, and a short run of every fuzz
# target (30 s each).
set -euo pipefail
cd "$(dirname "$0")/.."
VINDREL_SETUP_FUZZ=1 bash scripts/setup.sh

# The test that numbers in files ignore the locale needs a decimal-comma locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "test-all: the de_DE.UTF-8 locale is missing (scripts/setup.sh generates it)" >&2
  exit 1
fi

cmake --preset default
cmake --build --preset default
ctest --preset default -j2

# Permission bits do not stop the super-user, so the tests of unreadable and
# read-only files skip as root (while the Slurm test needs root): run them again
# as an unprivileged user, who must not skip them.
permission_tests='ReadOnly|Unreadable'
if [ "$(id -u)" -eq 0 ]; then
  test_user=vindreltest
  if ! id -u "$test_user" >/dev/null 2>&1; then
    useradd --system --user-group --no-create-home --shell /usr/sbin/nologin "$test_user"
  fi
  # The user reads the tree and runs its programs; folders above it that it
  # cannot pass get the search bit only (not the read bit).
  dir=$PWD
  while [ "$dir" != / ]; do
    if ! setpriv --reuid="$test_user" --regid="$test_user" --init-groups test -x "$dir"; then
      chmod o+x "$dir"
    fi
    dir=$(dirname "$dir")
  done
  # ctest keeps its logs in the build tree; the tests' scratch files go to a
  # folder of the user's own (files that root's run left in /tmp are not the
  # user's to replace).
  chown -R "$test_user:" build/default/Testing
  user_tmp=$(mktemp -d)
  chown "$test_user:" "$user_tmp"
  setpriv --reuid="$test_user" --regid="$test_user" --init-groups \
    env HOME="$user_tmp" TMPDIR="$user_tmp" TEST_TMPDIR="$user_tmp" \
    ctest --preset default -R "$permission_tests" --no-tests=error \
    | tee build/default/permission-tests.log
  chown -R root: build/default/Testing
  rm -rf "$user_tmp"
  if grep -q 'Skipped' build/default/permission-tests.log; then
    echo "test-all: a permission test skipped as $test_user" >&2
    exit 1
  fi
fi

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
