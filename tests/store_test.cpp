#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "store/store.h"

static const char Key[] = "Software\\Cakewalk Music Software\\Tools Menu";

static void Clear()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key);
}

static HKEY CreateEntryKey(const std::string& name)
{
    HKEY key = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(Key) + "\\" + name).c_str(), 0, NULL, 0,
                    KEY_ALL_ACCESS, NULL, &key, NULL);
    return key;
}

static void Collect(ToolEntry* entry, void* context)
{
    ((std::vector<ToolEntry*>*)context)->push_back(entry);
}

struct Entries {
    std::vector<ToolEntry*> list;
    bool opened = false;
    Entries()
    {
        opened = ReadToolEntries(Collect, &list);
    }
    ~Entries()
    {
        for (ToolEntry* e : list)
            FreeToolEntry(e);
    }
};

class StoreTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Clear();
    }
    void TearDown() override
    {
        Clear();
    }
};

TEST_F(StoreTest, MissingKeyYieldsNothingAndWriteCreatesIt)
{
    Entries none;
    EXPECT_FALSE(none.opened);
    EXPECT_TRUE(none.list.empty());

    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Editor", "C:\\windows\\notepad.exe", "&Editor", ""));
    Entries one;
    ASSERT_EQ(1u, one.list.size());
    EXPECT_STREQ("Editor", one.list[0]->name);
    EXPECT_STREQ("C:\\windows\\notepad.exe", one.list[0]->path);
    EXPECT_STREQ("&Editor", one.list[0]->menuText);
    EXPECT_STREQ("", one.list[0]->statusText);
    EXPECT_NE((HICON)NULL, one.list[0]->icon);
}

TEST_F(StoreTest, ValuesAreStoredWithTerminatorAndTypeIsGeneric)
{
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("T", "p", "m", ""));
    HKEY key = CreateEntryKey("T");
    char buffer[32];
    DWORD size = sizeof buffer, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Type", NULL, &type, (BYTE*)buffer, &size));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(8u, size);
    EXPECT_STREQ("Generic", buffer);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "StatusBarText", NULL, &type, (BYTE*)buffer, &size));
    EXPECT_EQ(1u, size);
    RegCloseKey(key);
}

TEST_F(StoreTest, OverwriteIgnoresCaseAndKeepsKeyNameAndOtherValues)
{
    HKEY key = CreateEntryKey("MixedCase");
    RegSetValueExA(key, "CmdArgs", 0, REG_SZ, (const BYTE*)"-x", 3);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("MIXEDCASE", "new", "menu", "status"));
    Entries all;
    ASSERT_EQ(1u, all.list.size());
    EXPECT_STREQ("MixedCase", all.list[0]->name);
    EXPECT_STREQ("new", all.list[0]->path);
    key = CreateEntryKey("mixedcase");
    char buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "CmdArgs", NULL, NULL, (BYTE*)buffer, &size));
    RegCloseKey(key);
}

TEST_F(StoreTest, OddValuesNeverYieldUnterminatedText)
{
    HKEY key = CreateEntryKey("Odd");
    std::string long260(260, 'x'); // fills the buffer exactly, no room for a terminator
    RegSetValueExA(key, "ExePath", 0, REG_BINARY, (const BYTE*)long260.data(), 260);
    RegSetValueExA(key, "MenuText", 0, REG_BINARY, (const BYTE*)"abcd", 4);
    std::string long300(300, 'y');
    RegSetValueExA(key, "StatusBarText", 0, REG_SZ, (const BYTE*)long300.c_str(), 301);
    RegCloseKey(key);
    key = CreateEntryKey("Fits");
    std::string long259(259, 'z');
    RegSetValueExA(key, "ExePath", 0, REG_SZ, (const BYTE*)long259.c_str(), 260);
    DWORD number = 0x41424344;
    RegSetValueExA(key, "MenuText", 0, REG_DWORD, (const BYTE*)&number, 4);
    RegCloseKey(key);

    Entries all;
    ASSERT_EQ(2u, all.list.size());
    const ToolEntry* fits = all.list[0];
    const ToolEntry* odd = all.list[1];
    EXPECT_STREQ("", odd->path);
    EXPECT_STREQ("abcd", odd->menuText);
    EXPECT_STREQ("", odd->statusText);
    EXPECT_EQ(long259, fits->path);
    EXPECT_STREQ("DCBA", fits->menuText);
    EXPECT_STREQ("", fits->statusText);
}

TEST_F(StoreTest, EntryWithoutValuesOrProgramStillListedByName)
{
    RegCloseKey(CreateEntryKey("Bare"));
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Gone", "C:\\no\\such.exe", "g", "g"));
    Entries all;
    ASSERT_EQ(2u, all.list.size());
    EXPECT_STREQ("Bare", all.list[0]->name);
    EXPECT_STREQ("", all.list[0]->path);
    EXPECT_STREQ("Gone", all.list[1]->name);
    EXPECT_EQ(NULL, all.list[1]->icon);
}

TEST_F(StoreTest, DeleteRemovesWholeTreeAndReportsMissingKey)
{
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Deep", "p", "m", "s"));
    std::string path = "Deep";
    for (int level = 0; level < 40; level++) {
        path += "\\level" + std::to_string(level);
        RegCloseKey(CreateEntryKey(path));
        RegCloseKey(CreateEntryKey("Deep\\sibling" + std::to_string(level)));
    }
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Keep", "p", "m", "s"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteToolEntry("deep"));
    Entries all;
    ASSERT_EQ(1u, all.list.size());
    EXPECT_STREQ("Keep", all.list[0]->name);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteToolEntry("Deep"));
}

TEST_F(StoreTest, NestedNameCreatesNestedKeyListedByFirstComponent)
{
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Group\\Tool", "p", "m", "s"));
    Entries all;
    ASSERT_EQ(1u, all.list.size());
    EXPECT_STREQ("Group", all.list[0]->name);
    EXPECT_STREQ("", all.list[0]->path);
}

TEST_F(StoreTest, OverlongNameIsRefusedWithoutOverrun)
{
    std::string name(600, 'n');
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, WriteToolEntry(name.c_str(), "p", "m", "s"));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, DeleteToolEntry(name.c_str()));
    char path[TOOL_KEY_PATH_SIZE + 16];
    memset(path, 0x7E, sizeof path);
    std::string fits(TOOL_KEY_PATH_SIZE - 1 - 1 - 43, 'f');
    EXPECT_TRUE(BuildToolKeyPath(fits.c_str(), path));
    EXPECT_EQ(TOOL_KEY_PATH_SIZE - 1, (int)strlen(path));
    EXPECT_EQ(0x7E, (unsigned char)path[TOOL_KEY_PATH_SIZE]);
    EXPECT_FALSE(BuildToolKeyPath((fits + "x").c_str(), path));
}

static void DeleteAllOnFirstEntry(ToolEntry* entry, void* context)
{
    int* seen = (int*)context;
    if ((*seen)++ == 0) Clear();
    FreeToolEntry(entry);
}

TEST_F(StoreTest, WalkEndsWhenTheKeyIsDeletedUnderIt)
{
    for (int i = 0; i < 20; i++)
        WriteToolEntry(("E" + std::to_string(i)).c_str(), "p", "m", "s");
    int seen = 0;
    EXPECT_TRUE(ReadToolEntries(DeleteAllOnFirstEntry, &seen));
    EXPECT_GE(seen, 1);
    EXPECT_LE(seen, 20);
    EXPECT_EQ(0, LiveToolEntryCount);
}
