#!/bin/sh
# The exe must run from an unpacked zip: it may import nothing but Windows' own DLLs.
objdump="$1"; exe="$2"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
bad=0
for d in $dlls; do
  case "$d" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|comctl32.dll|comdlg32.dll|version.dll|msvcrt.dll|api-ms-win-*) echo "ok   $d" ;;
    *) echo "FAIL $d is not a Windows system DLL"; bad=1 ;;
  esac
done
exit $bad
