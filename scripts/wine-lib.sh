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

# Succeeds when this machine runs 32-bit programs (the i686 build), or, given a qemu-i386, when
# they run in the namespace of in_i386_namespace; otherwise says why on stdout.
# shellcheck disable=SC2120
runs_32bit() {
  if [ -n "$1" ]; then
    why=$(in_i386_namespace "$1" /usr/lib/wine/wine --version 2>&1 >/dev/null) && return 0
  else
    why=$(/usr/lib/wine/wine --version 2>&1 >/dev/null) && return 0
  fi
  echo "${why:-/usr/lib/wine/wine failed}" | head -n 1
  return 1
}

# A kernel without 32-bit support refuses Wine's 32-bit half ("Exec format error"). From Linux 6.7
# on, each user namespace may mount a binfmt_misc of its own, so a private namespace can hand i386
# programs to qemu-i386 without touching the machine's. Runs COMMAND so, with QEMU as emulator:
#   in_i386_namespace QEMU COMMAND [ARGUMENTS...]
in_i386_namespace() {
  unshare --user --map-root-user --mount --fork sh "$ROOT/scripts/i386-namespace.sh" "$@"
}

# Succeeds when a private namespace can have its own binfmt_misc; otherwise says why on stdout.
# Cheap, so that a kernel too old for it costs no download.
has_private_binfmt() {
  why=$(unshare --user --map-root-user --mount --fork \
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1) && return 0
  echo "no private binfmt_misc: ${why:-unshare failed}" | head -n 1
  return 1
}

# The URI this machine installs its own Debian release from: the mirror stays the machine's choice
# and is written nowhere. Reads deb822 stanzas first, then one-line "deb" entries.
debian_mirror() {
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v release="$release" 'BEGIN { RS = "" }
      {
        types = ""; uris = ""; suites = ""; enabled = "yes"
        n = split($0, line, "\n")
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^#/ || line[i] !~ /:/) continue
          key = tolower(line[i]); sub(/[ \t]*:.*/, "", key)
          value = line[i]; sub(/^[^:]*:[ \t]*/, "", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "enabled") enabled = tolower(value)
        }
        # The release itself, not its -updates or -security suites.
        if (enabled != "no" && (" " types " ") ~ / deb / && (" " suites " ") ~ (" " release " ")) {
          split(uris, uri, " "); print uri[1]; exit
        }
      }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v release="$release" '$1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while ($i !~ /]$/ && i < NF) i++; i++ }
        if ($(i + 1) == release) { print $i; exit }
      }' "$f"
  done
}

# The static qemu-i386 of Debian 13's qemu-user, unpacked once into DIR/qemu-i386; Debian 12's own
# (7.2) cannot map the shared user data that Wine needs. It comes through a package list of its
# own in DIR, so the system's lists stay as they are and nothing is installed. On failure, says
# why on stdout.
fetch_qemu_i386() {
  mkdir -p "$1"
  dir=$(cd "$1" && pwd)
  [ -x "$dir/qemu-i386" ] && return 0
  mirror=$(debian_mirror | head -n 1)
  if [ -z "$mirror" ]; then
    echo "no Debian mirror found in /etc/apt to fetch qemu-user from"
    return 1
  fi
  apt="$dir/apt"
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/cache"
  # Verified against the machine's own keyring: Debian 12's holds trixie's keys (since
  # 2023.3+deb12u2), and bookworm's archive key signs trixie's Release as well.
  echo "deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" \
    >"$apt/sources.list"
  set -- -o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts=- \
    -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" \
    -o APT::Architectures=amd64 -o Acquire::Languages=none
  if ! (apt-get "$@" --error-on=any update && cd "$apt" && apt-get "$@" download qemu-user/trixie) \
    >"$apt/log" 2>&1; then
    echo "qemu-user could not be fetched ($( (grep '^E:' "$apt/log" || tail -n 1 "$apt/log") | head -n 1))"
    return 1
  fi
  # Written aside and renamed, so that an interrupted unpacking is never taken for the emulator.
  if ! dpkg-deb --fsys-tarfile "$apt"/qemu-user_*.deb | tar -x -O ./usr/bin/qemu-i386 \
    >"$dir/qemu-i386.part" 2>"$apt/log" || [ ! -s "$dir/qemu-i386.part" ]; then
    echo "qemu-i386 could not be unpacked ($(head -n 1 "$apt/log"))"
    return 1
  fi
  chmod 755 "$dir/qemu-i386.part"
  mv "$dir/qemu-i386.part" "$dir/qemu-i386"
  rm -rf "$apt"
}

configure_prefix() {
  # A prefix made where Wine's 32-bit half could not run (before wine32 was installed, or outside
  # the i386 namespace) has an empty syswow64 and cannot run the i686 build: make it anew.
  if [ -f "$WINEPREFIX/.configured" ] &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && runs_32bit >/dev/null; then
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
