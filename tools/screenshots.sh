#!/bin/sh
# Builds the front end and renders every page, sub-page and dialog of the
# main window to PNG files, for the README and for review: the Recovery
# page (empty, with its drive list, running with its figures, paused by a
# dialog, finished), the summary and the report (with and without the
# engine's records), the Batch Recovery page during and after a batch, the
# add-drive dialog, the save-log dialog, the options and the About page.
# The windows are real ones on an X server: Xvfb when xvfb-run is there,
# else Qt draws them offscreen.
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
if command -v xvfb-run >/dev/null 2>&1; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$build/frontend/tolvan_screenshots" "$out"
else
  QT_QPA_PLATFORM=offscreen "$build/frontend/tolvan_screenshots" "$out"
fi
