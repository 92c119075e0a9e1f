#pragma once
// editor/editor_private.h: what the editor's files share and no other folder calls: the floor
// under the command files (selection.cpp, value_words.cpp, undo.cpp and the list), which call
// only into it, never into one another.
#include <windows.h>
#include "editor/editor.h"

// Room for a quoted name of at most 255 bytes, or a program's path, and the longest question.
enum { QUESTION_SIZE = MAX_PATH + 512 };
// A field's text into size bytes, cut on a character's end; a warning about a field, with the
// focus then on it; and "'name" followed by rest, the opening of every question about an entry.
void ReadField(HWND hwnd, int id, char* text, DWORD size);
void WarnAboutField(HWND hwnd, const char* text, int id);
void BuildQuestion(char* question, DWORD size, const char* name, const char* rest);
// Says why a listed entry cannot be acted on by its name (action: "削除", "上書き", "コピー"), if
// it cannot: the name would reach another key, or none. True when it warned.
bool RefuseUnnamable(HWND hwnd, const ToolEntry* entry, const char* action);
// Hands the icon thread the programs of the entries as listed now, in list order, in place of any
// it has not begun; it is started on first use.
void StartIconReading(HWND hwnd);
