// 元に戻す: the entry keys each command was about to change, kept in memory while the program runs,
// with what the command left, so that nothing written since by another program goes unasked.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"

// after holds one digest per entry key of record, in its order: the keys as the command left
// them. Without it (no memory when the command ended) every key that differs from the record is
// taken as changed since.
struct UndoStep {
    KeyRecord record;
    RegistryView view;
    UndoKind kind;
    char label[TOOL_TEXT_SIZE];
    UINT64* after;
    int entries;
};

// Deep enough for a working session; the oldest steps go first when memory runs short.
static const int MaxUndoSteps = 50;
static UndoStep* UndoSteps[MaxUndoSteps];
static int UndoStepCount;
// The step of the command that is running, between BeginUndoStep and EndUndoStep.
static UndoStep* PendingStep;

static void FreeStep(UndoStep* step)
{
    FreeKeyRecord(&step->record);
    if (step->after) GlobalFree(step->after);
    GlobalFree(step);
}

static void DropOldestStep()
{
    FreeStep(UndoSteps[0]);
    memmove(UndoSteps, UndoSteps + 1, (UndoStepCount - 1) * sizeof UndoSteps[0]);
    UndoStepCount--;
}

bool BeginUndoStep(HWND hwnd, UndoKind kind, const char* label, RegistryView view,
                   const char* const* names, int count)
{
    UndoStep* step = (UndoStep*)GlobalAlloc(GPTR, sizeof(UndoStep));
    DWORD error = step ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    // Older steps make room only for a record that could fit at all.
    while (step) {
        error = RecordEntryKeys(view, names, count, &step->record);
        if (error != ERROR_NOT_ENOUGH_MEMORY || UndoStepCount == 0) break;
        DropOldestStep();
    }
    // Without a way back the command does not run at all.
    if (error != ERROR_SUCCESS) {
        if (step) GlobalFree(step);
        if (error == ERROR_ARITHMETIC_OVERFLOW)
            ShowMessage(hwnd,
                        "この操作で変わるツールが多すぎるため、元に戻すための記録を取れません。\n"
                        "何も変更していません。",
                        "", MB_OK | MB_ICONEXCLAMATION);
        else
            ReportSystemError(hwnd, error);
        return false;
    }
    step->view = view;
    step->kind = kind;
    lstrcpynA(step->label, label, sizeof step->label);
    PendingStep = step;
    return true;
}

// Takes the step's digests of the keys as they are now; on failure the step keeps none.
static void TakeDigests(UndoStep* step)
{
    if (!step->after) {
        step->entries = CountEntryKeys(&step->record);
        if (AllocateArray((void**)&step->after, (size_t)step->entries, sizeof(UINT64)) !=
            ERROR_SUCCESS)
            return;
    }
    if (DigestEntryKeys(step->view, &step->record, step->after) != ERROR_SUCCESS) {
        GlobalFree(step->after);
        step->after = NULL;
    }
}

// Whether the keys as the command left them are those it found; false when that is not known.
static bool ChangedNothing(const UndoStep* step)
{
    UINT64* recorded = NULL;
    if (!step->after ||
        AllocateArray((void**)&recorded, (size_t)step->entries, sizeof *recorded) != ERROR_SUCCESS)
        return false;
    DigestRecordedKeys(&step->record, recorded);
    bool same = memcmp(recorded, step->after, (size_t)step->entries * sizeof *recorded) == 0;
    GlobalFree(recorded);
    return same;
}

void EndUndoStep(bool succeeded)
{
    UndoStep* step = PendingStep;
    PendingStep = NULL;
    if (!step) return;
    TakeDigests(step);
    // A command refused before its first write leaves nothing to undo; one that failed half-way
    // is undone like any other.
    if (!succeeded && ChangedNothing(step)) {
        FreeStep(step);
        return;
    }
    if (UndoStepCount == MaxUndoSteps) DropOldestStep();
    UndoSteps[UndoStepCount++] = step;
}

// Long enough to tell entries apart in a menu, short enough for the menu to stay on the screen.
enum { UNDO_LABEL_BYTES = 40 };

// "'label' の登録": the step as the menu item names it, its label cut; forMenu doubles "&", which
// a menu would take for the next letter's underline and the status bar shows as it is.
static void DescribeStep(const UndoStep* step, bool forMenu, char* text, DWORD size)
{
    char label[UNDO_LABEL_BYTES + 1];
    lstrcpynA(label, step->label, sizeof label);
    DropDanglingLeadByte(label);
    char shown[2 * sizeof label + 8];
    char* out = shown;
    for (const char* p = label; *p; p++) {
        if (*p == '&' && forMenu) *out++ = '&';
        *out++ = *p;
    }
    *out = '\0';
    if (strlen(step->label) > strlen(label)) strcat(shown, "…");
    char what[64] = "";
    switch (step->kind) {
    case UNDO_REGISTER: lstrcpynA(what, "の登録", sizeof what); break;
    case UNDO_DELETE: lstrcpynA(what, "の削除", sizeof what); break;
    case UNDO_IMPORT: lstrcpynA(what, "からの取り込み", sizeof what); break;
    case UNDO_COPY:
        snprintf(what, sizeof what, "の %sのメニューへのコピー", EditionName(step->view));
        break;
    case UNDO_PROPERTIES: lstrcpynA(what, "のプロパティの変更", sizeof what); break;
    case UNDO_RENAME: lstrcpynA(what, "の名前の変更", sizeof what); break;
    case UNDO_DUPLICATE: lstrcpynA(what, "の複製", sizeof what); break;
    case UNDO_RESTORE: lstrcpynA(what, "からの復元", sizeof what); break;
    }
    snprintf(text, size, "'%s' %s", shown, what);
}

bool UndoMenuText(char* text, DWORD size)
{
    if (UndoStepCount == 0) {
        lstrcpynA(text, "元に戻す(&U)", (int)size);
        return false;
    }
    char description[UNDO_MENU_TEXT_SIZE];
    DescribeStep(UndoSteps[UndoStepCount - 1], true, description, sizeof description);
    snprintf(text, size, "元に戻す: %s(&U)", description);
    return true;
}

// An entry key's name from a record, in code page 932 ("?" for what it lacks).
// The first key that the step brings back, selected so that the user sees it is there again.
static void SelectFirstRestored(HWND hwnd, const KeyRecord* record)
{
    KeyItem item;
    for (DWORD position = 0; NextEntryKey(record, &position, &item);) {
        if (item.kind == KEY_ABSENT) continue;
        char name[TOOL_TEXT_SIZE];
        NarrowName(item.name, item.nameCharacters, name, sizeof name);
        SelectEntryNamed(hwnd, name);
        return;
    }
}

// Names shown in a question before the rest are counted.
static const int NamedChanges = 5;
// The quoted names, the count of the rest and the question.
enum { CHANGES_TEXT_SIZE = NamedChanges * (TOOL_TEXT_SIZE + 4) + 512 };

// Quotes into text the entries that something else changed since the step's command and that the
// restore would take back, counting them in changed; only those that differ from asked too, when
// there is asked: the digests of when the user last said yes.
static void ListChangesSince(const UndoStep* step, const UINT64* recorded, const UINT64* asked,
                             const UINT64* now, char* text, DWORD size, int* changed)
{
    text[0] = '\0';
    *changed = 0;
    KeyItem item;
    int i = 0;
    for (DWORD position = 0; NextEntryKey(&step->record, &position, &item); i++) {
        // Changed since the command, and not by chance back as the record holds it.
        bool since = !step->after || i >= step->entries || now[i] != step->after[i];
        if (!since || now[i] == recorded[i] || (asked && now[i] == asked[i])) continue;
        if ((*changed)++ >= NamedChanges) continue;
        char name[TOOL_TEXT_SIZE];
        NarrowName(item.name, item.nameCharacters, name, sizeof name);
        size_t used = strlen(text);
        snprintf(text + used, size - used, "'%s'\n", name);
    }
}

// True when the step may be restored: nothing changed since its command, or the user says so.
// The registry is read again after each yes, so that a write made while a question was open is
// asked about too, and nothing is taken back unasked.
static bool ConfirmChangesSince(HWND hwnd, UndoStep* step)
{
    int count = CountEntryKeys(&step->record);
    UINT64 *now = NULL, *recorded = NULL, *asked = NULL;
    DWORD error = AllocateArray((void**)&now, (size_t)count, sizeof *now);
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&recorded, (size_t)count, sizeof *recorded);
    if (error == ERROR_SUCCESS) error = AllocateArray((void**)&asked, (size_t)count, sizeof *asked);
    if (error == ERROR_SUCCESS) DigestRecordedKeys(&step->record, recorded);
    bool restore = false;
    for (bool first = true; error == ERROR_SUCCESS; first = false) {
        error = DigestEntryKeys(step->view, &step->record, now);
        if (error != ERROR_SUCCESS) break;
        char text[CHANGES_TEXT_SIZE];
        int changed = 0;
        ListChangesSince(step, recorded, first ? NULL : asked, now, text, sizeof text, &changed);
        if (changed == 0) {
            restore = true;
            break;
        }
        size_t used = strlen(text);
        if (changed > NamedChanges)
            snprintf(text + used, sizeof text - used, "ほか %d 件\n", changed - NamedChanges);
        used = strlen(text);
        snprintf(text + used, sizeof text - used, "%s",
                 first
                     ? "これらのツールは、この操作のあとでほかのプログラムなどによって変更されて"
                       "います。元に戻すと、その変更は失われます。元に戻しますか？"
                     : "これらのツールは、前の確認を表示している間に、ほかのプログラムなどに"
                       "よって変更されました。元に戻すと、その変更も失われます。元に戻しますか？");
        if (ShowMessage(hwnd, text, "元に戻す", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            break;
        memcpy(asked, now, (size_t)count * sizeof *now);
    }
    if (now) GlobalFree(now);
    if (recorded) GlobalFree(recorded);
    if (asked) GlobalFree(asked);
    if (error != ERROR_SUCCESS) ReportSystemError(hwnd, error);
    return restore;
}

void UndoLastStep(HWND hwnd)
{
    if (UndoStepCount == 0) return;
    UndoStep* step = UndoSteps[UndoStepCount - 1];
    if (!ConfirmChangesSince(hwnd, step)) return;
    DWORD error = RestoreEntryKeys(step->view, &step->record);
    RefreshToolList(hwnd);
    // What could not be restored stays recorded, so that the user can try again; what the
    // restore did write is its own, and a retry does not ask about it.
    if (error != ERROR_SUCCESS) {
        TakeDigests(step);
        ReportSystemError(hwnd, error);
        return;
    }
    UndoStepCount--;
    if (step->view == THIS_VIEW) SelectFirstRestored(hwnd, &step->record);
    char description[UNDO_MENU_TEXT_SIZE];
    DescribeStep(step, false, description, sizeof description);
    FreeStep(step);
    SayResult(hwnd, "元に戻しました: %s", description);
}
