#pragma once
// store/store.h: the Tools-menu entries in the registry, for the list, its commands and the
// exchange. Every function returns a Win32 error number, ERROR_SUCCESS when it did not fail, and
// reports nothing: its caller does.
#include <windows.h>

// An entry's texts are held in 260 bytes.
enum { TOOL_TEXT_SIZE = 260 };

// tools_menu_key.cpp: the Tools Menu key, its views and paths, and what an entry's name may be.
// Which registry view a function acts on: THIS_VIEW is the one this build's Cakewalk reads (the
// 32-bit view for the i686 build), or the flag of the other one (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY), from OtherView.
typedef REGSAM RegistryView;
enum { THIS_VIEW = 0 };
// The flag of the view that the other build edits; 0 on 32-bit Windows, which has only one.
RegistryView OtherView();
// 64 or 32: the bitness of the Cakewalk that reads the given view.
int ViewBits(RegistryView view);
// Where a name is used: an entry that 登録 or the import writes, whose name may nest ("a\b" makes
// a key below a), or a new name for one key (名前の変更, 複製).
enum NameUse { NAME_NESTS, NAME_ONE_KEY };
// Why a text cannot name an entry, the first reason in this order; the words are the caller's.
enum NameProblem {
    NAME_OK,
    NAME_EMPTY,
    NAME_EMPTY_PART,        // nesting: "\", "a\", "a\\b", which would name the menu key or none
    NAME_HAS_BACKSLASH,     // one key: a backslash, walked by characters (ソ and 表 end in 0x5C)
    NAME_CONTROL_CHARACTER, // one key: a byte below 0x20
    NAME_TOO_LONG,          // TOOL_TEXT_SIZE bytes or more; one key: or over 255 UTF-16 characters
    NAME_NOT_TEXT,          // one key: a broken double-byte character
};
// The one rule of what an entry's name may be, which every command and the store's own writes use.
NameProblem CheckEntryName(const char* name, NameUse use);
// A key's or value's name of characters UTF-16 characters in code page 932, into size bytes,
// terminated, "?" for a character the code page lacks; false, with out empty, when it does not fit.
bool NarrowName(const wchar_t* name, DWORD characters, char* out, DWORD size);
// "HKEY_LOCAL_MACHINE\Software\...\Tools Menu" as the registry's own editor names the key of
// view, with WOW6432Node for the 32-bit view on 64-bit Windows; ERROR_INSUFFICIENT_BUFFER.
DWORD ToolsMenuRegistryPath(RegistryView view, wchar_t* path, DWORD characters);

// entry_values.cpp: every value of an entry, and an entry key renamed or duplicated.
// The values Cakewalk reads of an entry, in the order the プロパティ dialog shows them. Their names
// are spelt once, in EntryValueNames (the INI export names its keys after three of them), and the
// words of Type in ToolTypes, of which 登録 writes the first.
enum EntryValueId {
    VALUE_MENU_TEXT,
    VALUE_EXE_PATH,
    VALUE_STATUS_TEXT,
    VALUE_TYPE,
    VALUE_MODAL,
    VALUE_CMD_ARGS,
    VALUE_ARGS,
    VALUE_CURRENT_DIRECTORY,
    VALUE_HELP_FILE,
    VALUE_HELP_TOPIC,
    ENTRY_VALUE_COUNT
};
extern const char* const EntryValueNames[ENTRY_VALUE_COUNT];
enum { TOOL_TYPE_COUNT = 3 };
extern const char* const ToolTypes[TOOL_TYPE_COUNT]; // Generic, WaveEditor, SysxEditor
// REG_SZ or REG_EXPAND_SZ: a type that an entry's text may have.
bool IsText(DWORD type);
// A value as it is stored, the raw material for its words: text holds a string (REG_MULTI_SZ's
// joined by blanks) in code page 932, cut to fit, "?" for what it lacks; textExact says that an
// edit shows it and gives it back as stored (REG_SZ or REG_EXPAND_SZ, nothing after its first
// terminator but that, every character in code page 932, none below 0x20, under 1,024 bytes),
// textFlaw why not. number holds a REG_DWORD of 4 bytes (numberExact) or a REG_QWORD of 8; head
// the first bytes.
enum { VALUE_TEXT_SIZE = 1024 };
enum TextFlaw {
    TEXT_EXACT,
    TEXT_NOT_TEXT,
    TEXT_CONTROL,  // a character below 0x20, or more text after a terminator
    TEXT_PADDED,   // only zeros after the terminator
    TEXT_ODD_SIZE, // an odd count of bytes: half a character at the end
    TEXT_NOT_CP932,
    TEXT_TOO_LONG,
};
struct StoredValue {
    bool present;
    DWORD type, size;
    char text[VALUE_TEXT_SIZE];
    bool textExact;
    TextFlaw textFlaw;
    ULONGLONG number;
    bool numberExact;
    BYTE head[16];
};
// Every value of an entry key that is not one of the known ones, and every subkey with its own
// counts of values and subkeys, in the registry's order (values first).
struct OtherItem {
    char name[TOOL_TEXT_SIZE];
    bool unnamed, isKey;
    StoredValue value;
    int values, subkeys;
};
// An entry as the プロパティ dialog shows it: its key's own name and the values known by name,
// found in any letter case, the first of each; others a block of the global heap.
struct EntryValues {
    char name[TOOL_TEXT_SIZE];
    StoredValue known[ENTRY_VALUE_COUNT];
    OtherItem* others;
    int otherCount;
    DWORD capacity;
};
// Reads them from one record of the whole entry key, the bytes an undo step would hold.
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when the key is gone, ERROR_INVALID_NAME for a name no key
// could take, or the error that kept the tree from being read whole.
DWORD ReadEntryValues(const char* name, EntryValues* values);
void FreeEntryValues(EntryValues* values);
// One value to set (a text of type REG_SZ or REG_EXPAND_SZ, or a REG_DWORD number) or remove.
struct ValueChange {
    EntryValueId value;
    bool remove;
    DWORD type;
    char text[TOOL_TEXT_SIZE];
    DWORD number;
};
// Writes the changes in order through the UTF-16 functions into the existing entry key, which is
// never made (ERROR_FILE_NOT_FOUND when it is gone); a value to remove that is absent is no error.
// ERROR_SUCCESS or the first error, after which nothing more is written.
DWORD WriteEntryValues(const char* name, const ValueChange* changes, int count);
// Copies the entry key from with its whole tree, byte for byte, to a new key to (duplicate), or
// moves it there (rename; to may be from in other letters). ERROR_INVALID_NAME for an empty to or
// one holding "\" or a control character, ERROR_FILENAME_EXCED_RANGE for TOOL_TEXT_SIZE bytes or
// more than 255 UTF-16 characters, ERROR_ALREADY_EXISTS when to names another key in any letter
// case (one made by another program meanwhile too), ERROR_FILE_NOT_FOUND without from,
// ERROR_INVALID_DATA when from's name as recorded could name no key, or the registry's error. A
// copy that fails deletes only the key it made. A rename is the system's own where it has one
// (RegRenameKey, not taken under Wine), which keeps the key's access list; else, and for a change
// of letters alone, it is a copy, which takes its parent's access list, and a deletion of from. Any
// failure on that way puts from back as it was recorded and deletes the copy, and returns the first
// error; when from cannot be put back, the copy is kept whole, never deleted, and *cleanUpError
// (when given) says why, else it is ERROR_SUCCESS: the entry may then be there under both names.
DWORD DuplicateEntryKey(const char* from, const char* to);
DWORD RenameEntryKey(const char* from, const char* to, DWORD* cleanUpError = nullptr);
// Whether the two names name one key, compared as the registry compares them.
bool SameEntryKey(const char* a, const char* b);

// tool_store.cpp: the entries as the list holds them.
// How an entry's name stands for its key. A name that is not NAME_EXACT must not be acted on by
// name: it would name another key, or none.
enum NameState {
    NAME_EXACT,     // the key's name, in code page 932
    NAME_UNREAD,    // too long for TOOL_TEXT_SIZE bytes, or the registry would not give it: empty
    NAME_NOT_CP932, // holds a character that code page 932 lacks: shown with a look-alike or "?"
};

// One Tools-menu entry as a list item holds it: its program's icon (null until the list has read
// it, and for a program without one), four terminated code page 932 texts, and whether the name
// names the key.
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
// Yields every entry in the registry's order, without its icon; a value too long for its field, or
// not a terminated text, reads as empty. A key whose name cannot be read is yielded too, named ""
// and NAME_UNREAD. Returns ERROR_SUCCESS, or the error of opening the Tools Menu key with full
// access, with nothing yielded.
DWORD ReadToolEntries(ToolEntrySink sink, void* context);
// Destroys the entry's icon and frees the record; null is ignored.
void FreeToolEntry(ToolEntry* entry);
// The program's shell icon, from any thread with COM, which the caller destroys with
// FreeProgramIcon; null for an empty path or a program the shell cannot reach. A path on a server
// that does not answer holds the caller until the network gives up.
HICON ReadProgramIcon(const wchar_t* path);
void FreeProgramIcon(HICON icon);
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

// key_record.cpp: records of key trees, their bytes and digests, and the blocks they grow in.
// A record of entry keys (or of the whole Tools Menu key), as the registry holds them: for each
// key its name in its own letter case, every value with its name, type and bytes in the
// registry's order, and every subkey, depth first; or the fact that the key did not exist. Names
// are UTF-16, as the registry's: nothing is converted through code page 932. One growing block of
// the global heap, owned by whoever filled it, who frees it with FreeKeyRecord.
// missingAbove counts the keys above the entries that were missing when it was made: 1 for the
// Tools Menu key, 2 for its parent too.
struct KeyRecord {
    BYTE* bytes;
    DWORD size, capacity;
    int missingAbove;
};
// Grows a block of the global heap (null at first) to hold at least needed bytes, doubling from
// first. ERROR_NOT_ENOUGH_MEMORY when there is no memory for it now, ERROR_ARITHMETIC_OVERFLOW
// when the block could never be had (past 2 GB, or half of what the process may address); either
// leaves the block as it was. Records, findings and the texts built from them all grow this way.
DWORD GrowBlock(void** block, DWORD* capacity, DWORD needed, DWORD first);
// count elements of size bytes, zero-filled, from the global heap (one when count is 0), which the
// caller frees; ERROR_NOT_ENOUGH_MEMORY, or ERROR_ARITHMETIC_OVERFLOW when they could never be had
// by GrowBlock's rule, so that a caller frees nothing for them.
DWORD AllocateArray(void** block, size_t count, size_t size);
void FreeKeyRecord(KeyRecord* record);
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
// Write a record as NextKeyItem reads it: an item (a KEY_END's name is empty), or a KEY_VALUE
// with its bytes. ERROR_SUCCESS or GrowBlock's two, after which the record holds part of the item.
DWORD AppendRecordItem(KeyRecord* record, KeyItemKind kind, const wchar_t* name,
                       DWORD nameCharacters);
DWORD AppendRecordValue(KeyRecord* record, const wchar_t* name, DWORD nameCharacters, DWORD type,
                        const BYTE* data, DWORD size);
// The next entry key of a record, its KEY_BEGIN or KEY_ABSENT, moving past its whole tree.
bool NextEntryKey(const KeyRecord* record, DWORD* position, KeyItem* item);
// The entry keys of a record, one 64-bit digest each, in the record's order, over the whole tree
// with its values and subkeys taken in any order (the registry re-adds a value written again at
// its end).
int CountEntryKeys(const KeyRecord* record);
void DigestRecordedKeys(const KeyRecord* record, UINT64* digests);

// key_tree.cpp: key trees read into records.
// Appends to record the key of each name's first part (names of one key in any letter case are
// recorded once; a name that WriteToolEntry refuses is left out), in the registry's order, then
// the keys that do not exist. ERROR_SUCCESS, or the
// error that kept a tree from being read whole (a refused subkey, no memory: GrowBlock's two), with
// record freed.
DWORD RecordEntryKeys(RegistryView view, const char* const* names, int count, KeyRecord* record);
// The digests of the keys of the record's names as view holds them now: ERROR_SUCCESS or the
// error that kept them from being read whole.
DWORD DigestEntryKeys(RegistryView view, const KeyRecord* record, UINT64* digests);
// Whether view's Tools Menu holds the entry key of name (its first part), in any letter case.
bool EntryKeyExists(RegistryView view, const char* name);
// The whole Tools Menu key of view into record; a missing key gives a record of the key alone.
// ERROR_SUCCESS, or the error of the reading (the key refused: ERROR_ACCESS_DENIED...).
DWORD RecordToolsMenu(RegistryView view, KeyRecord* record);

// key_place.cpp: records put back, and entry keys copied between the views.
// Makes each recorded entry key of view as it was recorded, in place: missing keys are made and
// the recorded values that differ written, then the values and subkeys the record lacks deleted;
// only a key that is missing or stands in other letters is made anew. Each key is opened to read,
// and again for one right (to set values, or to make subkeys) only once the record needs that
// right of it; the walk goes on past a failure, so that everything that can be put back is, and
// nothing the record holds is ever deleted. A recorded key name that no key can have is refused
// (ERROR_INVALID_DATA), never cut to another. The keys above the entries that were missing go again
// when empty. Safe to repeat; ERROR_SUCCESS or the first error.
DWORD RestoreEntryKeys(RegistryView view, const KeyRecord* record);
// Copies the entry key of name (its first part) with its whole tree from this view into view,
// with the UTF-16 functions; an entry key of that name there, in any letter case, is replaced
// whole and keeps its letter case. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when there is nothing to
// copy, or the registry's error.
DWORD CopyEntryKey(const char* name, RegistryView view);

// Why an entry may be missing from Cakewalk's menu: plain records that the report words, in the
// report's order. name is the entry's (cut, with "?" for what code page 932 lacks); detail a
// path (expanded when stored as REG_EXPAND_SZ) or a value's name; type a value's type, or the
// error that kept a key from being read.
enum FindingKind {
    FOUND_ONLY_OTHER,          // only in the other view's menu
    FOUND_ONLY_HERE,           // only in this view's menu
    FOUND_OTHER_PATH,          // in both, with another ExePath there (detail)
    FOUND_VIRTUAL_ENTRY,       // in the per-user copy of the 32-bit menu
    FOUND_VIRTUAL_HIDES,       // ... and in the 32-bit menu too, which the copy wins over
    FOUND_UNREADABLE,          // the entry's key could not be read (type: the error)
    FOUND_ONLY_SUBKEYS,        // a key with subkeys and no value: made by a name with a backslash
    FOUND_EMPTY_PATH,          // ExePath missing or empty
    FOUND_QUOTED_PATH,         // ExePath in quotation marks, which no file name holds
    FOUND_NETWORK_PATH,        // on a server (UNC or a network drive): not probed, it could stall
    FOUND_NO_DRIVE,            // on a drive letter this session does not have
    FOUND_PATH_TOO_LONG,       // 260 UTF-16 characters or more: no program starts by it
    FOUND_RELATIVE_PATH,       // a folder without a drive, or a drive without a folder: the host's
    FOUND_NO_PROGRAM,          // names no file
    FOUND_BARE_NOT_FOUND,      // a name without a folder, in none of the places below
    FOUND_BARE_IN_APP_PATHS,   // ... that App Paths sends to detail
    FOUND_APP_PATHS_MISSING,   // ... that App Paths sends to detail, where no file is
    FOUND_BARE_ON_SEARCH_PATH, // ... found as detail in a system folder or along PATH
    FOUND_EMPTY_MENU_TEXT,     // MenuText missing or empty
    FOUND_NOT_TEXT,            // ExePath, MenuText or StatusBarText of a type other than text
    FOUND_SHOWN_EMPTY,         // the value detail, TOOL_TEXT_SIZE bytes or more: the list shows ""
};
struct Finding {
    FindingKind kind;
    char name[TOOL_TEXT_SIZE];
    char detail[TOOL_TEXT_SIZE];
    DWORD type;
};
// "HKEY_LOCAL_MACHINE\...\Tools Menu" and the same below VirtualStore, in code page 932.
enum { DIAGNOSIS_PATH_SIZE = 256 };
struct MenuDiagnosis {
    char path[DIAGNOSIS_PATH_SIZE], otherPath[DIAGNOSIS_PATH_SIZE],
        virtualPath[DIAGNOSIS_PATH_SIZE];
    DWORD access;     // ERROR_SUCCESS, or why this copy may not write its menu
    bool elevated;    // this copy runs with an administrator's full token
    bool exists;      // this view's Tools Menu key exists, as a reader sees it
    int entries;      // and holds that many entries
    bool otherExists; // 64-bit Windows: the other view's key exists
    int otherEntries;
    bool virtualExists; // the per-user copy of the 32-bit menu exists
    int virtualEntries;
    Finding* findings; // a block of the global heap: FreeDiagnosis
    int count;
    DWORD capacity; // in bytes
    DWORD error;    // ERROR_NOT_ENOUGH_MEMORY when findings had to be left out
};
// Reads, changes nothing, with the access a standard account has: this view's menu (its entries
// as a reader lists them) and whether this copy may write it (the key, or its nearest existing
// parent, opened with the access the list uses), the other view's, the current user's per-user
// copy, and each entry of this view's menu, whose values are read whole. Paths are read as
// Windows reads them: "/" is a separator, and the length limit counts UTF-16 characters. A
// program named without a folder is looked for only where the host's launch may look (App Paths,
// whose target is then probed too, the system folders, PATH), never in this program's folder or
// current directory. ERROR_SUCCESS, or the error that kept this view's menu from being read.
DWORD DiagnoseToolsMenu(MenuDiagnosis* diagnosis);
void FreeDiagnosis(MenuDiagnosis* diagnosis);

// Seams for the tests only.
// Records and icons alive right now: a refresh must leave as many as it found.
extern LONG LiveToolEntryCount;
extern LONG LiveToolIconCount;
