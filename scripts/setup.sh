#!/bin/sh
# Installs what building, running and testing Korvanel needs on Debian 12, as root. Packages
# already present are left alone, so this is quick on a prepared machine.
set -e
PACKAGES="wine wine64 wine32:i386 fonts-wine g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
cmake ninja-build googletest xvfb xauth xdotool imagemagick fonts-ipafont-gothic locales zip unzip
x11-utils binutils-mingw-w64-x86-64 binutils-mingw-w64-i686"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
# The i686 build is what 32-bit Cakewalk users install; Wine runs it with its 32-bit half.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update
if ! apt-get install -y $missing; then
  # Everything else still builds and tests; the test command then says why i686 did not run.
  echo "wine32:i386 could not be installed: the i686 build will not run on this machine"
  apt-get install -y $(echo $missing | tr ' ' '\n' | grep -v ':i386$')
fi
