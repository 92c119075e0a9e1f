// Whole key trees: recorded byte for byte through the UTF-16 functions, written back, compared,
// deleted; and which registry view is which.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

// A record is a run of items, each a tag and its fields as DWORDs followed by the name and, for a
// value, the data: KEY_BEGIN name, KEY_VALUE name type size data, KEY_END, KEY_ABSENT name.
static const DWORD FirstRecordCapacity = 4096;

RegistryView OtherView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

int ViewBits(RegistryView view)
{
    if (view == KEY_WOW64_32KEY) return 32;
    if (view == KEY_WOW64_64KEY) return 64;
    return sizeof(void*) == 8 ? 64 : 32;
}

DWORD ToolsMenuRegistryPath(RegistryView view, wchar_t* path, DWORD characters)
{
    wchar_t wideKey[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKeyW(wideKey, TOOLS_MENU_KEY_SIZE);
    if (error != ERROR_SUCCESS) return error;
    // On 64-bit Windows the 32-bit view lies below Software\WOW6432Node, where the registry
    // editor of the system, a 64-bit program, names it.
    bool redirected = ViewBits(view) == 32 && (sizeof(void*) == 8 || OtherView() != 0);
    const wchar_t* rest = wcschr(wideKey, L'\\');
    size_t first = rest ? (size_t)(rest - wideKey) : wcslen(wideKey);
    const wchar_t root[] = L"HKEY_LOCAL_MACHINE\\", wow[] = L"\\WOW6432Node";
    size_t length = wcslen(root) + wcslen(wideKey) + (redirected ? wcslen(wow) : 0);
    if (length >= characters) return ERROR_INSUFFICIENT_BUFFER;
    wcscpy(path, root);
    wcsncat(path, wideKey, first);
    if (redirected) wcscat(path, wow);
    if (rest) wcscat(path, rest);
    return ERROR_SUCCESS;
}

void FreeKeyRecord(KeyRecord* record)
{
    if (record->bytes) GlobalFree(record->bytes);
    ZeroMemory(record, sizeof *record);
}

DWORD GrowBlock(void** block, DWORD* capacity, DWORD needed, DWORD first)
{
    if (needed <= *capacity) return ERROR_SUCCESS;
    if (needed > MAXDWORD / 2) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD grown = *capacity ? *capacity : first;
    while (grown < needed)
        grown *= 2;
    void* moved =
        *block ? GlobalReAlloc(*block, grown, GMEM_MOVEABLE) : GlobalAlloc(GMEM_FIXED, grown);
    if (!moved) return ERROR_NOT_ENOUGH_MEMORY;
    *block = moved;
    *capacity = grown;
    return ERROR_SUCCESS;
}

static DWORD Append(KeyRecord* record, const void* data, DWORD size)
{
    if (size == 0) return ERROR_SUCCESS; // a KEY_END's name
    if (size > MAXDWORD / 2 - record->size) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD error = GrowBlock((void**)&record->bytes, &record->capacity, record->size + size,
                            FirstRecordCapacity);
    if (error != ERROR_SUCCESS) return error;
    memcpy(record->bytes + record->size, data, size);
    record->size += size;
    return ERROR_SUCCESS;
}

static DWORD AppendItem(KeyRecord* record, DWORD tag, const wchar_t* name, DWORD nameCharacters)
{
    DWORD fields[2] = {tag, nameCharacters};
    DWORD error = Append(record, fields, sizeof fields);
    return error == ERROR_SUCCESS ? Append(record, name, nameCharacters * sizeof(wchar_t)) : error;
}

static DWORD AppendValue(KeyRecord* record, const wchar_t* name, DWORD nameCharacters, DWORD type,
                         const BYTE* data, DWORD size)
{
    DWORD error = AppendItem(record, KEY_VALUE, name, nameCharacters);
    DWORD fields[2] = {type, size};
    if (error == ERROR_SUCCESS) error = Append(record, fields, sizeof fields);
    return error == ERROR_SUCCESS ? Append(record, data, size) : error;
}

// Reads the fields at *position, moving past them; false when the record ends before them.
static bool Take(const KeyRecord* record, DWORD* position, void* out, DWORD size)
{
    if (record->size < size || *position > record->size - size) return false;
    if (out) memcpy(out, record->bytes + *position, size);
    *position += size;
    return true;
}

bool NextKeyItem(const KeyRecord* record, DWORD* position, KeyItem* item)
{
    ZeroMemory(item, sizeof *item);
    DWORD tag = 0;
    if (!Take(record, position, &tag, sizeof tag)) return false;
    item->kind = (KeyItemKind)tag;
    if (!Take(record, position, &item->nameCharacters, sizeof(DWORD))) return false;
    item->name = (const wchar_t*)(record->bytes + *position);
    if (!Take(record, position, NULL, item->nameCharacters * sizeof(wchar_t))) return false;
    if (tag != KEY_VALUE) return tag == KEY_BEGIN || tag == KEY_ABSENT || tag == KEY_END;
    if (!Take(record, position, &item->type, sizeof(DWORD)) ||
        !Take(record, position, &item->dataSize, sizeof(DWORD)))
        return false;
    item->data = record->bytes + *position;
    return Take(record, position, NULL, item->dataSize);
}

// The values of an open key, in the registry's order, into buffers as large as its largest.
static DWORD RecordValues(KeyRecord* record, HKEY key)
{
    DWORD nameCharacters = 0, dataSize = 0;
    DWORD error = (DWORD)RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                                          &nameCharacters, &dataSize, NULL, NULL);
    if (error != ERROR_SUCCESS) return error;
    wchar_t* name = (wchar_t*)GlobalAlloc(GMEM_FIXED, (nameCharacters + 1) * sizeof(wchar_t));
    BYTE* data = (BYTE*)GlobalAlloc(GMEM_FIXED, dataSize + 1);
    if (!name || !data) error = ERROR_NOT_ENOUGH_MEMORY;
    for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
        DWORD nameLength = nameCharacters + 1, size = dataSize + 1, type = REG_NONE;
        LONG result = RegEnumValueW(key, index, name, &nameLength, NULL, &type, data, &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value that grew since the key was measured is refused, not recorded cut.
        error = result == ERROR_SUCCESS ? AppendValue(record, name, nameLength, type, data, size)
                                        : (DWORD)result;
    }
    if (name) GlobalFree(name);
    if (data) GlobalFree(data);
    return error;
}

static DWORD RecordTree(KeyRecord* record, HKEY parent, const wchar_t* name, DWORD nameCharacters,
                        RegistryView view)
{
    HKEY key;
    DWORD error = (DWORD)RegOpenKeyExW(parent, name, 0, KEY_READ | view, &key);
    if (error != ERROR_SUCCESS) return error;
    error = AppendItem(record, KEY_BEGIN, name, nameCharacters);
    if (error == ERROR_SUCCESS) error = RecordValues(record, key);
    for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
        wchar_t subkey[KEY_NAME_CHARACTERS];
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(key, index, subkey, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) break;
        error =
            result == ERROR_SUCCESS ? RecordTree(record, key, subkey, length, view) : (DWORD)result;
    }
    if (error == ERROR_SUCCESS) error = AppendItem(record, KEY_END, NULL, 0);
    RegCloseKey(key);
    return error;
}

// An item's name, terminated and cut to fit characters.
static void CopyName(const KeyItem& item, wchar_t* out, DWORD characters)
{
    DWORD length = item.nameCharacters < characters ? item.nameCharacters : characters - 1;
    memcpy(out, item.name, length * sizeof(wchar_t));
    out[length] = L'\0';
}

// One entry key asked for: its name as asked, and whether the registry holds it.
struct WantedKey {
    wchar_t name[KEY_NAME_CHARACTERS];
    bool found;
};

// The registry's own comparison of key names: without regard to case, character by character.
static int CompareKeyNames(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return CompareStringOrdinal(a, aLength, b, bLength, TRUE) - CSTR_EQUAL;
}

static int CompareWanted(const void* a, const void* b)
{
    return CompareKeyNames(((const WantedKey*)a)->name, -1, ((const WantedKey*)b)->name, -1);
}

// Records the wanted keys (sorted, without duplicates) that exist, in the registry's order, then
// the absent ones. One walk of the Tools Menu key finds each key's own letter case.
static DWORD RecordWantedKeys(RegistryView view, WantedKey* wanted, int count, KeyRecord* record)
{
    HKEY menuKey;
    DWORD error = OpenToolsMenuKey(view, KEY_READ, &menuKey);
    if (error == ERROR_FILE_NOT_FOUND) {
        error = ERROR_SUCCESS;
    } else if (error == ERROR_SUCCESS) {
        for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
            WantedKey key;
            DWORD length = KEY_NAME_CHARACTERS;
            LONG result = RegEnumKeyExW(menuKey, index, key.name, &length, NULL, NULL, NULL, NULL);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS) {
                error = (DWORD)result;
                break;
            }
            WantedKey* match =
                (WantedKey*)bsearch(&key, wanted, (size_t)count, sizeof *wanted, CompareWanted);
            if (!match || match->found) continue;
            match->found = true;
            error = RecordTree(record, menuKey, key.name, length, view);
        }
        RegCloseKey(menuKey);
    }
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++)
        if (!wanted[i].found)
            error = AppendItem(record, KEY_ABSENT, wanted[i].name, (DWORD)wcslen(wanted[i].name));
    if (error != ERROR_SUCCESS) FreeKeyRecord(record);
    return error;
}

static int SortWanted(WantedKey* wanted, int count)
{
    qsort(wanted, (size_t)count, sizeof *wanted, CompareWanted);
    int kept = 0;
    for (int i = 0; i < count; i++)
        if (kept == 0 || CompareWanted(&wanted[kept - 1], &wanted[i]) != 0)
            wanted[kept++] = wanted[i];
    return kept;
}

// The key a name writes to: its part before the first backslash, walked by the ANSI code page as
// the registry splits it. False for a name that no key could take.
static bool EntryKeyName(const char* name, wchar_t* out)
{
    size_t length = strlen(name);
    for (const char* p = name; *p; p = NextAnsiCharacter(p)) {
        if (*p == '\\') {
            length = (size_t)(p - name);
            break;
        }
    }
    char part[TOOL_TEXT_SIZE];
    if (length == 0 || length >= sizeof part) return false;
    memcpy(part, name, length);
    part[length] = '\0';
    return ToWide(part, out, KEY_NAME_CHARACTERS) == ERROR_SUCCESS;
}

DWORD RecordEntryKeys(RegistryView view, const char* const* names, int count, KeyRecord* record)
{
    WantedKey* wanted = (WantedKey*)GlobalAlloc(GPTR, (count > 0 ? count : 1) * sizeof *wanted);
    if (!wanted) {
        FreeKeyRecord(record);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    int usable = 0;
    // A name that no key could take is refused by the write itself, which then changes nothing.
    for (int i = 0; i < count; i++)
        if (EntryKeyName(names[i], wanted[usable].name)) usable++;
    DWORD error = RecordWantedKeys(view, wanted, SortWanted(wanted, usable), record);
    GlobalFree(wanted);
    return error;
}

// The names of the record's entry keys, in its order, each with where its items begin; the
// caller frees the block. Null when there is no memory for it.
struct RecordedKey {
    DWORD position;
    KeyItem item;
};
static RecordedKey* RecordedKeys(const KeyRecord* record, int* count)
{
    int keys = 0, depth = 0;
    KeyItem item;
    for (DWORD position = 0; NextKeyItem(record, &position, &item);) {
        if ((item.kind == KEY_BEGIN || item.kind == KEY_ABSENT) && depth == 0) keys++;
        depth += item.kind == KEY_BEGIN ? 1 : item.kind == KEY_END ? -1 : 0;
    }
    RecordedKey* found = (RecordedKey*)GlobalAlloc(GPTR, (keys > 0 ? keys : 1) * sizeof *found);
    *count = 0;
    depth = 0;
    for (DWORD position = 0, start = 0; found && NextKeyItem(record, &position, &item);
         start = position) {
        if ((item.kind == KEY_BEGIN || item.kind == KEY_ABSENT) && depth == 0)
            found[(*count)++] = RecordedKey{start, item};
        depth += item.kind == KEY_BEGIN ? 1 : item.kind == KEY_END ? -1 : 0;
    }
    return found;
}

bool EntryKeysUnchanged(RegistryView view, const KeyRecord* record)
{
    int count = 0;
    RecordedKey* keys = RecordedKeys(record, &count);
    WantedKey* wanted = (WantedKey*)GlobalAlloc(GPTR, (count > 0 ? count : 1) * sizeof *wanted);
    KeyRecord now = {};
    bool unchanged = false;
    if (keys && wanted) {
        for (int i = 0; i < count; i++)
            CopyName(keys[i].item, wanted[i].name, KEY_NAME_CHARACTERS);
        unchanged =
            RecordWantedKeys(view, wanted, SortWanted(wanted, count), &now) == ERROR_SUCCESS &&
            now.size == record->size && memcmp(now.bytes, record->bytes, now.size) == 0;
    }
    FreeKeyRecord(&now);
    if (keys) GlobalFree(keys);
    if (wanted) GlobalFree(wanted);
    return unchanged;
}

typedef LONG(WINAPI* DeleteKeyExFunction)(HKEY, LPCWSTR, REGSAM, DWORD);

// Another view's key is deleted only through RegDeleteKeyExW, which 32-bit Windows XP lacks.
static LONG DeleteOneKey(HKEY parent, const wchar_t* name, RegistryView view)
{
    if (view == THIS_VIEW) return RegDeleteKeyW(parent, name);
    static DeleteKeyExFunction deleteKeyEx;
    if (!deleteKeyEx) {
        HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
        if (advapi32)
            deleteKeyEx = (DeleteKeyExFunction)(void*)GetProcAddress(advapi32, "RegDeleteKeyExW");
    }
    return deleteKeyEx ? deleteKeyEx(parent, name, view, 0) : ERROR_PROC_NOT_FOUND;
}

DWORD DeleteKeyTree(HKEY parent, const wchar_t* name, RegistryView view)
{
    HKEY key;
    DWORD result = (DWORD)RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS | view, &key);
    if (result != ERROR_SUCCESS) return result;
    // Always ask for index 0: every subkey found is deleted before the next call.
    for (;;) {
        wchar_t subkey[KEY_NAME_CHARACTERS];
        DWORD length = KEY_NAME_CHARACTERS;
        result = (DWORD)RegEnumKeyExW(key, 0, subkey, &length, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS) break;
        result = DeleteKeyTree(key, subkey, view);
        if (result != ERROR_SUCCESS) break;
    }
    if (result == ERROR_NO_MORE_ITEMS || result == ERROR_BADKEY)
        result = (DWORD)DeleteOneKey(parent, name, view);
    RegCloseKey(key);
    return result;
}

// Writes the key whose KEY_BEGIN is at *position below parent, with its values and subkeys, and
// moves past its KEY_END. The key takes name when one is given, else its recorded name.
static DWORD WriteTree(HKEY parent, const KeyRecord* record, DWORD* position, const wchar_t* name,
                       RegistryView view)
{
    KeyItem item;
    if (!NextKeyItem(record, position, &item) || item.kind != KEY_BEGIN) return ERROR_INVALID_DATA;
    wchar_t recorded[KEY_NAME_CHARACTERS];
    CopyName(item, recorded, KEY_NAME_CHARACTERS);
    HKEY key;
    DWORD error =
        (DWORD)RegCreateKeyExW(parent, name ? name : recorded, 0, NULL, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS | view, NULL, &key, NULL);
    if (error != ERROR_SUCCESS) return error;
    for (;;) {
        DWORD start = *position;
        if (!NextKeyItem(record, position, &item)) {
            error = ERROR_INVALID_DATA;
            break;
        }
        if (item.kind == KEY_END) break;
        if (item.kind == KEY_BEGIN) {
            *position = start;
            error = WriteTree(key, record, position, NULL, view);
        } else if (item.kind == KEY_VALUE) {
            wchar_t* valueName =
                (wchar_t*)GlobalAlloc(GMEM_FIXED, (item.nameCharacters + 1) * sizeof(wchar_t));
            if (!valueName) {
                error = ERROR_NOT_ENOUGH_MEMORY;
                break;
            }
            memcpy(valueName, item.name, item.nameCharacters * sizeof(wchar_t));
            valueName[item.nameCharacters] = L'\0';
            error = (DWORD)RegSetValueExW(key, valueName, 0, item.type, item.data, item.dataSize);
            GlobalFree(valueName);
        } else {
            error = ERROR_INVALID_DATA;
        }
        if (error != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return error;
}

// Makes parent\name as the item at position says: deleted, then written back when it existed.
static DWORD RestoreKey(HKEY parent, const KeyRecord* record, const RecordedKey& key,
                        RegistryView view)
{
    wchar_t recorded[KEY_NAME_CHARACTERS];
    CopyName(key.item, recorded, KEY_NAME_CHARACTERS);
    DWORD error = DeleteKeyTree(parent, recorded, view);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return error;
    if (key.item.kind == KEY_ABSENT) return ERROR_SUCCESS;
    DWORD position = key.position;
    return WriteTree(parent, record, &position, NULL, view);
}

static DWORD CreateToolsMenuKey(RegistryView view, HKEY* key)
{
    char name[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(name, sizeof name);
    if (error != ERROR_SUCCESS) return error;
    return (DWORD)RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | view, NULL, key, NULL);
}

DWORD RestoreEntryKeys(RegistryView view, const KeyRecord* record)
{
    int count = 0;
    RecordedKey* keys = RecordedKeys(record, &count);
    if (!keys) return ERROR_NOT_ENOUGH_MEMORY;
    HKEY menuKey = NULL;
    // Only a record that brings a key back needs the Tools Menu key made.
    bool needed = false;
    for (int i = 0; i < count; i++)
        needed |= keys[i].item.kind == KEY_BEGIN;
    DWORD error = needed ? CreateToolsMenuKey(view, &menuKey)
                         : OpenToolsMenuKey(view, KEY_ALL_ACCESS, &menuKey);
    if (error == ERROR_FILE_NOT_FOUND && !needed) {
        error = ERROR_SUCCESS; // nothing there, so nothing the command made is left
    } else if (error == ERROR_SUCCESS) {
        for (int i = count - 1; i >= 0 && error == ERROR_SUCCESS; i--)
            error = RestoreKey(menuKey, record, keys[i], view);
        RegCloseKey(menuKey);
    }
    GlobalFree(keys);
    return error;
}

bool EntryKeyExists(RegistryView view, const char* name)
{
    wchar_t entry[KEY_NAME_CHARACTERS];
    HKEY menuKey, entryKey;
    if (!EntryKeyName(name, entry) || OpenToolsMenuKey(view, KEY_READ, &menuKey) != ERROR_SUCCESS)
        return false;
    bool exists = RegOpenKeyExW(menuKey, entry, 0, KEY_READ | view, &entryKey) == ERROR_SUCCESS;
    if (exists) RegCloseKey(entryKey);
    RegCloseKey(menuKey);
    return exists;
}

DWORD CopyEntryKey(const char* name, RegistryView view)
{
    const char* names[] = {name};
    KeyRecord source = {}, target = {};
    KeyItem from, to;
    DWORD sourcePosition = 0, targetPosition = 0;
    DWORD error = RecordEntryKeys(THIS_VIEW, names, 1, &source);
    if (error == ERROR_SUCCESS) error = RecordEntryKeys(view, names, 1, &target);
    if (error == ERROR_SUCCESS &&
        (!NextKeyItem(&source, &sourcePosition, &from) || from.kind != KEY_BEGIN))
        error = ERROR_FILE_NOT_FOUND;
    if (error == ERROR_SUCCESS && !NextKeyItem(&target, &targetPosition, &to))
        error = ERROR_INVALID_DATA;
    HKEY menuKey = NULL;
    if (error == ERROR_SUCCESS) error = CreateToolsMenuKey(view, &menuKey);
    if (error == ERROR_SUCCESS) {
        // An entry that is there already is replaced whole and keeps its letter case, as any
        // entry written over does.
        wchar_t targetName[KEY_NAME_CHARACTERS];
        CopyName(to, targetName, KEY_NAME_CHARACTERS);
        error = DeleteKeyTree(menuKey, targetName, view);
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
        sourcePosition = 0;
        if (error == ERROR_SUCCESS)
            error = WriteTree(menuKey, &source, &sourcePosition,
                              to.kind == KEY_BEGIN ? targetName : NULL, view);
        RegCloseKey(menuKey);
    }
    FreeKeyRecord(&source);
    FreeKeyRecord(&target);
    return error;
}

DWORD RecordToolsMenu(RegistryView view, KeyRecord* record)
{
    wchar_t wideKey[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKeyW(wideKey, TOOLS_MENU_KEY_SIZE);
    if (error != ERROR_SUCCESS) return error;
    DWORD length = (DWORD)wcslen(wideKey);
    error = RecordTree(record, HKEY_LOCAL_MACHINE, wideKey, length, view);
    // Only the key itself missing makes a record of the key alone: a subkey deleted while it was
    // read is an error like any other.
    if (error == ERROR_FILE_NOT_FOUND && record->size == 0) {
        error = AppendItem(record, KEY_BEGIN, wideKey, length);
        if (error == ERROR_SUCCESS) error = AppendItem(record, KEY_END, NULL, 0);
    }
    if (error != ERROR_SUCCESS) FreeKeyRecord(record);
    return error;
}
