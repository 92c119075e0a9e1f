#!/bin/sh
# Converts a UTF-8 document with LF line ends to code page 932 with CR LF, as Notepad on a
# Japanese Windows expects it, writing the version in for @VERSION@ and @VERSION_SHORT@:
#   to_cp932.sh source target [version short-version]
# A character that code page 932 lacks fails the build: in a pipe, iconv's failure would be lost
# and the document silently cut short at that character.
set -e
iconv -f UTF-8 -t CP932 "$1" > "$2.cp932" || { rm -f "$2.cp932"; exit 1; }
sed -e 's/$/\r/' -e "s/@VERSION@/$3/g" -e "s/@VERSION_SHORT@/$4/g" "$2.cp932" > "$2.tmp"
rm -f "$2.cp932"
mv "$2.tmp" "$2"
