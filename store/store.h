#pragma once
#include <windows.h>

enum { TOOL_TEXT_SIZE = 260, TOOLS_MENU_KEY_SIZE = 100, TOOL_KEY_PATH_SIZE = 520 };

// The values of an entry's key, as Cakewalk reads them; the INI export names its keys after the
// first three.
extern const char ExePathValue[];
extern const char MenuTextValue[];
extern const char StatusBarTextValue[];
extern const char TypeValue[];

// One Tools-menu entry as a list item holds it.
struct ToolEntry {
    HICON icon;
    char name[TOOL_TEXT_SIZE];
    char path[TOOL_TEXT_SIZE];
    char menuText[TOOL_TEXT_SIZE];
    char statusText[TOOL_TEXT_SIZE];
};

// ToolsMenuKey, the key below HKEY_LOCAL_MACHINE that Cakewalk builds its Tools menu from.
DWORD LoadToolsMenuKey(char* buffer, DWORD size);
// ToolsMenuKey + "\" + name; ERROR_FILENAME_EXCED_RANGE, with nothing copied, when it would not
// fit.
DWORD BuildToolKeyPath(const char* name, char* path, DWORD size);

// Records and icons alive right now: a refresh must leave as many as it found.
extern LONG LiveToolEntryCount;
extern LONG LiveToolIconCount;

// Receives each entry, which it then owns (release with FreeToolEntry).
typedef void (*ToolEntrySink)(ToolEntry* entry, void* context);

// Yields every entry in the registry's order; when ToolsMenuKey cannot be opened with full
// access, yields nothing and returns the error number.
DWORD ReadToolEntries(ToolEntrySink sink, void* context);
void FreeToolEntry(ToolEntry* entry);

// False when the entry's key cannot be opened or one of its texts was too long for its field
// (which then reads as empty): the entry as listed is not the entry as stored.
bool ToolTextsFit(const char* name);

DWORD WriteToolEntry(const char* name, const char* path, const char* menuText,
                     const char* statusText);
DWORD DeleteToolEntry(const char* name);
DWORD DeleteKeyTree(HKEY parent, const char* path);
