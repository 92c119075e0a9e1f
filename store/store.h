#pragma once
// store/store.h: the Tools-menu entries in the registry, for the list, its commands and the
// exchange. Every function returns a Win32 error number, ERROR_SUCCESS when it did not fail, and
// reports nothing: its caller does.
#include <windows.h>

// An entry's texts are held in 260 bytes; a key path, the Tools Menu key + "\" + name, in 520.
enum { TOOL_TEXT_SIZE = 260, TOOL_KEY_PATH_SIZE = 520 };

// The names of an entry's values, as Cakewalk reads them; the INI export names its keys after them.
extern const char ExePathValue[];
extern const char MenuTextValue[];
extern const char StatusBarTextValue[];

// One Tools-menu entry as a list item holds it: its program's icon (or null) and four terminated
// code page 932 texts.
struct ToolEntry {
    HICON icon;
    char name[TOOL_TEXT_SIZE];
    char path[TOOL_TEXT_SIZE];
    char menuText[TOOL_TEXT_SIZE];
    char statusText[TOOL_TEXT_SIZE];
};

// Receives each entry, which it then owns and releases with FreeToolEntry.
typedef void (*ToolEntrySink)(ToolEntry* entry, void* context);
// Yields every entry in the registry's order, with its program's shell icon; a value too long for
// its field, or not a terminated text, reads as empty. Returns ERROR_SUCCESS, or the error of
// opening the Tools Menu key with full access, with nothing yielded.
DWORD ReadToolEntries(ToolEntrySink sink, void* context);
// Destroys the entry's icon and frees the record; null is ignored.
void FreeToolEntry(ToolEntry* entry);
// False when the entry's key cannot be opened or one of its texts was too long for its field
// (which then reads as empty): the entry as listed is not the entry as stored.
bool ToolTextsFit(const char* name);
// Writes the four values under the Tools Menu key\name, creating the key or opening it in any
// letter case ("a\b" nests). Returns ERROR_SUCCESS, the key's error, or ERROR_FILENAME_EXCED_RANGE
// for a name too long for the key path. The values' own writes are not examined: a key that could
// be created takes them.
DWORD WriteToolEntry(const char* name, const char* path, const char* menuText,
                     const char* statusText);
// Deletes the Tools Menu key\name, in any letter case, with its whole key tree. Returns
// ERROR_SUCCESS, the registry's error (ERROR_FILE_NOT_FOUND when there is no such entry) or
// ERROR_FILENAME_EXCED_RANGE.
DWORD DeleteToolEntry(const char* name);

// Seams for the tests only.
// the Tools Menu key + "\" + name into size bytes; ERROR_FILENAME_EXCED_RANGE, with the buffer
// zeroed, when it does not fit.
DWORD BuildToolKeyPath(const char* name, char* path, DWORD size);
// Records and icons alive right now: a refresh must leave as many as it found.
extern LONG LiveToolEntryCount;
extern LONG LiveToolIconCount;
