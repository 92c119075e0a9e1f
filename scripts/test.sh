#!/bin/sh
# Installs what is missing, builds both targets and runs the whole test suite under Wine and Xvfb.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
sh "$ROOT/scripts/setup.sh"
sh "$ROOT/scripts/build.sh" i686 Debug "$ROOT/build/i686"
sh "$ROOT/scripts/build.sh" x86_64 Debug "$ROOT/build/x86_64"
B="$ROOT/build/x86_64"
set +e
# One test at a time: every test shares the prefix's registry and the one display.
ctest --test-dir "$B" --output-on-failure --timeout 300
rc=$?
"$B/wine-down.sh"
exit $rc
