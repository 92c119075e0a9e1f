#!/bin/sh
# Scale benchmark: builds a Release copy of Korvanel, a bare dialog program and the benchmark in
# build/bench, then runs them in a Wine prefix and an Xvfb display of their own and prints a table
# of medians, each figure beside the bare platform doing the same work.
#   sh scripts/bench-scale.sh [runs]      (default 7)
set -e
S=$(cd "$(dirname "$0")/.." && pwd)
B="$S/build/bench"
RUNS=${1:-7}
sh "$S/scripts/setup.sh"
cmake -G Ninja -S "$S/bench" -B "$B" -DCMAKE_TOOLCHAIN_FILE="$S/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$B" -j2 >/dev/null

. "$S/scripts/wine-lib.sh"
export WINEPREFIX="$B/wineprefix"
unset DISPLAY
wine_locale
stop_all() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  stop_xvfb "$B/xvfb"
}
trap stop_all EXIT
trap "exit 130" INT TERM
start_xvfb "$B/xvfb"
configure_prefix
$W "$B/scale_bench.exe" "$RUNS" </dev/null
