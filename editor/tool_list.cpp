// The owner-drawn list of entries, its selection, context menu and refresh from the registry.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>
#include "editor/editor.h"
#include "editor/editor_private.h"
#include "res/resource.h"

HFONT BoldFont;

// An item is as high as a 32-pixel icon with a pixel above and below it; the name starts after
// the icon and a margin of two dialog units.
static const int ListIconSize = 32, ListIconMargin = 1;
static const UINT ListItemHeight = ListIconSize + 2 * ListIconMargin;

static WNDPROC SavedListProcedure;

// The six system colours of an item, each in a slot of its own.
static COLORREF HighlightTextColour, WindowTextColour, HighlightColour, WindowColour,
    ButtonFaceColour, ButtonTextColour;

void LoadListColours()
{
    HighlightTextColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
    WindowTextColour = GetSysColor(COLOR_WINDOWTEXT);
    HighlightColour = GetSysColor(COLOR_HIGHLIGHT);
    WindowColour = GetSysColor(COLOR_WINDOW);
    ButtonFaceColour = GetSysColor(COLOR_BTNFACE);
    ButtonTextColour = GetSysColor(COLOR_BTNTEXT);
}

static HWND ToolList(HWND hwnd)
{
    return GetDlgItem(hwnd, IDC_TOOL_LIST);
}

// Sent to MainWindow as the list itself would send it, so that whatever changed the selection,
// the fields follow it through the one route that a click takes.
static void NotifySelectionChange(HWND hwnd)
{
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_TOOL_LIST, LBN_SELCHANGE),
                 (LPARAM)ToolList(hwnd));
}

// What a screen reader reads of a row and what typing a letter in the list looks for: the name
// that the key has, never a look-alike, which would be taken for another entry's.
static const char* RowText(const ToolEntry* entry)
{
    return entry->nameState == NAME_EXACT ? entry->name : "（名前を読み取れないツール）";
}

static void AddToolItem(ToolEntry* entry, void* context)
{
    HWND list = (HWND)context;
    // The text is for others to read: drawing and every command take the entry behind the row.
    LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)RowText(entry));
    if (index < 0) {
        FreeToolEntry(entry);
        return;
    }
    SendMessageA(list, LB_SETITEMDATA, (WPARAM)index, (LPARAM)entry);
}

void RefreshToolList(HWND hwnd)
{
    HWND list = ToolList(hwnd);
    // Redrawing is off from before the list is emptied until it is full again: a long list is
    // painted once at the end, and the scroll bar is not taken away and put back on every refresh
    // (each costs a frame change: a fifth of a ten-entry refresh under Wine).
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    NotifySelectionChange(hwnd);
    ReadToolEntries(AddToolItem, list);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    // Also when the key could not be opened: the emptied list must be painted empty.
    InvalidateRect(list, NULL, TRUE);
    StartIconReading(hwnd);
}

int ToolEntryCount(HWND hwnd)
{
    return (int)SendMessageA(ToolList(hwnd), LB_GETCOUNT, 0, 0);
}

const ToolEntry* ToolEntryAt(HWND hwnd, int index)
{
    LRESULT data = SendMessageA(ToolList(hwnd), LB_GETITEMDATA, (WPARAM)index, 0);
    return data == LB_ERR ? NULL : (const ToolEntry*)data;
}

const ToolEntry* SelectedToolEntry(HWND hwnd)
{
    LRESULT index = SendMessageA(ToolList(hwnd), LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? NULL : ToolEntryAt(hwnd, (int)index);
}

void SelectToolEntry(HWND hwnd, int index)
{
    SendMessageA(ToolList(hwnd), LB_SETCURSEL, (WPARAM)index, 0);
    NotifySelectionChange(hwnd);
}

void SelectEntryNamed(HWND hwnd, const char* name)
{
    for (int index = 0, count = ToolEntryCount(hwnd); index < count; index++) {
        const ToolEntry* entry = ToolEntryAt(hwnd, index);
        if (entry && entry->nameState == NAME_EXACT && lstrcmpiA(entry->name, name) == 0) {
            SelectToolEntry(hwnd, index);
            return;
        }
    }
}

void ShowSelectedEntry(HWND hwnd)
{
    const ToolEntry* entry = SelectedToolEntry(hwnd);
    SetDlgItemTextA(hwnd, IDC_NAME, entry ? entry->name : "");
    SetDlgItemTextA(hwnd, IDC_EXE_PATH, entry ? entry->path : "");
    SetDlgItemTextA(hwnd, IDC_MENU_TEXT, entry ? entry->menuText : "");
    SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, entry ? entry->statusText : "");
}

void MeasureToolItem(MEASUREITEMSTRUCT* item)
{
    if (item->itemHeight < ListItemHeight) item->itemHeight = ListItemHeight;
}

BOOL DrawToolItem(const DRAWITEMSTRUCT* item)
{
    if (item->itemID == (UINT)-1) return FALSE;
    const ToolEntry* entry = (const ToolEntry*)item->itemData;
    HDC hdc = item->hDC;
    TEXTMETRICA metrics;
    GetTextMetricsA(hdc, &metrics);

    bool selected = (item->itemState & ODS_SELECTED) != 0;
    bool focused = GetFocus() == item->hwndItem;
    COLORREF background, text;
    if (focused) {
        background = selected ? HighlightColour : WindowColour;
        text = selected ? HighlightTextColour : WindowTextColour;
    } else {
        background = selected ? ButtonFaceColour : WindowColour;
        text = selected ? ButtonTextColour : WindowTextColour;
    }
    SetBkColor(hdc, background);
    SetTextColor(hdc, text);
    HGDIOBJ previousFont = selected ? SelectObject(hdc, BoldFont) : NULL;

    const RECT& r = item->rcItem;
    int x = 2 * (LOWORD(GetDialogBaseUnits()) / 4) + ListIconSize;
    int y = (r.top + r.bottom - metrics.tmHeight) / 2;
    const char* name = entry ? entry->name : "";
    ExtTextOutA(hdc, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, name, lstrlenA(name), NULL);
    if (entry && entry->icon) DrawIcon(hdc, ListIconMargin, r.top + ListIconMargin, entry->icon);

    if (selected) {
        if (focused) DrawFocusRect(hdc, &r);
        SelectObject(hdc, previousFont);
    }
    return TRUE;
}

void FreeToolItem(const DELETEITEMSTRUCT* item)
{
    if (item->CtlID == IDC_TOOL_LIST && item->itemData) FreeToolEntry((ToolEntry*)item->itemData);
}

// The Tools popup of the menu bar, so that its commands and greying are MainWindow's own.
static void ShowToolsPopup(HWND list, POINT screenPoint)
{
    HWND mainWindow = GetParent(list);
    HMENU popup = GetSubMenu(GetMenu(mainWindow), 1);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, 0, mainWindow, NULL);
}

static void OnRightButtonDown(HWND list, LPARAM lParam)
{
    POINT point = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(list, &point);
    int index = LBItemFromPt(list, point, FALSE);
    if (index >= 0) {
        SetFocus(list);
        SendMessageA(list, LB_SETCURSEL, (WPARAM)index, 0);
        NotifySelectionChange(GetParent(list));
    }
    ShowToolsPopup(list, point);
}

static void OnKeyboardContextMenu(HWND list)
{
    POINT point = {0, 0};
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    RECT r;
    if (index != LB_ERR &&
        SendMessageA(list, LB_GETITEMRECT, (WPARAM)index, (LPARAM)&r) != LB_ERR) {
        // On the selected item's icon, as a right click there would open it.
        point.x = ListIconSize / 2;
        point.y = r.top + (r.bottom - r.top) / 2;
    }
    ClientToScreen(list, &point);
    ShowToolsPopup(list, point);
}

static LRESULT CALLBACK ToolListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_RBUTTONDOWN) {
        OnRightButtonDown(list, lParam);
    } else if (msg == WM_KEYDOWN && wParam == VK_APPS) {
        OnKeyboardContextMenu(list);
    } else if (msg == WM_KEYUP && wParam == VK_APPS) {
        // Windows sends WM_CONTEXTMENU as the key comes up too: the menu opened as it went down.
        return 0;
    } else if (msg == WM_CONTEXTMENU && GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1) {
        // Shift+F10, which laptops without the Applications key have; a right click's own
        // WM_CONTEXTMENU, at a point, goes on to the list, which passes it up unanswered.
        OnKeyboardContextMenu(list);
        return 0;
    }
    return CallWindowProcA(SavedListProcedure, list, msg, wParam, lParam);
}

void SubclassToolList(HWND hwnd)
{
    SavedListProcedure =
        (WNDPROC)SetWindowLongPtrA(ToolList(hwnd), GWLP_WNDPROC, (LONG_PTR)ToolListProc);
}

void RestoreToolList(HWND hwnd)
{
    if (SavedListProcedure)
        SetWindowLongPtrA(ToolList(hwnd), GWLP_WNDPROC, (LONG_PTR)SavedListProcedure);
}
