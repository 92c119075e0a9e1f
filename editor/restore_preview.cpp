// What putting many entries into a menu would change, shown row by row before anything is
// written: a backup into this copy's menu, or this menu into the other one.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "res/resource.h"

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

// The words of one command's preview, and what it does with the rows it is given.
struct PreviewCommand {
    const char* caption;
    const char* note;          // the list's label
    const char* onlyPresent;   // the state of an entry that only the written menu holds
    bool onlyPresentCheckable; // checking one deletes it
    RegistryView view;         // the menu written
};

struct PreviewDialog {
    const PreviewCommand* command;
    const PreviewRow* rows;
    int count;
    bool* checked;
    bool filling; // the rows' own boxes are being set
};

static bool Checkable(const PreviewDialog& dialog, int row)
{
    PreviewState state = dialog.rows[row].state;
    return state == PREVIEW_NEW || state == PREVIEW_CHANGED ||
           (state == PREVIEW_ONLY_PRESENT && dialog.command->onlyPresentCheckable);
}

static const char* StateWord(const PreviewDialog& dialog, PreviewState state)
{
    switch (state) {
    case PREVIEW_NEW: return "新規";
    case PREVIEW_CHANGED: return "変更あり";
    case PREVIEW_SAME: return "同じ";
    case PREVIEW_ONLY_PRESENT: break;
    }
    return dialog.command->onlyPresent;
}

// Column widths in dialog units: the name takes what the state leaves.
static const int StateColumnWidth = 70;

static void AddColumn(HWND list, int index, const char* title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (char*)title;
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

static void SetCheckBox(HWND list, int row, int image)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

static void FillPreview(HWND dialog, PreviewDialog* preview)
{
    SetWindowTextA(dialog, preview->command->caption);
    SetDlgItemTextA(dialog, IDC_PREVIEW_NOTE, preview->command->note);
    HWND list = GetDlgItem(dialog, IDC_PREVIEW_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT client, units = {0, 0, StateColumnWidth, 0};
    GetClientRect(list, &client);
    MapDialogRect(dialog, &units);
    int nameWidth = client.right - units.right - GetSystemMetrics(SM_CXVSCROLL);
    AddColumn(list, 0, "名前", nameWidth > 0 ? nameWidth : units.right);
    AddColumn(list, 1, "状態", units.right);
    preview->filling = true;
    for (int i = 0; i < preview->count; i++) {
        // Names in UTF-16, as the registry holds them, whatever the system's code page.
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = (wchar_t*)preview->rows[i].name;
        item.lParam = i;
        // Rows stand at their own index, which the checks are read back by: a list that takes
        // no more rows ends the dialog rather than offer boxes that belong to other entries.
        int row = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
        if (row != i) {
            preview->filling = false;
            ReportSystemError(dialog, ERROR_NOT_ENOUGH_MEMORY);
            EndDialog(dialog, IDCANCEL);
            return;
        }
        wchar_t state[32] = L"";
        MultiByteToWideChar(932, 0, StateWord(*preview, preview->rows[i].state), -1, state, 32);
        LVITEMW sub = {};
        sub.iSubItem = 1;
        sub.pszText = state;
        SendMessageW(list, LVM_SETITEMTEXTW, (WPARAM)row, (LPARAM)&sub);
        // A row that cannot be checked shows no box at all.
        SetCheckBox(list, row, Checkable(*preview, i) ? (preview->checked[i] ? 2 : 1) : 0);
    }
    preview->filling = false;
    if (preview->count > 0) {
        LVITEMA focus = {};
        focus.stateMask = focus.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&focus);
    }
}

// A row that cannot be checked keeps its box as it is, whether clicked or toggled by Space.
static bool RefuseCheck(const PreviewDialog& preview, const NMLISTVIEW* change)
{
    if (preview.filling || change->iItem < 0 || change->iItem >= preview.count) return false;
    if (!(change->uChanged & LVIF_STATE)) return false;
    bool boxChanges = ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0;
    return boxChanges && !Checkable(preview, change->iItem);
}

static void TakeChecks(HWND dialog, PreviewDialog* preview)
{
    HWND list = GetDlgItem(dialog, IDC_PREVIEW_LIST);
    for (int i = 0; i < preview->count; i++) {
        UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)i, LVIS_STATEIMAGEMASK);
        preview->checked[i] =
            Checkable(*preview, i) && (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    }
}

static INT_PTR CALLBACK PreviewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PreviewDialog* preview = (PreviewDialog*)GetWindowLongPtrA(hwnd, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        FillPreview(hwnd, (PreviewDialog*)lParam);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (preview && header->idFrom == IDC_PREVIEW_LIST && header->code == LVN_ITEMCHANGING &&
            RefuseCheck(*preview, (const NMLISTVIEW*)lParam)) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            TakeChecks(hwnd, preview);
            EndDialog(hwnd, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

// An entry's name as the registry's A functions take it; false when the system's code page
// lacks one of its characters, so that no undo step could name the key.
static bool AnsiName(const wchar_t* name, char* out, DWORD size)
{
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, out, (int)size, NULL,
                                     &usedDefault);
    if (length == 0) out[0] = '\0';
    return length > 0 && !usedDefault;
}

// The text of a failure that names the entry: the key could not be written as the preview said.
enum { FAILURE_TEXT_SIZE = TOOL_TEXT_SIZE + 1024 };

static void ReportEntryFailure(HWND hwnd, const KeyRecord* written, RegistryView view, DWORD error)
{
    int count = CountEntryKeys(written);
    UINT64 *now = NULL, *wanted = NULL;
    // Room for the longest key name in code page 932 (255 characters of two bytes each).
    char name[2 * TOOL_TEXT_SIZE] = "";
    if (AllocateArray((void**)&now, (size_t)count, sizeof *now) == ERROR_SUCCESS &&
        AllocateArray((void**)&wanted, (size_t)count, sizeof *wanted) == ERROR_SUCCESS &&
        DigestEntryKeys(view, written, now) == ERROR_SUCCESS) {
        DigestRecordedKeys(written, wanted);
        KeyItem item;
        int i = 0;
        for (DWORD position = 0; NextEntryKey(written, &position, &item); i++) {
            if (now[i] == wanted[i]) continue;
            NarrowName(item.name, item.nameCharacters, name, sizeof name);
            break;
        }
    }
    if (now) GlobalFree(now);
    if (wanted) GlobalFree(wanted);
    char system[512];
    SystemErrorText(error, system, sizeof system);
    char text[FAILURE_TEXT_SIZE];
    snprintf(text, sizeof text,
             "'%s'\nこのツールを書き込めませんでした。書き込めたものは [元に戻す] で"
             "まとめて取り消せます。\n\n%s",
             name, system);
    ShowMessage(hwnd, text, "", MB_OK | MB_ICONHAND);
}

// Writes the checked rows into the command's menu as one step of 元に戻す: an incoming entry's
// tree as incoming holds it, an entry only the menu holds deleted. The number written, or -1 when
// nothing was (a refusal or a failure has been reported).
static int WriteCheckedRows(HWND hwnd, const PreviewCommand& command, const char* label,
                            const KeyRecord* incoming, const PreviewRow* rows, int count,
                            const bool* checked)
{
    KeyRecord written = {};
    char(*names)[TOOL_TEXT_SIZE] = NULL;
    const char** pointers = NULL;
    int chosen = 0;
    DWORD error = AllocateArray((void**)&names, (size_t)count, sizeof *names);
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&pointers, (size_t)count, sizeof *pointers);
    int unnamable = -1;
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++) {
        if (!checked[i]) continue;
        if (!AnsiName(rows[i].name, names[chosen], TOOL_TEXT_SIZE)) {
            unnamable = i;
            break;
        }
        pointers[chosen] = names[chosen];
        chosen++;
        error =
            rows[i].state == PREVIEW_ONLY_PRESENT
                ? AppendRecordItem(&written, KEY_ABSENT, rows[i].name, (DWORD)wcslen(rows[i].name))
                : CopyKeyTree(incoming, rows[i].position, &written);
    }
    int result = -1;
    if (error == ERROR_SUCCESS && unnamable < 0 && chosen == 0) {
        result = 0;
    } else if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
    } else if (unnamable >= 0) {
        char text[FAILURE_TEXT_SIZE + TOOL_TEXT_SIZE], name[2 * TOOL_TEXT_SIZE];
        const wchar_t* wide = rows[unnamable].name;
        bool fits = NarrowName(wide, (DWORD)wcslen(wide), name, TOOL_TEXT_SIZE);
        if (!fits) NarrowName(wide, (DWORD)wcslen(wide), name, sizeof name);
        snprintf(text, sizeof text,
                 fits ? "'%s'\nこのツールの名前には、このシステムの文字コードにない文字があるため、"
                        "元に戻すための記録を取れません。何も変更していません。"
                      : "'%s'\nこのツールの名前は長すぎるため、元に戻すための記録を取れません。"
                        "何も変更していません。",
                 name);
        ShowMessage(hwnd, text, "", MB_OK | MB_ICONEXCLAMATION);
    } else if (BeginUndoStep(hwnd, command.view == THIS_VIEW ? UNDO_RESTORE : UNDO_COPY, label,
                             command.view, pointers, chosen)) {
        error = RestoreEntryKeys(command.view, &written);
        EndUndoStep(error == ERROR_SUCCESS);
        if (command.view == THIS_VIEW) RefreshToolList(hwnd);
        if (error != ERROR_SUCCESS)
            ReportEntryFailure(hwnd, &written, command.view, error);
        else
            result = chosen;
    }
    FreeKeyRecord(&written);
    if (names) GlobalFree(names);
    if (pointers) GlobalFree(pointers);
    return result;
}

// Compares, shows the preview and writes what the user checked; the number of rows written, 0
// when none were checked or the preview was cancelled, -1 after a reported failure.
static int RunPreview(HWND hwnd, const PreviewCommand& command, const char* label,
                      const KeyRecord* incoming, const KeyRecord* present)
{
    PreviewRow* rows = NULL;
    int count = 0;
    bool* checked = NULL;
    DWORD error = ComparePreview(incoming, present, &rows, &count);
    if (error == ERROR_SUCCESS) error = AllocateArray((void**)&checked, (size_t)count, 1);
    if (error != ERROR_SUCCESS) {
        if (rows) GlobalFree(rows);
        ReportSystemError(hwnd, error);
        return -1;
    }
    for (int i = 0; i < count; i++)
        checked[i] = rows[i].state == PREVIEW_NEW || rows[i].state == PREVIEW_CHANGED;
    PreviewDialog dialog = {&command, rows, count, checked, false};
    int written = 0;
    INT_PTR ended = RunCentredDialog(IDD_RESTORE_PREVIEW, hwnd, PreviewProc, (LPARAM)&dialog);
    if (ended == IDOK) {
        written = WriteCheckedRows(hwnd, command, label, incoming, rows, count, checked);
    } else if (ended == -1 || ended == 0) {
        // No dialog, no choice: the command must still say why nothing happened.
        ReportSystemError(hwnd, LastErrorOr(ERROR_CANCELLED));
        written = -1;
    }
    GlobalFree(rows);
    GlobalFree(checked);
    return written;
}

void RestoreEntries(HWND hwnd, const KeyRecord* incoming, const char* label)
{
    KeyRecord present = {};
    DWORD error = RecordMenuEntries(THIS_VIEW, &present);
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        return;
    }
    const PreviewCommand command = {"バックアップから戻す",
                                    "チェックしたツールを、バックアップの内容にします(&L):",
                                    "バックアップにない", true, THIS_VIEW};
    int written = RunPreview(hwnd, command, label, incoming, &present);
    FreeKeyRecord(&present);
    if (written > 0) SayResult(hwnd, "%d 件のツールをバックアップから戻しました。", written);
}

void CopyAllToOtherMenu(HWND hwnd)
{
    RegistryView other = OtherView();
    if (other == THIS_VIEW) return; // one menu only: the item is not there
    KeyRecord incoming = {}, present = {};
    DWORD error = RecordMenuEntries(THIS_VIEW, &incoming);
    if (error == ERROR_SUCCESS) error = RecordMenuEntries(other, &present);
    if (error != ERROR_SUCCESS) {
        FreeKeyRecord(&incoming);
        ReportSystemError(hwnd, error);
        return;
    }
    char note[128];
    snprintf(note, sizeof note, "チェックしたツールを、%sへコピーします(&L):", MenuName(other));
    const PreviewCommand command = {"もう一方のメニューへコピー", note, "このメニューにない", false,
                                    other};
    char label[64];
    snprintf(label, sizeof label, "%d 件のツール", CountEntryKeys(&incoming));
    int written = RunPreview(hwnd, command, label, &incoming, &present);
    FreeKeyRecord(&incoming);
    FreeKeyRecord(&present);
    if (written > 0)
        SayResult(hwnd, "%d 件のツールを %sにコピーしました。", written, MenuName(other));
}
