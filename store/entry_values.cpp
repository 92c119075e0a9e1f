// Every value Cakewalk reads of an entry, read from one record of its key and written one by one;
// and an entry key renamed or duplicated with every byte of its tree.
#include <windows.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

const char* const EntryValueNames[ENTRY_VALUE_COUNT] = {
    "MenuText", "ExePath", "StatusBarText",    "Type",         "Modal",
    "CmdArgs",  "Args",    "CurrentDirectory", "HelpFilePath", "HelpFileTopic",
};
const char* const ToolTypes[TOOL_TYPE_COUNT] = {"Generic", "WaveEditor", "SysxEditor"};

bool IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// A string value as an edit shows it: the characters up to the first terminator, which must be
// the last one (or missing), in code page 932 and back unchanged, without control characters.
static void StoreText(StoredValue* value, const BYTE* data, DWORD size)
{
    DWORD characters = size / sizeof(wchar_t), length = 0;
    const wchar_t* text = (const wchar_t*)data;
    wchar_t c = 0;
    while (length < characters && (memcpy(&c, text + length, sizeof c), c != 0))
        length++;
    // Each is named for what it is: an edit would write back neither a half character nor the
    // zeros after the text, and text after a terminator is hidden from it.
    TextFlaw flaw = size % sizeof(wchar_t) != 0 ? TEXT_ODD_SIZE : TEXT_EXACT;
    if (flaw == TEXT_EXACT && length + 1 < characters) {
        flaw = TEXT_PADDED;
        for (DWORD i = length + 1; i < characters && flaw == TEXT_PADDED; i++) {
            memcpy(&c, text + i, sizeof c);
            if (c != 0) flaw = TEXT_CONTROL;
        }
    }
    for (DWORD i = 0; i < length && flaw == TEXT_EXACT; i++) {
        memcpy(&c, text + i, sizeof c);
        if (c < 0x20) flaw = TEXT_CONTROL;
    }
    BOOL usedDefault = FALSE;
    int bytes = length ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, (int)length,
                                             value->text, VALUE_TEXT_SIZE - 1, NULL, &usedDefault)
                       : 0;
    if (length && bytes == 0) {
        // Cut to fit: the conversion gives nothing at all when the whole does not.
        if (flaw == TEXT_EXACT) flaw = TEXT_TOO_LONG;
        for (DWORD cut = length; cut > 0 && bytes == 0; cut = cut * 3 / 4)
            bytes = WideCharToMultiByte(CP_ACP, 0, text, (int)cut, value->text, VALUE_TEXT_SIZE - 1,
                                        NULL, NULL);
    }
    value->text[bytes > 0 ? bytes : 0] = '\0';
    if (flaw == TEXT_EXACT && usedDefault) flaw = TEXT_NOT_CP932;
    // Back through the code page: a character that only looks the same would be written anew.
    if (flaw == TEXT_EXACT && length) {
        wchar_t back[VALUE_TEXT_SIZE];
        int backLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, value->text, bytes, back,
                                             VALUE_TEXT_SIZE);
        if (backLength != (int)length || memcmp(back, text, length * sizeof(wchar_t)) != 0)
            flaw = TEXT_NOT_CP932;
    }
    value->textFlaw = flaw;
    value->textExact = flaw == TEXT_EXACT;
}

// The raw material of the value that the item holds: the words are the caller's.
static void StoreValue(StoredValue* value, const KeyItem& item)
{
    ZeroMemory(value, sizeof *value);
    value->present = true;
    value->textFlaw = TEXT_NOT_TEXT;
    value->type = item.type;
    value->size = item.dataSize;
    memcpy(value->head, item.data,
           item.dataSize < sizeof value->head ? item.dataSize : sizeof value->head);
    if (IsText(item.type)) {
        StoreText(value, item.data, item.dataSize);
    } else if (item.type == REG_MULTI_SZ) {
        // Shown as one line: the strings joined by a blank.
        StoreText(value, item.data, item.dataSize);
        value->textExact = false;
        value->textFlaw = TEXT_NOT_TEXT;
        DWORD characters = item.dataSize / sizeof(wchar_t);
        size_t used = strlen(value->text);
        const wchar_t* text = (const wchar_t*)item.data;
        for (DWORD i = 0; i < characters && used < VALUE_TEXT_SIZE - 1; i++) {
            wchar_t c;
            memcpy(&c, text + i, sizeof c);
            if (c != 0) continue;
            DWORD next = i + 1;
            if (next >= characters || (memcpy(&c, text + next, sizeof c), c == 0)) break;
            DWORD end = next;
            while (end < characters && (memcpy(&c, text + end, sizeof c), c != 0))
                end++;
            value->text[used++] = ' ';
            int bytes =
                WideCharToMultiByte(CP_ACP, 0, text + next, (int)(end - next), value->text + used,
                                    (int)(VALUE_TEXT_SIZE - 1 - used), NULL, NULL);
            used += bytes > 0 ? (size_t)bytes : 0;
            value->text[used] = '\0';
            i = end - 1;
        }
    } else if (item.type == REG_DWORD && item.dataSize == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, item.data, sizeof number);
        value->number = number;
        value->numberExact = true;
    } else if (item.type == REG_QWORD && item.dataSize == sizeof(ULONGLONG)) {
        memcpy(&value->number, item.data, sizeof value->number);
    }
}

static int KnownValue(const KeyItem& item)
{
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++) {
        wchar_t name[32];
        if (ToWide(EntryValueNames[i], name, 32) == ERROR_SUCCESS &&
            CompareStringOrdinal(item.name, (int)item.nameCharacters, name, -1, TRUE) == CSTR_EQUAL)
            return i;
    }
    return -1;
}

static OtherItem* AddOther(EntryValues* values, const KeyItem& item)
{
    if ((size_t)values->otherCount + 1 > MAXDWORD / sizeof(OtherItem) ||
        GrowBlock((void**)&values->others, &values->capacity,
                  (DWORD)((values->otherCount + 1) * sizeof(OtherItem)),
                  8 * sizeof(OtherItem)) != ERROR_SUCCESS)
        return NULL;
    OtherItem* other = &values->others[values->otherCount++];
    ZeroMemory(other, sizeof *other);
    NarrowName(item.name, item.nameCharacters, other->name, sizeof other->name);
    other->unnamed = item.nameCharacters == 0;
    return other;
}

DWORD ReadEntryValues(const char* name, EntryValues* values)
{
    ZeroMemory(values, sizeof *values);
    const char* names[] = {name};
    KeyRecord record = {};
    DWORD error = RecordEntryKeys(THIS_VIEW, names, 1, &record);
    if (error != ERROR_SUCCESS) return error;
    DWORD position = 0;
    KeyItem item;
    if (!NextKeyItem(&record, &position, &item))
        error = ERROR_INVALID_NAME;
    else if (item.kind != KEY_BEGIN)
        error = ERROR_FILE_NOT_FOUND;
    else
        NarrowName(item.name, item.nameCharacters, values->name, sizeof values->name);
    // Values of the entry key first, then its subkeys, each counted but not walked.
    OtherItem* subkey = NULL;
    for (int depth = 1;
         error == ERROR_SUCCESS && depth > 0 && NextKeyItem(&record, &position, &item);) {
        if (item.kind == KEY_END) {
            depth--;
        } else if (item.kind == KEY_BEGIN) {
            if (depth++ == 1) {
                subkey = AddOther(values, item);
                if (!subkey) error = ERROR_NOT_ENOUGH_MEMORY;
                if (subkey) subkey->isKey = true;
            } else if (depth == 3 && subkey) {
                subkey->subkeys++;
            }
        } else if (item.kind == KEY_VALUE && depth == 2 && subkey) {
            subkey->values++;
        } else if (item.kind == KEY_VALUE && depth == 1) {
            int known = KnownValue(item);
            if (known >= 0 && !values->known[known].present) {
                StoreValue(&values->known[known], item);
            } else {
                OtherItem* other = AddOther(values, item);
                if (!other) error = ERROR_NOT_ENOUGH_MEMORY;
                if (other) StoreValue(&other->value, item);
            }
        }
    }
    FreeKeyRecord(&record);
    if (error != ERROR_SUCCESS) FreeEntryValues(values);
    return error;
}

void FreeEntryValues(EntryValues* values)
{
    if (values->others) GlobalFree(values->others);
    values->others = NULL;
    values->otherCount = 0;
    values->capacity = 0;
}

// The entry key's path below HKEY_LOCAL_MACHINE in UTF-16.
static DWORD WideEntryPath(const char* name, wchar_t* path)
{
    char keyPath[TOOL_KEY_PATH_SIZE];
    DWORD error = BuildToolKeyPath(name, keyPath, sizeof keyPath);
    return error == ERROR_SUCCESS ? ToWide(keyPath, path, TOOL_KEY_PATH_SIZE) : error;
}

DWORD WriteEntryValues(const char* name, const ValueChange* changes, int count)
{
    wchar_t path[TOOL_KEY_PATH_SIZE];
    DWORD error = WideEntryPath(name, path);
    HKEY key;
    // Opened, never made: an entry that went while the dialog was open stays gone.
    if (error == ERROR_SUCCESS)
        error = (DWORD)RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS) return error;
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++) {
        const ValueChange& change = changes[i];
        wchar_t valueName[32];
        error = ToWide(EntryValueNames[change.value], valueName, 32);
        if (error != ERROR_SUCCESS) break;
        if (change.remove) {
            error = (DWORD)RegDeleteValueW(key, valueName);
            if (error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
        } else if (change.type == REG_DWORD) {
            error = (DWORD)RegSetValueExW(key, valueName, 0, REG_DWORD, (const BYTE*)&change.number,
                                          sizeof change.number);
        } else {
            wchar_t text[TOOL_TEXT_SIZE];
            error = ToWide(change.text, text, TOOL_TEXT_SIZE);
            if (error == ERROR_SUCCESS)
                error = (DWORD)RegSetValueExW(key, valueName, 0, change.type, (const BYTE*)text,
                                              (DWORD)(wcslen(text) + 1) * sizeof(wchar_t));
        }
    }
    RegCloseKey(key);
    return error;
}

bool SameEntryKey(const char* a, const char* b)
{
    wchar_t wideA[KEY_NAME_CHARACTERS], wideB[KEY_NAME_CHARACTERS];
    return ToWide(a, wideA, KEY_NAME_CHARACTERS) == ERROR_SUCCESS &&
           ToWide(b, wideB, KEY_NAME_CHARACTERS) == ERROR_SUCCESS &&
           CompareStringOrdinal(wideA, -1, wideB, -1, TRUE) == CSTR_EQUAL;
}

// A new name for an entry key, in UTF-16: one key of the Tools Menu, of a length the list reads.
static DWORD NewEntryName(const char* name, wchar_t* wide)
{
    DWORD error = EntryNameError(name, NAME_ONE_KEY);
    return error == ERROR_SUCCESS ? ToWide(name, wide, KEY_NAME_CHARACTERS) : error;
}

// The checks that rename and duplicate share, and the record of from.
static DWORD PrepareCopy(const char* from, const char* to, bool renaming, wchar_t* wideTo,
                         KeyRecord* record)
{
    DWORD error = NewEntryName(to, wideTo);
    if (error != ERROR_SUCCESS) return error;
    if (EntryKeyExists(THIS_VIEW, to) && !(renaming && SameEntryKey(from, to)))
        return ERROR_ALREADY_EXISTS;
    const char* names[] = {from};
    error = RecordEntryKeys(THIS_VIEW, names, 1, record);
    KeyItem item;
    DWORD position = 0;
    if (error == ERROR_SUCCESS &&
        (!NextKeyItem(record, &position, &item) || item.kind != KEY_BEGIN)) {
        FreeKeyRecord(record);
        error = ERROR_FILE_NOT_FOUND;
    }
    return error;
}

// Never "": DeleteKeyTree would take the whole Tools Menu key's entries with it.
static DWORD DeleteEntryKey(const wchar_t* name)
{
    if (!name[0]) return ERROR_INVALID_NAME;
    HKEY menuKey;
    DWORD error = OpenToolsMenuKey(THIS_VIEW, KEY_ENUMERATE_SUB_KEYS, &menuKey);
    if (error != ERROR_SUCCESS) return error;
    error = DeleteKeyTree(menuKey, name, THIS_VIEW);
    RegCloseKey(menuKey);
    return error;
}

// The copy's key, made here so that a clean-up deletes only what this command made: a key of that
// name that came meanwhile is another program's, and is left as it is.
static DWORD MakeNewEntryKey(const wchar_t* name)
{
    HKEY menuKey, key;
    DWORD error = OpenToolsMenuKey(THIS_VIEW, KEY_CREATE_SUB_KEY, &menuKey);
    if (error != ERROR_SUCCESS) return error;
    DWORD disposition = 0;
    error = (DWORD)RegCreateKeyExW(menuKey, name, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                                   NULL, &key, &disposition);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(key);
        if (disposition != REG_CREATED_NEW_KEY) error = ERROR_ALREADY_EXISTS;
    }
    RegCloseKey(menuKey);
    return error;
}

// The record's entry key put under name, in the key MakeNewEntryKey made; half a copy is no
// entry of anyone's, so a failure deletes it again, and what that deletion met goes to cleanUp.
static DWORD PlaceCopy(const KeyRecord* record, const wchar_t* name, DWORD* cleanUp)
{
    DWORD error = MakeNewEntryKey(name);
    if (error != ERROR_SUCCESS) return error;
    const wchar_t* names[] = {name};
    error = PlaceEntryKeys(THIS_VIEW, record, names);
    if (error != ERROR_SUCCESS) *cleanUp = DeleteEntryKey(name);
    return error;
}

DWORD DuplicateEntryKey(const char* from, const char* to)
{
    wchar_t wideTo[KEY_NAME_CHARACTERS];
    KeyRecord record = {};
    DWORD error = PrepareCopy(from, to, false, wideTo, &record);
    if (error != ERROR_SUCCESS) return error;
    DWORD cleanUp = ERROR_SUCCESS;
    error = PlaceCopy(&record, wideTo, &cleanUp);
    FreeKeyRecord(&record);
    return error;
}

typedef LONG(WINAPI* RenameKeyFunction)(HKEY key, const wchar_t* subkey, const wchar_t* name);

// Looked up: Windows before Vista lacks it. Wine's is not used: after a rename by Wine 8, the
// Tools Menu key went on listing the entry under its old name, and the server failed later.
static RenameKeyFunction SystemRenameKey()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")) return NULL;
    return (RenameKeyFunction)(void*)GetProcAddress(GetModuleHandleA("advapi32.dll"),
                                                    "RegRenameKey");
}

// The system's own rename, in place, so that the key keeps its access list, which a copy would
// trade for its parent's. A failure (a change of letters alone is refused as a name that exists)
// leaves the key as it was.
static DWORD RenameInPlace(const wchar_t* from, const wchar_t* to)
{
    RenameKeyFunction renameKey = SystemRenameKey();
    if (!renameKey) return ERROR_CALL_NOT_IMPLEMENTED;
    HKEY menuKey, key;
    DWORD error = OpenToolsMenuKey(THIS_VIEW, KEY_ENUMERATE_SUB_KEYS, &menuKey);
    if (error != ERROR_SUCCESS) return error;
    // What the call asks of the renamed key's handle; the right to delete the tree is asked of the
    // tree by the system itself.
    error = (DWORD)RegOpenKeyExW(menuKey, from, 0, KEY_WRITE, &key);
    if (error == ERROR_SUCCESS) {
        error = (DWORD)renameKey(key, NULL, to);
        RegCloseKey(key);
    }
    RegCloseKey(menuKey);
    return error;
}

// The rename as a copy: to made whole, then from deleted. A deletion that fails half-way puts
// from back as recorded and deletes to again, unless from could not be put back: then to, the one
// whole copy, stays.
static DWORD RenameByCopy(const KeyRecord* record, const wchar_t* from, const wchar_t* to,
                          DWORD* cleanUp)
{
    DWORD error = PlaceCopy(record, to, cleanUp);
    if (error != ERROR_SUCCESS) return error;
    error = DeleteEntryKey(from);
    if (error == ERROR_SUCCESS) return error;
    *cleanUp = PlaceEntryKeys(THIS_VIEW, record, NULL);
    if (*cleanUp == ERROR_SUCCESS) *cleanUp = DeleteEntryKey(to);
    return error;
}

// The letters alone: the registry opens the same key under either name, so only a key made anew
// takes the new ones. Whatever fails, the recorded tree is put back under its old letters.
static DWORD RenameLetters(const KeyRecord* record, const wchar_t* from, const wchar_t* to,
                           DWORD* cleanUp)
{
    const wchar_t* names[] = {to};
    DWORD error = DeleteEntryKey(from);
    if (error == ERROR_SUCCESS) error = PlaceEntryKeys(THIS_VIEW, record, names);
    if (error != ERROR_SUCCESS) *cleanUp = PlaceEntryKeys(THIS_VIEW, record, NULL);
    return error;
}

DWORD RenameEntryKey(const char* from, const char* to, DWORD* cleanUpError)
{
    DWORD cleanUp = ERROR_SUCCESS;
    wchar_t wideTo[KEY_NAME_CHARACTERS], wideFrom[KEY_NAME_CHARACTERS];
    KeyRecord record = {};
    DWORD error = PrepareCopy(from, to, true, wideTo, &record);
    if (error == ERROR_SUCCESS) {
        KeyItem item;
        DWORD position = 0;
        NextKeyItem(&record, &position, &item);
        error = RecordedKeyName(item, wideFrom);
        if (error == ERROR_SUCCESS && RenameInPlace(wideFrom, wideTo) != ERROR_SUCCESS)
            error = SameEntryKey(from, to) ? RenameLetters(&record, wideFrom, wideTo, &cleanUp)
                                           : RenameByCopy(&record, wideFrom, wideTo, &cleanUp);
        FreeKeyRecord(&record);
    }
    if (cleanUpError) *cleanUpError = cleanUp;
    return error;
}
