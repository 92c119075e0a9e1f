#pragma once
// exchange/exchange.h: the files that the editor writes and reads, for MainWindow's File and
// Tools menus. Each command takes MainWindow as hwnd, runs its own file dialog and reports its own
// failures and warnings.
#include <windows.h>
#include "store/store.h"

// Every entry to an INI file, and an INI file's sections back into the registry as entries.
void ExportEntries(HWND hwnd);
void ImportEntries(HWND hwnd);
// A CAL script that opens the selected entry's program, saved where the user says.
void SaveCalLauncher(HWND hwnd);
// The whole Tools Menu key, every value and subkey, as a registry file that the system restores;
// menuName ("64 ビット版 Cakewalk のメニュー"...) says in it which Cakewalk reads that menu.
void BackupToolsMenu(HWND hwnd, const char* menuName);
// A backup's entries back into this copy's menu: the file read whole and refused with a warning
// naming its first bad line, a question when it holds the other Cakewalk's menu, then the
// preview of what each entry would become; one step of 元に戻す.
void RestoreFromBackup(HWND hwnd);

// Seams for the tests and the benchmark only.

// The longest launcher script: 248 fixed bytes, a name and a path of 259 bytes each, a terminator.
enum { CAL_TEXT_SIZE = 767 };
// The launcher script for one entry into size bytes; ERROR_INSUFFICIENT_BUFFER, with nothing
// written, when it does not fit.
DWORD BuildCalText(const char* name, const char* path, char* out, DWORD size);
// Creates or empties the file and writes the text in one call; ERROR_SUCCESS or the error of the
// creation or the write.
DWORD WriteCalFile(const char* file, const char* text);

// Why an entry would not come back from the INI file as it is in the registry.
enum IniRefusal {
    INI_FITS = 0,
    INI_NAME_EMPTY,      // an empty section name ends the import's walk
    INI_NAME_BLANKS,     // the profile functions trim section names
    INI_NAME_CONTROL,    // the import takes such a file for a binary one
    INI_NAME_BRACKET,    // Windows' reader ends a section name at its first "]"
    INI_NAME_UNREAD,     // the listed name does not name the key (NameState)
    INI_TEXT_LINE_BREAK, // would break the value off and inject lines into the file
    INI_TEXT_TOO_LONG,   // the import reads 256 bytes of a value: written whole, named
    INI_TEXT_UNREAD,     // the registry holds more than the list could read
};
IniRefusal CheckIniEntry(const ToolEntry* entry);

// The entries an export left out and those it wrote whole that an import will cut: the warning
// that names them in two groups (the first ten of each, then a count), "" when there are none.
enum { REFUSALS_TEXT_SIZE = 8192 };
struct IniRefusals {
    char text[REFUSALS_TEXT_SIZE];
    int leftOut, cut;
    int written; // the sections in the file, those cut among them
};
// The entries 0 to count - 1 that at(context, index) gives (null ones are skipped), as one section
// each, in order; an entry that would not come back unchanged is left out and noted in refusals,
// one whose text is too long for the import is written whole and noted too.
// Returns ERROR_SUCCESS, or the error of the first value that could not be written, after which
// nothing more is written.
typedef const ToolEntry* (*ToolEntryAtFunction)(void* context, int index);
DWORD WriteIniEntries(const char* file, ToolEntryAtFunction at, void* context, int count,
                      IniRefusals* refusals);

enum IniImportOutcome {
    IMPORT_DONE,          // every listed section was written as an entry
    IMPORT_OPEN_FAILED,   // the file could not be opened or read: error
    IMPORT_TOO_LARGE,     // 4 GB or more: no settings file, and its size does not fit a block
    IMPORT_UTF8_FILE,     // UTF-8, with a mark or without, which Windows' reader garbles
    IMPORT_NO_MEMORY,     // the block for the section names could not be had: error
    IMPORT_NO_SECTIONS,   // nothing listed: the file holds no section, or "[]" first
    IMPORT_NOT_TOOL_FILE, // a section name with control characters: a binary file, say
    IMPORT_NOT_CP932,     // a section name that is no code page 932 text (sectionNumber, from 1)
    IMPORT_REFUSED,       // the gate stopped it before anything was written
    IMPORT_KEY_FAILED,    // an entry's key could not be created: error, section
    IMPORT_LIST_CUT,      // the file grew while it was read; the complete names were imported
};
struct IniImportResult {
    IniImportOutcome outcome;
    DWORD error;
    int imported;
    char section[TOOL_TEXT_SIZE]; // the section whose key failed, cut to fit
    int sectionNumber;
};
// Given every section name (count -1: no memory for the list) before the first is written;
// false stops the import with nothing written.
typedef bool (*ImportGate)(const char* const* sections, int count, void* context);
// Imports every section of the file into the Tools menu, sizing the section-name list from the
// file. Nothing is written unless the outcome is IMPORT_DONE, IMPORT_KEY_FAILED (the sections
// before the failed one) or IMPORT_LIST_CUT.
void ImportIniFile(const char* file, IniImportResult* result, ImportGate gate = NULL,
                   void* context = NULL);

// The whole Tools Menu key of this copy's view as the text of a registry file (UTF-16 with its
// mark, CR LF; comments name the menu, menuName, and the program's version), written beside file
// and moved over it, so that a failed write leaves an older backup whole. ERROR_SUCCESS, the error
// of reading the key or of writing the file, or ERROR_INVALID_NAME, with nothing written, for a
// key or value name holding a line break, which refused names (its path below the Tools Menu key
// and " : " the value's name, in refusedSize bytes of code page 932).
DWORD WriteRegistryBackup(const char* file, const char* menuName, char* refused, DWORD refusedSize);

// Files of at most 64 MB are restored; a refused line is shown with at most 80 characters.
enum {
    BACKUP_FILE_LIMIT = 64 * 1024 * 1024,
    BACKUP_LINE_CHARACTERS = 80,
    BACKUP_PATH_CHARACTERS = 160
};
// The two Tools Menu keys as the registry's editor names them: the 64-bit view's, and the 32-bit
// view's below WOW6432Node.
struct BackupMenus {
    wchar_t path64[BACKUP_PATH_CHARACTERS], path32[BACKUP_PATH_CHARACTERS];
};
enum BackupRefusal {
    BACKUP_READ = 0,          // every line read: record holds the entries
    BACKUP_TOO_LARGE,         // over BACKUP_FILE_LIMIT
    BACKUP_UTF8_FILE,         // UTF-8, which the registry's editor does not read
    BACKUP_NOT_REGISTRY_FILE, // the first line is neither header of a registry file
    BACKUP_FOREIGN_KEY,       // a key that is not a Tools Menu key or below one
    BACKUP_TWO_MENUS,         // keys of both menus
    BACKUP_DELETION,          // [-key] or "name"=-
    BACKUP_MENU_VALUE,        // a value of the Tools Menu key itself, which is no entry
    BACKUP_BAD_LINE,          // a line that is no registry line, or a broken one
    BACKUP_TOO_MANY,          // more values or subkeys, in one key or in all, than any menu holds
};
// A backup as read: its entry keys, each with its whole tree, in the file's order, names and
// data as the file gives them (a key given twice is one, a value given twice the last). pathBits:
// the Cakewalk whose menu its keys name (0 without a key); namedBits: the one that a comment
// before them names as Korvanel's backups do, 0 without one. A backup made on 32-bit Windows
// names the plain key, which 64-bit Windows gives the 64-bit Cakewalk. A refusal names the first
// line (from 1, 0 for the file as a whole) by its text in code page 932, cut with "…".
struct BackupFile {
    KeyRecord record;
    int pathBits, namedBits;
    BackupRefusal refusal;
    int line;
    char lineText[BACKUP_LINE_CHARACTERS * 2 + 4];
};
// "Windows Registry Editor Version 5.00" in UTF-16 with its mark, or "REGEDIT4" in code page 932,
// whose text values are stored in UTF-16 as the A functions store them. ERROR_SUCCESS (refused or
// not), or ERROR_NOT_ENOUGH_MEMORY; FreeBackupFile frees the record either way.
DWORD ParseBackupText(const BYTE* bytes, DWORD size, const BackupMenus& menus, BackupFile* out);
// The same from a file, with both menus' paths; or the error of reading it.
DWORD ReadBackupFile(const char* file, BackupFile* out);
void FreeBackupFile(BackupFile* backup);
