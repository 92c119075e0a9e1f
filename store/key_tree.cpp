// Whole key trees: recorded byte for byte through the UTF-16 functions, digested, put back in
// place, compared and copied between the registry views.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

// A record is a run of items, each a tag and its fields as DWORDs followed by the name and, for a
// value, the data: KEY_BEGIN name, KEY_VALUE name type size data, KEY_END, KEY_ABSENT name.
static const DWORD FirstRecordCapacity = 4096;

void FreeKeyRecord(KeyRecord* record)
{
    if (record->bytes) GlobalFree(record->bytes);
    ZeroMemory(record, sizeof *record);
}

// A block larger than half of what the process may address is never had, however much is freed
// for it: asking would only throw away what could be freed.
static bool CouldEverBeHad(ULONGLONG bytes)
{
    MEMORYSTATUSEX memory;
    memory.dwLength = sizeof memory;
    return bytes <= MAXDWORD / 2 &&
           !(GlobalMemoryStatusEx(&memory) && bytes > memory.ullTotalVirtual / 2);
}

DWORD GrowBlock(void** block, DWORD* capacity, DWORD needed, DWORD first)
{
    if (needed <= *capacity) return ERROR_SUCCESS;
    DWORD grown = *capacity ? *capacity : first;
    while (grown < needed && grown <= MAXDWORD / 2)
        grown *= 2;
    if (grown < needed || !CouldEverBeHad(grown)) return ERROR_ARITHMETIC_OVERFLOW;
    void* moved =
        *block ? GlobalReAlloc(*block, grown, GMEM_MOVEABLE) : GlobalAlloc(GMEM_FIXED, grown);
    if (!moved) return ERROR_NOT_ENOUGH_MEMORY;
    *block = moved;
    *capacity = grown;
    return ERROR_SUCCESS;
}

DWORD AllocateArray(void** block, size_t count, size_t size)
{
    *block = NULL;
    if (count == 0) count = 1;
    if (size == 0 || count > MAXDWORD / size || !CouldEverBeHad((ULONGLONG)count * size))
        return ERROR_ARITHMETIC_OVERFLOW;
    *block = GlobalAlloc(GPTR, count * size);
    return *block ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

static DWORD Append(KeyRecord* record, const void* data, DWORD size)
{
    if (size == 0) return ERROR_SUCCESS; // a KEY_END's name
    if (size > MAXDWORD / 2 - record->size) return ERROR_ARITHMETIC_OVERFLOW;
    DWORD error = GrowBlock((void**)&record->bytes, &record->capacity, record->size + size,
                            FirstRecordCapacity);
    if (error != ERROR_SUCCESS) return error;
    memcpy(record->bytes + record->size, data, size);
    record->size += size;
    return ERROR_SUCCESS;
}

DWORD AppendRecordItem(KeyRecord* record, KeyItemKind kind, const wchar_t* name,
                       DWORD nameCharacters)
{
    DWORD fields[2] = {(DWORD)kind, nameCharacters};
    DWORD error = Append(record, fields, sizeof fields);
    return error == ERROR_SUCCESS ? Append(record, name, nameCharacters * sizeof(wchar_t)) : error;
}

DWORD AppendRecordValue(KeyRecord* record, const wchar_t* name, DWORD nameCharacters, DWORD type,
                        const BYTE* data, DWORD size)
{
    DWORD error = AppendRecordItem(record, KEY_VALUE, name, nameCharacters);
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
    if (item->nameCharacters > MAXDWORD / sizeof(wchar_t)) return false;
    item->name = (const wchar_t*)(record->bytes + *position);
    if (!Take(record, position, NULL, item->nameCharacters * sizeof(wchar_t))) return false;
    if (tag != KEY_VALUE) return tag == KEY_BEGIN || tag == KEY_ABSENT || tag == KEY_END;
    if (!Take(record, position, &item->type, sizeof(DWORD)) ||
        !Take(record, position, &item->dataSize, sizeof(DWORD)))
        return false;
    item->data = record->bytes + *position;
    return Take(record, position, NULL, item->dataSize);
}

// Moves past the rest of a key whose KEY_BEGIN has been taken, its KEY_END included.
static bool SkipKey(const KeyRecord* record, DWORD* position)
{
    KeyItem item;
    for (int depth = 1; depth > 0;) {
        if (!NextKeyItem(record, position, &item)) return false;
        depth += item.kind == KEY_BEGIN ? 1 : item.kind == KEY_END ? -1 : 0;
    }
    return true;
}

bool NextEntryKey(const KeyRecord* record, DWORD* position, KeyItem* item)
{
    if (!NextKeyItem(record, position, item)) return false;
    if (item->kind == KEY_BEGIN) {
        DWORD end = *position;
        if (!SkipKey(record, &end)) return false;
        *position = end;
        return true;
    }
    return item->kind == KEY_ABSENT;
}

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

// An item's name, terminated and cut to fit characters.
static void CopyName(const KeyItem& item, wchar_t* out, DWORD characters)
{
    DWORD length = item.nameCharacters < characters ? item.nameCharacters : characters - 1;
    memcpy(out, item.name, length * sizeof(wchar_t));
    out[length] = L'\0';
}

DWORD RecordedKeyName(const KeyItem& item, wchar_t* name)
{
    name[0] = L'\0';
    if (item.nameCharacters == 0 || item.nameCharacters >= KEY_NAME_CHARACTERS)
        return ERROR_INVALID_DATA;
    for (DWORD i = 0; i < item.nameCharacters; i++) {
        wchar_t c;
        memcpy(&c, item.name + i, sizeof c);
        if (c == L'\0' || c == L'\\') return ERROR_INVALID_DATA;
    }
    CopyName(item, name, KEY_NAME_CHARACTERS);
    return ERROR_SUCCESS;
}

// The registry's own comparison of key and value names: without regard to case, character by
// character.
static int CompareKeyNames(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return CompareStringOrdinal(a, aLength, b, bLength, TRUE) - CSTR_EQUAL;
}

static bool SameName(const KeyItem& item, const wchar_t* name)
{
    return CompareKeyNames(item.name, (int)item.nameCharacters, name, -1) == 0;
}

// One key name asked for or found: its name, and whether the registry holds it.
struct WantedKey {
    wchar_t name[KEY_NAME_CHARACTERS];
    bool found;
};

static int CompareWanted(const void* a, const void* b)
{
    return CompareKeyNames(((const WantedKey*)a)->name, -1, ((const WantedKey*)b)->name, -1);
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

// The names of a key's subkeys, sorted as the registry compares them, each in its own letter
// case; freed with GlobalFree.
struct Subkeys {
    WantedKey* names;
    int count;
};

// Walked by enumeration alone, growing as it goes, so that the key need grant nothing more: a
// count asked first would need its values' right too.
static DWORD ListSubkeys(HKEY key, Subkeys* list)
{
    ZeroMemory(list, sizeof *list);
    DWORD capacity = 0, error = ERROR_SUCCESS;
    for (DWORD index = 0; error == ERROR_SUCCESS; index++) {
        if ((size_t)list->count + 1 > MAXDWORD / sizeof *list->names) {
            error = ERROR_ARITHMETIC_OVERFLOW;
            break;
        }
        error =
            GrowBlock((void**)&list->names, &capacity,
                      (DWORD)((list->count + 1) * sizeof *list->names), 16 * sizeof *list->names);
        if (error != ERROR_SUCCESS) break;
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(key, index, list->names[list->count].name, &length, NULL, NULL,
                                    NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS)
            list->count++;
        else
            error = (DWORD)result;
    }
    if (list->names) qsort(list->names, (size_t)list->count, sizeof *list->names, CompareWanted);
    return error;
}

// The subkey's name in its own letter case, or null.
static const wchar_t* FindSubkey(const Subkeys& list, const wchar_t* name)
{
    WantedKey key;
    lstrcpynW(key.name, name, KEY_NAME_CHARACTERS);
    const WantedKey* found = list.count
                                 ? (const WantedKey*)bsearch(&key, list.names, (size_t)list.count,
                                                             sizeof key, CompareWanted)
                                 : NULL;
    return found ? found->name : NULL;
}

static void FreeSubkeys(Subkeys* list)
{
    if (list->names) GlobalFree(list->names);
    ZeroMemory(list, sizeof *list);
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

// 64-bit FNV-1a, and a finaliser so that digests can be added up in any order without one value's
// hash cancelling another's.
static UINT64 Hash(UINT64 hash, const void* data, DWORD size)
{
    const BYTE* bytes = (const BYTE*)data;
    for (DWORD i = 0; i < size; i++)
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}
static UINT64 Mix(UINT64 hash)
{
    hash = (hash ^ (hash >> 30)) * 0xBF58476D1CE4E5B9ull;
    hash = (hash ^ (hash >> 27)) * 0x94D049BB133111EBull;
    return hash ^ (hash >> 31);
}
static const UINT64 HashStart = 0xCBF29CE484222325ull;
// What an entry that is not there digests to.
static const UINT64 AbsentDigest = 0x6B657920616273ull;

// The key whose KEY_BEGIN has been taken as item: its name, and its values and subkeys added up,
// so that the order in which the registry gives them does not count.
static UINT64 DigestKey(const KeyRecord* record, DWORD* position, const KeyItem& key)
{
    UINT64 sum = Mix(Hash(HashStart, key.name, key.nameCharacters * sizeof(wchar_t)));
    KeyItem item;
    while (NextKeyItem(record, position, &item) && item.kind != KEY_END) {
        if (item.kind == KEY_BEGIN) {
            sum += Mix(DigestKey(record, position, item) + 1);
            continue;
        }
        UINT64 hash = Hash(HashStart, &item.nameCharacters, sizeof item.nameCharacters);
        hash = Hash(hash, item.name, item.nameCharacters * sizeof(wchar_t));
        hash = Hash(hash, &item.type, sizeof item.type);
        hash = Hash(hash, &item.dataSize, sizeof item.dataSize);
        sum += Mix(Hash(hash, item.data, item.dataSize));
    }
    return Mix(sum);
}

// Digests the next entry key of a record and moves past it; false at the record's end.
static bool DigestNextEntry(const KeyRecord* record, DWORD* position, KeyItem* item, UINT64* digest)
{
    if (!NextKeyItem(record, position, item)) return false;
    *digest = item->kind == KEY_BEGIN ? DigestKey(record, position, *item) : AbsentDigest;
    return item->kind == KEY_BEGIN || item->kind == KEY_ABSENT;
}

int CountEntryKeys(const KeyRecord* record)
{
    int count = 0;
    KeyItem item;
    for (DWORD position = 0; NextEntryKey(record, &position, &item);)
        count++;
    return count;
}

void DigestRecordedKeys(const KeyRecord* record, UINT64* digests)
{
    KeyItem item;
    for (DWORD position = 0; DigestNextEntry(record, &position, &item, digests);)
        digests++;
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

// Buffers that putting a tree back grows as it goes: a terminated name, and room for a value's
// data with the bytes after it.
struct Scratch {
    wchar_t* name;
    DWORD nameCapacity;
    BYTE* data;
    DWORD dataCapacity;
};

static DWORD TerminatedName(Scratch* scratch, const KeyItem& item)
{
    DWORD error = GrowBlock((void**)&scratch->name, &scratch->nameCapacity,
                            (item.nameCharacters + 1) * sizeof(wchar_t), 256);
    if (error != ERROR_SUCCESS) return error;
    memcpy(scratch->name, item.name, item.nameCharacters * sizeof(wchar_t));
    scratch->name[item.nameCharacters] = L'\0';
    return ERROR_SUCCESS;
}

static DWORD GrowData(Scratch* scratch, DWORD size)
{
    if (size > MAXDWORD - 2) return ERROR_ARITHMETIC_OVERFLOW;
    return GrowBlock((void**)&scratch->data, &scratch->dataCapacity, size + 2, 1024);
}

// Sets the value to exactly the recorded bytes. The registry stores a string one character
// longer than it is given when the character after it in memory is a zero, taking it for a
// forgotten terminator: so the bytes are copied before two that are not zero.
static DWORD SetValueExactly(HKEY key, Scratch* scratch, const KeyItem& value)
{
    DWORD error = TerminatedName(scratch, value);
    if (error == ERROR_SUCCESS) error = GrowData(scratch, value.dataSize);
    if (error != ERROR_SUCCESS) return error;
    memcpy(scratch->data, value.data, value.dataSize);
    scratch->data[value.dataSize] = scratch->data[value.dataSize + 1] = 0xFF;
    return (DWORD)RegSetValueExW(key, scratch->name, 0, value.type, scratch->data, value.dataSize);
}

// A key being put back: read at first, opened again for its values once one is to be written or
// deleted, and for its subkeys once one is to be made, so that a key whose access list refuses a
// right is refused only where the record needs that right (an installer's key may take values and
// no subkey).
struct PlacedKey {
    HKEY key, values, subkeys;
    RegistryView view;
};

static DWORD Reopened(const PlacedKey* placed, REGSAM access, HKEY* key)
{
    if (*key) return ERROR_SUCCESS;
    return (DWORD)RegOpenKeyExW(placed->key, L"", 0, access | placed->view, key);
}

static DWORD ValuesWritable(PlacedKey* placed)
{
    return Reopened(placed, KEY_SET_VALUE, &placed->values);
}

static DWORD SubkeysMakable(PlacedKey* placed)
{
    return Reopened(placed, KEY_CREATE_SUB_KEY, &placed->subkeys);
}

static void ClosePlaced(PlacedKey* placed)
{
    if (placed->subkeys) RegCloseKey(placed->subkeys);
    if (placed->values) RegCloseKey(placed->values);
    if (placed->key) RegCloseKey(placed->key);
}

static DWORD FirstError(DWORD first, DWORD next)
{
    return first != ERROR_SUCCESS ? first : next;
}

static bool ValueIsAsRecorded(HKEY key, Scratch* scratch, const KeyItem& value)
{
    DWORD type = REG_NONE, size = value.dataSize + 1;
    if (TerminatedName(scratch, value) != ERROR_SUCCESS ||
        GrowData(scratch, value.dataSize) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExW(key, scratch->name, NULL, &type, scratch->data, &size) ==
               ERROR_SUCCESS &&
           type == value.type && size == value.dataSize &&
           memcmp(scratch->data, value.data, size) == 0;
}

// The name a recorded key is put back under: name when one is given, else its recorded one.
static DWORD TargetName(const KeyItem& item, const wchar_t* name, wchar_t* target)
{
    if (!name) return RecordedKeyName(item, target);
    lstrcpynW(target, name, KEY_NAME_CHARACTERS);
    return ERROR_SUCCESS;
}

// The first half of putting a key back (item, its KEY_BEGIN, has been taken): the key made when
// it is missing, or made anew when it stands in other letters, and every recorded value that
// differs written. It goes on past a failure, so that all it can put back is put back, and moves
// past the key's KEY_END. The key takes name when one is given, else its recorded name.
static DWORD PlaceKey(PlacedKey* parent, const Subkeys& siblings, const KeyRecord* record,
                      DWORD* position, const KeyItem& item, const wchar_t* name, Scratch* scratch)
{
    wchar_t target[KEY_NAME_CHARACTERS];
    DWORD error = TargetName(item, name, target);
    if (error != ERROR_SUCCESS) {
        SkipKey(record, position);
        return error;
    }
    const wchar_t* current = FindSubkey(siblings, target);
    // A key's letter case cannot be changed: only a key made anew takes the recorded one.
    if (current && wcscmp(current, target) != 0) {
        error = DeleteKeyTree(parent->key, current, parent->view);
        if (error == ERROR_SUCCESS) current = NULL;
    }
    // Its values are compared and its subkeys listed: read, never more.
    const REGSAM reading = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | parent->view;
    PlacedKey placed = {NULL, NULL, NULL, parent->view};
    DWORD opened = current ? (DWORD)RegOpenKeyExW(parent->key, current, 0, reading, &placed.key)
                           : SubkeysMakable(parent);
    if (!current && opened == ERROR_SUCCESS)
        opened = (DWORD)RegCreateKeyExW(parent->subkeys, target, 0, NULL, REG_OPTION_NON_VOLATILE,
                                        reading, NULL, &placed.key, NULL);
    if (opened != ERROR_SUCCESS) {
        SkipKey(record, position);
        return FirstError(error, opened);
    }
    Subkeys children = {};
    bool listed = false;
    KeyItem child;
    while (NextKeyItem(record, position, &child) && child.kind != KEY_END) {
        if (child.kind == KEY_BEGIN) {
            if (!listed) error = FirstError(error, ListSubkeys(placed.key, &children));
            listed = true;
            error = FirstError(error,
                               PlaceKey(&placed, children, record, position, child, NULL, scratch));
        } else if (!ValueIsAsRecorded(placed.key, scratch, child)) {
            DWORD written = ValuesWritable(&placed);
            if (written == ERROR_SUCCESS) written = SetValueExactly(placed.values, scratch, child);
            error = FirstError(error, written);
        }
    }
    FreeSubkeys(&children);
    ClosePlaced(&placed);
    return error;
}

// The recorded value of the key whose items start at body, found as the registry finds values.
static const KeyItem* FindValue(const KeyRecord* record, DWORD body, const wchar_t* name,
                                KeyItem* out)
{
    for (DWORD position = body; NextKeyItem(record, &position, out) && out->kind != KEY_END;) {
        if (out->kind == KEY_BEGIN)
            SkipKey(record, &position);
        else if (SameName(*out, name))
            return out;
    }
    return NULL;
}

static bool HasSubkey(const KeyRecord* record, DWORD body, const wchar_t* name)
{
    KeyItem item;
    for (DWORD position = body; NextKeyItem(record, &position, &item) && item.kind != KEY_END;) {
        if (item.kind != KEY_BEGIN) continue;
        if (SameName(item, name)) return true;
        SkipKey(record, &position);
    }
    return false;
}

// The values of placed that the record lacks go, and one that the registry holds under the
// recorded name in other letters is written anew under that name.
static DWORD PruneValues(PlacedKey* placed, const KeyRecord* record, DWORD body, Scratch* scratch)
{
    DWORD values = 0, longest = 0;
    DWORD error = (DWORD)RegQueryInfoKeyW(placed->key, NULL, NULL, NULL, NULL, NULL, NULL, &values,
                                          &longest, NULL, NULL, NULL);
    if (error == ERROR_SUCCESS)
        error = GrowBlock((void**)&scratch->name, &scratch->nameCapacity,
                          (longest + 1) * sizeof(wchar_t), 256);
    // From the last: a value deleted moves none of those before it.
    for (DWORD index = values; error == ERROR_SUCCESS && index-- > 0;) {
        DWORD length = longest + 1;
        LONG result =
            RegEnumValueW(placed->key, index, scratch->name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) continue;
        if (result != ERROR_SUCCESS) {
            error = (DWORD)result;
            break;
        }
        KeyItem value;
        const KeyItem* recorded = FindValue(record, body, scratch->name, &value);
        bool sameCase = recorded && recorded->nameCharacters == length &&
                        memcmp(recorded->name, scratch->name, length * sizeof(wchar_t)) == 0;
        if (sameCase) continue;
        error = ValuesWritable(placed);
        if (error == ERROR_SUCCESS) error = (DWORD)RegDeleteValueW(placed->values, scratch->name);
        if (error == ERROR_SUCCESS && recorded)
            error = SetValueExactly(placed->values, scratch, *recorded);
    }
    return error;
}

// The second half (item, its KEY_BEGIN, has been taken): whatever the key holds that the record
// lacks is deleted, and nothing the record holds. It goes on past a failure and moves past the
// key's KEY_END.
static DWORD PruneKey(HKEY parent, const KeyRecord* record, DWORD* position, const KeyItem& item,
                      const wchar_t* name, RegistryView view, Scratch* scratch)
{
    wchar_t target[KEY_NAME_CHARACTERS];
    DWORD body = *position;
    PlacedKey placed = {NULL, NULL, NULL, view};
    DWORD error = TargetName(item, name, target);
    // Its values are read by name and its subkeys listed.
    if (error == ERROR_SUCCESS)
        error = (DWORD)RegOpenKeyExW(parent, target, 0,
                                     KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | view, &placed.key);
    if (error != ERROR_SUCCESS) {
        SkipKey(record, position);
        return error;
    }
    error = PruneValues(&placed, record, body, scratch);
    Subkeys children = {};
    error = FirstError(error, ListSubkeys(placed.key, &children));
    for (int i = 0; i < children.count; i++)
        if (!HasSubkey(record, body, children.names[i].name))
            error = FirstError(error, DeleteKeyTree(placed.key, children.names[i].name, view));
    FreeSubkeys(&children);
    KeyItem child;
    while (NextKeyItem(record, position, &child) && child.kind != KEY_END)
        if (child.kind == KEY_BEGIN)
            error = FirstError(error,
                               PruneKey(placed.key, record, position, child, NULL, view, scratch));
    ClosePlaced(&placed);
    return error;
}

DWORD PlaceEntryKeys(RegistryView view, const KeyRecord* record, const wchar_t* const* names)
{
    bool bringsKeys = false;
    KeyItem item;
    for (DWORD position = 0; NextEntryKey(record, &position, &item);)
        bringsKeys |= item.kind == KEY_BEGIN;
    PlacedKey menu = {NULL, NULL, NULL, view};
    // Only a record that brings a key back needs the Tools Menu key made. Its entries are listed;
    // an entry is made through a handle of its own.
    DWORD error = bringsKeys ? CreateToolsMenuKey(view, KEY_ENUMERATE_SUB_KEYS, &menu.key)
                             : OpenToolsMenuKey(view, KEY_ENUMERATE_SUB_KEYS, &menu.key);
    if (error == ERROR_FILE_NOT_FOUND && !bringsKeys) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    Scratch scratch = {};
    Subkeys entries = {};
    error = ListSubkeys(menu.key, &entries);
    int i = 0;
    for (DWORD position = 0; NextKeyItem(record, &position, &item); i++) {
        const wchar_t* name = names ? names[i] : NULL;
        if (item.kind == KEY_BEGIN)
            error = FirstError(error,
                               PlaceKey(&menu, entries, record, &position, item, name, &scratch));
    }
    i = 0;
    for (DWORD position = 0; NextKeyItem(record, &position, &item); i++) {
        const wchar_t* name = names ? names[i] : NULL;
        if (item.kind == KEY_BEGIN) {
            error = FirstError(error,
                               PruneKey(menu.key, record, &position, item, name, view, &scratch));
        } else if (item.kind == KEY_ABSENT) {
            wchar_t absent[KEY_NAME_CHARACTERS];
            DWORD deleted = TargetName(item, name, absent);
            if (deleted == ERROR_SUCCESS) deleted = DeleteKeyTree(menu.key, absent, view);
            if (deleted != ERROR_FILE_NOT_FOUND) error = FirstError(error, deleted);
        }
    }
    FreeSubkeys(&entries);
    ClosePlaced(&menu);
    if (scratch.name) GlobalFree(scratch.name);
    if (scratch.data) GlobalFree(scratch.data);
    return error;
}

DWORD RestoreEntryKeys(RegistryView view, const KeyRecord* record)
{
    DWORD error = PlaceEntryKeys(view, record, NULL);
    // The keys above the entries that the command made go again, each only while empty.
    if (error == ERROR_SUCCESS && record->missingAbove > 0)
        RemoveMadeMenuKeys(view, record->missingAbove);
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
    if (error == ERROR_SUCCESS) {
        // An entry that is there already becomes the copy in place and keeps its letter case,
        // as any entry written over does.
        wchar_t targetName[KEY_NAME_CHARACTERS];
        error = RecordedKeyName(to.kind == KEY_BEGIN ? to : from, targetName);
        const wchar_t* override[] = {targetName};
        if (error == ERROR_SUCCESS) error = PlaceEntryKeys(view, &source, override);
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
        error = AppendRecordItem(record, KEY_BEGIN, wideKey, length);
        if (error == ERROR_SUCCESS) error = AppendRecordItem(record, KEY_END, NULL, 0);
    }
    if (error != ERROR_SUCCESS) FreeKeyRecord(record);
    return error;
}
