#!/bin/sh
# Benchmarks: builds Korvanel, a bare dialog program and the benchmarks in Release in build/bench,
# runs them in a Wine prefix and an Xvfb display of their own, and prints two tables of medians,
# each figure beside the bare platform doing the same work:
#  - start-up, RefreshToolList with 10 to 5,000 entries, register and delete among 1,000, memory;
#  - INI export and import beside "reg export" / "reg import" of the same key, the .reg backup
#    and its restore beside "reg export" and "reg import" of the same file.
#   sh scripts/bench.sh [runs] [entry counts for export/import...]   (default 7; 100 1000)
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B="$ROOT/build/bench"
RUNS=${1:-7}
[ $# -gt 0 ] && shift
COUNTS=${*:-100 1000}
sh "$ROOT/scripts/setup.sh"
sh "$ROOT/scripts/build.sh" x86_64 Release "$B" -DKORVANEL_TESTS=OFF -DKORVANEL_BENCH=ON >/dev/null

. "$ROOT/scripts/wine-lib.sh"
unset DISPLAY
trap 'wine_down "$B"' EXIT
trap "exit 130" INT TERM
wine_up "$B"
$W "$B/scale_bench.exe" "$RUNS" </dev/null
echo
# shellcheck disable=SC2086
$W "$B/exchange_bench.exe" $COUNTS </dev/null
