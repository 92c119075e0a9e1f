// MainWindow's toolbar, status bar, tooltips, menu greying and status-bar help.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <stdio.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "store/store.h"
#include "res/resource.h"

// The longest help string, and the copy item's text.
enum { MENU_HELP_SIZE = 256, COPY_ITEM_TEXT_SIZE = 64 };

static HWND Toolbar;
static HWND StatusBar;
static HWND TooltipWindow;

// The four buttons and the one separator description that is inserted twice. Images are filled in
// once the bitmaps have been added, because only then are their indexes known.
static TBBUTTON RegisterButton, DeleteButton, CalButton, RefreshButton, Separator;
// The order register, delete, separator, CAL file, separator, refresh.
static const int FirstSeparatorPosition = 2, SecondSeparatorPosition = 4;
// Fixed pixels at the right end of the header strip, beside the painted "登録リスト(&R)".
static const RECT ToolbarRect = {330, 1, 330 + 110, 1 + 25};

static TBBUTTON Button(int command)
{
    TBBUTTON button;
    ZeroMemory(&button, sizeof button);
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = command ? TBSTYLE_BUTTON : TBSTYLE_SEP;
    return button;
}

void PrepareToolbarButtons()
{
    RegisterButton = Button(IDT_REGISTER);
    DeleteButton = Button(IDT_DELETE);
    CalButton = Button(IDT_CAL);
    RefreshButton = Button(IDT_REFRESH);
    Separator = Button(0);
    InitCommonControls();
}

// MAKELONG(minor, major) from the library's DllGetVersion; 0 when it has none.
static DWORD CommonControlsVersion()
{
    HMODULE module = LoadLibraryA("comctl32.dll");
    if (!module) return 0;
    DLLGETVERSIONPROC getVersion =
        (DLLGETVERSIONPROC)(void*)GetProcAddress(module, "DllGetVersion");
    DWORD version = 0;
    if (getVersion) {
        DLLVERSIONINFO info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        if (getVersion(&info) == S_OK) version = MAKELONG(info.dwMinorVersion, info.dwMajorVersion);
    }
    FreeLibrary(module);
    return version;
}

static int AddBitmap(HINSTANCE instance, UINT_PTR id, int count)
{
    TBADDBITMAP bitmap = {instance, id};
    return (int)SendMessageA(Toolbar, TB_ADDBITMAP, (WPARAM)count, (LPARAM)&bitmap);
}

static void AddButtons(TBBUTTON* buttons, int count)
{
    SendMessageA(Toolbar, TB_ADDBUTTONSA, (WPARAM)count, (LPARAM)buttons);
}

static void CreateToolbar(HWND hwnd)
{
    const DWORD style =
        WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
    Toolbar = CreateToolbarEx(hwnd, style, IDC_TOOLBAR, 0, AppInstance, 0, NULL, 0, 0, 0, 0, 0,
                              sizeof(TBBUTTON));
    int standard = AddBitmap(HINST_COMMCTRL, IDB_STD_SMALL_COLOR, 2);
    TBBUTTON pair[2] = {RegisterButton, DeleteButton};
    pair[0].iBitmap = standard + STD_FILESAVE;
    pair[1].iBitmap = standard + STD_DELETE;
    AddButtons(pair, 2);
    CalButton.iBitmap = AddBitmap(AppInstance, IDB_CAL, 1);
    AddButtons(&CalButton, 1);
    RefreshButton.iBitmap = AddBitmap(AppInstance, IDB_REFRESH, 1);
    AddButtons(&RefreshButton, 1);
    SendMessageA(Toolbar, TB_INSERTBUTTONA, FirstSeparatorPosition, (LPARAM)&Separator);
    SendMessageA(Toolbar, TB_INSERTBUTTONA, SecondSeparatorPosition, (LPARAM)&Separator);
    // CCS_NOPARENTALIGN and CCS_NORESIZE keep this place in the header strip for good.
    SetWindowPos(Toolbar, NULL, ToolbarRect.left, ToolbarRect.top,
                 ToolbarRect.right - ToolbarRect.left, ToolbarRect.bottom - ToolbarRect.top,
                 SWP_NOZORDER);

    // Flat buttons only exist from comctl32 4.70 on; older libraries draw garbage with the style.
    if (CommonControlsVersion() >= MAKELONG(70, 4)) {
        SetWindowLongA(Toolbar, GWL_STYLE, GetWindowLongA(Toolbar, GWL_STYLE) | TBSTYLE_FLAT);
        InvalidateRect(Toolbar, NULL, TRUE);
    }
}

// Blanks between the menu's name and the edges of its part.
static const int StatusTextMargin = 12;

// The left part shows the help of the highlighted menu item; the right part, as wide as its
// measured text, which Cakewalk's menu this copy edits, always in sight. Simple mode would hide
// the right part whenever a menu is open.
static void SplitStatusBar()
{
    const char* menu = MenuName(THIS_VIEW);
    // The window's own font, in which the text is measured and drawn alike.
    SendMessageA(StatusBar, WM_SETFONT, (WPARAM)NormalFont, FALSE);
    HDC hdc = GetDC(StatusBar);
    HGDIOBJ previousFont = SelectObject(hdc, NormalFont);
    SIZE text = {0, 0};
    GetTextExtentPoint32A(hdc, menu, lstrlenA(menu), &text);
    SelectObject(hdc, previousFont);
    ReleaseDC(StatusBar, hdc);
    int borders[3] = {0, 0, 0}; // horizontal, vertical, between parts
    SendMessageA(StatusBar, SB_GETBORDERS, 0, (LPARAM)borders);
    RECT client;
    GetClientRect(StatusBar, &client);
    int parts[2] = {client.right - (text.cx + 2 * borders[0] + borders[2] + StatusTextMargin), -1};
    SendMessageA(StatusBar, SB_SETPARTS, 2, (LPARAM)parts);
    SendMessageA(StatusBar, SB_SETTEXTA, 1, (LPARAM)menu);
}

void CreateToolbarAndStatusBar(HWND hwnd)
{
    CreateToolbar(hwnd);
    StatusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, NULL, hwnd, IDC_STATUS_BAR);
    SplitStatusBar();
    // A toolbar is named by its window text, which it never draws; its buttons by their tips.
    SetWindowTextA(Toolbar, "ツール バー");
    // Each command's result is said in the bar's first part.
    MakeLiveRegion(StatusBar);
}

void ForwardColourChange(WPARAM wParam, LPARAM lParam)
{
    // Common controls repaint in the new colours only when told, and only a top-level window is.
    SendMessageA(Toolbar, WM_SYSCOLORCHANGE, wParam, lParam);
    SendMessageA(StatusBar, WM_SYSCOLORCHANGE, wParam, lParam);
}

static void AddTool(HWND tool, UINT_PTR id, const RECT& rect, const char* text)
{
    TOOLINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = tool;
    info.uId = id;
    info.rect = rect;
    info.hinst = AppInstance;
    info.lpszText = (char*)text;
    SendMessageA(TooltipWindow, TTM_ADDTOOLA, 0, (LPARAM)&info);
}

static void AddControlTooltip(HWND control, const char* text)
{
    RECT rect;
    GetClientRect(control, &rect);
    AddTool(control, 0, rect, text);
}

static void AddButtonTooltip(HWND toolbar, int command, const char* text)
{
    RECT rect = {0, 0, 0, 0};
    LRESULT position = SendMessageA(toolbar, TB_COMMANDTOINDEX, (WPARAM)command, 0);
    SendMessageA(toolbar, TB_GETITEMRECT, (WPARAM)position, (LPARAM)&rect);
    AddTool(toolbar, (UINT_PTR)command, rect, text);
    SendMessageA(toolbar, TB_SETTOOLTIPS, (WPARAM)TooltipWindow, 0);
}

void CreateTooltips(HWND hwnd)
{
    // TTS_ALWAYSTIP: the tips are wanted also while another program is active.
    TooltipWindow = CreateWindowExA(0, TOOLTIPS_CLASSA, NULL, TTS_ALWAYSTIP, 0, 0, 0, 0, hwnd, NULL,
                                    AppInstance, NULL);
    SetWindowPos(TooltipWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // The toolbar has its final place, style and buttons by now, so these rectangles hold.
    AddButtonTooltip(Toolbar, IDT_CAL, "起動用 CAL ファイルの作成 (Ctrl+E)");
    AddButtonTooltip(Toolbar, IDT_REFRESH, "最新の情報に更新 (F5)");
    AddButtonTooltip(Toolbar, IDT_REGISTER, "登録 (Ctrl+R)");
    AddButtonTooltip(Toolbar, IDT_DELETE, "削除 (Ctrl+D)");

    AddControlTooltip(GetDlgItem(hwnd, IDC_NAME), "ツールの登録名");
    AddControlTooltip(GetDlgItem(hwnd, IDC_EXE_PATH), "実行されるファイルのパス");
    AddControlTooltip(GetDlgItem(hwnd, IDC_BROWSE), "参照");
    AddControlTooltip(GetDlgItem(hwnd, IDC_MENU_TEXT),
                      "Cakewalk の [ツール] メニューに表示される文字列");
    AddControlTooltip(GetDlgItem(hwnd, IDC_STATUS_TEXT),
                      "Cakewalk のステータス バーに表示される文字列");
}

void DestroyTooltips()
{
    if (IsWindow(TooltipWindow)) DestroyWindow(TooltipWindow);
    TooltipWindow = NULL;
}

// Also runs when an accelerator of the Tools popup is translated: the platform initialises the
// popup first and sends no command for an item that is greyed by then.
void PrepareToolsMenu(HWND hwnd)
{
    HMENU popup = GetSubMenu(GetMenu(hwnd), 1);
    SetMenuDefaultItem(popup, IDM_OPEN, FALSE);
    // 32-bit Windows has one registry view, and one Cakewalk menu.
    RegistryView other = OtherView();
    if (other == THIS_VIEW) {
        DeleteMenu(popup, IDM_COPY_TO_OTHER, MF_BYCOMMAND);
        DeleteMenu(popup, IDM_COPY_ALL_TO_OTHER, MF_BYCOMMAND);
        return;
    }
    char text[COPY_ITEM_TEXT_SIZE];
    snprintf(text, sizeof text, "%sのメニューへコピー(&C)", EditionName(other));
    ModifyMenuA(popup, IDM_COPY_TO_OTHER, MF_BYCOMMAND | MF_STRING, IDM_COPY_TO_OTHER, text);
}

void ApplyGreyingRule(HWND hwnd, HMENU popup)
{
    if (popup != GetSubMenu(GetMenu(hwnd), 1)) return;
    const ToolEntry* selected = SelectedToolEntry(hwnd);
    UINT state = MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(popup, IDM_OPEN, state);
    EnableMenuItem(popup, IDM_DELETE, state);
    EnableMenuItem(popup, IDM_CAL, state);
    // A row without a name has nothing to copy, show or rename it by.
    bool named = selected && selected->nameState != NAME_UNREAD;
    const UINT byName[] = {IDM_COPY_TO_OTHER, IDM_PROPERTIES, IDM_RENAME, IDM_DUPLICATE};
    for (UINT id : byName)
        EnableMenuItem(popup, id, MF_BYCOMMAND | (named ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(popup, IDM_COPY_ALL_TO_OTHER,
                   MF_BYCOMMAND | (ToolEntryCount(hwnd) > 0 ? MF_ENABLED : MF_GRAYED));
    // The item names what it would undo, as things stand when the menu opens.
    char text[UNDO_MENU_TEXT_SIZE];
    bool canUndo = UndoMenuText(text, sizeof text);
    ModifyMenuA(popup, IDM_UNDO, MF_BYCOMMAND | MF_STRING | (canUndo ? MF_ENABLED : MF_GRAYED),
                IDM_UNDO, text);
}

void ShowMenuHelp(WPARAM wParam, LPARAM lParam)
{
    UINT flags = HIWORD(wParam);
    char help[MENU_HELP_SIZE] = "";
    // A command's help is the string under its own id; popup titles, separators and the system
    // menu have none, and a closed menu (0xFFFF and no menu) clears the part.
    bool closed = flags == 0xFFFF && lParam == 0;
    if (!closed && !(flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU)))
        LoadStringA(AppInstance, LOWORD(wParam), help, sizeof help);
    SendMessageA(StatusBar, SB_SETTEXTA, 0, (LPARAM)help);
}
