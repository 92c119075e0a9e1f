// Records put back in place, one right asked for at a time, and an entry key copied into the
// other registry view.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

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
