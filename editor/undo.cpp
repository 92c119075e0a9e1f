// 元に戻す: the entry keys each command was about to change, kept in memory while the program runs.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"

struct UndoStep {
    KeyRecord record;
    RegistryView view;
    UndoKind kind;
    char label[TOOL_TEXT_SIZE];
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
    while (step) {
        error = RecordEntryKeys(view, names, count, &step->record);
        if (error != ERROR_NOT_ENOUGH_MEMORY || UndoStepCount == 0) break;
        DropOldestStep();
    }
    // Without a way back the command does not run at all.
    if (error != ERROR_SUCCESS) {
        if (step) GlobalFree(step);
        ReportSystemError(hwnd, error);
        return false;
    }
    step->view = view;
    step->kind = kind;
    lstrcpynA(step->label, label, sizeof step->label);
    PendingStep = step;
    return true;
}

void EndUndoStep(bool succeeded)
{
    UndoStep* step = PendingStep;
    PendingStep = NULL;
    if (!step) return;
    // A command refused before its first write leaves nothing to undo.
    if (!succeeded && EntryKeysUnchanged(step->view, &step->record)) {
        FreeStep(step);
        return;
    }
    if (UndoStepCount == MaxUndoSteps) DropOldestStep();
    UndoSteps[UndoStepCount++] = step;
}

// Long enough to tell entries apart in a menu, short enough for the menu to stay on the screen.
enum { UNDO_LABEL_BYTES = 40 };

bool UndoMenuText(char* text, DWORD size)
{
    if (UndoStepCount == 0) {
        lstrcpynA(text, "元に戻す(&U)", (int)size);
        return false;
    }
    const UndoStep* step = UndoSteps[UndoStepCount - 1];
    char label[UNDO_LABEL_BYTES + 1];
    lstrcpynA(label, step->label, sizeof label);
    DropDanglingLeadByte(label);
    // "&" would underline the next letter instead of showing itself.
    char shown[2 * sizeof label + 8];
    char* out = shown;
    for (const char* p = label; *p; p++) {
        if (*p == '&') *out++ = '&';
        *out++ = *p;
    }
    *out = '\0';
    if (strlen(step->label) > strlen(label)) strcat(shown, "…");
    const char* what = "";
    switch (step->kind) {
    case UNDO_REGISTER: what = "の登録"; break;
    case UNDO_DELETE: what = "の削除"; break;
    case UNDO_IMPORT: what = "からの取り込み"; break;
    case UNDO_COPY:
        what = ViewBits(step->view) == 64 ? "の 64 ビット版のメニューへのコピー"
                                          : "の 32 ビット版のメニューへのコピー";
        break;
    }
    snprintf(text, size, "元に戻す: '%s' %s(&U)", shown, what);
    return true;
}

// The first key that the step brings back, selected so that the user sees it is there again.
static void SelectFirstRestored(HWND hwnd, const KeyRecord* record)
{
    KeyItem item;
    for (DWORD position = 0; NextKeyItem(record, &position, &item);) {
        if (item.kind == KEY_ABSENT) continue;
        char name[TOOL_TEXT_SIZE] = "";
        int length = WideCharToMultiByte(CP_ACP, 0, item.name, (int)item.nameCharacters, name,
                                         sizeof name - 1, NULL, NULL);
        name[length > 0 ? length : 0] = '\0';
        for (int index = 0, count = ToolEntryCount(hwnd); index < count; index++) {
            const ToolEntry* entry = ToolEntryAt(hwnd, index);
            if (entry && entry->nameState == NAME_EXACT && lstrcmpiA(entry->name, name) == 0) {
                SelectToolEntry(hwnd, index);
                return;
            }
        }
        return;
    }
}

void UndoLastStep(HWND hwnd)
{
    if (UndoStepCount == 0) return;
    UndoStep* step = UndoSteps[UndoStepCount - 1];
    DWORD error = RestoreEntryKeys(step->view, &step->record);
    RefreshToolList(hwnd);
    // What could not be restored stays recorded, so that the user can try again.
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        return;
    }
    UndoStepCount--;
    if (step->view == THIS_VIEW) SelectFirstRestored(hwnd, &step->record);
    FreeStep(step);
}
