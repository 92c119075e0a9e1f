#pragma once
// exchange/exchange_private.h: what the INI export and import share.
#include <windows.h>

extern const char IniFilter[];
// Registry files, then every file.
extern const char RegFilter[];
// The keys of a section, in the order they are written: ExePath, MenuText, StatusBarText.
extern const char* const IniKeys[3];
// What the import reads of one value: at most 256 bytes and the terminator.
enum { INI_VALUE_SIZE = 257 };
// Bytes below 0x20 and 0x7F, none of which is ever the second byte of a double-byte character.
bool HasControlCharacter(const char* text);
// UTF-8, with a mark or without: code page 932 text is almost never valid UTF-8.
bool IsUtf8File(const BYTE* bytes, DWORD size);
