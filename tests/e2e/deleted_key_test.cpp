#include "tests/e2e/driver.h"
#include "res/resource.h"

using namespace driver;

static const char NotepadPath[] = "C:\\windows\\notepad.exe";
static const char RegeditPath[] = "C:\\windows\\regedit.exe";

static bool Alive(const App& app)
{
    return WaitForSingleObject(app.process.hProcess, 0) == WAIT_TIMEOUT;
}

// Cakewalk, an uninstaller or regedit may remove the whole Tools Menu key while the list shows it.
TEST_F(KorvanelTest, ToolsMenuKeyDeletedElsewhereGivesAnEmptyListOnRefresh)
{
    PutEntry("One", NotepadPath, "One(&1)", "first");
    PutEntry("Two", RegeditPath, "Two(&2)", "second");
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(2, ItemCount(app));
    SelectItem(app, 1);
    ASSERT_EQ("Two", Field(app, IDC_NAME));

    ClearToolsMenu();
    Foreground(app.main);
    Keys({VK_F5});
    Sync(app.main);
    EXPECT_EQ(0, ItemCount(app));
    EXPECT_EQ(-1, Selection(app));
    for (int id : {IDC_NAME, IDC_EXE_PATH, IDC_MENU_TEXT, IDC_STATUS_TEXT})
        EXPECT_EQ("", Field(app, id)) << id;
    EXPECT_EQ((HWND)NULL, WaitForDialog(app.main, 1000)) << "no message for a missing key";
    EXPECT_TRUE(Alive(app));
    EXPECT_FALSE(KeyExists("")) << "a refresh only reads: it must not create the key again";

    PutEntry("Three", NotepadPath, "Three(&3)", "third");
    Keys({VK_F5});
    Sync(app.main);
    EXPECT_EQ(std::vector<std::string>{"Three"}, ItemNames(app));
    EXPECT_TRUE(Alive(app));
    EXPECT_EQ(0u, Close(app));
}

TEST_F(KorvanelTest, EntryDeletedElsewhereLeavesTheOthersOnRefresh)
{
    PutEntry("One", NotepadPath, "One(&1)", "first");
    PutEntry("Two", RegeditPath, "Two(&2)", "second");
    PutEntry("Three", NotepadPath, "Three(&3)", "third");
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(3, ItemCount(app));

    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Two").c_str()));
    Foreground(app.main);
    Keys({VK_F5});
    Sync(app.main);
    EXPECT_EQ((std::vector<std::string>{"One", "Three"}), ItemNames(app));
    EXPECT_EQ((HWND)NULL, WaitForDialog(app.main, 500));
    EXPECT_TRUE(Alive(app));
}
