#!/bin/sh
# Builds the front end and renders every page, sub-page and dialog of the
# main window to PNG files, offscreen, for the README and for review: the
# Recovery page (empty, with its drive list, running, finished), the summary
# and the report, the Batch Recovery page during and after a batch, the
# add-drive dialog, the save-log dialog, the options and the About page.
#
# Usage: tools/screenshots.sh [output folder]   (default out/screenshots)
# BUILD_DIR chooses the build folder (default build).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=${1:-out/screenshots}
build=${BUILD_DIR:-build}

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tolvan_screenshots
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/frontend/tolvan_screenshots" "$out"
