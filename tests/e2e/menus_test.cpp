// Menus, accelerators, toolbar, tooltips, status-bar help and the painted labels, driven with real
// keyboard and mouse input.
#include <windows.h>
#include <commctrl.h>
#include "tests/e2e/driver.h"
#include "tests/e2e/menus_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace menus;

static const char NotepadPath[] = "C:\\windows\\notepad.exe";
static const char RegeditPath[] = "C:\\windows\\regedit.exe";

static HWND Control(const App& app, int id)
{
    return GetDlgItem(app.main, id);
}

// In characters, as the edit counts its selection.
static int TextLength(HWND edit)
{
    std::string text = Text(edit);
    return MultiByteToWideChar(932, 0, text.c_str(), (int)text.size(), NULL, 0);
}

TEST_F(KorvanelTest, F5AndTheRefreshButtonReloadTheList)
{
    ASSERT_TRUE(Start(app));
    EXPECT_EQ(0, ItemCount(app));
    PutEntry("Notepad", NotepadPath, "&Notepad", "メモ帳を開きます");
    Foreground(app.main);
    Keys({VK_MENU, 'M'}); // F5 works from any control, not just the list
    Keys({VK_F5});
    Sync(app.main);
    EXPECT_EQ(std::vector<std::string>{"Notepad"}, ItemNames(app));

    PutEntry("Regedit", RegeditPath, "&Regedit", "");
    Click(ToolbarButtonCentre(app, 5));
    Sync(app.main);
    EXPECT_EQ(2, ItemCount(app));
}

TEST_F(KorvanelTest, AltLettersFocusTheirFieldsWithTheWholeTextSelected)
{
    PutEntry("Notepad", NotepadPath, "&Notepad", "メモ帳を開きます");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0); // fills the four fields; the focus is on the list
    ASSERT_EQ(Control(app, IDC_TOOL_LIST), FocusedControl(app));
    struct Row {
        WORD key;
        int id;
    } rows[] = {{'R', IDC_NAME},
                {'M', IDC_MENU_TEXT},
                {'E', IDC_EXE_PATH},
                {'S', IDC_STATUS_TEXT},
                {'R', IDC_NAME}};
    for (const Row& row : rows) {
        Keys({VK_MENU, row.key});
        Sync(app.main);
        HWND field = Control(app, row.id);
        EXPECT_EQ(field, FocusedControl(app)) << (char)row.key;
        ASSERT_GT(TextLength(field), 0);
        EXPECT_EQ((DWORD)MAKELONG(0, TextLength(field)), EditSelection(field)) << (char)row.key;
    }
}

TEST_F(KorvanelTest, TabAndShiftTabWalkTheControlsInTemplateOrder)
{
    PutEntry("Notepad", NotepadPath, "&Notepad", "メモ帳を開きます");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    Keys({VK_MENU, 'R'});
    const int order[] = {IDC_NAME,     IDC_TOOL_LIST, IDC_MENU_TEXT,
                         IDC_EXE_PATH, IDC_BROWSE,    IDC_STATUS_TEXT};
    for (int i = 1; i <= 6; i++) {
        Keys({VK_TAB});
        Sync(app.main);
        HWND expected = Control(app, order[i % 6]);
        EXPECT_EQ(expected, FocusedControl(app)) << "Tab " << i;
    }
    for (int i = 5; i >= 0; i--) {
        Keys({VK_SHIFT, VK_TAB});
        Sync(app.main);
        EXPECT_EQ(Control(app, order[i]), FocusedControl(app)) << "Shift+Tab to " << i;
    }
    // Tabbing into a field leaves its whole text selected.
    Keys({VK_SHIFT, VK_TAB});
    Sync(app.main);
    HWND status = Control(app, IDC_STATUS_TEXT);
    ASSERT_EQ(status, FocusedControl(app));
    EXPECT_EQ((DWORD)MAKELONG(0, TextLength(status)), EditSelection(status));
    EXPECT_EQ(NULL, WaitForDialog(app.main, 300)); // Tab ran no command
}

// Open, register, delete, CAL file, refresh, top to bottom.
static const std::vector<bool> NothingSelected = {true, false, true, true, false};
static const std::vector<bool> EntrySelected = {false, false, false, false, false};

static std::vector<bool> ToolsPopupByKeyboard(const App& app)
{
    Foreground(app.main);
    Keys({VK_MENU, 'T'});
    HWND popup = WaitForPopupMenu();
    std::vector<bool> greyed = popup ? GreyedItems(popup) : std::vector<bool>();
    Keys({VK_ESCAPE});
    Keys({VK_ESCAPE});
    Sync(app.main);
    return greyed;
}

static std::vector<bool> ToolsPopupByRightClick(const App& app, POINT where)
{
    Foreground(app.main);
    Click(where, true);
    HWND popup = WaitForPopupMenu();
    std::vector<bool> greyed = popup ? GreyedItems(popup) : std::vector<bool>();
    Keys({VK_ESCAPE});
    Sync(app.main);
    return greyed;
}

TEST_F(KorvanelTest, ToolsPopupGreysTheItemsThatNeedASelection)
{
    PutEntry("Notepad", NotepadPath, "&Notepad", "");
    PutEntry("Regedit", RegeditPath, "&Regedit", "");
    ASSERT_TRUE(Start(app));
    EXPECT_EQ(NothingSelected, ToolsPopupByKeyboard(app));
    // Below the last item: the context menu opens without a selection.
    RECT list;
    GetWindowRect(Control(app, IDC_TOOL_LIST), &list);
    EXPECT_EQ(NothingSelected,
              ToolsPopupByRightClick(app, POINT{list.left + 60, list.bottom - 10}));
    EXPECT_EQ(-1, Selection(app));

    EXPECT_EQ(EntrySelected, ToolsPopupByRightClick(app, ItemCentre(app, 1)));
    EXPECT_EQ(1, Selection(app));
    EXPECT_EQ(EntrySelected, ToolsPopupByKeyboard(app));
}

TEST_F(KorvanelTest, CtrlDAndCtrlEWithoutASelectionRunNothing)
{
    PutEntry("Notepad", NotepadPath, "&Notepad", "");
    ASSERT_TRUE(Start(app));
    Foreground(app.main);
    Keys({VK_CONTROL, 'D'});
    EXPECT_EQ(NULL, WaitForDialog(app.main, 500));
    Keys({VK_CONTROL, 'E'});
    EXPECT_EQ(NULL, WaitForDialog(app.main, 500));
    EXPECT_EQ(1, ItemCount(app));
    EXPECT_TRUE(IsWindowEnabled(app.main));
}

TEST_F(KorvanelTest, StatusBarShowsTheHighlightedItemsHelp)
{
    ASSERT_TRUE(Start(app));
    HWND statusBar = StatusBar(app);
    EXPECT_EQ(IDC_STATUS_BAR, GetDlgCtrlID(statusBar));
    EXPECT_EQ(0x50000003, GetWindowLongA(statusBar, GWL_STYLE) & 0x50000003);
    EXPECT_TRUE(Ask(statusBar, SB_ISSIMPLE));

    Foreground(app.main);
    Keys({VK_MENU, 'T'});
    ASSERT_TRUE(WaitForPopupMenu());
    // The first item is highlighted, also while it is greyed; Down skips the separators.
    const char* expected[] = {
        "ツールを起動します。",
        "ツールを Cakewalk の [ツール] メニューへ登録します。",
        "ツールを Cakewalk の [ツール] メニューから削除します。",
        "ツール起動用の CAL ファイルを作成します",
        "表示内容を最新の状態に更新します。",
    };
    for (const char* text : expected) {
        Sync(app.main);
        EXPECT_EQ(text, StatusBarText(app));
        Keys({VK_DOWN});
    }
    Keys({VK_RIGHT}); // on to the Help popup
    Sync(app.main);
    EXPECT_EQ("readme.txt を開きます。", StatusBarText(app));
    Keys({VK_UP});
    Sync(app.main);
    EXPECT_EQ("コルヴァネルのバージョン情報を表示します。", StatusBarText(app));
    Keys({VK_ESCAPE});
    Keys({VK_ESCAPE});
    Sync(app.main);
    EXPECT_EQ(NULL, WaitForDialog(app.main, 200));
}

TEST_F(KorvanelTest, ToolbarHoldsItsButtonsAtItsFixedPlace)
{
    ASSERT_TRUE(Start(app));
    HWND toolbar = Toolbar(app);
    ASSERT_TRUE(toolbar);
    EXPECT_EQ(0x5000014C, GetWindowLongA(toolbar, GWL_STYLE) & 0x5000014C);
    // Wine's comctl32 reports 5.81, which is past 4.70.
    EXPECT_NE(0, GetWindowLongA(toolbar, GWL_STYLE) & TBSTYLE_FLAT);
    RECT place = ClientRectOf(app.main, toolbar);
    EXPECT_EQ(330, place.left);
    EXPECT_EQ(1, place.top);
    EXPECT_EQ(440, place.right);
    EXPECT_EQ(26, place.bottom);

    std::vector<TBBUTTON> buttons = ToolbarButtons(app);
    ASSERT_EQ(6u, buttons.size());
    const int ids[] = {IDT_REGISTER, IDT_DELETE, 0, IDT_CAL, 0, IDT_REFRESH};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(ids[i], buttons[i].idCommand) << i;
        EXPECT_EQ(TBSTATE_ENABLED, buttons[i].fsState) << i;
        EXPECT_EQ(ids[i] ? TBSTYLE_BUTTON : TBSTYLE_SEP, buttons[i].fsStyle) << i;
        EXPECT_EQ(0, buttons[i].dwData) << i;
    }
    // Save and delete from one system image strip, then the two pictures of the program.
    EXPECT_EQ(STD_FILESAVE - STD_DELETE, buttons[0].iBitmap - buttons[1].iBitmap);
    EXPECT_EQ(buttons[3].iBitmap + 1, buttons[5].iBitmap);
    EXPECT_GT(buttons[3].iBitmap, buttons[0].iBitmap);
}

TEST_F(KorvanelTest, TooltipsCoverTheFourButtonsAndFiveControls)
{
    ASSERT_TRUE(Start(app));
    HWND tooltip = NULL;
    for (HWND candidate : TooltipWindows(app))
        if (Ask(candidate, TTM_GETTOOLCOUNT) == 9) tooltip = candidate;
    ASSERT_TRUE(tooltip);
    EXPECT_NE(0, GetWindowLongA(tooltip, GWL_STYLE) & TTS_ALWAYSTIP);
    EXPECT_NE(0, GetWindowLongA(tooltip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND toolbar = Toolbar(app);
    EXPECT_EQ((LRESULT)tooltip, Ask(toolbar, TB_GETTOOLTIPS));

    struct Expected {
        HWND hwnd;
        UINT_PTR id;
        int position; // in the toolbar
        const char* text;
    } expected[] = {
        {toolbar, IDT_CAL, 3, "起動用 CAL ファイルの作成 (Ctrl+E)"},
        {toolbar, IDT_REFRESH, 5, "最新の情報に更新 (F5)"},
        {toolbar, IDT_REGISTER, 0, "登録 (Ctrl+R)"},
        {toolbar, IDT_DELETE, 1, "削除 (Ctrl+D)"},
        {Control(app, IDC_NAME), 0, -1, "ツールの登録名"},
        {Control(app, IDC_EXE_PATH), 0, -1, "実行されるファイルのパス"},
        {Control(app, IDC_BROWSE), 0, -1, "参照"},
        {Control(app, IDC_MENU_TEXT), 0, -1, "Cakewalk の [ツール] メニューに表示される文字列"},
        {Control(app, IDC_STATUS_TEXT), 0, -1, "Cakewalk のステータス バーに表示される文字列"},
    };
    std::vector<Tool> tools = Tools(app, tooltip);
    ASSERT_EQ(9u, tools.size());
    for (int i = 0; i < 9; i++) {
        const Tool& tool = tools[i];
        EXPECT_EQ(expected[i].hwnd, tool.hwnd) << i;
        EXPECT_EQ(expected[i].id, tool.id) << i;
        EXPECT_EQ(expected[i].text, tool.text) << i;
        EXPECT_NE(0u, tool.flags & TTF_SUBCLASS) << i;
        EXPECT_EQ(0u, tool.flags & TTF_IDISHWND) << i;
        RECT rect{};
        if (expected[i].position >= 0)
            rect = ToolbarItemRect(app, expected[i].position);
        else
            GetClientRect(expected[i].hwnd, &rect);
        EXPECT_TRUE(EqualRect(&rect, &tool.rect)) << i;
    }
}

static std::string VisibleTip(const App& app)
{
    for (HWND tooltip : TooltipWindows(app))
        if (IsWindowVisible(tooltip)) return Text(tooltip);
    return "";
}

static std::string TipAfterResting(const App& app, POINT where)
{
    MoveMouse(POINT{where.x + 3, where.y + 2});
    Wait(100);
    MoveMouse(where);
    for (int i = 0; i < 30; i++) {
        Wait(100);
        std::string tip = VisibleTip(app);
        if (!tip.empty()) return tip;
    }
    return "";
}

TEST_F(KorvanelTest, TipsAppearOnRestingTheMouseAlsoWhileInactive)
{
    ASSERT_TRUE(Start(app));
    // Another window of the driver takes the activation, away from the program's window.
    HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 40,
                                 40, NULL, NULL, GetModuleHandleA(NULL), NULL);
    SetForegroundWindow(other);
    Wait(200);
    EXPECT_NE(app.main, GetForegroundWindow());

    EXPECT_EQ("参照", TipAfterResting(app, CentreOf(Control(app, IDC_BROWSE))));
    EXPECT_EQ("最新の情報に更新 (F5)", TipAfterResting(app, ToolbarButtonCentre(app, 5)));
    MoveMouse(CentreOf(Control(app, IDC_TOOL_LIST)));
    Wait(1500);
    EXPECT_EQ("", VisibleTip(app)); // the list has no tip
    DestroyWindow(other);
}

// The painted dressing, read from the screen in the main window's client co-ordinates.
struct PaintedLabel {
    RECT rect;
    const char* name;
};
static const PaintedLabel Labels[] = {
    {{14, 7, 110, 19}, "name"},
    {{12, 228, 110, 240}, "menu text"},
    {{12, 252, 110, 264}, "program path"},
    {{12, 276, 110, 288}, "status-bar text"},
};

static RECT ClientOnScreen(HWND main)
{
    RECT client;
    GetClientRect(main, &client);
    MapWindowPoints(main, NULL, (POINT*)&client, 2);
    return client;
}

static bool Dark(COLORREF c)
{
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100;
}

static void ExpectDressing(const App& app, const char* when)
{
    Capture shot = CaptureScreen(ClientOnScreen(app.main));
    ASSERT_FALSE(shot.pixels.empty());
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    // A sunken outer edge: shadow above and to the left, light below and to the right.
    for (int x = 14; x < 320; x += 17) {
        EXPECT_EQ(shadow, shot.At(x, 0)) << when << " top " << x;
        EXPECT_EQ(light, shot.At(x, 26)) << when << " bottom " << x;
    }
    for (int y = 2; y < 26; y += 5) {
        EXPECT_EQ(shadow, shot.At(12, y)) << when << " left " << y;
        EXPECT_EQ(light, shot.At(440, y)) << when << " right " << y;
    }
    // Each label shows text wherever no control lies over it. With a 13-pixel dialog font (Wine's
    // substitute for the template's) the list covers the menu-text label: the labels keep their
    // pixels whatever size the dialog units have.
    for (const PaintedLabel& label : Labels) {
        int open = 0, dark = 0;
        for (int y = label.rect.top; y < label.rect.bottom; y++) {
            for (int x = label.rect.left; x < label.rect.right; x++) {
                if (ChildWindowFromPointEx(app.main, POINT{x, y}, CWP_SKIPINVISIBLE) != app.main)
                    continue;
                open++;
                dark += Dark(shot.At(x, y));
            }
        }
        int area = (label.rect.right - label.rect.left) * (label.rect.bottom - label.rect.top);
        if (open > area / 2) {
            EXPECT_GT(dark, 30) << when << " " << label.name;
        }
    }
}

TEST_F(KorvanelTest, FrameAndLabelsArePaintedAndSurviveBeingCovered)
{
    ASSERT_TRUE(Start(app));
    Foreground(app.main);
    Wait(300);
    ExpectDressing(app, "shown");

    RECT r = WindowRect(app.main);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT,
                                 r.left - 10, r.top - 10, r.right - r.left + 20,
                                 r.bottom - r.top + 20, NULL, NULL, GetModuleHandleA(NULL), NULL);
    UpdateWindow(cover);
    Wait(300);
    DestroyWindow(cover);
    Wait(300);
    Sync(app.main);
    ExpectDressing(app, "uncovered");

    ShowWindow(app.main, SW_MINIMIZE);
    Sync(app.main);
    ShowWindow(app.main, SW_RESTORE);
    Sync(app.main);
    Wait(300);
    ExpectDressing(app, "restored");
}
