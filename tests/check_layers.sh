#!/bin/sh
# Fails on an include against the layers: app may include editor, exchange and dialogs; editor
# store and dialogs; exchange store, editor and dialogs; store and dialogs none of the others.
cd "$(dirname "$0")/.." || exit 1
grep -n '^#include "[a-z]*/' app/* store/* editor/* exchange/* dialogs/* | while IFS=: read -r file line text; do
  to=$(echo "$text" | sed 's|^#include "\([a-z]*\)/.*|\1|')
  case "${file%%/*}:$to" in
    *:res | app:app | app:editor | app:exchange | app:dialogs | store:store | editor:editor | \
      editor:store | editor:dialogs | exchange:exchange | exchange:store | exchange:editor | \
      exchange:dialogs | dialogs:dialogs) ;;
    *) echo "$file:$line: $text goes against the layers" ;;
  esac
done | grep . && exit 1
exit 0
