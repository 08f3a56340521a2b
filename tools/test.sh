#!/bin/sh
# Builds everything and runs every test; builds the engine and the command
# line for Windows (MinGW-w64, 64-bit and the 32-bit DLL) and runs their
# tests under Wine, comparing varrow.exe's output with the Linux build's;
# then builds the engine again with
# AddressSanitizer, UndefinedBehaviorSanitizer and the standard library's
# assertions and runs its tests; runs the pass-1 suites (the reader, the
# fast scan and its read-ahead thread) under ThreadSanitizer; checks the
# engine's layers; last, runs every fuzz target for 30 s with a fixed seed
# (tools/fuzz.sh runs longer).
#
#   tools/test.sh           everything, as CI runs it
#   tools/test.sh --quick   only the build and the tests of the main tree,
#                           without installing packages
set -eu
quick=no
case "${1:-}" in
  --quick) quick=yes ;;
  "") ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

[ "$quick" = yes ] || tools/install-deps.sh

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
if [ "$quick" = yes ]; then
  echo "All tests of the main tree passed."
  exit 0
fi

echo "== Engine layers =="
tools/check_layers.sh

echo "== Windows: engine and varrow.exe (MinGW-w64), tested under Wine =="
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
cmake --build build-windows -j "$jobs"
ctest --test-dir build-windows --output-on-failure -j "$jobs"
tests/windows/same_output.sh build/cli/varrow build-windows/bin/varrow.exe \
  build/tools/sample/make-sample-image "${TMPDIR:-/tmp}/ostrel-same-output"

echo "== Windows, 32-bit: varrow.dll and a C client under Wine =="
cmake -S . -B build-windows32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
cmake --build build-windows32 -j "$jobs" --target varrow capi_test
ctest --test-dir build-windows32 --output-on-failure -R '^capi[.]'

echo "== Engine tests under ASan, UBSan and the standard library's assertions =="
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON \
  -DOSTREL_ASSERTIONS=ON -DOSTREL_FRONTEND=OFF -DOSTREL_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$top/tools/lsan-image-libraries.supp" \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L engine

echo "== Pass 1 under ThreadSanitizer =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_TSAN=ON \
  -DOSTREL_FRONTEND=OFF -DOSTREL_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target engine_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/engine_tests \
  --gtest_filter='FastScan*:Rows/*:HeaderFinders*:ReaderOn*:SimulatedImages*:ImageSources*:SectorSpans*:Faults*:ReadAhead/*'

echo "== Bounded fuzz runs =="
tools/fuzz.sh --seconds 30

echo "All tests passed."
