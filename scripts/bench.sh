#!/bin/sh
# Benchmarks: builds a Release copy of Korvanel, a bare dialog program and the benchmarks in
# build/bench, runs them in a Wine prefix and an Xvfb display of their own, and prints two tables
# of medians, each figure beside the bare platform doing the same work:
#  - start-up, RefreshToolList with 10 to 5,000 entries, register and delete among 1,000, memory;
#  - INI export and import beside "reg export" / "reg import" of the same key.
#   sh scripts/bench.sh [runs] [entry counts for export/import...]   (default 7; 100 1000)
set -e
S=$(cd "$(dirname "$0")/.." && pwd)
B="$S/build/bench"
RUNS=${1:-7}
[ $# -gt 0 ] && shift
COUNTS=${*:-100 1000}
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
echo
# shellcheck disable=SC2086
$W "$B/exchange_bench.exe" $COUNTS </dev/null
