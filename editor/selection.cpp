// The floor under the commands: the selected entry taken by its name, the fields read whole, and
// the warnings and questions that the commands open with.
#include <windows.h>
#include <stdio.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "editor/editor_private.h"

// A text that reached the field by a selection or a pre-fill may be longer than the field is read;
// a cut through a double-byte character would store half of it, which Cakewalk would show as a
// broken character, so the lone lead byte goes too.
void ReadField(HWND hwnd, int id, char* text, DWORD size)
{
    text[0] = '\0';
    GetDlgItemTextA(hwnd, id, text, (int)size);
    text[size - 1] = '\0';
    DropDanglingLeadByte(text);
}

void WarnAboutField(HWND hwnd, const char* text, int id)
{
    ShowMessage(hwnd, text, "", MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(hwnd, id));
}

void BuildQuestion(char* question, DWORD size, const char* name, const char* rest)
{
    snprintf(question, size, "'%s%s", name, rest);
}

bool RefuseUnnamable(HWND hwnd, const ToolEntry* entry, const char* action)
{
    char text[QUESTION_SIZE];
    if (entry->nameState == NAME_UNREAD) {
        snprintf(text, sizeof text,
                 "選んだツールは、登録名が長すぎてコルヴァネルでは読み取れないため、%sできません。"
                 "\nレジストリ エディター (regedit) を使ってください。",
                 action);
    } else if (entry->nameState == NAME_NOT_CP932) {
        snprintf(text, sizeof text,
                 "'%s'\nこのツールの登録名には日本語 (シフト JIS) にない文字があり、ここでは別の"
                 "文字で表示しているため、%sできません。\nレジストリ エディター (regedit) を"
                 "使ってください。",
                 entry->name, action);
    } else {
        return false;
    }
    ShowMessage(hwnd, text, "", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

bool TakeSelectedName(HWND hwnd, const char* noSelection, const char* action, char* name)
{
    const ToolEntry* entry = SelectedToolEntry(hwnd);
    if (!entry) {
        ShowMessage(hwnd, noSelection, "", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (RefuseUnnamable(hwnd, entry, action)) return false;
    lstrcpynA(name, entry->name, TOOL_TEXT_SIZE);
    return true;
}
