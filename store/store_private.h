#pragma once
// store/store_private.h: what the store's files share and no other folder calls.
#include <windows.h>
#include "store/store.h"

// "Software\Cakewalk Music Software\Tools Menu", from the program's own resources.
enum { TOOLS_MENU_KEY_SIZE = 100 };
DWORD LoadToolsMenuKey(char* buffer, DWORD size);
// The same in UTF-16, for the functions that walk key trees.
DWORD LoadToolsMenuKeyW(wchar_t* buffer, DWORD characters);
// The Tools Menu key of view with the given access; the caller closes it.
DWORD OpenToolsMenuKey(RegistryView view, REGSAM access, HKEY* key);
// The text in UTF-16 as the registry's A functions would take it (the ANSI code page);
// ERROR_INSUFFICIENT_BUFFER or ERROR_NO_UNICODE_TRANSLATION.
DWORD ToWide(const char* text, wchar_t* out, DWORD characters);
// The registry splits a path into keys after converting it through the ANSI code page, so a
// backslash is one only where a character of that code page starts (ソ and 表 end in 0x5C).
const char* NextAnsiCharacter(const char* p);
// Deletes parent\name with every subkey, through the UTF-16 functions so that no name, however
// long in code page 932 or outside it, stops the walk half-way.
DWORD DeleteKeyTree(HKEY parent, const wchar_t* name, RegistryView view);
