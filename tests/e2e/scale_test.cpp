#include <stdio.h>
#include "tests/e2e/driver.h"
#include "res/resource.h"

using namespace driver;

static const int ManyEntries = 5000;

// Written under one open key rather than through PutEntry's full paths, so that the five thousand
// entries take a second or two, not the test's whole budget.
static bool PutManyEntries(int count)
{
    HKEY tools;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ToolsMenuKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &tools,
                        NULL) != ERROR_SUCCESS)
        return false;
    bool written = true;
    for (int i = 0; i < count && written; i++) {
        char name[32], menuText[32];
        snprintf(name, sizeof name, "Tool%05d", i);
        snprintf(menuText, sizeof menuText, "ツール %d(&T)", i);
        const char* path = i % 25 == 7 ? "C:\\missing\\tool.exe"
                           : i % 2     ? "C:\\windows\\regedit.exe"
                                       : "C:\\windows\\notepad.exe";
        HKEY key;
        written = RegCreateKeyExA(tools, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ==
                  ERROR_SUCCESS;
        if (!written) break;
        auto put = [&](const char* value, const char* text) {
            RegSetValueExA(key, value, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
        };
        put("ExePath", path);
        put("MenuText", menuText);
        put("StatusBarText", "");
        put("Type", "Generic");
        RegCloseKey(key);
    }
    RegCloseKey(tools);
    return written;
}

static LRESULT AskList(const App& app, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = (DWORD_PTR)-1;
    if (!SendMessageTimeoutA(GetDlgItem(app.main, IDC_TOOL_LIST), msg, wParam, lParam, SMTO_NORMAL,
                             10000, &result))
        return -2;
    return (LRESULT)result;
}

// The program is alive and its message loop answers within a few seconds.
static bool Answers(const App& app)
{
    DWORD_PTR result;
    return WaitForSingleObject(app.process.hProcess, 0) == WAIT_TIMEOUT &&
           SendMessageTimeoutA(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
}

static void RedrawList(const App& app)
{
    RedrawWindow(GetDlgItem(app.main, IDC_TOOL_LIST), NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sync(app.main);
}

TEST_F(KorvanelTest, FiveThousandEntriesScrollAndRedrawWithoutAFault)
{
    ASSERT_TRUE(PutManyEntries(ManyEntries));
    // Every entry's icon is read before the window shows, which takes seconds at this size.
    ASSERT_TRUE(Launch(app));
    app.main = FindMainWindow(app.process.dwProcessId, 60000);
    ASSERT_NE((HWND)NULL, app.main);
    ASSERT_TRUE(Answers(app));
    ASSERT_EQ(ManyEntries, ItemCount(app));

    SelectItem(app, 0);
    ASSERT_EQ(0, Selection(app));
    Keys({VK_END});
    Sync(app.main);
    EXPECT_EQ(ManyEntries - 1, Selection(app));
    EXPECT_EQ("Tool04999", Field(app, IDC_NAME));
    EXPECT_GT(AskList(app, LB_GETTOPINDEX), ManyEntries - 10);
    RedrawList(app);

    Keys({VK_HOME});
    Sync(app.main);
    EXPECT_EQ(0, Selection(app));
    EXPECT_EQ(0, AskList(app, LB_GETTOPINDEX));
    Keys({VK_NEXT});
    Sync(app.main);
    int firstPage = Selection(app);
    EXPECT_GT(firstPage, 0);
    Keys({VK_NEXT});
    Sync(app.main);
    EXPECT_GT(Selection(app), firstPage);
    char name[32];
    snprintf(name, sizeof name, "Tool%05d", Selection(app));
    EXPECT_EQ(name, Field(app, IDC_NAME));
    RedrawList(app);

    // The scroll bar, as a drag of its thumb and clicks in its track would move it.
    AskList(app, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 2500));
    EXPECT_EQ(2500, AskList(app, LB_GETTOPINDEX));
    RedrawList(app);
    AskList(app, WM_VSCROLL, SB_PAGEDOWN);
    EXPECT_GT(AskList(app, LB_GETTOPINDEX), 2500);
    AskList(app, WM_VSCROLL, SB_BOTTOM);
    EXPECT_GT(AskList(app, LB_GETTOPINDEX), ManyEntries - 10);
    RedrawList(app);
    AskList(app, WM_VSCROLL, SB_TOP);
    EXPECT_EQ(0, AskList(app, LB_GETTOPINDEX));
    RedrawWindow(app.main, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    EXPECT_TRUE(Answers(app));
    EXPECT_EQ(ManyEntries, ItemCount(app));
    ToolEntry last{};
    ASSERT_TRUE(ReadItem(app, ManyEntries - 1, last));
    EXPECT_STREQ("Tool04999", last.name);
    EXPECT_STREQ("C:\\windows\\regedit.exe", last.path);
    EXPECT_EQ(0u, Close(app));
}
