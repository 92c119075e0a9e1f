#pragma once
// editor/editor_private.h: what the editor's commands share and no other folder calls.
#include <windows.h>
#include "editor/editor.h"

// Says why a listed entry cannot be acted on by its name (action: "削除", "上書き", "コピー"), if
// it cannot: the name would reach another key, or none. True when it warned.
bool RefuseUnnamable(HWND hwnd, const ToolEntry* entry, const char* action);
// Hands the icon thread the programs of the entries as listed now, in list order, in place of any
// it has not begun; it is started on first use.
void StartIconReading(HWND hwnd);
