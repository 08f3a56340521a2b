#!/bin/sh
# Installs a build into a scratch prefix and checks what landed there: the
# programs run from it, the library has its SONAME, and the desktop entry is
# valid.
#
#   tools/check_install.sh BUILD-FOLDER
set -eu
build=${1:?usage: $0 BUILD-FOLDER}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
"$prefix/bin/varrow" --version
test -f "$prefix/include/varrow.h"
test -f "$prefix/share/man/man1/varrow.1"
soname=$(objdump -p "$prefix"/lib*/libvarrow.so.*.*.* | sed -n 's/^ *SONAME *//p')
[ "$soname" = libvarrow.so.1 ] || { echo "libvarrow's SONAME is '$soname'" >&2; exit 1; }
if [ -x "$prefix/bin/tolvan" ]; then
  QT_QPA_PLATFORM=offscreen "$prefix/bin/tolvan" --help > /dev/null
  test -f "$prefix/share/ostrel/help/index.html"
  desktop-file-validate "$prefix/share/applications/tolvan.desktop"
  test -f "$prefix/share/icons/hicolor/scalable/apps/tolvan.svg"
fi
echo "Install check: the programs run from $prefix and everything is in place."
