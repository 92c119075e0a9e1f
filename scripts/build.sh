#!/bin/sh
# Configures and builds one target:
#   scripts/build.sh x86_64|i686 [Debug|Release] [build dir] [more CMake options...]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARCH=${1:-x86_64}
TYPE=${2:-Debug}
DIR=${3:-$ROOT/build/$ARCH}
if [ $# -gt 3 ]; then shift 3; else set --; fi
cmake -G Ninja -S "$ROOT" -B "$DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$ARCH.cmake" \
  -DCMAKE_BUILD_TYPE="$TYPE" "$@" >/dev/null
ninja -C "$DIR" -j2
