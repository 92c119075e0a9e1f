#!/bin/sh
# Installs what is missing, builds Korvanel and starts it under Wine.
#
# The program runs in a private prefix, build/run/wineprefix, unless WINEPREFIX names another.
# In its own prefix, while Cakewalk's Tools menu is empty, two example entries are added first.
# Without a display it runs under Xvfb, saves a screenshot, closes the program and says where
# the picture is.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B="$ROOT/build/x86_64"
STATE="$ROOT/build/run"
sh "$ROOT/scripts/setup.sh"
sh "$ROOT/scripts/build.sh" x86_64 Debug "$B"
. "$ROOT/scripts/wine-lib.sh"
# A prefix named by WINEPREFIX is someone else's: used as it is, never configured or shut down.
OTHER_PREFIX="$WINEPREFIX"
headless=""
[ -n "$DISPLAY" ] || headless=1
wine_up "$STATE" "$OTHER_PREFIX"

KEY='HKLM\Software\Cakewalk Music Software\Tools Menu'
if [ -z "$OTHER_PREFIX" ] && ! $W reg query "$KEY" 2>/dev/null | grep -q 'Tools Menu\\'; then
  add() { $W reg add "$KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
  add Notepad ExePath 'C:\windows\notepad.exe'; add Notepad MenuText 'メモ帳(&N)'
  add Notepad StatusBarText 'テキスト ファイルを編集します。'; add Notepad Type Generic
  add Regedit ExePath 'C:\windows\regedit.exe'; add Regedit MenuText 'レジストリ エディタ(&R)'
  add Regedit StatusBarText 'Cakewalk の設定を直接見ます。'; add Regedit Type Generic
fi

if [ -z "$headless" ]; then
  $W "$B/Korvanel.exe" || true
  wine_down "$STATE" "$OTHER_PREFIX"
  exit 0
fi

$W "$B/Korvanel.exe" </dev/null >/dev/null 2>&1 &
pid=$!
timeout 60 xdotool search --sync --onlyvisible --name 'Cakewalk' >/dev/null 2>&1 || true
sleep 1.5
mkdir -p "$ROOT/build/screenshots"
shot="$ROOT/build/screenshots/korvanel-$(date +%Y%m%d-%H%M%S).png"
import -window root "$shot"
# Close it as the close box would: taskkill without /f posts WM_CLOSE, and the program ends with 0.
$W taskkill /im Korvanel.exe </dev/null >/dev/null 2>&1 || true
wait $pid 2>/dev/null || true
wine_down "$STATE" "$OTHER_PREFIX"
echo "Screenshot: $shot"
