#!/bin/sh
# Builds Ostrel, writes the bundled sample disk image and recovers the mail
# on it with the command-line program. Everything lands in ./out.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target varrow_cli make-sample-image

mkdir -p out
rm -rf out/recovered
mkdir out/recovered

echo
echo "== Writing the sample disk image =="
build/tools/sample/make-sample-image out/sample.img out/sample-manifest.txt

echo
echo "== Recovering it =="
set +e
build/cli/varrow recover --log out/recovery.log --report out/report.csv out/sample.img out/recovered
status=$?
set -e

echo
echo "Recovered messages:  out/recovered/ ($(find out/recovered -name '*.eml' | wc -l) .eml files)"
echo "Recovery log:        out/recovery.log"
echo "Report (CSV):        out/report.csv"
echo "Some of the files:"
ls out/recovered | head -n 8 | sed 's/^/  /'
echo
echo "The desktop program: build/frontend/tolvan (tolvan out/sample.img opens and recovers it)."
exit $status
