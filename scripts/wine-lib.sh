# Shell functions shared by the run, test and benchmark commands: a private Xvfb display, a
# Japanese locale for Wine and a prefix configured with fonts that render the program's text.
# Needs: B (build dir), S (source dir), WINEPREFIX.

W=/usr/lib/wine/wine64

wine_locale() {
  export LC_ALL=ja_JP.UTF-8 LOCPATH="$B/locale"
  # Without the generated locale Wine cannot create or open file names outside ASCII.
  if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
  fi
  export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d"
}

# Starts Xvfb unless the one recorded in $1.pid still runs; exports DISPLAY.
start_xvfb() {
  state="$1"
  if ! { [ -s "$state.pid" ] && kill -0 "$(cat "$state.pid")" 2>/dev/null; }; then
    rm -f "$state.display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state.display" </dev/null >/dev/null 2>&1 &
    echo $! > "$state.pid"
    i=0; while [ ! -s "$state.display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done
  fi
  export DISPLAY=":$(cat "$state.display")"
}

stop_xvfb() {
  state="$1"
  [ -s "$state.pid" ] && kill "$(cat "$state.pid")" 2>/dev/null
  rm -f "$state.pid" "$state.display"
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
  iconv -f UTF-8 -t UTF-16 "$S/cmake/wine-prefix.reg" > "$WINEPREFIX/drive_c/prefix.reg"
  $W regedit /S 'C:\prefix.reg' </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.configured"
}
