// The exchange: CAL launcher texts and files, INI export and import.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <random>
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "tests/support.h"

using namespace support;

TEST(Cal, TheLongestTextFillsItsBufferAndAFileIsReplacedWhole)
{
    std::string name(259, 'n'), path(259, 'p');
    std::vector<char> out(CAL_TEXT_SIZE + 8, '~');
    EXPECT_EQ(ERROR_SUCCESS, BuildCalText(name.c_str(), path.c_str(), out.data(), CAL_TEXT_SIZE));
    EXPECT_EQ(766u, strlen(out.data()));
    EXPECT_EQ('~', out[767]);
    // One byte short: nothing is written, past the buffer or in it.
    std::fill(out.begin(), out.end(), '~');
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER,
              BuildCalText(name.c_str(), path.c_str(), out.data(), 766));
    EXPECT_EQ(std::string(out.size(), '~'), std::string(out.begin(), out.end()));

    std::string file = TempFile("korvanel-tool.cal"), longer(2000, 'x');
    ASSERT_EQ((DWORD)ERROR_SUCCESS, WriteCalFile(file.c_str(), longer.c_str()));
    ASSERT_EQ((DWORD)ERROR_SUCCESS, WriteCalFile(file.c_str(), "short"));
    EXPECT_EQ("short", ReadFileBytes(file));
    // Refused: the platform's error number, not success.
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, WriteCalFile((file + "\\x.cal").c_str(), "x"));
}

TEST(IniValue, EntriesThatWouldNotComeBackUnchangedAreRefused)
{
    std::string t256(256, 't');
    struct Row {
        std::string name, path, menuText;
        IniRefusal expected;
    } rows[] = {
        // ゾ ends in 0x5D, which is no "]".
        {"a=c;d[\x83\x5D\x83\x5C\x95\x5C", " x ", t256, INI_FITS},
        {"Editor [x64]", "p", "m", INI_NAME_BRACKET},
        {"", "p", "m", INI_NAME_EMPTY},
        {"Tool ", "p", "m", INI_NAME_BLANKS},
        {"To\tol", "p", "m", INI_NAME_CONTROL},
        {"Tool", "line\r\nbreak", "m", INI_TEXT_LINE_BREAK},
        {"Tool", t256 + "t", "m", INI_TEXT_TOO_LONG},
        // Quoted, 256 bytes come back as 255: the reader drops one with the closing quote.
        {"Tool", "p", " " + t256.substr(1), INI_TEXT_TOO_LONG},
        {"Tool", "p", " " + t256.substr(2), INI_FITS},
    };
    for (const Row& row : rows) {
        ToolEntry entry{};
        lstrcpynA(entry.name, row.name.c_str(), sizeof entry.name);
        lstrcpynA(entry.path, row.path.c_str(), sizeof entry.path);
        lstrcpynA(entry.menuText, row.menuText.c_str(), sizeof entry.menuText);
        EXPECT_EQ(row.expected, CheckIniEntry(&entry)) << row.name;
    }
}

class IniFile : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ClearToolsMenu();
        // Whatever an import meets, an entry that was there before must survive it.
        ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Kept", "C:\\kept.exe", "Kept", "kept"));
    }
    IniImportResult Import(const std::string& content)
    {
        WriteFileBytes(file, content);
        IniImportResult result;
        ImportIniFile(file.c_str(), &result);
        return result;
    }
    std::string file = TempFile("korvanel-tools.ini");
    const Strings kept = {"Kept"};
};

TEST_F(IniFile, FilesWithoutToolsAreRefusedAndImportNothing)
{
    const std::pair<std::string, IniImportOutcome> rows[] = {
        {"", IMPORT_NO_SECTIONS},
        // Bytes of a binary file make sections with control characters: refused whole.
        {"[Clean]\r\nExePath=C:\\clean.exe\r\n[\x7F\x01ELF\x02]\r\n", IMPORT_NOT_TOOL_FILE},
        // Windows would read the texts as code page 932, garbled; Wine would convert them.
        {"\xEF\xBB\xBF[Utf8]\r\nExePath=C:\\utf8.exe\r\n", IMPORT_UTF8_FILE},
        {"[Utf8]\r\nMenuText=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\n", IMPORT_UTF8_FILE},
        // 0x83 0x20 is no character: the registry would store a look-alike under that name.
        {"[Good]\r\n[\x83\x5D]\r\n[\x83\x20x]\r\n", IMPORT_NOT_CP932},
        // The reader's name runs to the last "]", after white space and ^Z: "x]" 83 20.
        {"[Good]\r\n\x1A\x0B [x]\x83\x20]\r\n", IMPORT_NOT_CP932},
    };
    for (const auto& row : rows) {
        IniImportResult result = Import(row.first);
        EXPECT_EQ(row.second, result.outcome) << row.first.substr(0, 20);
        EXPECT_EQ(kept, Subkeys());
    }
    EXPECT_EQ(3, Import(rows[4].first).sectionNumber); // ゾ (83 5D) is whole
    EXPECT_EQ(2, Import(rows[5].first).sectionNumber);
    EXPECT_EQ(2, Import("[Good]\r\n[x]\x83\x20]").sectionNumber);
}

TEST_F(IniFile, ImportCutsLongValuesTo256BytesAndTakesALoneSectionAndCodePage932)
{
    std::string so; // ソ, 128 times after one byte: the 256th byte is half of one
    for (int i = 0; i < 128; i++)
        so += "\x83\x5C";
    EXPECT_EQ(1, Import("[Long]\r\nExePath=" + std::string(256, 'a') + "bbb\r\nMenuText=a" + so +
                        "\r\nStatusBarText=\x83\x65\x83\x58\x83\x67\r\n")
                     .imported);
    EXPECT_EQ(std::string(256, 'a'), Value("Long", "ExePath"));
    EXPECT_EQ("a" + so.substr(0, 254), Value("Long", "MenuText"));
    EXPECT_EQ("\x83\x65\x83\x58\x83\x67", Value("Long", "StatusBarText")); // テスト
    // One section and no line break after it: the list still needs room for its two zero bytes.
    EXPECT_EQ(1, Import("[Only]").imported);
    EXPECT_EQ((Strings{"Kept", "Long", "Only"}), Subkeys());
}

TEST_F(IniFile, AKeyRefusedOnTheThirdOfFiveKeepsTheFirstTwo)
{
    // A name too long for the key path is refused like a failed key creation, without overrun.
    std::string tooLong(500, 'L');
    IniImportResult result = Import("[A1]\r\n[A2]\r\n[" + tooLong + "]\r\n[A4]\r\n[A5]\r\n");
    EXPECT_EQ(IMPORT_KEY_FAILED, result.outcome);
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, result.error);
    EXPECT_EQ(tooLong.substr(0, TOOL_TEXT_SIZE - 1), result.section);
    EXPECT_EQ((Strings{"A1", "A2", "Kept"}), Subkeys());
}

// Texts of what breaks INI files: blanks, quotes, separators, controls, 0x5C trail bytes.
static std::string RandomText(std::mt19937& random, size_t maxLength, bool name)
{
    static const char* const pieces[] = {
        " ",        "\t",       "\x0B", "\x1A", "\"",   "'",  "=",  ";",        "[",
        "]",        "#",        "&",    "a",    "Z",    ".",  "\\", "\x83\x5C", "\x95\x5C",
        "\x82\xA0", "\x81\x40", "\xB1", "\x7F", "\x01", "\r", "\n",
    };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    size_t length = std::uniform_int_distribution<size_t>(0, maxLength)(random);
    if (!name && pick(5) == 0) length = 240 + length % 20; // near and over the 256-byte limit
    std::string text;
    while (text.size() < length) {
        const char* piece = pieces[pick(sizeof pieces / sizeof pieces[0])];
        // Names hold no backslash (it nests keys) or control; texts a line break now and then.
        bool control = (unsigned char)piece[0] < 0x20 || piece[0] == 0x7F;
        if (name ? control || piece[0] == '\\' : strpbrk(piece, "\r\n") && pick(200)) continue;
        if (text.size() + strlen(piece) > length) break;
        text += piece;
    }
    return text;
}

static const ToolEntry* VectorEntryAt(void* context, int index)
{
    return &(*(std::vector<ToolEntry>*)context)[index];
}

// Through the program's own export and import: what it writes whole comes back, what it leaves
// out or names as cut counts.
TEST_F(IniFile, RoundTripThroughTheRegistryLosesNothingItAccepts)
{
    int accepted = 0, leftOut = 0, cut = 0;
    for (unsigned seed = 1; seed <= 4; seed++) {
        std::mt19937 random(seed);
        ClearToolsMenu();
        DeleteFileA(file.c_str());
        for (int i = 0; i < 100; i++) {
            // The number keeps the names apart in any letter case.
            std::string name = RandomText(random, 24, true) + "#" + std::to_string(i);
            WriteToolEntry(name.c_str(), RandomText(random, 259, false).c_str(),
                           RandomText(random, 80, false).c_str(),
                           RandomText(random, 259, false).c_str());
        }
        std::vector<ToolEntry> entries = StoredEntries();
        Strings cutNames;
        for (const ToolEntry& entry : entries)
            if (CheckIniEntry(&entry) == INI_TEXT_TOO_LONG) cutNames.push_back(entry.name);
        const Strings before = Snapshot();
        IniRefusals refusals;
        ASSERT_EQ(ERROR_SUCCESS, WriteIniEntries(file.c_str(), VectorEntryAt, &entries,
                                                 (int)entries.size(), &refusals));
        ClearToolsMenu();
        IniImportResult result;
        ImportIniFile(file.c_str(), &result);
        EXPECT_EQ(IMPORT_DONE, result.outcome) << seed;
        // Five lines an entry: its name and its four values.
        const Strings after = Snapshot();
        for (auto line = after.begin(); line < after.end(); line += 5) {
            std::string name = line->substr(1, line->size() - 2);
            if (std::find(cutNames.begin(), cutNames.end(), name) != cutNames.end()) continue;
            EXPECT_NE(before.end(), std::search(before.begin(), before.end(), line, line + 5))
                << seed << " " << *line;
        }
        EXPECT_EQ(entries.size(), after.size() / 5 + refusals.leftOut) << seed;
        EXPECT_EQ((int)cutNames.size(), refusals.cut) << seed;
        accepted += (int)after.size() / 5;
        leftOut += refusals.leftOut;
        cut += refusals.cut;
    }
    EXPECT_GT(accepted, 150);
    EXPECT_GT(leftOut, 10) << accepted << " accepted";
    EXPECT_GT(cut, 10) << accepted << " accepted";
}

TEST_F(IniFile, ExportLeavesOutAndNamesAnEntryWhoseStoredTextTheListCouldNotRead)
{
    // The list reads a 300-byte path as empty: exported, a restore would empty the stored one.
    // 259 bytes fill the field exactly: written whole, and named as cut by an import.
    PutEntry("Long", std::string(300, 'p'), "m", "s");
    PutEntry("Edge", std::string(259, 'e'), "m", "s");
    std::vector<ToolEntry> entries = StoredEntries();
    IniRefusals refusals;
    ASSERT_EQ(ERROR_SUCCESS, WriteIniEntries(file.c_str(), VectorEntryAt, &entries,
                                             (int)entries.size(), &refusals));
    EXPECT_EQ(1, refusals.leftOut);
    EXPECT_EQ(1, refusals.cut);
    EXPECT_NE(nullptr, strstr(refusals.text, "\n'Long' : レジストリのテキストを読み取れません"))
        << refusals.text;
    EXPECT_NE(std::string::npos, ReadFileBytes(file).find("=" + std::string(259, 'e') + "\r\n"));
    ClearToolsMenu();
    IniImportResult result;
    ImportIniFile(file.c_str(), &result);
    EXPECT_EQ((Strings{"Edge", "Kept"}), Subkeys());
}

// Written by the program, restored by the registry editor of the system into an emptied key.
TEST(Backup, TheRegistryEditorRestoresEveryValueAndSubkeyByteForByte)
{
    ClearToolsMenu();
    PutEntry("\x95\x5C\x8C\x76\x8E\x5A", "C:\\\x83\x5C\x83\x74\x83\x67\\a.exe", "&M", "");
    HKEY key = CreateKey("Wave \"Editor\"\\Options");
    const std::string text("C\0:\0\\\0\"\0q\0\"\0\0\0", 14), hex(100, '\xA5');
    SetValue(key, L"", REG_SZ, text); // the default value
    SetValue(key, L"Quote\"Back\\slash", REG_SZ, std::string("a\0\0\0b\0\0\0", 8)); // inner NUL
    SetValue(key, L"Unterminated", REG_SZ, std::string("a\0b\0", 4));
    SetValue(key, L"Empty", REG_SZ, "");
    SetValue(key, L"Line", REG_SZ, std::string("a\0\r\0\n\0\0\0", 8));
    SetValue(key, L"Expand", REG_EXPAND_SZ, std::string("%\0W\0%\0\0\0", 8));
    SetValue(key, L"Multi", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10));
    SetValue(key, L"Modal", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    SetValue(key, L"Short", REG_DWORD, std::string("\x01\x02\x03", 3));
    SetValue(key, L"Wrapped", REG_BINARY, hex);
    SetValue(key, L"\u8868\u793A", REG_NONE, "");
    SetValue(key, L"Big", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    SetValue(key, L"Odd type", 0x12345, hex);
    RegCloseKey(key);
    const std::string before = Tree();
    ASSERT_NE(std::string::npos, before.find("\"Unterminated\"=1:61006200\n"));

    std::string file = TempFile("korvanel-backup.reg");
    WriteFileBytes(file, "an older backup");
    char refused[256];
    ASSERT_EQ(ERROR_SUCCESS,
              WriteRegistryBackup(file.c_str(), MenuName(THIS_VIEW), refused, sizeof refused));
    const std::string bytes = ReadFileBytes(file);
    std::wstring lines((const wchar_t*)bytes.data(), bytes.size() / 2);
    // The registry editor skips the comments that name the menu and the program.
    EXPECT_EQ(0u, lines.find(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n; 64 "));
    // Its key lines name the menu's key and each key below it, in the record's order.
    std::vector<std::wstring> keys;
    for (size_t at = lines.find(L"\r\n["); at != std::wstring::npos;
         at = lines.find(L"\r\n[", at + 1))
        keys.push_back(lines.substr(at + 2, lines.find(L"\r\n", at + 2) - at - 2));
    const std::wstring menu = L"[HKEY_LOCAL_MACHINE\\Software\\Cakewalk Music Software\\Tools Menu";
    const std::vector<std::wstring> expectedKeys = {menu + L"]", menu + L"\\Wave \"Editor\"]",
                                                    menu + L"\\Wave \"Editor\"\\Options]",
                                                    menu + L"\\\u8868\u8a08\u7b97]"};
    EXPECT_EQ(expectedKeys, keys);
    ClearToolsMenu();
    ImportRegistryFile(file);
    // Wine's registry editor adds a terminator to an unterminated hex(1) string (what Windows'
    // does is for the checklist): that one value is expected ended, and the file's own line is
    // checked as written.
    const std::string unterminated = "\"Unterminated\"=1:61006200\n";
    std::string expected = before;
    expected.replace(expected.find(unterminated), unterminated.size(),
                     "\"Unterminated\"=1:610062000000\n");
    EXPECT_NE(std::wstring::npos, lines.find(L"\"Unterminated\"=hex(1):61,00,62,00\r\n"));
    EXPECT_EQ(expected, Tree());
    // A line break in a name would break the file: nothing is written, and the name is told.
    key = CreateKey("Wave \"Editor\"\\Options");
    SetValue(key, L"Two\nlines", REG_SZ, std::string("\0\0", 2));
    RegCloseKey(key);
    EXPECT_EQ((DWORD)ERROR_INVALID_NAME,
              WriteRegistryBackup(file.c_str(), MenuName(THIS_VIEW), refused, sizeof refused));
    EXPECT_STREQ("\\Wave \"Editor\"\\Options : Two\\nlines", refused);
    EXPECT_EQ(bytes, ReadFileBytes(file));
}
