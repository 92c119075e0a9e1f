#pragma once
// store/store_private.h: what the store's files share and no other folder calls.
#include <windows.h>
#include "store/store.h"

// tools_menu_key.cpp: the key, its paths, the names below it, and deleting a tree.
// A key path, the Tools Menu key + "\" + name, is held in 520 bytes.
enum { TOOL_KEY_PATH_SIZE = 520 };
// The longest key name the registry allows, 255 UTF-16 characters, and its terminator.
enum { KEY_NAME_CHARACTERS = 256 };

// "Software\Cakewalk Music Software\Tools Menu", from the program's own resources.
enum { TOOLS_MENU_KEY_SIZE = 100 };
DWORD LoadToolsMenuKey(char* buffer, DWORD size);
// The same in UTF-16, for the functions that walk key trees.
DWORD LoadToolsMenuKeyW(wchar_t* buffer, DWORD characters);
// The Tools Menu key of view with the given access, opened or made with its parents; the caller
// closes it.
DWORD OpenToolsMenuKey(RegistryView view, REGSAM access, HKEY* key);
DWORD CreateToolsMenuKey(RegistryView view, REGSAM access, HKEY* key);
// Cuts a key path before its last part, walked by the ANSI code page; false when it has one part.
bool CutLastKey(char* path);
// How many of the Tools Menu key and the keys above it, from the bottom, view lacks: 0, 1 (the
// Tools Menu key), 2 (also Cakewalk Music Software).
int MissingMenuKeys(RegistryView view);
// Deletes the Tools Menu key and the keys above it, from the bottom, at most count of them and
// each only while it holds no value and no subkey.
DWORD RemoveMadeMenuKeys(RegistryView view, int count);
// the Tools Menu key + "\" + name into size bytes, with the buffer zeroed when it fails:
// EntryNameError's for NAME_NESTS, or ERROR_FILENAME_EXCED_RANGE when the path does not fit.
DWORD BuildToolKeyPath(const char* name, char* path, DWORD size);
// CheckEntryName's answer as the store's error: ERROR_INVALID_NAME (empty, an empty part, a
// backslash or a control character where they are refused), ERROR_FILENAME_EXCED_RANGE, or
// ERROR_NO_UNICODE_TRANSLATION.
DWORD EntryNameError(const char* name, NameUse use);
// The key a name writes to, its part before the first backslash, in UTF-16 (KEY_NAME_CHARACTERS);
// false for a name that WriteToolEntry refuses, which then changes nothing.
bool EntryKeyName(const char* name, wchar_t* out);
// The text in UTF-16 as the registry's A functions would take it (the ANSI code page);
// ERROR_INSUFFICIENT_BUFFER or ERROR_NO_UNICODE_TRANSLATION.
DWORD ToWide(const char* text, wchar_t* out, DWORD characters);
// The registry splits a path into keys after converting it through the ANSI code page, so a
// backslash is one only where a character of that code page starts (ソ and 表 end in 0x5C).
const char* NextAnsiCharacter(const char* p);
// Deletes parent\name with every subkey, through the UTF-16 functions so that no name, however
// long in code page 932 or outside it, stops the walk half-way. Each key is opened only to be
// walked: deleting it asks for DELETE on it alone. ERROR_INVALID_NAME for "", which would be
// parent.
DWORD DeleteKeyTree(HKEY parent, const wchar_t* name, RegistryView view);

// key_record.cpp: a record's bytes and digests.
// Moves past the rest of a key whose KEY_BEGIN has been taken, its KEY_END included.
bool SkipKey(const KeyRecord* record, DWORD* position);
// An item's name, terminated and cut to fit characters.
void CopyName(const KeyItem& item, wchar_t* out, DWORD characters);
// A recorded key's name, terminated, into KEY_NAME_CHARACTERS: ERROR_INVALID_DATA for one that no
// key can have (empty, 256 characters or more, holding "\" or a terminator), never cut or emptied.
DWORD RecordedKeyName(const KeyItem& item, wchar_t* name);
// Whether the item is named name, compared as the registry compares names.
bool SameName(const KeyItem& item, const wchar_t* name);
// One key name asked for or found: its name, and whether the registry holds it; qsort's and
// bsearch's order is CompareWanted, the registry's own (letter case aside).
struct WantedKey {
    wchar_t name[KEY_NAME_CHARACTERS];
    bool found;
};
int CompareWanted(const void* a, const void* b);
// Digests the next entry key of a record and moves past it; false at the record's end.
bool DigestNextEntry(const KeyRecord* record, DWORD* position, KeyItem* item, UINT64* digest);
// What an entry that is not there digests to.
static const UINT64 AbsentDigest = 0x6B657920616273ull;

// key_place.cpp: records put back.
// Puts the record's entry keys below view's Tools Menu key as the record holds them, in place:
// first everything the record holds is made and written, then what it lacks is deleted, so that a
// failure on the way never costs a recorded value. Each entry key takes names[i] when names is
// given. ERROR_SUCCESS or the first error; the walk goes on past one.
DWORD PlaceEntryKeys(RegistryView view, const KeyRecord* record, const wchar_t* const* names);
