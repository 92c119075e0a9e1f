// Whole key trees read through the UTF-16 functions into records, byte for byte, and the digests
// of the keys as the registry holds them now.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

// The values of an open key, in the registry's order, into buffers as large as its largest.
static DWORD RecordValues(KeyRecord* record, HKEY key)
{
    DWORD nameCharacters = 0, dataSize = 0;
    DWORD error = (DWORD)RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                                          &nameCharacters, &dataSize, NULL, NULL);
    if (error != ERROR_SUCCESS) return error;
    if (dataSize == MAXDWORD) return ERROR_ARITHMETIC_OVERFLOW;
    wchar_t* name = (wchar_t*)GlobalAlloc(GMEM_FIXED, (nameCharacters + 1) * sizeof(wchar_t));
    BYTE* data = (BYTE*)GlobalAlloc(GMEM_FIXED, dataSize + 1);
    if (!name || !data) error = ERROR_NOT_ENOUGH_MEMORY;
    for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
        DWORD nameLength = nameCharacters + 1, size = dataSize + 1, type = REG_NONE;
        LONG result = RegEnumValueW(key, index, name, &nameLength, NULL, &type, data, &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value that grew since the key was measured is refused, not recorded cut.
        error = result == ERROR_SUCCESS
                    ? AppendRecordValue(record, name, nameLength, type, data, size)
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
    DWORD error = (DWORD)RegOpenKeyExW(parent, name, 0,
                                       KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | view, &key);
    if (error != ERROR_SUCCESS) return error;
    error = AppendRecordItem(record, KEY_BEGIN, name, nameCharacters);
    if (error == ERROR_SUCCESS) error = RecordValues(record, key);
    for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
        wchar_t subkey[KEY_NAME_CHARACTERS];
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(key, index, subkey, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) break;
        error =
            result == ERROR_SUCCESS ? RecordTree(record, key, subkey, length, view) : (DWORD)result;
    }
    if (error == ERROR_SUCCESS) error = AppendRecordItem(record, KEY_END, NULL, 0);
    RegCloseKey(key);
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

// Records the wanted keys (sorted, without duplicates) that exist, in the registry's order, then
// the absent ones. One walk of the Tools Menu key finds each key's own letter case.
static DWORD RecordWantedKeys(RegistryView view, WantedKey* wanted, int count, KeyRecord* record)
{
    HKEY menuKey;
    DWORD error = OpenToolsMenuKey(view, KEY_ENUMERATE_SUB_KEYS, &menuKey);
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
            WantedKey* match = count ? (WantedKey*)bsearch(&key, wanted, (size_t)count,
                                                           sizeof *wanted, CompareWanted)
                                     : NULL;
            if (!match || match->found) continue;
            match->found = true;
            error = RecordTree(record, menuKey, key.name, length, view);
        }
        RegCloseKey(menuKey);
    }
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++)
        if (!wanted[i].found)
            error =
                AppendRecordItem(record, KEY_ABSENT, wanted[i].name, (DWORD)wcslen(wanted[i].name));
    if (error != ERROR_SUCCESS) FreeKeyRecord(record);
    return error;
}

DWORD RecordEntryKeys(RegistryView view, const char* const* names, int count, KeyRecord* record)
{
    WantedKey* wanted = NULL;
    DWORD error = AllocateArray((void**)&wanted, count > 0 ? (size_t)count : 0, sizeof *wanted);
    if (error != ERROR_SUCCESS) {
        FreeKeyRecord(record);
        return error;
    }
    int usable = 0;
    // A name that no key could take is refused by the write itself, which then changes nothing.
    for (int i = 0; i < count; i++)
        if (EntryKeyName(names[i], wanted[usable].name)) usable++;
    record->missingAbove = MissingMenuKeys(view);
    error = RecordWantedKeys(view, wanted, SortWanted(wanted, usable), record);
    GlobalFree(wanted);
    return error;
}

// The entry keys' names of a record, sorted, each once; freed with GlobalFree.
static DWORD RecordedNames(const KeyRecord* record, WantedKey** wanted, int* count)
{
    int keys = 0;
    KeyItem item;
    for (DWORD position = 0; NextEntryKey(record, &position, &item);)
        keys++;
    *count = 0;
    DWORD error = AllocateArray((void**)wanted, (size_t)keys, sizeof **wanted);
    for (DWORD position = 0; error == ERROR_SUCCESS && NextEntryKey(record, &position, &item);)
        CopyName(item, (*wanted)[(*count)++].name, KEY_NAME_CHARACTERS);
    if (error == ERROR_SUCCESS) *count = SortWanted(*wanted, *count);
    return error;
}

// The digest of each key now, by name; sorted as the wanted keys are.
struct KeyDigest {
    WantedKey key;
    UINT64 digest;
};

DWORD DigestEntryKeys(RegistryView view, const KeyRecord* record, UINT64* digests)
{
    WantedKey* wanted = NULL;
    int count = 0;
    KeyRecord now = {};
    KeyDigest* found = NULL;
    DWORD error = RecordedNames(record, &wanted, &count);
    if (error == ERROR_SUCCESS) error = RecordWantedKeys(view, wanted, count, &now);
    if (error == ERROR_SUCCESS) error = AllocateArray((void**)&found, (size_t)count, sizeof *found);
    if (error == ERROR_SUCCESS) {
        int listed = 0;
        KeyItem item;
        for (DWORD position = 0;
             listed < count && DigestNextEntry(&now, &position, &item, &found[listed].digest);)
            CopyName(item, found[listed++].key.name, KEY_NAME_CHARACTERS);
        qsort(found, (size_t)listed, sizeof *found, CompareWanted);
        int i = 0;
        for (DWORD position = 0; NextEntryKey(record, &position, &item); i++) {
            KeyDigest key;
            CopyName(item, key.key.name, KEY_NAME_CHARACTERS);
            const KeyDigest* match = listed ? (const KeyDigest*)bsearch(&key, found, (size_t)listed,
                                                                        sizeof key, CompareWanted)
                                            : NULL;
            digests[i] = match ? match->digest : AbsentDigest;
        }
    }
    if (found) GlobalFree(found);
    if (wanted) GlobalFree(wanted);
    FreeKeyRecord(&now);
    return error;
}

bool EntryKeyExists(RegistryView view, const char* name)
{
    wchar_t entry[KEY_NAME_CHARACTERS];
    HKEY menuKey, entryKey;
    if (!EntryKeyName(name, entry) ||
        OpenToolsMenuKey(view, KEY_ENUMERATE_SUB_KEYS, &menuKey) != ERROR_SUCCESS)
        return false;
    bool exists = RegOpenKeyExW(menuKey, entry, 0, KEY_READ | view, &entryKey) == ERROR_SUCCESS;
    if (exists) RegCloseKey(entryKey);
    RegCloseKey(menuKey);
    return exists;
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
        error = AppendRecordItem(record, KEY_BEGIN, wideKey, length);
        if (error == ERROR_SUCCESS) error = AppendRecordItem(record, KEY_END, NULL, 0);
    }
    if (error != ERROR_SUCCESS) FreeKeyRecord(record);
    return error;
}
