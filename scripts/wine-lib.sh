# The one Wine set-up of the run, test and benchmark commands: Wine's environment, a prefix with
# fonts that render the program's text, a private Xvfb display, and the shut-down.
# Each function takes a state directory DIR, which holds the Xvfb's pid and display number and
# the generated locale, and optionally a prefix of someone else's; by default the prefix is
# DIR/wineprefix, which alone is ever configured, remade or shut down here.
# ROOT is the checkout's top: the sourcing script's, or, when it does not set it, the folder above
# the script's own (every script that sources this lies one folder down).
ROOT=${ROOT:-$(cd "$(dirname "$0")/.." && pwd)}

W=/usr/lib/wine/wine64

# Wine's environment for DIR's prefix and, while it runs, DIR's display. Wine wants the prefix
# as an absolute path, so DIR is made one (WINE_STATE).
wine_env() {
  mkdir -p "$1"
  WINE_STATE=$(cd "$1" && pwd)
  export WINEPREFIX="${2:-$WINE_STATE/wineprefix}" LC_ALL=ja_JP.UTF-8 LOCPATH="$WINE_STATE/locale"
  export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d"
  if [ -s "$WINE_STATE/xvfb.display" ] &&
    kill -0 "$(cat "$WINE_STATE/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    export DISPLAY=":$(cat "$WINE_STATE/xvfb.display")"
  fi
}

# Everything a program of ours needs under Wine; a private Xvfb when there is no DISPLAY. Every
# process started here has its stdio detached: ctest would wait on pipes that Wine's processes
# inherit.
wine_up() {
  wine_env "$1" "$2"
  # Without the generated locale Wine cannot create or open file names outside ASCII.
  if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
  fi
  if [ -z "$DISPLAY" ]; then
    shown="$WINE_STATE/xvfb.display"
    rm -f "$shown"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$shown" </dev/null >/dev/null 2>&1 &
    echo $! >"$WINE_STATE/xvfb.pid"
    i=0; while [ ! -s "$shown" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    export DISPLAY=":$(cat "$shown")"
  fi
  if [ -z "$2" ]; then configure_prefix; fi
  return 0
}

# Ends the programs and server of DIR's own prefix (a prefix given is left running), and the Xvfb
# that wine_up started.
wine_down() {
  wine_env "$1" "$2"
  if [ -z "$2" ]; then
    /usr/lib/wine/wineserver -k >/dev/null 2>&1
    /usr/lib/wine/wineserver -w >/dev/null 2>&1
  fi
  if [ -s "$WINE_STATE/xvfb.pid" ]; then kill "$(cat "$WINE_STATE/xvfb.pid")" 2>/dev/null; fi
  rm -f "$WINE_STATE/xvfb.pid" "$WINE_STATE/xvfb.display"
  return 0
}

# Succeeds when this machine runs 32-bit programs (the i686 build); otherwise says why on stdout.
runs_32bit() {
  why=$(/usr/lib/wine/wine --version 2>&1 >/dev/null) && return 0
  echo "${why:-/usr/lib/wine/wine failed}" | head -n 1
  return 1
}

configure_prefix() {
  # A prefix made before Wine's 32-bit half was installed cannot run the i686 build: make it anew.
  if [ -f "$WINEPREFIX/.configured" ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ] &&
    runs_32bit >/dev/null; then
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  [ -f "$WINEPREFIX/.configured" ] && return 0
  $W wineboot -i </dev/null >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  # Wine does not find its own Marlett (caption buttons) unless it lies in the prefix.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  iconv -f UTF-8 -t UTF-16 "$ROOT/cmake/wine-prefix.reg" >"$WINEPREFIX/drive_c/prefix.reg"
  $W regedit /S 'C:\prefix.reg' </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.configured"
}
