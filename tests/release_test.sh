#!/bin/sh
# Makes the release with scripts/release.sh and checks it as a Windows user would get it: each
# zip holds exactly Korvanel.exe, readme.txt and history.txt, each exe is built for its target and
# imports only Windows' own DLLs, and the x86_64 exe, unpacked into a fresh directory, opens its
# window under Wine and opens the readme lying beside it (the e2e tests, pointed at that
# directory with KORVANEL_PROGRAM_DIR).
# Usage: tests/release_test.sh [x86_64 test build dir, default build/x86_64]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$(cd "${1:-$ROOT/build/x86_64}" && pwd)
fail() { echo "FAIL: $*"; exit 1; }

sh "$ROOT/scripts/release.sh"
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$ROOT/build/release-x86_64/CMakeCache.txt")
CHECK="$B/release-test"
rm -rf "$CHECK"
mkdir -p "$CHECK"

for ARCH in x86_64 i686; do
  ZIP="$ROOT/dist/Korvanel-$VERSION-$ARCH.zip"
  [ -s "$ZIP" ] || fail "$ZIP was not written"
  names=$(unzip -Z1 "$ZIP" | sort | tr '\n' ' ')
  [ "$names" = "Korvanel.exe history.txt readme.txt " ] || fail "$ZIP holds: $names"
  mkdir -p "$CHECK/$ARCH"
  unzip -q "$ZIP" -d "$CHECK/$ARCH"
  case $ARCH in x86_64) format=pei-x86-64 ;; i686) format=pei-i386 ;; esac
  "$ARCH-w64-mingw32-objdump" -f "$CHECK/$ARCH/Korvanel.exe" | grep -q "file format $format" ||
    fail "$ARCH exe is not $format"
  sh "$ROOT/tests/check_imports.sh" "$ARCH-w64-mingw32-objdump" "$CHECK/$ARCH/Korvanel.exe" >/dev/null ||
    fail "$ARCH exe imports DLLs that Windows does not have"
  cmp -s "$CHECK/$ARCH/readme.txt" "$ROOT/build/release-$ARCH/readme.txt" || fail "$ARCH readme differs"
done

# Only the x86_64 exe can run here: this kernel runs no 32-bit code.
own_display=""
[ -s "$B/xvfb.pid" ] && kill -0 "$(cat "$B/xvfb.pid")" 2>/dev/null || own_display=1
"$B/wine-up.sh"
DIR="Z:$(printf '%s' "$CHECK/x86_64" | tr / '\\')"
set +e
KORVANEL_PROGRAM_DIR="$DIR" "$B/wine-run.sh" "$B/e2e_tests.exe" \
  --gtest_filter='HelpDocumentsTest.ReadmeAndHistory*:AboutBoxTest.OpensCentred*' </dev/null >"$CHECK/e2e.log" 2>&1
rc=$?
set -e
[ -n "$own_display" ] && "$B/wine-down.sh"
cat "$CHECK/e2e.log"
[ $rc -eq 0 ] || fail "the unpacked program failed its tests"
grep -q '^\[  PASSED  \] 2 tests' "$CHECK/e2e.log" || fail "the two tests did not both run"
echo "release $VERSION: both zips complete, the unpacked x86_64 exe runs and opens its readme"
