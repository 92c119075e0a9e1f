// A record's bytes: its items written and walked, the blocks that hold them, and the digests of
// its keys. Nothing here calls the registry.
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

bool SkipKey(const KeyRecord* record, DWORD* position)
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

void CopyName(const KeyItem& item, wchar_t* out, DWORD characters)
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

bool SameName(const KeyItem& item, const wchar_t* name)
{
    return CompareKeyNames(item.name, (int)item.nameCharacters, name, -1) == 0;
}

int CompareWanted(const void* a, const void* b)
{
    return CompareKeyNames(((const WantedKey*)a)->name, -1, ((const WantedKey*)b)->name, -1);
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

bool DigestNextEntry(const KeyRecord* record, DWORD* position, KeyItem* item, UINT64* digest)
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
