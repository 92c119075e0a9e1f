#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include "exchange/exchange.h"
#include "store/store.h"

static const char Key[] = "Software\\Cakewalk Music Software\\Tools Menu";

static void ClearToolsMenu()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key);
}

static void Collect(ToolEntry* entry, void* context)
{
    ((std::vector<ToolEntry>*)context)->push_back(*entry);
    FreeToolEntry(entry);
}

static std::vector<ToolEntry> Stored()
{
    std::vector<ToolEntry> entries;
    ReadToolEntries(Collect, &entries);
    return entries;
}

static std::vector<std::string> StoredNames()
{
    std::vector<std::string> names;
    for (const ToolEntry& entry : Stored())
        names.push_back(entry.name);
    return names;
}

static std::string StoredType(const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(Key) + "\\" + name).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return "<no key>";
    char type[64] = "";
    DWORD size = sizeof type - 1;
    RegQueryValueExA(key, "Type", NULL, NULL, (BYTE*)type, &size);
    RegCloseKey(key);
    return type;
}

class IniImportTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "korvanel-import\\";
        CreateDirectoryA(folder.c_str(), NULL);
        file = folder + "tools.ini";
        DeleteFileA(file.c_str());
        ClearToolsMenu();
        // Whatever the file holds, an entry that was there before must survive.
        ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Kept", "C:\\kept.exe", "Kept", "kept"));
    }
    void TearDown() override
    {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
        ClearToolsMenu();
    }
    void Write(const std::string& bytes)
    {
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, NULL));
        CloseHandle(h);
    }
    IniImportResult Import()
    {
        IniImportResult result;
        ImportIniFile(file.c_str(), &result);
        return result;
    }
    void ExpectOnlyKept()
    {
        std::vector<ToolEntry> entries = Stored();
        ASSERT_EQ(1u, entries.size());
        EXPECT_STREQ("Kept", entries[0].name);
        EXPECT_STREQ("C:\\kept.exe", entries[0].path);
    }
    std::string folder, file;
};

TEST_F(IniImportTest, EmptyFileAndFileWithoutSectionsImportNothing)
{
    const char* contents[] = {"",
                              "\r\n\r\n",
                              "ExePath=C:\\x.exe\r\nMenuText=x\r\n",
                              "; only a comment\r\n",
                              "[unclosed\r\nExePath=x\r\n",
                              "[]\r\n[ ]\r\n"};
    for (const char* content : contents) {
        Write(content);
        IniImportResult result = Import();
        EXPECT_EQ(IMPORT_NO_SECTIONS, result.outcome) << content;
        // No error number: the window shows its own warning, not the system's text for success.
        EXPECT_EQ((DWORD)NO_ERROR, result.error) << content;
        ExpectOnlyKept();
    }
}

TEST_F(IniImportTest, BinaryFileIsRefusedBeforeAnythingIsWritten)
{
    std::string bytes(1 << 20, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = (char)(state >> 16);
    }
    // A clean section in front must not be imported either.
    Write("[Clean]\r\nExePath=C:\\clean.exe\r\n" + bytes);
    EXPECT_EQ(IMPORT_NOT_TOOL_FILE, Import().outcome);
    ExpectOnlyKept();
}

TEST_F(IniImportTest, MissingKeysGiveEmptyTextsAndEveryEntryGetsGenericType)
{
    Write("[None]\r\n"
          "[OnlyMenu]\r\n"
          "menutext=Menu\r\n"
          "[All]\r\n"
          "Type=Custom\r\n"
          "Other=ignored\r\n"
          "ExePath = C:\\all.exe \r\n"
          "MenuText=&All\r\n"
          "StatusBarText=status\r\n");
    IniImportResult result = Import();
    EXPECT_EQ(IMPORT_DONE, result.outcome);
    EXPECT_EQ(3, result.imported);
    for (const ToolEntry& entry : Stored()) {
        std::string name = entry.name;
        EXPECT_EQ("Generic", StoredType(name)) << name;
        if (name == "None") {
            EXPECT_STREQ("", entry.path);
            EXPECT_STREQ("", entry.menuText);
            EXPECT_STREQ("", entry.statusText);
        } else if (name == "OnlyMenu") {
            EXPECT_STREQ("", entry.path);
            EXPECT_STREQ("Menu", entry.menuText);
        } else if (name == "All") {
            EXPECT_STREQ("C:\\all.exe", entry.path);
            EXPECT_STREQ("&All", entry.menuText);
            EXPECT_STREQ("status", entry.statusText);
        }
    }
    EXPECT_EQ(4u, Stored().size());
}

TEST_F(IniImportTest, LongValuesAreCutTo256BytesAndQuotesRemoved)
{
    std::string ascii(300, 'a');
    for (size_t i = 0; i < ascii.size(); i++)
        ascii[i] = (char)('a' + i % 26);
    std::string wide; // 150 double-byte characters with 0x5C second bytes
    for (int i = 0; i < 150; i++)
        wide += "\x83\x5C";
    Write("[Long]\r\nExePath=" + ascii + "\r\nMenuText=" + wide + "\r\nStatusBarText=\"" + ascii +
          "\"\r\n"
          "[Quoted]\r\nExePath=\"C:\\q.exe\"\r\nMenuText='single'\r\nStatusBarText=\"\r\n");
    EXPECT_EQ(IMPORT_DONE, Import().outcome);
    for (const ToolEntry& entry : Stored()) {
        if (std::string(entry.name) == "Long") {
            EXPECT_EQ(ascii.substr(0, 256), entry.path);
            EXPECT_EQ(wide.substr(0, 256), entry.menuText);
            EXPECT_EQ(ascii.substr(0, 256), entry.statusText);
        } else if (std::string(entry.name) == "Quoted") {
            EXPECT_STREQ("C:\\q.exe", entry.path);
            EXPECT_STREQ("single", entry.menuText);
            EXPECT_STREQ("\"", entry.statusText);
        }
    }
}

TEST_F(IniImportTest, EmptySectionNameIsNotListedByTheReader)
{
    // The reader leaves "[]" out of its list, so the sections after it are imported; a list that
    // did hold an empty name would end the walk there.
    Write("[First]\r\nExePath=1\r\n[]\r\nExePath=empty\r\n[Second]\r\nExePath=2\r\n");
    IniImportResult result = Import();
    EXPECT_EQ(IMPORT_DONE, result.outcome);
    EXPECT_EQ(2, result.imported);
    std::set<std::string> names;
    for (const std::string& name : StoredNames())
        names.insert(name);
    EXPECT_EQ(std::set<std::string>({"First", "Kept", "Second"}), names);

    const char list[] = "one\0\0two\0\0";
    SectionWalk walk;
    BeginSectionWalk(&walk, list, 9, sizeof list + 2);
    EXPECT_STREQ("one", NextSection(&walk));
    EXPECT_EQ(NULL, NextSection(&walk));
    EXPECT_EQ(NULL, NextSection(&walk));
}

TEST_F(IniImportTest, VanishedLockedOrHugeFilesReportAndImportNothing)
{
    std::string gone = folder + "gone.ini";
    IniImportResult result;
    ImportIniFile(gone.c_str(), &result);
    EXPECT_EQ(IMPORT_OPEN_FAILED, result.outcome);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, result.error);
    // Deleted after its size was taken.
    ImportIniSections(gone.c_str(), 64, &result);
    EXPECT_EQ(IMPORT_NO_SECTIONS, result.outcome);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, result.error);

    Write("[Locked]\r\nExePath=x\r\n");
    HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    result = Import();
    CloseHandle(locked);
    EXPECT_EQ(IMPORT_OPEN_FAILED, result.outcome);
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, result.error);

    // A sparse file past 4 GB: its low 32 bits alone would size the list wrongly.
    HANDLE huge = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 20;
    SetFilePointerEx(huge, size, NULL, FILE_BEGIN);
    SetEndOfFile(huge);
    CloseHandle(huge);
    EXPECT_EQ(IMPORT_TOO_LARGE, Import().outcome);
    ExpectOnlyKept();
}

TEST_F(IniImportTest, LargeFilesAndManySectionsImportWhole)
{
    std::string big = "[One]\r\nExePath=C:\\one.exe\r\n";
    std::string pad(1000, 'x');
    for (int line = 0; big.size() < (50u << 20); line++)
        big += "Pad" + std::to_string(line) + "=" + pad + "\r\n";
    big += "[Two]\r\nExePath=C:\\two.exe\r\n";
    Write(big);
    IniImportResult result = Import();
    EXPECT_EQ(IMPORT_DONE, result.outcome);
    EXPECT_EQ(2, result.imported);
    EXPECT_EQ(3u, Stored().size());

    ClearToolsMenu();
    std::string many;
    for (int i = 0; i < 10000; i++)
        many += "[S" + std::to_string(i) + "]\r\nExePath=p" + std::to_string(i) + "\r\n";
    Write(many);
    result = Import();
    EXPECT_EQ(IMPORT_DONE, result.outcome);
    EXPECT_EQ(10000, result.imported);
    std::vector<ToolEntry> stored = Stored();
    ASSERT_EQ(10000u, stored.size());
    EXPECT_EQ("p" + std::string(stored[0].name + 1), stored[0].path);
}

TEST_F(IniImportTest, KeyRefusedOnThirdOfFiveKeepsTheFirstTwo)
{
    // A name too long for the key path is refused like a failed key creation, without overrun.
    std::string tooLong(500, 'L');
    Write("[A1]\r\nExePath=1\r\n[A2]\r\nExePath=2\r\n[" + tooLong +
          "]\r\nExePath=3\r\n[A4]\r\nExePath=4\r\n[A5]\r\nExePath=5\r\n");
    IniImportResult result = Import();
    EXPECT_EQ(IMPORT_KEY_FAILED, result.outcome);
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, result.error);
    EXPECT_EQ(2, result.imported);
    EXPECT_EQ(tooLong.substr(0, TOOL_TEXT_SIZE - 1), result.section);
    EXPECT_EQ(std::vector<std::string>({"A1", "A2", "Kept"}), StoredNames());

    // A name that fits the path but not the registry's limit for one key name.
    ClearToolsMenu();
    Write("[B1]\r\n[B2]\r\n[" + std::string(300, 'M') + "]\r\n[B4]\r\n[B5]\r\n");
    result = Import();
    EXPECT_EQ(IMPORT_KEY_FAILED, result.outcome);
    EXPECT_NE((DWORD)NO_ERROR, result.error);
    EXPECT_EQ(std::vector<std::string>({"B1", "B2"}), StoredNames());
}

TEST_F(IniImportTest, CutListNeverYieldsACutName)
{
    // Whatever the block's size, only whole names are imported, in file order, and the walk
    // never reads past what the reader returned.
    std::vector<std::string> names = {"abc", "\x83\x5C\x83\x5C\x83\x5C", "de", "\x95\x5CX", "last"};
    std::string content;
    for (const std::string& name : names)
        content += "[" + name + "]\r\nExePath=" + name + "\r\n";
    Write(content);
    size_t full = 0;
    for (const std::string& name : names)
        full += name.size() + 1;
    for (DWORD size = 1; size <= full + 3; size++) {
        ClearToolsMenu();
        IniImportResult result;
        ImportIniSections(file.c_str(), size, &result);
        std::vector<std::string> stored = StoredNames();
        ASSERT_LE(stored.size(), names.size()) << size;
        for (size_t i = 0; i < stored.size(); i++) {
            // Enumeration order is sorted; every stored name must be one of the file's.
            EXPECT_NE(names.end(), std::find(names.begin(), names.end(), stored[i])) << size;
        }
        EXPECT_EQ((int)stored.size(), result.imported) << size;
        if (size >= full + 3) {
            EXPECT_EQ(IMPORT_DONE, result.outcome) << size;
            EXPECT_EQ(5, result.imported);
        } else if (result.outcome != IMPORT_NO_SECTIONS) {
            EXPECT_EQ(IMPORT_LIST_CUT, result.outcome) << size;
        }
    }
}

TEST(SectionWalk, StopsAtTheCountEvenWithoutATerminator)
{
    // Wine's cut list: a single zero byte after the cut name, then whatever was in the block.
    const char cut[] = {'a', 'b', 'c', '\0', 'd', 'e', '\0', 'X', 'Y'};
    SectionWalk walk;
    BeginSectionWalk(&walk, cut, 6, 8);
    EXPECT_TRUE(walk.cut);
    EXPECT_STREQ("abc", NextSection(&walk));
    EXPECT_EQ(NULL, NextSection(&walk)); // "de" may be cut
    // A count that claims more than the block holds is not believed.
    const char unterminated[] = {'a', '\0', 'b', 'c'};
    BeginSectionWalk(&walk, unterminated, 100, sizeof unterminated);
    EXPECT_STREQ("a", NextSection(&walk));
    EXPECT_EQ(NULL, NextSection(&walk));
    // A complete list leaves room in the block.
    const char whole[] = "abc\0de\0";
    BeginSectionWalk(&walk, whole, 7, 20);
    EXPECT_FALSE(walk.cut);
    EXPECT_STREQ("abc", NextSection(&walk));
    EXPECT_STREQ("de", NextSection(&walk));
    EXPECT_EQ(NULL, NextSection(&walk));
}
