#!/bin/sh
# Fails on an include against the layers: app may include store, editor, exchange and dialogs;
# editor store and dialogs; exchange store, editor and dialogs; store and dialogs none of the others.
cd "$(dirname "$0")/.." || exit 1
allowed=" app:store app:editor app:exchange app:dialogs editor:store editor:dialogs exchange:store "
allowed="$allowed exchange:editor exchange:dialogs "
grep -n '^#include "[a-z]*/' app/* store/* editor/* exchange/* dialogs/* | while IFS=: read -r file line text; do
  from=${file%%/*} to=$(echo "$text" | sed 's|^#include "\([a-z]*\)/.*|\1|')
  [ "$to" = res ] || [ "$to" = "$from" ] || echo "$allowed" | grep -q " $from:$to " ||
    echo "$file:$line: $text goes against the layers"
done | grep . && exit 1
exit 0
