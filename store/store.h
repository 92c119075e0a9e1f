#pragma once
// store/store.h: the Tools-menu entries in the registry, for the list, its commands and the
// exchange. Every function returns a Win32 error number, ERROR_SUCCESS when it did not fail, and
// reports nothing: its caller does.
#include <windows.h>

// An entry's texts are held in 260 bytes; a key path, the Tools Menu key + "\" + name, in 520.
enum { TOOL_TEXT_SIZE = 260, TOOL_KEY_PATH_SIZE = 520 };
// The longest key name the registry allows, 255 UTF-16 characters, and its terminator.
enum { KEY_NAME_CHARACTERS = 256 };

// The names of an entry's values, as Cakewalk reads them; the INI export names its keys after them.
extern const char ExePathValue[];
extern const char MenuTextValue[];
extern const char StatusBarTextValue[];

// Which registry view a function acts on: THIS_VIEW is the one this build's Cakewalk reads (the
// 32-bit view for the i686 build), or the flag of the other one (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY), from OtherView.
typedef REGSAM RegistryView;
enum { THIS_VIEW = 0 };
// The flag of the view that the other build edits; 0 on 32-bit Windows, which has only one.
RegistryView OtherView();
// 64 or 32: the bitness of the Cakewalk that reads the given view.
int ViewBits(RegistryView view);

// How an entry's name stands for its key. A name that is not NAME_EXACT must not be acted on by
// name: it would name another key, or none.
enum NameState {
    NAME_EXACT,     // the key's name, in code page 932
    NAME_UNREAD,    // too long for TOOL_TEXT_SIZE bytes, or the registry would not give it: empty
    NAME_NOT_CP932, // holds a character that code page 932 lacks: shown with a look-alike or "?"
};

// One Tools-menu entry as a list item holds it: its program's icon (or null), four terminated
// code page 932 texts, and whether the name names the key.
struct ToolEntry {
    HICON icon;
    char name[TOOL_TEXT_SIZE];
    char path[TOOL_TEXT_SIZE];
    char menuText[TOOL_TEXT_SIZE];
    char statusText[TOOL_TEXT_SIZE];
    NameState nameState;
};

// Receives each entry, which it then owns and releases with FreeToolEntry.
typedef void (*ToolEntrySink)(ToolEntry* entry, void* context);
// Yields every entry in the registry's order, with its program's shell icon (none for an empty
// path); a value too long for its field, or not a terminated text, reads as empty. A key whose name
// cannot be read is yielded too, named "" and NAME_UNREAD. Returns ERROR_SUCCESS, or the error of
// opening the Tools Menu key with full access, with nothing yielded.
DWORD ReadToolEntries(ToolEntrySink sink, void* context);
// Destroys the entry's icon and frees the record; null is ignored.
void FreeToolEntry(ToolEntry* entry);
// False when the entry's key cannot be opened, or one of its texts was too long for its field
// (which then reads as empty) or holds a character that code page 932 lacks: the entry as listed
// is not the entry as stored.
bool ToolTextsFit(const char* name);
// Writes the four values under the Tools Menu key\name, creating the key or opening it in any
// letter case ("a\b" nests). Returns ERROR_SUCCESS, the key's error, ERROR_INVALID_NAME for a name
// with an empty part ("", "\", "a\", "a\\b"), or ERROR_FILENAME_EXCED_RANGE for a name of
// TOOL_TEXT_SIZE bytes or more, which the list could not name. The values' own writes are not
// examined: a key that could be created takes them.
DWORD WriteToolEntry(const char* name, const char* path, const char* menuText,
                     const char* statusText);
// Deletes the Tools Menu key\name, in any letter case, with its whole key tree. Returns
// ERROR_SUCCESS, the registry's error (ERROR_FILE_NOT_FOUND when there is no such entry),
// ERROR_INVALID_NAME or ERROR_FILENAME_EXCED_RANGE.
DWORD DeleteToolEntry(const char* name);

// A record of entry keys (or of the whole Tools Menu key), as the registry holds them: for each
// key its name in its own letter case, every value with its name, type and bytes in the
// registry's order, and every subkey, depth first; or the fact that the key did not exist. Names
// are UTF-16, as the registry's: nothing is converted through code page 932. One growing block of
// the global heap, owned by whoever filled it, who frees it with FreeKeyRecord.
struct KeyRecord {
    BYTE* bytes;
    DWORD size, capacity;
};
void FreeKeyRecord(KeyRecord* record);
// Appends to record the key of each name's first part (names of one key in any letter case are
// recorded once), in the registry's order, then the keys that do not exist. ERROR_SUCCESS, or the
// error that kept a tree from being read whole (a refused subkey, no memory), with record freed.
DWORD RecordEntryKeys(RegistryView view, const char* const* names, int count, KeyRecord* record);
// Makes each recorded entry key of view as it was recorded, the last one first: the key as it is
// now is deleted with its tree, and a key that existed is written back whole. Safe to repeat.
// ERROR_SUCCESS or the first error, after which the keys before it in the record stay as they are.
DWORD RestoreEntryKeys(RegistryView view, const KeyRecord* record);
// Whether the recorded entry keys of view are still exactly as recorded.
bool EntryKeysUnchanged(RegistryView view, const KeyRecord* record);
// The whole Tools Menu key of view into record; a missing key gives a record of the key alone.
// ERROR_SUCCESS, or the error of the reading (the key refused: ERROR_ACCESS_DENIED...).
DWORD RecordToolsMenu(RegistryView view, KeyRecord* record);
// "HKEY_LOCAL_MACHINE\Software\...\Tools Menu" as the registry's own editor names the key of
// view, with WOW6432Node for the 32-bit view on 64-bit Windows; ERROR_INSUFFICIENT_BUFFER.
DWORD ToolsMenuRegistryPath(RegistryView view, wchar_t* path, DWORD characters);

// Walks a record: each call gives the next item, false at the end. Items come as a key's
// KEY_BEGIN, its values, its subkeys' items, and its KEY_END; or as one KEY_ABSENT.
enum KeyItemKind { KEY_BEGIN, KEY_VALUE, KEY_END, KEY_ABSENT };
struct KeyItem {
    KeyItemKind kind;
    const wchar_t* name; // not terminated: nameCharacters long
    DWORD nameCharacters;
    DWORD type; // of a value
    const BYTE* data;
    DWORD dataSize;
};
bool NextKeyItem(const KeyRecord* record, DWORD* position, KeyItem* item);

// Seams for the tests only.
// the Tools Menu key + "\" + name into size bytes; ERROR_INVALID_NAME for a name with an empty
// part, ERROR_FILENAME_EXCED_RANGE, with the buffer zeroed, when it does not fit.
DWORD BuildToolKeyPath(const char* name, char* path, DWORD size);
// Records and icons alive right now: a refresh must leave as many as it found.
extern LONG LiveToolEntryCount;
extern LONG LiveToolIconCount;
