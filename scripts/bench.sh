#!/bin/sh
# Times Korvanel's INI export and import of 100, 1,000 and 5,000 entries beside "reg export" and
# "reg import" of the same key, in one private Wine prefix, and prints the figures.
#   scripts/bench.sh [build dir] [entry counts...]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DIR=${1:-$ROOT/build/bench}
[ $# -gt 0 ] && shift
cmake -G Ninja -S "$ROOT/bench" -B "$DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$DIR" -j2
"$DIR/wine-up.sh"
trap '"$DIR/wine-down.sh"' EXIT INT TERM
"$DIR/wine-run.sh" "$DIR/exchange_bench.exe" "$@" </dev/null
