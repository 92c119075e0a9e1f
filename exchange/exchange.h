#pragma once
#include <windows.h>
#include "store/store.h"

void ExportEntries(HWND hwnd);
void ImportEntries(HWND hwnd);
void SaveCalLauncher(HWND hwnd);

// The longest launcher script: 248 fixed bytes, a name and a path of 259 bytes each, a terminator.
enum { CAL_TEXT_SIZE = 767 };

// The launcher script for one entry; ERROR_INSUFFICIENT_BUFFER, with nothing written, when it
// does not fit in size bytes.
DWORD BuildCalText(const char* name, const char* path, char* out, DWORD size);
// Creates or empties the file and writes the text in one call.
DWORD WriteCalFile(const char* file, const char* text);

// What the import reads of one value: at most 256 bytes and the terminator.
enum { INI_VALUE_SIZE = 257 };

// Why an entry would not come back from the INI file as it is in the registry.
enum IniRefusal {
    INI_FITS = 0,
    INI_NAME_EMPTY,      // an empty section name ends the import's walk
    INI_NAME_BLANKS,     // the profile functions trim section names
    INI_NAME_CONTROL,    // the import takes such a file for a binary one
    INI_TEXT_LINE_BREAK, // would break the value off and inject lines into the file
    INI_TEXT_TOO_LONG,   // the import reads 256 bytes of a value
    INI_TEXT_UNREAD,     // the registry holds more than the list could read
};

IniRefusal CheckIniEntry(const ToolEntry* entry);
// The form of a text that the profile reader gives back unchanged: wrapped in double quotes when
// it starts or ends with a blank or is itself wrapped in a pair of quotes.
// ERROR_INSUFFICIENT_BUFFER, with nothing written, when it does not fit in size bytes.
DWORD EncodeIniValue(const char* text, char* out, DWORD size);
// Writes the three values of one entry; 0, or the error number of the first write that failed.
DWORD WriteIniEntry(const char* file, const ToolEntry* entry);

enum IniImportOutcome {
    IMPORT_DONE,          // every listed section was written as an entry
    IMPORT_OPEN_FAILED,   // the file could not be opened to take its size: error
    IMPORT_TOO_LARGE,     // 4 GB or more: no settings file, and its size does not fit a block
    IMPORT_NO_MEMORY,     // the block for the section names could not be had: error
    IMPORT_UTF8_FILE,     // starts with the UTF-8 mark, which Windows' reader does not know
    IMPORT_NO_SECTIONS,   // nothing listed: the file holds no section
    IMPORT_NOT_TOOL_FILE, // a section name with control characters: a binary file, say
    IMPORT_KEY_FAILED,    // an entry's key could not be created: error, section
    IMPORT_LIST_CUT,      // the file grew while it was read; the complete names were imported
};

struct IniImportResult {
    IniImportOutcome outcome;
    DWORD error;
    int imported;
    char section[TOOL_TEXT_SIZE]; // the section whose key failed, cut to fit
};

// Imports every section of the file into the Tools menu, sizing the section-name list from the
// file.
void ImportIniFile(const char* file, IniImportResult* result);
// The same with a list block of the given size.
void ImportIniSections(const char* file, DWORD listSize, IniImportResult* result);

// Walks the section-name list that the profile reader filled: count is what it returned, size the
// block's size. A list that the reader had to cut short may end in a cut name after a single zero
// byte, so the walk never goes past count, and the last name of a cut list is left out.
struct SectionWalk {
    const char* list;
    DWORD end;
    DWORD position;
    bool cut;
};
void BeginSectionWalk(SectionWalk* walk, const char* list, DWORD count, DWORD size);
const char* NextSection(SectionWalk* walk); // null at the end or at an empty name
