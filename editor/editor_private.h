#pragma once
// editor/editor_private.h: what the editor's commands share and no other folder calls.
#include <windows.h>
#include "editor/editor.h"

// Says why a listed entry cannot be acted on by its name (action: "削除", "上書き", "コピー"), if
// it cannot: the name would reach another key, or none. True when it warned.
bool RefuseUnnamable(HWND hwnd, const ToolEntry* entry, const char* action);
// The selected entry's name into TOOL_TEXT_SIZE bytes, copied because the list may be rebuilt
// while a box is open; false, after a warning, when nothing is selected (noSelection says what
// to select) or the name cannot be acted on.
bool TakeSelectedName(HWND hwnd, const char* noSelection, const char* action, char* name);
