// What putting many entries into a menu would change, shown row by row before anything is
// written: a backup into this copy's menu, or this menu into the other one.
#include <windows.h>
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
