#!/bin/sh
# The release as a Windows user gets it: each zip holds the exe and its two documents, the exe is
# built for its target, imports only Windows' own DLLs and, unpacked, passes the start-up smoke.
# Usage: tests/release_test.sh [x86_64 test build dir]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$(cd "${1:-$ROOT/build/x86_64}" && pwd)
. "$ROOT/scripts/wine-lib.sh"
fail() { echo "FAIL: $*"; exit 1; }
sh "$ROOT/scripts/release.sh"
rm -rf "$B/release-test"
for ARCH in x86_64 i686; do
  ZIP=$(ls -t "$ROOT"/dist/Korvanel-*-$ARCH.zip | head -n 1)
  DIR="$B/release-test/$ARCH"
  [ "$(unzip -Z1 "$ZIP" | sort | tr '\n' ' ')" = "Korvanel.exe history.txt readme.txt " ] ||
    fail "$ZIP does not hold exactly the program and its two documents"
  mkdir -p "$DIR" && unzip -q "$ZIP" -d "$DIR"
  case $ARCH in x86_64) format=pei-x86-64 view= ;; i686) format=pei-i386 view=32 ;; esac
  # Read whole before it is searched, so that a failure shows what objdump said.
  head=$(LC_ALL=C "$ARCH-w64-mingw32-objdump" -f "$DIR/Korvanel.exe" 2>&1)
  echo "$head" | grep -q "format $format" || fail "not $format: $head"
  # Any other DLL imported by name would be looked for beside the elevated exe first.
  dlls=$(LC_ALL=C "$ARCH-w64-mingw32-objdump" -p "$DIR/Korvanel.exe" | sed -n 's/^\s*DLL Name: //p')
  echo "$dlls" | grep -qix 'kernel32.dll' || fail "the $ARCH exe's import table was not read"
  echo "$dlls" | grep -viqE '^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32)\.dll$' &&
    fail "the $ARCH exe imports a DLL outside the allowed ones:" $dlls
  if [ $ARCH = i686 ] && ! why=$(runs_32bit); then
    echo "i686 zip not run: this machine cannot run 32-bit programs ($why)" && continue
  fi
  KORVANEL_EXE="$DIR/Korvanel.exe" KORVANEL_VIEW=$view "$B/wine-run.sh" "$B/smoke_tests.exe" \
    --gtest_filter='Smoke.Starts*' </dev/null || fail "the unpacked $ARCH exe failed the smoke"
done
