#!/bin/sh
# Converts a UTF-8 document with LF line ends to code page 932 with CR LF, as Notepad on a
# Japanese Windows expects it.
set -e
iconv -f UTF-8 -t CP932 "$1" | sed 's/$/\r/' > "$2.tmp"
mv "$2.tmp" "$2"
