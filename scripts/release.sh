#!/bin/sh
# Builds both targets in release mode and writes one zip per target into dist/:
#   dist/Korvanel-<version>-x86_64.zip  for 64-bit Cakewalk
#   dist/Korvanel-<version>-i686.zip    for 32-bit Cakewalk (also on 64-bit Windows)
# each holding Korvanel.exe, readme.txt and history.txt, to be unpacked anywhere and run.
# The release builds live in build/release-<target>, apart from the test builds.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
sh "$ROOT/scripts/setup.sh"
DIST="$ROOT/dist"
mkdir -p "$DIST"
for ARCH in x86_64 i686; do
  B="$ROOT/build/release-$ARCH"
  sh "$ROOT/scripts/build.sh" $ARCH Release "$B" -DKORVANEL_TESTS=OFF >/dev/null
  VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$B/CMakeCache.txt")
  STAGE="$B/package"
  rm -rf "$STAGE"
  mkdir -p "$STAGE"
  # Symbols are of no use to a user; the resources and the code stay as built.
  "$ARCH-w64-mingw32-strip" -o "$STAGE/Korvanel.exe" "$B/Korvanel.exe"
  cp "$B/readme.txt" "$B/history.txt" "$STAGE/"
  ZIP="$DIST/Korvanel-$VERSION-$ARCH.zip"
  rm -f "$ZIP"
  (cd "$STAGE" && zip -q -X "$ZIP" Korvanel.exe readme.txt history.txt)
  echo "$ZIP"
done
