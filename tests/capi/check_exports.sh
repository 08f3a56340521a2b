#!/bin/sh
# The shared library exports the three engine functions and nothing else.
set -eu
library="$1"
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TDBRW]$/ {print $3}' | sort | tr '\n' ' ')
expected="GetDeviceLength GetVolumeSize RecoverMessages "
if [ "$actual" != "$expected" ]; then
  echo "exports of $library: '$actual', expected '$expected'" >&2
  exit 1
fi
