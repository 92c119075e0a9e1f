// Reading a registry file back as a record of Tools Menu entries: the whole file is read and
// checked before anything may be written, and only the Tools Menu key of either view is accepted.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "exchange/exchange_private.h"

// The deepest key the registry allows.
static const int MaxKeyDepth = 512;
// The longest key name the registry allows, in UTF-16 characters.
static const DWORD MaxKeyNameCharacters = 255;
static const DWORD MaxValueNameCharacters = 16383;
// Each name is matched against its key's others, so a file made to hold millions of them would
// keep the window waiting for hours; these bound that to seconds. No Tools Menu comes near them.
static const int MaxNamesPerKey = 10000;
static const int MaxNames = 200000;

// One key of the file, linked to its parent's other subkeys, and one value, linked to the key's
// others: names and data are offsets into the pool, so that the arrays may move as they grow.
struct ParsedKey {
    DWORD name, nameCharacters;
    int firstChild, lastChild, next;
    int firstValue, lastValue;
    int children, values;
};
struct ParsedValue {
    DWORD name, nameCharacters;
    DWORD type, data, size;
    int next;
};

// Where the reading stands: the file's text, the line it is at, and the tree built so far.
struct Parser {
    const BYTE* bytes;
    DWORD size, position;
    bool wide;
    int lineNumber;
    // The current physical line, in UTF-16: into the file itself, or converted into converted.
    const wchar_t* line;
    DWORD length;
    wchar_t* converted;
    DWORD convertedCapacity;
    ParsedKey* keys;
    DWORD keysCapacity;
    int keyCount;
    ParsedValue* values;
    DWORD valuesCapacity;
    int valueCount;
    BYTE* pool;
    DWORD poolSize, poolCapacity;
    int menuBits;  // 0 until a key line names one of the two menus
    int namedBits; // the menu a comment before the first key names
    BackupFile* out;
};

static DWORD Refuse(Parser* parser, BackupRefusal refusal)
{
    BackupFile* out = parser->out;
    out->refusal = refusal;
    out->line = parser->lineNumber;
    // The line as the user would see it in a text editor, cut to fit the warning.
    DWORD characters = parser->length < (DWORD)BACKUP_LINE_CHARACTERS
                           ? parser->length
                           : (DWORD)BACKUP_LINE_CHARACTERS;
    int length = parser->line
                     ? WideCharToMultiByte(932, 0, parser->line, (int)characters, out->lineText,
                                           sizeof out->lineText - 4, NULL, NULL)
                     : 0;
    out->lineText[length > 0 ? length : 0] = '\0';
    DropDanglingLeadByte(out->lineText);
    if (characters < parser->length) strcat(out->lineText, "…");
    return ERROR_SUCCESS;
}

// The next physical line, without its line break; false at the end of the file. A code page 932
// line that is no code page 932 text is converted as far as it goes and refused.
static bool NextLine(Parser* parser, bool* broken)
{
    *broken = false;
    if (parser->position >= parser->size) return false;
    parser->lineNumber++;
    if (parser->wide) {
        const wchar_t* text = (const wchar_t*)(parser->bytes) + parser->position;
        DWORD end = parser->position;
        DWORD total = parser->size;
        while (end < total && ((const wchar_t*)parser->bytes)[end] != L'\n' &&
               ((const wchar_t*)parser->bytes)[end] != L'\r')
            end++;
        parser->line = text;
        parser->length = end - parser->position;
        if (end < total && ((const wchar_t*)parser->bytes)[end] == L'\r') end++;
        if (end < total && ((const wchar_t*)parser->bytes)[end] == L'\n') end++;
        parser->position = end;
        return true;
    }
    // Neither CR nor LF is ever the second byte of a code page 932 character.
    DWORD end = parser->position;
    while (end < parser->size && parser->bytes[end] != '\n' && parser->bytes[end] != '\r')
        end++;
    const char* start = (const char*)parser->bytes + parser->position;
    int bytes = (int)(end - parser->position);
    parser->length = 0;
    parser->line = parser->converted;
    if (bytes > 0 && GrowBlock((void**)&parser->converted, &parser->convertedCapacity,
                               (DWORD)bytes * sizeof(wchar_t), 1024) == ERROR_SUCCESS) {
        parser->line = parser->converted;
        int length =
            MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, start, bytes, parser->converted, bytes);
        if (length == 0) {
            *broken = true;
            length = MultiByteToWideChar(932, 0, start, bytes, parser->converted, bytes);
        }
        parser->length = length > 0 ? (DWORD)length : 0;
    } else if (bytes > 0) {
        *broken = true;
    }
    if (end < parser->size && parser->bytes[end] == '\r') end++;
    if (end < parser->size && parser->bytes[end] == '\n') end++;
    parser->position = end;
    return true;
}

static bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

static DWORD PoolAdd(Parser* parser, const void* data, DWORD size, DWORD* offset)
{
    if (size > MAXDWORD / 2 - parser->poolSize) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD error =
        GrowBlock((void**)&parser->pool, &parser->poolCapacity, parser->poolSize + size, 65536);
    if (error != ERROR_SUCCESS) return error;
    if (size) memcpy(parser->pool + parser->poolSize, data, size);
    *offset = parser->poolSize;
    parser->poolSize += size;
    return ERROR_SUCCESS;
}

static const wchar_t* PoolName(const Parser* parser, DWORD offset)
{
    return (const wchar_t*)(parser->pool + offset);
}

static bool SameName(const Parser* parser, DWORD offset, DWORD characters, const wchar_t* name,
                     DWORD nameCharacters)
{
    return CompareStringOrdinal(PoolName(parser, offset), (int)characters, name,
                                (int)nameCharacters, TRUE) == CSTR_EQUAL;
}

// The subkey of parent by that name, as the registry matches names, made when it is not there.
static DWORD FindOrAddKey(Parser* parser, int parent, const wchar_t* name, DWORD characters,
                          int* found)
{
    ParsedKey* keys = parser->keys;
    // Files list a key's subkeys one after another: the last one made is tried first.
    int last = keys[parent].lastChild;
    if (last >= 0 &&
        SameName(parser, keys[last].name, keys[last].nameCharacters, name, characters)) {
        *found = last;
        return ERROR_SUCCESS;
    }
    for (int child = keys[parent].firstChild; child >= 0; child = keys[child].next) {
        if (SameName(parser, keys[child].name, keys[child].nameCharacters, name, characters)) {
            *found = child;
            return ERROR_SUCCESS;
        }
    }
    if (keys[parent].children >= MaxNamesPerKey ||
        parser->keyCount + parser->valueCount >= MaxNames)
        return Refuse(parser, BACKUP_TOO_MANY);
    DWORD offset = 0;
    DWORD error = PoolAdd(parser, name, characters * sizeof(wchar_t), &offset);
    if (error == ERROR_SUCCESS)
        error =
            GrowBlock((void**)&parser->keys, &parser->keysCapacity,
                      (DWORD)(parser->keyCount + 1) * sizeof(ParsedKey), 256 * sizeof(ParsedKey));
    if (error != ERROR_SUCCESS) return error;
    keys = parser->keys;
    int added = parser->keyCount++;
    keys[added] = ParsedKey{offset, characters, -1, -1, -1, -1, -1, 0, 0};
    keys[parent].children++;
    if (keys[parent].lastChild >= 0)
        keys[keys[parent].lastChild].next = added;
    else
        keys[parent].firstChild = added;
    keys[parent].lastChild = added;
    *found = added;
    return ERROR_SUCCESS;
}

// A value given again in one key replaces the first, as the registry's editor writes it again.
static DWORD SetParsedValue(Parser* parser, int key, const wchar_t* name, DWORD characters,
                            DWORD type, const BYTE* data, DWORD size)
{
    DWORD dataOffset = 0;
    DWORD error = PoolAdd(parser, data, size, &dataOffset);
    if (error != ERROR_SUCCESS) return error;
    ParsedKey* owner = &parser->keys[key];
    for (int v = owner->firstValue; v >= 0; v = parser->values[v].next) {
        ParsedValue* value = &parser->values[v];
        if (SameName(parser, value->name, value->nameCharacters, name, characters)) {
            value->type = type;
            value->data = dataOffset;
            value->size = size;
            return ERROR_SUCCESS;
        }
    }
    if (owner->values >= MaxNamesPerKey || parser->keyCount + parser->valueCount >= MaxNames)
        return Refuse(parser, BACKUP_TOO_MANY);
    DWORD nameOffset = 0;
    error = PoolAdd(parser, name, characters * sizeof(wchar_t), &nameOffset);
    if (error == ERROR_SUCCESS)
        error = GrowBlock((void**)&parser->values, &parser->valuesCapacity,
                          (DWORD)(parser->valueCount + 1) * sizeof(ParsedValue),
                          1024 * sizeof(ParsedValue));
    if (error != ERROR_SUCCESS) return error;
    int added = parser->valueCount++;
    parser->values[added] = ParsedValue{nameOffset, characters, type, dataOffset, size, -1};
    owner = &parser->keys[key];
    if (owner->lastValue >= 0)
        parser->values[owner->lastValue].next = added;
    else
        owner->firstValue = added;
    owner->lastValue = added;
    owner->values++;
    return ERROR_SUCCESS;
}

// Whether the path begins with the menu's, the whole of a key name; rest is what follows it.
static bool StartsWithMenu(const wchar_t* path, DWORD length, const wchar_t* menu, DWORD* rest)
{
    DWORD menuLength = (DWORD)wcslen(menu);
    if (menuLength == 0 || length < menuLength ||
        CompareStringOrdinal(path, (int)menuLength, menu, (int)menuLength, TRUE) != CSTR_EQUAL)
        return false;
    if (length > menuLength && path[menuLength] != L'\\') return false;
    *rest = menuLength;
    return true;
}

// A key line, "[" already seen at text[0]: the key is found or made in the tree, as current.
static DWORD TakeKeyLine(Parser* parser, const wchar_t* text, DWORD length,
                         const BackupMenus& menus, int* current)
{
    DWORD end = length;
    while (end > 0 && IsBlank(text[end - 1]))
        end--;
    // A key name may hold "]": the path runs to the line's last one.
    if (end < 2 || text[end - 1] != L']') return Refuse(parser, BACKUP_BAD_LINE);
    if (text[1] == L'-') return Refuse(parser, BACKUP_DELETION);
    const wchar_t* path = text + 1;
    DWORD pathLength = end - 2, rest = 0;
    int bits = 0;
    if (StartsWithMenu(path, pathLength, menus.path64, &rest))
        bits = 64;
    else if (StartsWithMenu(path, pathLength, menus.path32, &rest))
        bits = 32;
    if (bits == 0) return Refuse(parser, BACKUP_FOREIGN_KEY);
    if (parser->menuBits != 0 && parser->menuBits != bits) return Refuse(parser, BACKUP_TWO_MENUS);
    parser->menuBits = bits;
    int key = 0, depth = 0;
    DWORD error = ERROR_SUCCESS;
    for (DWORD start = rest + 1; start <= pathLength && error == ERROR_SUCCESS;) {
        DWORD stop = start;
        while (stop < pathLength && path[stop] != L'\\')
            stop++;
        // An empty part or one too long names no key; so deep a path no registry holds.
        // A U+0000 would end the name at the write, naming another key than the file's.
        if (stop == start || stop - start > MaxKeyNameCharacters || ++depth > MaxKeyDepth ||
            wmemchr(path + start, L'\0', stop - start))
            return Refuse(parser, BACKUP_BAD_LINE);
        error = FindOrAddKey(parser, key, path + start, stop - start, &key);
        start = stop + 1;
    }
    *current = key;
    return error;
}

// A quoted text from text[*at] (its opening quote), with \\ and \" taken as the characters they
// stand for, appended to out; false when it does not end.
static bool TakeQuoted(const wchar_t* text, DWORD length, DWORD* at, wchar_t* out, DWORD* outLength)
{
    DWORD i = *at + 1;
    *outLength = 0;
    for (; i < length && text[i] != L'"'; i++) {
        if (text[i] == L'\\' && i + 1 < length && (text[i + 1] == L'\\' || text[i + 1] == L'"'))
            i++;
        out[(*outLength)++] = text[i];
    }
    if (i >= length) return false;
    *at = i + 1;
    return true;
}

static int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

static bool TakePrefix(const wchar_t* text, DWORD length, DWORD* at, const wchar_t* prefix)
{
    DWORD prefixLength = (DWORD)wcslen(prefix);
    if (length - *at < prefixLength || CompareStringOrdinal(text + *at, (int)prefixLength, prefix,
                                                            (int)prefixLength, TRUE) != CSTR_EQUAL)
        return false;
    *at += prefixLength;
    return true;
}

// Bytes being gathered for a value's data.
struct DataBuffer {
    BYTE* bytes;
    DWORD size, capacity;
};

static DWORD PutByte(DataBuffer* data, BYTE byte)
{
    DWORD error = GrowBlock((void**)&data->bytes, &data->capacity, data->size + 1, 1024);
    if (error == ERROR_SUCCESS) data->bytes[data->size++] = byte;
    return error;
}

// Pairs of hex digits separated by commas, from text[at], over as many lines as end in "\"; false
// (with the parser at the line that broke) for anything else.
static bool TakeHex(Parser* parser, DWORD at, DataBuffer* data, DWORD* error)
{
    const wchar_t* text = parser->line;
    DWORD length = parser->length;
    for (;;) {
        while (at < length && IsBlank(text[at]))
            at++;
        if (at == length) return true;
        if (at + 1 < length && HexDigit(text[at]) >= 0 && HexDigit(text[at + 1]) >= 0) {
            *error = PutByte(data, (BYTE)(HexDigit(text[at]) * 16 + HexDigit(text[at + 1])));
            if (*error != ERROR_SUCCESS) return true;
            at += 2;
            while (at < length && IsBlank(text[at]))
                at++;
            if (at == length) return true;
            if (text[at] == L',') {
                at++;
                continue;
            }
        }
        if (text[at] != L'\\') return false;
        // Only blanks may follow the backslash; the next line carries on, indented.
        for (DWORD after = at + 1; after < length; after++)
            if (!IsBlank(text[after])) return false;
        bool broken = false;
        if (!NextLine(parser, &broken) || broken) return false;
        text = parser->line;
        length = parser->length;
        at = 0;
    }
}

// The hex(1), hex(2) and hex(7) data of a REGEDIT4 file are code page 932 text, which the
// registry's editor stores in UTF-16 as the A functions would.
static bool IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

static DWORD WidenData(DataBuffer* data)
{
    if (data->size == 0) return ERROR_SUCCESS;
    int characters =
        MultiByteToWideChar(932, 0, (const char*)data->bytes, (int)data->size, NULL, 0);
    DataBuffer wide = {};
    DWORD error = characters > 0 ? GrowBlock((void**)&wide.bytes, &wide.capacity,
                                             (DWORD)characters * sizeof(wchar_t), 1024)
                                 : ERROR_NO_UNICODE_TRANSLATION;
    if (error == ERROR_SUCCESS) {
        MultiByteToWideChar(932, 0, (const char*)data->bytes, (int)data->size, (wchar_t*)wide.bytes,
                            characters);
        GlobalFree(data->bytes);
        data->bytes = wide.bytes;
        data->capacity = wide.capacity;
        data->size = (DWORD)characters * sizeof(wchar_t);
    }
    return error;
}

// A value line, its name quoted or "@": the value set in the current key. Refusals are told
// through the parser; the error is the memory's.
static DWORD TakeValueLine(Parser* parser, DWORD at, int current, wchar_t* name)
{
    const wchar_t* text = parser->line;
    DWORD length = parser->length, nameLength = 0;
    if (text[at] == L'@') {
        at++;
    } else if (!TakeQuoted(text, length, &at, name, &nameLength)) {
        return Refuse(parser, BACKUP_BAD_LINE);
    }
    // The registry's longest value name; a U+0000 would end the name at the write, writing
    // another value than the file's: refused here, before anything is written.
    if (nameLength > MaxValueNameCharacters || wmemchr(name, L'\0', nameLength))
        return Refuse(parser, BACKUP_BAD_LINE);
    while (at < length && IsBlank(text[at]))
        at++;
    if (at == length || text[at] != L'=') return Refuse(parser, BACKUP_BAD_LINE);
    at++;
    while (at < length && IsBlank(text[at]))
        at++;
    if (at < length && text[at] == L'-') return Refuse(parser, BACKUP_DELETION);
    if (current < 0) return Refuse(parser, BACKUP_BAD_LINE);
    if (current == 0) return Refuse(parser, BACKUP_MENU_VALUE);
    DWORD type = REG_SZ;
    DataBuffer data = {};
    DWORD error = ERROR_SUCCESS;
    bool readable = true;
    if (at < length && text[at] == L'"') {
        // The quoted text takes the rest of the line's room: its own characters and a terminator.
        wchar_t* string = NULL;
        DWORD capacity = 0, stringLength = 0;
        error = GrowBlock((void**)&string, &capacity, (length + 1) * sizeof(wchar_t), 1024);
        if (error == ERROR_SUCCESS) {
            readable = TakeQuoted(text, length, &at, string, &stringLength);
            while (readable && at < length && IsBlank(text[at]))
                at++;
            readable = readable && at == length;
            string[stringLength] = L'\0';
            data.bytes = (BYTE*)string;
            data.capacity = capacity;
            data.size = (stringLength + 1) * sizeof(wchar_t);
        }
    } else if (TakePrefix(text, length, &at, L"dword:")) {
        type = REG_DWORD;
        DWORD number = 0, digits = 0;
        for (; at < length && HexDigit(text[at]) >= 0 && digits < 9; at++, digits++)
            number = number * 16 + (DWORD)HexDigit(text[at]);
        while (at < length && IsBlank(text[at]))
            at++;
        readable = digits >= 1 && digits <= 8 && at == length;
        for (int i = 0; readable && error == ERROR_SUCCESS && i < 4; i++)
            error = PutByte(&data, (BYTE)(number >> (8 * i)));
    } else if (TakePrefix(text, length, &at, L"hex")) {
        type = REG_BINARY;
        if (at < length && text[at] == L'(') {
            DWORD digits = 0;
            type = 0;
            for (at++; at < length && HexDigit(text[at]) >= 0 && digits < 9; at++, digits++)
                type = type * 16 + (DWORD)HexDigit(text[at]);
            readable = digits >= 1 && digits <= 8 && at < length && text[at] == L')';
            at++;
        }
        readable = readable && at < length && text[at] == L':';
        if (readable) readable = TakeHex(parser, at + 1, &data, &error);
        if (readable && error == ERROR_SUCCESS && !parser->wide && IsTextType(type))
            error = WidenData(&data);
    } else {
        readable = false;
    }
    if (error == ERROR_SUCCESS && !readable)
        error = Refuse(parser, BACKUP_BAD_LINE);
    else if (error == ERROR_SUCCESS)
        error = SetParsedValue(parser, current, name, nameLength, type, data.bytes, data.size);
    if (data.bytes) GlobalFree(data.bytes);
    return error;
}

// The tree below key, depth first, into the record; its entries are the menu key's subkeys.
static DWORD AppendKey(const Parser* parser, int key, KeyRecord* record)
{
    const ParsedKey& parsed = parser->keys[key];
    DWORD error =
        AppendRecordItem(record, KEY_BEGIN, PoolName(parser, parsed.name), parsed.nameCharacters);
    for (int v = parsed.firstValue; v >= 0 && error == ERROR_SUCCESS; v = parser->values[v].next) {
        const ParsedValue& value = parser->values[v];
        error = AppendRecordValue(record, PoolName(parser, value.name), value.nameCharacters,
                                  value.type, parser->pool + value.data, value.size);
    }
    for (int child = parsed.firstChild; child >= 0 && error == ERROR_SUCCESS;
         child = parser->keys[child].next)
        error = AppendKey(parser, child, record);
    return error == ERROR_SUCCESS ? AppendRecordItem(record, KEY_END, NULL, 0) : error;
}

static bool LineIs(const Parser* parser, const wchar_t* text)
{
    DWORD length = parser->length;
    while (length > 0 && IsBlank(parser->line[length - 1]))
        length--;
    return length == wcslen(text) && wmemcmp(parser->line, text, length) == 0;
}

// "; 32 ビット版 Cakewalk のメニュー": which Cakewalk's menu the backup was made of.
static void NoteMenuName(Parser* parser, DWORD at)
{
    const RegistryView views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    for (RegistryView view : views) {
        wchar_t name[64] = L"; ";
        if (MultiByteToWideChar(932, 0, MenuName(view), -1, name + 2, 62) == 0) continue;
        DWORD length = (DWORD)wcslen(name);
        if (parser->length - at >= length && wmemcmp(parser->line + at, name, length) == 0 &&
            (parser->length - at == length || IsBlank(parser->line[at + length])))
            parser->namedBits = ViewBits(view);
    }
}

static DWORD ParseLines(Parser* parser, const BackupMenus& menus, wchar_t** name,
                        DWORD* nameCapacity)
{
    bool broken = false;
    int current = -1;
    DWORD error = ERROR_SUCCESS;
    if (!NextLine(parser, &broken) || broken ||
        !LineIs(parser, parser->wide ? L"Windows Registry Editor Version 5.00" : L"REGEDIT4"))
        return Refuse(parser, BACKUP_NOT_REGISTRY_FILE);
    while (error == ERROR_SUCCESS && parser->out->refusal == BACKUP_READ &&
           NextLine(parser, &broken)) {
        if (broken) return Refuse(parser, BACKUP_BAD_LINE);
        DWORD at = 0;
        while (at < parser->length && IsBlank(parser->line[at]))
            at++;
        if (at < parser->length && parser->line[at] == L';' && parser->menuBits == 0)
            NoteMenuName(parser, at);
        if (at == parser->length || parser->line[at] == L';') continue;
        wchar_t first = parser->line[at];
        if (first == L'[') {
            error = TakeKeyLine(parser, parser->line + at, parser->length - at, menus, &current);
        } else if (first == L'"' || first == L'@') {
            // A value's name is at most as long as its line.
            error =
                GrowBlock((void**)name, nameCapacity, (parser->length + 1) * sizeof(wchar_t), 1024);
            if (error == ERROR_SUCCESS) error = TakeValueLine(parser, at, current, *name);
        } else {
            error = Refuse(parser, BACKUP_BAD_LINE);
        }
    }
    return error;
}

// A line of no file has a number: a refusal of the file as a whole names none.
static void RefuseWhole(BackupFile* out, BackupRefusal refusal)
{
    out->refusal = refusal;
    out->line = 0;
    out->lineText[0] = '\0';
}

DWORD ParseBackupText(const BYTE* bytes, DWORD size, const BackupMenus& menus, BackupFile* out)
{
    ZeroMemory(out, sizeof *out);
    if (size > BACKUP_FILE_LIMIT) {
        RefuseWhole(out, BACKUP_TOO_LARGE);
        return ERROR_SUCCESS;
    }
    if (IsUtf8File(bytes, size)) {
        RefuseWhole(out, BACKUP_UTF8_FILE);
        return ERROR_SUCCESS;
    }
    Parser parser = {};
    parser.out = out;
    parser.bytes = bytes;
    parser.size = size;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        // Counted in UTF-16 units from here on; an odd last byte is no character.
        parser.wide = true;
        parser.bytes = bytes + 2;
        parser.size = (size - 2) / sizeof(wchar_t);
    }
    wchar_t* name = NULL;
    DWORD nameCapacity = 0;
    // Key 0 is the Tools Menu key, whose subkeys are the entries.
    DWORD error = GrowBlock((void**)&parser.keys, &parser.keysCapacity, 256 * sizeof(ParsedKey),
                            256 * sizeof(ParsedKey));
    if (error == ERROR_SUCCESS) {
        parser.keys[0] = ParsedKey{0, 0, -1, -1, -1, -1, -1, 0, 0};
        parser.keyCount = 1;
        error = ParseLines(&parser, menus, &name, &nameCapacity);
    }
    if (error == ERROR_SUCCESS && out->refusal == BACKUP_READ) {
        out->pathBits = parser.menuBits;
        out->namedBits = parser.namedBits;
        for (int entry = parser.keys[0].firstChild; entry >= 0 && error == ERROR_SUCCESS;
             entry = parser.keys[entry].next)
            error = AppendKey(&parser, entry, &out->record);
    }
    if (error != ERROR_SUCCESS) FreeKeyRecord(&out->record);
    if (name) GlobalFree(name);
    if (parser.converted) GlobalFree(parser.converted);
    if (parser.keys) GlobalFree(parser.keys);
    if (parser.values) GlobalFree(parser.values);
    if (parser.pool) GlobalFree(parser.pool);
    return error;
}

DWORD ReadBackupFile(const char* file, BackupFile* out)
{
    ZeroMemory(out, sizeof *out);
    BackupMenus menus;
    DWORD error = ToolsMenuRegistryPath(KEY_WOW64_64KEY, menus.path64, BACKUP_PATH_CHARACTERS);
    if (error == ERROR_SUCCESS)
        error = ToolsMenuRegistryPath(KEY_WOW64_32KEY, menus.path32, BACKUP_PATH_CHARACTERS);
    if (error != ERROR_SUCCESS) return error;
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    LARGE_INTEGER size;
    BYTE* bytes = NULL;
    DWORD read = 0;
    if (!GetFileSizeEx(handle, &size)) {
        error = LastErrorOr(ERROR_READ_FAULT);
    } else if (size.QuadPart > BACKUP_FILE_LIMIT) {
        RefuseWhole(out, BACKUP_TOO_LARGE);
    } else if (!(bytes = (BYTE*)GlobalAlloc(GMEM_FIXED, (SIZE_T)size.QuadPart + 1))) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    } else if (!ReadFile(handle, bytes, (DWORD)size.QuadPart, &read, NULL)) {
        error = LastErrorOr(ERROR_READ_FAULT);
    } else if (read != (DWORD)size.QuadPart) {
        // Half a file would hold half an entry, and the restore deletes what the record lacks.
        error = ERROR_HANDLE_EOF;
    }
    CloseHandle(handle);
    if (error == ERROR_SUCCESS && bytes) error = ParseBackupText(bytes, read, menus, out);
    if (bytes) GlobalFree(bytes);
    return error;
}

void FreeBackupFile(BackupFile* backup)
{
    FreeKeyRecord(&backup->record);
}

// Why a file is refused, after the line that shows where.
static const char* RefusalReason(BackupRefusal refusal)
{
    switch (refusal) {
    case BACKUP_READ: break;
    case BACKUP_TOO_LARGE: return "64 MB を超えるファイルは戻せません。";
    case BACKUP_UTF8_FILE:
        return "UTF-8 のファイルは戻せません。UTF-16 (Unicode) で保存し直してください。";
    case BACKUP_NOT_REGISTRY_FILE:
        return "レジストリ ファイルは「Windows Registry Editor Version 5.00」(UTF-16) か"
               "「REGEDIT4」の行で始まります。";
    case BACKUP_FOREIGN_KEY: return "[ツール] メニュー以外のキーが含まれています。";
    case BACKUP_TWO_MENUS: return "32 ビット版と 64 ビット版の両方のメニューが含まれています。";
    case BACKUP_DELETION: return "削除の指定が含まれています。";
    case BACKUP_MENU_VALUE:
        return "[ツール] メニューのキーそのものの値は、ツールではないため戻せません。";
    case BACKUP_BAD_LINE: return "この行を読めません。";
    case BACKUP_TOO_MANY: return "値やサブキーが多すぎます。";
    }
    return "";
}

// The file's name, the line and the reason, and that nothing was written.
enum { REFUSAL_TEXT_SIZE = MAX_PATH + BACKUP_LINE_CHARACTERS * 2 + 512 };

static void WarnRefused(HWND owner, const char* file, const BackupFile& backup)
{
    char text[REFUSAL_TEXT_SIZE], where[BACKUP_LINE_CHARACTERS * 2 + 32] = "";
    if (backup.line > 0)
        snprintf(where, sizeof where, "%d 行目: %s\n", backup.line, backup.lineText);
    snprintf(text, sizeof text,
             "'%s'\nこのファイルは [ツール] メニューのバックアップとして戻せません。"
             "何も書き込んでいません。\n\n%s%s",
             FileNameOf(file), where, RefusalReason(backup.refusal));
    ShowMessage(owner, text, "", MB_OK | MB_ICONEXCLAMATION);
}

// The Cakewalk whose menu the backup holds: the one its comment names, else its keys' (on
// 32-bit Windows, where the plain key is the only menu, this one's).
static int BackupBits(const BackupFile& backup)
{
    if (backup.namedBits) return backup.namedBits;
    if (backup.pathBits == 64 && OtherView() == THIS_VIEW) return ViewBits(THIS_VIEW);
    return backup.pathBits;
}

static void RestoreFile(HWND owner, const char* file, void*)
{
    BackupFile backup;
    DWORD error = ReadBackupFile(file, &backup);
    if (error != ERROR_SUCCESS) {
        ReportSystemError(owner, error);
    } else if (backup.refusal != BACKUP_READ) {
        WarnRefused(owner, file, backup);
    } else {
        int bits = BackupBits(backup);
        bool restore = true;
        // Only a Yes writes: a box that could not be shown answers nothing.
        if (bits != 0 && bits != ViewBits(THIS_VIEW)) {
            char text[256];
            snprintf(text, sizeof text,
                     "このバックアップは %s Cakewalk のメニューのものです。\n%s Cakewalk の"
                     "メニューへ戻しますか？",
                     EditionName(bits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY),
                     EditionName(THIS_VIEW));
            restore = ShowMessage(owner, text, "バックアップから戻す",
                                  MB_YESNO | MB_ICONQUESTION) == IDYES;
        }
        if (restore) RestoreEntries(owner, &backup.record, FileNameOf(file));
    }
    FreeBackupFile(&backup);
}

void RestoreFromBackup(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, RegFilter, "バックアップ ファイルを開く",
                      "reg");
    RunFileDialogSpan(&ofn, false, RestoreFile, NULL);
}
