#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "app/app.h"
#include "editor/editor.h"
#include "res/resource.h"
#include "tests/support.h"

using namespace support;

TEST(Store, OddValuesNeverYieldUnterminatedText)
{
    ClearToolsMenu();
    HKEY key = CreateKey("Odd");
    std::string x260(260, 'x'), y300(300, 'y'), z259(259, 'z');
    // Fills the 260-byte field exactly, leaving no room for a terminator.
    RegSetValueExA(key, "ExePath", 0, REG_BINARY, (const BYTE*)x260.data(), 260);
    RegSetValueExA(key, "StatusBarText", 0, REG_SZ, (const BYTE*)y300.c_str(), 301);
    RegCloseKey(key);
    key = CreateKey("Fits");
    RegSetValueExA(key, "ExePath", 0, REG_SZ, (const BYTE*)z259.c_str(), 260);
    RegCloseKey(key);
    std::vector<ToolEntry> entries = StoredEntries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(z259, entries[0].path);
    EXPECT_STREQ("", entries[1].path);
    EXPECT_STREQ("", entries[1].statusText);
}

TEST(Store, NestedNamesNestDeleteAsTreesAndOverlongNamesAreRefusedWithoutOverrun)
{
    ClearToolsMenu();
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Group\\Tool", "p", "m", "s"));
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Keep", "p", "m", "s"));
    EXPECT_STREQ("Group", StoredEntries()[0].name);
    EXPECT_EQ("p", Value("Group\\Tool", "ExePath"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteToolEntry("GROUP"));
    EXPECT_EQ(Strings{"Keep"}, Subkeys());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteToolEntry("Group"));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, DeleteToolEntry(std::string(600, 'n').c_str()));
    // The key is 43 bytes: with the backslash and the terminator, this name fills the buffer.
    char path[TOOL_KEY_PATH_SIZE + 16];
    memset(path, '~', sizeof path);
    std::string fits(TOOL_KEY_PATH_SIZE - 45, 'f');
    EXPECT_EQ(ERROR_SUCCESS, BuildToolKeyPath(fits.c_str(), path, TOOL_KEY_PATH_SIZE));
    EXPECT_EQ(TOOL_KEY_PATH_SIZE - 1, (int)strlen(path));
    EXPECT_EQ('~', path[TOOL_KEY_PATH_SIZE]);
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE,
              BuildToolKeyPath((fits + "x").c_str(), path, TOOL_KEY_PATH_SIZE));
}

static int Seen;
static void ClearAtTheFirst(ToolEntry* entry, void*)
{
    if (Seen++ == 0) ClearToolsMenu();
    FreeToolEntry(entry);
}
static DWORD WINAPI Walk(void*)
{
    return ReadToolEntries(ClearAtTheFirst, NULL);
}

TEST(Store, WalkEndsWhenTheKeyIsDeletedUnderIt)
{
    ClearToolsMenu();
    for (int i = 0; i < 20; i++)
        WriteToolEntry(("E" + std::to_string(i)).c_str(), "p", "m", "s");
    // On a thread of its own: a walk that never ended would hang the test rather than fail it.
    HANDLE walk = CreateThread(NULL, 0, Walk, NULL, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(walk, 10000));
    CloseHandle(walk);
    EXPECT_EQ(1, Seen); // the entry read before the key went, and none made up after it
    EXPECT_EQ(0, LiveToolEntryCount);
}

// The main window runs in this process, so that the list's records and icons can be counted.
TEST(Store, AThousandRefreshesOfTheListKeepRecordsAndIconsBalanced)
{
    ClearToolsMenu();
    for (int i = 0; i < 5; i++)
        WriteToolEntry(("Tool" + std::to_string(i)).c_str(),
                       i % 2 ? "C:\\windows\\notepad.exe" : "C:\\missing\\tool.exe", "m", "s");
    AppInstance = GetModuleHandleA(NULL);
    HWND window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                     MainDialogProc, 0);
    ASSERT_NE((HWND)NULL, window);
    EXPECT_EQ(5, LiveToolEntryCount);
    EXPECT_EQ(2, LiveToolIconCount); // the three missing programs have none
    for (int i = 0; i < 1000; i++)
        RefreshToolList(window);
    EXPECT_EQ(5, LiveToolEntryCount);
    EXPECT_EQ(2, LiveToolIconCount);
    DestroyWindow(window);
    EXPECT_EQ(0, LiveToolEntryCount);
    EXPECT_EQ(0, LiveToolIconCount);
}
