#!/bin/sh
# Builds everything and runs every test; then builds the engine again with
# AddressSanitizer and UndefinedBehaviorSanitizer, and again with the
# standard library's assertions, and runs its tests each time; last, runs
# every fuzz target for 30 s with a fixed seed (tools/fuzz.sh runs longer).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

# The tests make and delete tens of thousands of small files; a memory file
# system keeps that fast whatever the disk's file system is.
if [ -z "${OSTREL_TEST_TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  OSTREL_TEST_TMPDIR=$(mktemp -d /dev/shm/ostrel-tests.XXXXXX)
  trap 'rm -rf "$OSTREL_TEST_TMPDIR"' EXIT
fi
if [ -n "${OSTREL_TEST_TMPDIR:-}" ]; then
  export TMPDIR="$OSTREL_TEST_TMPDIR"
fi

echo "== Build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Engine tests under ASan and UBSan =="
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON \
  -DOSTREL_FRONTEND=OFF -DOSTREL_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L engine

echo "== Engine tests with the standard library's assertions =="
cmake -S . -B build-assertions -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_ASSERTIONS=ON \
  -DOSTREL_FRONTEND=OFF -DOSTREL_BENCH=OFF
cmake --build build-assertions -j "$jobs"
ctest --test-dir build-assertions --output-on-failure -j "$jobs" -L engine

echo "== Bounded fuzz runs =="
tools/fuzz.sh --seconds 30

echo "All tests passed."
