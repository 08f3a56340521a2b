#!/bin/sh
# Runs a Windows program of the cross build under Wine: in a Wine prefix of
# the project's own (made at first use), without Wine's debug chatter and
# without the prompts to install its .NET and HTML engines.
# Usage: tools/wine-run.sh wine64|wine PROGRAM.exe [ARGUMENTS...]
set -eu
loader=/usr/lib/wine/$1
shift
WINEPREFIX=${OSTREL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/ostrel-wine}
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# A prefix made before wine32 was installed has no 32-bit system files yet.
wow64=$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll
if [ ! -f "$WINEPREFIX/system.reg" ] || { [ -x /usr/lib/wine/wine ] && [ ! -f "$wow64" ]; }; then
  # Tests start in parallel: the first one makes the prefix, the others wait.
  mkdir -p "$(dirname "$WINEPREFIX")"
  # The prefix is the project's own: one without them is made anew.
  flock "$WINEPREFIX.lock" sh -c '
    if [ -x /usr/lib/wine/wine ] && [ ! -f "$1" ]; then rm -rf "$WINEPREFIX"; fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    fi' sh "$wow64" </dev/null
fi
exec "$loader" "$@"
