#!/bin/sh
# Times `varrow recover` against `cat IMAGE > /dev/null` over two 1 GiB
# images, page-cached and dropped from the page cache first: one of random
# bytes, where the recovery is the scan alone, and one of noise and messages.
#
#   bench/recover_vs_cat.sh BUILD-FOLDER [FOLDER]
#
# BUILD-FOLDER is a build with benchmarks (a Release build for real figures);
# the images are kept in FOLDER (default $TMPDIR, else /tmp) for later runs.
set -eu
build=${1:?usage: recover_vs_cat.sh BUILD-FOLDER [FOLDER]}
folder=${2:-${TMPDIR:-/tmp}}
output=$folder/ostrel-bench-recover-output

"$build/bench/scan_bench" --noise "$folder/ostrel-bench-noise-1g.img" 1024
"$build/bench/scan_bench" --mixed "$folder/ostrel-bench-mixed-1g.img" 1024

# Seconds that a command takes, with its output thrown away.
seconds() {
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    awk "BEGIN { printf \"%.2f\", ($end - $start) / 1e9 }"
}

uncache() { dd if="$1" iflag=nocache count=0 status=none; }

recover() {
    rm -rf "$output" && mkdir -p "$output"
    "$build/cli/varrow" recover --quiet "$1" "$output" || true
}

for name in noise mixed; do
    image=$folder/ostrel-bench-$name-1g.img
    cat "$image" > /dev/null
    cached_cat=$(seconds cat "$image")
    cached_recover=$(seconds recover "$image")
    uncache "$image"
    uncached_cat=$(seconds cat "$image")
    uncache "$image"
    uncached_recover=$(seconds recover "$image")
    messages=$(ls "$output" | wc -l)
    rm -rf "$output"
    echo "1 GiB of $name, $messages messages written"
    echo "  page-cached: cat $cached_cat s, varrow recover $cached_recover s"
    echo "  uncached:    cat $uncached_cat s, varrow recover $uncached_recover s"
done
