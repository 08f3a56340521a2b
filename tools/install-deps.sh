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
packages="$packages ${OSTREL_EXTRA_PACKAGES:-}"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
  as_root=""
else
  as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq || true
# shellcheck disable=SC2086
$as_root apt-get install -y --no-install-recommends $missing
