#!/bin/sh
# Installs the Debian packages that building and testing need, only those
# that are missing. Uses sudo when not run as root.
set -eu

# the build, the tests (GoogleTest), the window (Qt 6 and a font for its
# screenshots), objdump for the export and install checks
packages="cmake ninja-build g++ googletest libgtest-dev qt6-base-dev fonts-dejavu-core binutils"
# the command line's digests and DFXML report
packages="$packages libssl-dev libxml2-dev pkg-config"
# checking the installed desktop entry
packages="$packages desktop-file-utils"
# the window report's message preview (MIME)
packages="$packages libgmime-3.0-dev"
# a real X server for tools/screenshots.sh
packages="$packages xvfb xauth"
# clang and its runtime libraries (libFuzzer, the sanitizers) for tools/fuzz.sh
packages="$packages clang libclang-rt-14-dev"
# disk images: libtsk recognises and reads them, libewf reads EWF; the tests
# make their images with ewfacquire (ewf-tools), qemu-img (qemu-utils) and split
packages="$packages libtsk-dev libewf-dev pkg-config ewf-tools qemu-utils"
# File systems laid out by their own tools for the store-aware tests
packages="$packages mtools e2fsprogs"
# the Windows build (MinGW-w64) and Wine to run its tests
packages="$packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64"
packages="$packages ${OSTREL_EXTRA_PACKAGES:-}"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=""
for package in $packages; do
  installed "$package" || missing="$missing $package"
done

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
else
  as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

if [ -n "$missing" ]; then
  echo "Installing:$missing"
  $as_root apt-get update -qq || true
  # shellcheck disable=SC2086
  $as_root apt-get install -y --no-install-recommends $missing
fi

# Wine's 32-bit loader, for the 32-bit varrow.dll, comes from the i386
# architecture. Its libraries must be of the very versions of the amd64
# ones; when the mirror cannot offer that, nothing is removed or replaced
# to get it: the 32-bit test then says it was skipped, and why.
if ! installed wine32; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $as_root dpkg --add-architecture i386
  fi
  $as_root apt-get update -qq || true
  if ! $as_root apt-get install -y --no-install-recommends --no-remove wine32; then
    echo "install-deps: wine32 could not be installed; the 32-bit Windows test will be skipped" >&2
  fi
fi
