#!/bin/sh
# Installs what building, running and testing Korvanel needs on Debian 12, as root. Packages
# already present are left alone, so this is quick on a prepared machine.
set -e
PACKAGES="wine wine64 fonts-wine g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix cmake
ninja-build googletest xvfb xauth xdotool imagemagick fonts-ipafont-gothic locales zip unzip
x11-utils binutils-mingw-w64-x86-64"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  # No i386 architecture and no wine32: this kernel cannot run 32-bit programs.
  apt-get install -y $missing
fi
