// MainWindow's painted labels and the edits that select their text when they get the focus.
#include <windows.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "res/resource.h"

// All four fields are edits of the same class, so field 1000's procedure serves them all.
static WNDPROC SavedEditProcedure;

static const int SelectingEdits[] = {IDC_NAME, IDC_EXE_PATH, IDC_MENU_TEXT, IDC_STATUS_TEXT};

// Each painted label names a field, for the eye; an invisible twin before the field in z-order
// names it for a screen reader, which never sees what is painted.
struct PaintedLabel {
    RECT rect;
    const char* text;
    int field;
};

// Fixed pixels, not dialog units: they line up with the template at a 7 x 12 dialog base unit.
static const RECT HeaderFrame = {12, 0, 441, 27};
static const PaintedLabel Labels[] = {
    {{14, 7, 110, 19}, "登録リスト(&R)", IDC_NAME},
    {{12, 228, 110, 240}, "メニュー項目(&M):", IDC_MENU_TEXT},
    {{12, 252, 110, 264}, "実行ファイル(&E):", IDC_EXE_PATH},
    {{12, 276, 110, 288}, "ステータス バー(&S):", IDC_STATUS_TEXT},
};

static LRESULT CALLBACK SelectOnFocusProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Whatever brings the focus here (Tab, Alt+letter, a warning), the old text is ready to be
    // typed over.
    if (msg == WM_SETFOCUS) SendMessageA(hwnd, EM_SETSEL, 0, -1);
    return CallWindowProcA(SavedEditProcedure, hwnd, msg, wParam, lParam);
}

void SaveEditProcedure(HWND hwnd)
{
    SavedEditProcedure = (WNDPROC)GetWindowLongPtrA(GetDlgItem(hwnd, IDC_NAME), GWLP_WNDPROC);
}

void SubclassEdits(HWND hwnd)
{
    for (int id : SelectingEdits)
        SetWindowLongPtrA(GetDlgItem(hwnd, id), GWLP_WNDPROC, (LONG_PTR)SelectOnFocusProc);
}

void RestoreEdits(HWND hwnd)
{
    // The name field is destroyed before this runs; the other three get their procedure back.
    for (int id : SelectingEdits) {
        HWND edit = GetDlgItem(hwnd, id);
        if (edit) SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)SavedEditProcedure);
    }
}

void NameControlsForScreenReaders(HWND hwnd)
{
    for (const PaintedLabel& label : Labels)
        LabelForScreenReaders(GetDlgItem(hwnd, label.field), label.text);
    // The list has no label of its own on the screen: the name field's heads them both.
    LabelForScreenReaders(GetDlgItem(hwnd, IDC_TOOL_LIST), "ツールの一覧");
    NameForScreenReaders(GetDlgItem(hwnd, IDC_BROWSE), L"参照");
}

// Runs for WM_PAINT, after the background has been erased. Painting while the frame is painted
// (WM_NCPAINT) is not enough: Wine erases the client area once WM_NCPAINT has returned, which wipes
// the labels, and nothing asks for them again because that BeginPaint validated the window.
void PaintDressing(HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    HGDIOBJ previousFont = SelectObject(hdc, NormalFont);
    SetBkMode(hdc, TRANSPARENT);
    // The DC's default black would vanish on the dark face of a high-contrast theme.
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    RECT frame = HeaderFrame;
    DrawEdge(hdc, &frame, BDR_SUNKENOUTER, BF_RECT);
    for (const PaintedLabel& label : Labels) {
        RECT rect = label.rect;
        DrawTextA(hdc, label.text, -1, &rect, DT_SINGLELINE | DT_NOCLIP);
    }
    SelectObject(hdc, previousFont);
    EndPaint(hwnd, &paint);
}
