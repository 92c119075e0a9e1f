#!/bin/sh
# Installs what is missing, builds both targets and runs the whole test suite under Wine and Xvfb.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
sh "$ROOT/scripts/setup.sh"
. "$ROOT/scripts/wine-lib.sh"
B="$ROOT/build/x86_64"
Q="$ROOT/build/qemu"

# Where the kernel refuses 32-bit programs, they may still run in a namespace of our own with
# qemu-i386 (see wine-lib.sh). The emulator is fetched, the first time, while the builds run.
native=yes
fetch=""
if ! why=$(runs_32bit); then
  native=""
  if private=$(has_private_binfmt); then
    mkdir -p "$Q"
    fetch_qemu_i386 "$Q" >"$Q/fetch.why" 2>&1 &
    fetch=$!
  else
    why="$why; $private"
  fi
fi
sh "$ROOT/scripts/build.sh" i686 Debug "$ROOT/build/i686"
sh "$ROOT/scripts/build.sh" x86_64 Debug "$B"
# The release check builds the zips itself; built here, its builds inside the tests are no-ops.
sh "$ROOT/scripts/release.sh" >/dev/null

qemu=""
if [ -n "$fetch" ]; then
  if ! wait "$fetch"; then
    why="$why; $(head -n 1 "$Q/fetch.why")"
  elif inside=$(runs_32bit "$Q/qemu-i386"); then
    qemu="$Q/qemu-i386"
  else
    why="$why; in a namespace with qemu-i386: $inside"
  fi
fi
skip=""
if [ -z "$native$qemu" ]; then
  echo "i686 smoke not run: this machine cannot run 32-bit programs ($why)"
  skip="-E i686"
  # The x86_64 smoke then skips its step beside the i686 build too.
  export KORVANEL_NO_32BIT=1
fi

set +e
# One test at a time: every test shares the prefix's registry and the one display. The prefix is
# made first, where the tests run (inside the namespace when there is one, so that it has Wine's
# 32-bit half), and Wine's server and the display are ended there too.
# shellcheck disable=SC2016
tests='"$1/wine-up.sh"; ctest --test-dir "$1" --output-on-failure --timeout 300 $2; rc=$?
"$1/wine-down.sh"; exit $rc'
if [ -n "$qemu" ]; then
  in_i386_namespace "$qemu" sh -c "$tests" sh "$B" "$skip"
else
  sh -c "$tests" sh "$B" "$skip"
fi
