#!/bin/sh
# varrow.exe under Wine writes the same files as the Linux varrow for the
# same disk images, in both linking modes and with rollover subfolders: the
# same bytes with the same modification time, each under the same name
# where the two systems' naming rules agree (names of ASCII characters; the
# output folders have paths of one length, so that names are cut alike).
# Other names follow each system's character rules - UTF-8 on Linux, the
# ANSI code page on Windows, where what it lacks becomes '_' - and their
# files are matched by content.
# Usage: same_output.sh LINUX-varrow WINDOWS-varrow.exe make-sample-image WORK-FOLDER
set -eu
linux=$1
windows=$2
make_image=$3
work=$4
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/tools/wine-run.sh"

# The Windows form of a path of this machine, on Wine's drive for "/".
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# Every file below a folder, one line each: path, size, time, digest. A
# time from the run itself (a message without a date, or --classic, which
# sets none) is "now".
listing() {
  (cd "$1" && find . -type f -printf '%P\n' | while IFS= read -r file; do
    time=$(stat -c '%Y' "$file")
    [ "$time" -lt "$started" ] || time=now
    printf '%s\t%s\t%s\t%s\n' "$file" "$(stat -c '%s' "$file")" "$time" "$(sha256sum <"$file" | cut -c1-64)"
  done | LC_ALL=C sort)
}

# Compares two folders' files; prints what differs.
compare() {
  listing "$1" >"$work/linux.list"
  listing "$2" >"$work/windows.list"
  # The same contents with the same times, whatever their names.
  cut -f2- "$work/linux.list" | LC_ALL=C sort >"$work/linux.files"
  cut -f2- "$work/windows.list" | LC_ALL=C sort >"$work/windows.files"
  diff "$work/linux.files" "$work/windows.files" >/dev/null || { echo "contents or times differ"; return 1; }
  # Where the Linux name is plain ASCII, the same name on Windows.
  LC_ALL=C grep -v '^[^	]*[^ -~	]' "$work/linux.list" >"$work/ascii.list" || true
  missing=$(LC_ALL=C comm -23 "$work/ascii.list" "$work/windows.list")
  [ -z "$missing" ] || { echo "named otherwise on Windows:"; echo "$missing" | cut -f1; return 1; }
}

rm -rf "$work"
mkdir -p "$work"
started=$(date +%s)
failures=0
compared=0
for seed in 1 2; do
  image=$work/sample-$seed.img
  "$make_image" --seed "$seed" "$image" >/dev/null
  for mode in best classic rollover; do
    case $mode in
      best) options="" ;;
      classic) options="--classic" ;;
      rollover) options="--new-folder 25" ;;
    esac
    # Wine's "Z:" makes up for the two letters more in the Linux name.
    out_linux=$work/$seed-$mode-linux
    out_windows=$work/$seed-$mode-lin
    mkdir "$out_linux" "$out_windows"
    # shellcheck disable=SC2086
    "$linux" recover --quiet $options "$image" "$out_linux" >"$out_linux.log" 2>&1 || true
    # shellcheck disable=SC2086
    "$wine_run" wine64 "$windows" recover --quiet $options "$(windows_path "$image")" \
      "$(windows_path "$out_windows")" >"$out_windows.log" 2>&1 || true
    files=$(find "$out_linux" -type f | wc -l)
    if [ "$files" -eq 0 ]; then
      echo "seed $seed, $mode: the Linux build wrote nothing" >&2
      failures=$((failures + 1))
    elif ! compare "$out_linux" "$out_windows" >"$work/differences"; then
      echo "seed $seed, $mode: the files differ:" >&2
      head -20 "$work/differences" >&2
      failures=$((failures + 1))
    else
      echo "seed $seed, $mode: $files files alike"
    fi
    compared=$((compared + 1))
  done
done
echo "$((compared - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
