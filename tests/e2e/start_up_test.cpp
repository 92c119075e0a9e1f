#include <algorithm>
#include "tests/e2e/driver.h"
#include "res/resource.h"

using namespace driver;

static const char NotepadPath[] = "C:\\windows\\notepad.exe";
static const char RegeditPath[] = "C:\\windows\\regedit.exe";

TEST_F(KorvanelTest, OpensCentredWithCaptionAndBoldNameField)
{
    ASSERT_TRUE(Start(app));
    EXPECT_EQ("コルヴァネル for Cakewalk", Text(app.main));
    RECT r = WindowRect(app.main);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (r.left + r.right) / 2, 2);
    EXPECT_NEAR((work.top + work.bottom) / 2, (r.top + r.bottom) / 2, 2);
    EXPECT_EQ(GetDlgItem(app.main, IDC_NAME), FocusedControl(app));
    EXPECT_EQ(0, ItemCount(app));
    EXPECT_EQ(0u, Close(app));
}

TEST_F(KorvanelTest, ListsEntriesInRegistryOrderAndFieldsFollowSelection)
{
    PutEntry("beta", RegeditPath, "&Beta", "Beta status");
    PutEntry("Alpha", NotepadPath, "&Alpha", "");
    PutEntry("Missing", "C:\\nowhere\\gone.exe", "Gone", "Gone status");
    ASSERT_TRUE(Start(app));
    // The registry enumerates case-insensitively sorted names; the list must not re-sort them.
    std::vector<std::string> expected;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, ToolsMenuKey, 0, KEY_READ, &key));
    char name[260];
    for (DWORD i = 0;; i++) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        expected.push_back(name);
    }
    RegCloseKey(key);
    EXPECT_EQ(expected, ItemNames(app));

    ToolEntry entry{};
    for (int i = 0; i < ItemCount(app); i++) {
        ASSERT_TRUE(ReadItem(app, i, entry));
        if (std::string(entry.name) == "Missing")
            EXPECT_EQ(NULL, entry.icon);
        else
            EXPECT_NE((HICON)NULL, entry.icon) << entry.name;
    }

    int beta = (int)(std::find(expected.begin(), expected.end(), "beta") - expected.begin());
    SelectItem(app, beta);
    EXPECT_EQ(beta, Selection(app));
    EXPECT_EQ("beta", Field(app, IDC_NAME));
    EXPECT_EQ(RegeditPath, Field(app, IDC_EXE_PATH));
    EXPECT_EQ("&Beta", Field(app, IDC_MENU_TEXT));
    EXPECT_EQ("Beta status", Field(app, IDC_STATUS_TEXT));
    int alpha = (int)(std::find(expected.begin(), expected.end(), "Alpha") - expected.begin());
    SelectItem(app, alpha);
    EXPECT_EQ("Alpha", Field(app, IDC_NAME));
    EXPECT_EQ("", Field(app, IDC_STATUS_TEXT));
}

TEST_F(KorvanelTest, SecondInstanceRestoresTheFirstAndEndsWithZero)
{
    ASSERT_TRUE(Start(app));
    ShowWindow(app.main, SW_MINIMIZE);
    Sync(app.main);
    ASSERT_TRUE(IsIconic(app.main));

    App second;
    ASSERT_TRUE(Launch(second, "--whatever"));
    EXPECT_EQ(0u, WaitForExit(second));
    Sync(app.main);
    EXPECT_FALSE(IsIconic(app.main));
    EXPECT_EQ(app.main, GetForegroundWindow());
}

TEST_F(KorvanelTest, CloseBoxAndExitBothEndWithZero)
{
    ASSERT_TRUE(Start(app));
    PostMessageA(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, WaitForExit(app));

    ASSERT_TRUE(Start(app, "/import C:\\nothing.ini --help"));
    EXPECT_EQ(0, ItemCount(app));
    Command(app.main, IDM_EXIT);
    EXPECT_EQ(0u, WaitForExit(app));
}

TEST_F(KorvanelTest, ContextMenuOpensOnRightClickAndApplicationsKey)
{
    PutEntry("One", NotepadPath, "One", "");
    PutEntry("Two", RegeditPath, "Two", "");
    ASSERT_TRUE(Start(app));
    Foreground(app.main);
    Click(ItemCentre(app, 1), true);
    HWND menu = FindWindowA("#32768", NULL);
    EXPECT_TRUE(menu && IsWindowVisible(menu));
    EXPECT_EQ(1, Selection(app));
    EXPECT_EQ(ItemNames(app)[1], Field(app, IDC_NAME));
    Keys({VK_ESCAPE});
    Sync(app.main);

    Keys({VK_APPS});
    menu = FindWindowA("#32768", NULL);
    EXPECT_TRUE(menu && IsWindowVisible(menu));
    Keys({VK_ESCAPE});
}
