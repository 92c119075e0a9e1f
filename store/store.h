#pragma once
#include <windows.h>

enum { TOOL_TEXT_SIZE = 260, TOOLS_MENU_KEY_SIZE = 100, TOOL_KEY_PATH_SIZE = 520 };

// One Tools-menu entry as a list item holds it. The layout is read from the running program by the
// test driver, so fields are only ever appended.
struct ToolEntry {
    HICON icon;
    char name[TOOL_TEXT_SIZE];
    char path[TOOL_TEXT_SIZE];
    char menuText[TOOL_TEXT_SIZE];
    char statusText[TOOL_TEXT_SIZE];
};

// ToolsMenuKey: the key below HKEY_LOCAL_MACHINE that Cakewalk builds its Tools menu from.
void LoadToolsMenuKey(char* buffer, int size);

// Records and icons alive right now: a refresh must leave as many as it found.
extern LONG LiveToolEntryCount;
extern LONG LiveToolIconCount;

// Receives each entry, which it then owns (release with FreeToolEntry).
typedef void (*ToolEntrySink)(ToolEntry* entry, void* context);

// False when ToolsMenuKey cannot be opened with full access; no entry is yielded then.
bool ReadToolEntries(ToolEntrySink sink, void* context);
void FreeToolEntry(ToolEntry* entry);

// False when the entry's key cannot be opened or one of its texts was too long for its field
// (which then reads as empty): the entry as listed is not the entry as stored.
bool ToolTextsFit(const char* name);

LONG WriteToolEntry(const char* name, const char* path, const char* menuText,
                    const char* statusText);
LONG DeleteToolEntry(const char* name);
LONG DeleteKeyTree(HKEY parent, const char* path);

// Builds ToolsMenuKey + "\" + name into a buffer of TOOL_KEY_PATH_SIZE bytes; false when it would
// not fit.
bool BuildToolKeyPath(const char* name, char* path);
