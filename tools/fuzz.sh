#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer and runs each of them for
# a while with a fixed seed; optionally runs the engine over the
# pathological images of the stress program.
#
#   tools/fuzz.sh [--seconds N] [--stress] [TARGET...]
#
#   TARGET     engine, headers, naming, reader or scan (default: all five)
#   --seconds  run time per target (default 600; tools/test.sh uses 30)
#   --stress   afterwards run every pathological scenario of the stress
#              program, which links the engine without instrumentation
#              (256 MB images, a million heads: about half an hour and
#              several GB in /dev/shm, else /tmp)
#
# Each target starts from its seed corpus (made by the image builder at
# build time) and keeps what it learns in build-fuzz/corpus/TARGET, so a
# later run goes on from there. An input that breaks an invariant, crashes,
# hangs for 25 s or leaks is written to build-fuzz/artifacts/ and fails
# the script; replay it with build-fuzz/tests/fuzz/fuzz_TARGET FILE.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

seconds=600
stress=no
targets=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --stress) stress=yes; shift ;;
    engine|headers|naming|reader|scan) targets="$targets $1"; shift ;;
    *) echo "usage: $0 [--seconds N] [--stress] [engine|headers|naming|reader|scan...]" >&2; exit 2 ;;
  esac
done
[ -z "$targets" ] && targets="engine headers naming reader scan"
jobs=$(nproc 2>/dev/null || echo 2)

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSTREL_FUZZ=ON -DOSTREL_FRONTEND=OFF -DOSTREL_BENCH=ON > /dev/null
fuzzers=""
for target in $targets; do fuzzers="$fuzzers fuzz_$target"; done
# shellcheck disable=SC2086
cmake --build "$build" -j "$jobs" --target fuzz_seeds $fuzzers

mkdir -p "$build/artifacts"
for target in $targets; do
  case "$target" in
    engine|scan) max_len=65536 ;;
    naming|headers) max_len=16384 ;;
    *) max_len=4096 ;;
  esac
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== fuzz_$target: $seconds s =="
  log="$build/artifacts/fuzz_$target.log"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      LSAN_OPTIONS=suppressions="$top/tools/lsan-image-libraries.supp" \
      "$build/tests/fuzz/fuzz_$target" -seed=1 -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=25 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$corpus" "$build/tests/fuzz/seeds/$target" > "$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$target found a failure; see $log and $build/artifacts/" >&2
    exit 1
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: $executions executions, corpus of $(ls "$corpus" | wc -l) inputs, no failure"
done

if [ "$stress" = yes ]; then
  echo "== Pathological images =="
  # The stress program links the engine without instrumentation.
  cmake --build "$build" -j "$jobs" --target pathological_stress
  scratch=/tmp
  [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
  "$build/bench/pathological_stress" --timeout 1800 --scratch "$scratch"
  echo "== Pathological images, store-aware linking =="
  "$build/bench/pathological_stress" --timeout 1800 --scratch "$scratch" --store-aware
fi
