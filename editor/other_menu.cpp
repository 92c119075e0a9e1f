// The copy of an entry into the other build's menu, one step of 元に戻す.
#include <windows.h>
#include <stdio.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "editor/editor_private.h"

// A quoted name of at most 259 bytes, the other menu's name and the longest text around them.
enum { COPY_TEXT_SIZE = TOOL_TEXT_SIZE + 512 };

void CopySelectedToOtherMenu(HWND hwnd)
{
    RegistryView other = OtherView();
    if (other == THIS_VIEW) return; // one menu only: the item is not there
    char name[TOOL_TEXT_SIZE];
    if (!TakeSelectedName(hwnd, "コピーするツールを「登録リスト」から選択してください。", "コピー",
                          name))
        return;
    char text[COPY_TEXT_SIZE];
    if (EntryKeyExists(other, name)) {
        snprintf(text, sizeof text,
                 "'%s'\nこのツールは、すでに %sに登録されています。\nこのツールの内容で"
                 "置き換えてもよろしいですか？",
                 name, MenuName(other));
        if (ShowMessage(hwnd, text, "コピーの確認", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    }
    const char* names[] = {name};
    if (!BeginUndoStep(hwnd, UNDO_COPY, name, other, names, 1)) return;
    DWORD error = CopyEntryKey(name, other);
    EndUndoStep(error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        return;
    }
    // Nothing on the screen changes: the other menu is not listed here.
    snprintf(text, sizeof text, "'%s'\nこのツールを %sにコピーしました。", name, MenuName(other));
    ShowMessage(hwnd, text, "", MB_OK | MB_ICONASTERISK);
    SayResult(hwnd, "「%s」を %sにコピーしました。", name, MenuName(other));
}
