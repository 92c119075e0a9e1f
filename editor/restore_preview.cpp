// What putting many entries into a menu would change, shown row by row before anything is
// written: a backup into this copy's menu, or this menu into the other one.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include "editor/editor.h"

// Walks the items of one key's tree from position (its KEY_BEGIN) into out, as they are.
static DWORD CopyKeyTree(const KeyRecord* record, DWORD position, KeyRecord* out)
{
    DWORD error = ERROR_SUCCESS;
    KeyItem item;
    for (int depth = 0; error == ERROR_SUCCESS && NextKeyItem(record, &position, &item);) {
        if (item.kind == KEY_VALUE)
            error = AppendRecordValue(out, item.name, item.nameCharacters, item.type, item.data,
                                      item.dataSize);
        else
            error = AppendRecordItem(out, item.kind, item.name, item.nameCharacters);
        depth += item.kind == KEY_BEGIN ? 1 : item.kind == KEY_END ? -1 : 0;
        if (depth <= 0) break;
    }
    return error;
}

DWORD RecordMenuEntries(RegistryView view, KeyRecord* entries)
{
    KeyRecord menu = {};
    DWORD error = RecordToolsMenu(view, &menu);
    if (error != ERROR_SUCCESS) return error;
    // The menu key's own values are no entry; its subkeys, each with its tree, are.
    DWORD position = 0;
    KeyItem item;
    if (NextKeyItem(&menu, &position, &item) && item.kind == KEY_BEGIN) {
        for (;;) {
            DWORD at = position;
            if (error != ERROR_SUCCESS || !NextKeyItem(&menu, &position, &item) ||
                item.kind == KEY_END)
                break;
            if (item.kind != KEY_BEGIN) continue;
            error = CopyKeyTree(&menu, at, entries);
            position = at;
            NextEntryKey(&menu, &position, &item);
        }
    }
    FreeKeyRecord(&menu);
    if (error != ERROR_SUCCESS) FreeKeyRecord(entries);
    return error;
}

// An entry of the present menu, found by name as the registry finds keys.
struct PresentEntry {
    const wchar_t* name;
    DWORD nameCharacters;
    int index;
};

static int ComparePresent(const void* a, const void* b)
{
    const PresentEntry* x = (const PresentEntry*)a;
    const PresentEntry* y = (const PresentEntry*)b;
    return CompareStringOrdinal(x->name, (int)x->nameCharacters, y->name, (int)y->nameCharacters,
                                TRUE) -
           CSTR_EQUAL;
}

static void TakeName(const KeyItem& item, PreviewRow* row)
{
    DWORD length = item.nameCharacters < PREVIEW_NAME_CHARACTERS ? item.nameCharacters
                                                                 : PREVIEW_NAME_CHARACTERS - 1;
    memcpy(row->name, item.name, length * sizeof(wchar_t));
    row->name[length] = L'\0';
}

DWORD ComparePreview(const KeyRecord* incoming, const KeyRecord* present, PreviewRow** rows,
                     int* count)
{
    *rows = NULL;
    *count = 0;
    int incomingCount = CountEntryKeys(incoming), presentCount = CountEntryKeys(present);
    UINT64 *incomingDigests = NULL, *presentDigests = NULL;
    PresentEntry* sorted = NULL;
    bool* matched = NULL;
    DWORD error = AllocateArray((void**)&incomingDigests, (size_t)incomingCount, sizeof(UINT64));
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&presentDigests, (size_t)presentCount, sizeof(UINT64));
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&sorted, (size_t)presentCount, sizeof *sorted);
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&matched, (size_t)presentCount, sizeof *matched);
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)rows, (size_t)incomingCount + (size_t)presentCount,
                              sizeof **rows);
    if (error == ERROR_SUCCESS) {
        DigestRecordedKeys(incoming, incomingDigests);
        DigestRecordedKeys(present, presentDigests);
        KeyItem item;
        int n = 0;
        for (DWORD position = 0; n < presentCount && NextEntryKey(present, &position, &item); n++)
            sorted[n] = PresentEntry{item.name, item.nameCharacters, n};
        qsort(sorted, (size_t)n, sizeof *sorted, ComparePresent);
        int i = 0;
        for (DWORD position = 0, at = 0;
             i < incomingCount && NextEntryKey(incoming, &position, &item); at = position, i++) {
            PreviewRow* row = &(*rows)[(*count)++];
            TakeName(item, row);
            row->position = at;
            PresentEntry key = {item.name, item.nameCharacters, 0};
            const PresentEntry* found = n ? (const PresentEntry*)bsearch(&key, sorted, (size_t)n,
                                                                         sizeof key, ComparePresent)
                                          : NULL;
            if (!found) {
                row->state = PREVIEW_NEW;
                continue;
            }
            matched[found->index] = true;
            row->state =
                incomingDigests[i] == presentDigests[found->index] ? PREVIEW_SAME : PREVIEW_CHANGED;
        }
        int p = 0;
        for (DWORD position = 0, at = 0;
             p < presentCount && NextEntryKey(present, &position, &item); at = position, p++) {
            if (matched[p]) continue;
            PreviewRow* row = &(*rows)[(*count)++];
            TakeName(item, row);
            row->position = at;
            row->state = PREVIEW_ONLY_PRESENT;
        }
    }
    if (incomingDigests) GlobalFree(incomingDigests);
    if (presentDigests) GlobalFree(presentDigests);
    if (sorted) GlobalFree(sorted);
    if (matched) GlobalFree(matched);
    if (error != ERROR_SUCCESS && *rows) {
        GlobalFree(*rows);
        *rows = NULL;
        *count = 0;
    }
    return error;
}
