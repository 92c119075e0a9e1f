#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "app/app.h"
#include "editor/editor.h"
#include "res/resource.h"
#include "store/store.h"

// The main window runs inside the test process here, so that its records and colours can be
// looked at directly.
class MainWindowInProcess : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Clear();
        for (int i = 0; i < 5; i++)
            WriteToolEntry(("Tool" + std::to_string(i)).c_str(),
                           i % 2 ? "C:\\windows\\notepad.exe" : "C:\\missing\\tool.exe", "m", "s");
        AppInstance = GetModuleHandleA(NULL);
        window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                    MainDialogProc, 0);
        ASSERT_NE((HWND)NULL, window);
    }
    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Clear();
    }
    static void Clear()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Cakewalk Music Software\\Tools Menu");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Cakewalk Music Software\\Tools Menu");
    }
    HWND window = NULL;
};

TEST_F(MainWindowInProcess, RefreshingAThousandTimesLeaksNoRecordOrIcon)
{
    HWND list = GetDlgItem(window, IDC_TOOL_LIST);
    ASSERT_EQ(5, SendMessageA(list, LB_GETCOUNT, 0, 0));
    LONG entries = LiveToolEntryCount, icons = LiveToolIconCount;
    EXPECT_EQ(5, entries);
    EXPECT_EQ(2, icons); // the three missing programs have none
    for (int i = 0; i < 1000; i++)
        RefreshToolList(window);
    EXPECT_EQ(entries, LiveToolEntryCount);
    EXPECT_EQ(icons, LiveToolIconCount);
    DestroyWindow(window);
    EXPECT_EQ(0, LiveToolEntryCount);
    EXPECT_EQ(0, LiveToolIconCount);
}

TEST_F(MainWindowInProcess, ItemsAreAtLeast34PixelsAndRefreshEmptiesFields)
{
    HWND list = GetDlgItem(window, IDC_TOOL_LIST);
    EXPECT_GE(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0), 34);
    SendMessageA(list, LB_SETCURSEL, 3, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_TOOL_LIST, LBN_SELCHANGE), (LPARAM)list);
    char text[260];
    GetDlgItemTextA(window, IDC_NAME, text, sizeof text);
    EXPECT_STREQ("Tool3", text);
    GetDlgItemTextA(window, IDC_EXE_PATH, text, sizeof text);
    EXPECT_STREQ("C:\\windows\\notepad.exe", text);
    RefreshToolList(window);
    EXPECT_EQ(LB_ERR, SendMessageA(list, LB_GETCURSEL, 0, 0));
    for (int id : {IDC_NAME, IDC_EXE_PATH, IDC_MENU_TEXT, IDC_STATUS_TEXT}) {
        GetDlgItemTextA(window, id, text, sizeof text);
        EXPECT_STREQ("", text) << id;
    }
}

TEST_F(MainWindowInProcess, NameFieldIsBoldAndColoursFollowTheSystem)
{
    HFONT font = (HFONT)SendDlgItemMessageA(window, IDC_NAME, WM_GETFONT, 0, 0);
    LOGFONTA bold, normal;
    ASSERT_TRUE(GetObjectA(font, sizeof bold, &bold));
    ASSERT_TRUE(GetObjectA(NormalFont, sizeof normal, &normal));
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
    EXPECT_STREQ(normal.lfFaceName, bold.lfFaceName);
    EXPECT_EQ(normal.lfHeight, bold.lfHeight);

    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), HighlightColour);
    int element = COLOR_HIGHLIGHT;
    COLORREF old = GetSysColor(element), changed = RGB(10, 200, 30);
    SetSysColors(1, &element, &changed);
    SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(changed, HighlightColour);
    SetSysColors(1, &element, &old);
    SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(old, HighlightColour);
}
