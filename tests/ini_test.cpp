#include <windows.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>
#include "exchange/exchange.h"
#include "tests/support.h"

using namespace support;

TEST(IniValue, IsQuotedOnlyWhereTheReaderWouldChangeItAndNeverOverruns)
{
    const char* rows[][2] = {
        {"", ""},
        {"a = b ; c [d]", "a = b ; c [d]"},
        {" lead", "\" lead\""},
        {"x\x1A", "\"x\x1A\""},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'single'", "\"'single'\""},
        {"\"", "\""},                                     // a lone quotation mark is read as it is
        {"\x81\x40wide\x81\x40", "\x81\x40wide\x81\x40"}, // the reader keeps ideographic blanks
    };
    for (const auto& row : rows) {
        char out[TOOL_TEXT_SIZE + 2] = "";
        EXPECT_EQ(ERROR_SUCCESS, EncodeIniValue(row[0], out, sizeof out));
        EXPECT_STREQ(row[1], out);
    }
    char out[8] = "~~~~~~~";
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, EncodeIniValue(" abcde", out, 8));
    EXPECT_EQ('~', out[0]);
    EXPECT_EQ(ERROR_SUCCESS, EncodeIniValue("abcdefg", out, 8));
}

TEST(IniValue, EntriesThatWouldNotComeBackUnchangedAreRefused)
{
    std::string t256(256, 't');
    struct Row {
        std::string name, path, menuText;
        IniRefusal expected;
    } rows[] = {
        {"a]b=c;d[", "\"q\"", " x ", INI_FITS},
        {"\x83\x5C\x95\x5C", t256, t256, INI_FITS},
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
    const std::vector<std::string> kept = {"Kept"};
};

TEST_F(IniFile, FilesWithoutToolsAreRefusedAndImportNothing)
{
    const std::pair<std::string, IniImportOutcome> rows[] = {
        {"", IMPORT_NO_SECTIONS},
        {"ExePath=C:\\x.exe\r\n; keys and comments only\r\n", IMPORT_NO_SECTIONS},
        // Bytes of a binary file make sections with control characters: refused whole.
        {"[Clean]\r\nExePath=C:\\clean.exe\r\n[\x7F\x01ELF\x02]\r\n", IMPORT_NOT_TOOL_FILE},
        // Windows would lose the first section and garble the rest; Wine would convert it.
        {"\xEF\xBB\xBF[Utf8]\r\nExePath=C:\\utf8.exe\r\n", IMPORT_UTF8_FILE},
    };
    for (const auto& row : rows) {
        IniImportResult result = Import(row.first);
        EXPECT_EQ(row.second, result.outcome) << row.first.substr(0, 20);
        EXPECT_EQ(kept, Subkeys());
    }
    IniImportResult result;
    ImportIniFile((file + ".gone").c_str(), &result);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, result.error);
    // Past 4 GB (sparse): the low 32 bits alone would size the section list wrongly.
    HANDLE huge = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 20;
    SetFilePointerEx(huge, size, NULL, FILE_BEGIN);
    SetEndOfFile(huge);
    CloseHandle(huge);
    ImportIniFile(file.c_str(), &result);
    EXPECT_EQ(IMPORT_TOO_LARGE, result.outcome);
    EXPECT_EQ(kept, Subkeys());
    // UTF-16 with its mark is read right by both platforms.
    EXPECT_EQ(1, Import(std::string("\xFF\xFE[\0U\0]\0\r\0\n\0", 12)).imported);
    EXPECT_EQ((std::vector<std::string>{"Kept", "U"}), Subkeys());
}

TEST_F(IniFile, ImportCutsLongValuesTo256BytesAndTakesEverySection)
{
    std::string ascii;
    for (int i = 0; i < 300; i++)
        ascii += (char)('a' + i % 26);
    std::string content = "[Long]\r\nExePath=" + ascii + "\r\n";
    for (int i = 0; i < 300; i++)
        content += "[S" + std::to_string(i) + "]\r\nExePath=p" + std::to_string(i) + "\r\n";
    IniImportResult result = Import(content);
    EXPECT_EQ(IMPORT_DONE, result.outcome);
    EXPECT_EQ(301, result.imported);
    EXPECT_EQ(302u, Subkeys().size());
    EXPECT_EQ("p299", Value("S299", "ExePath"));
    // One section and no line break after it: the list still needs room for its two zero bytes.
    EXPECT_EQ(1, Import("[Only]").imported);
    EXPECT_EQ(ascii.substr(0, 256), Value("Long", "ExePath"));
}

TEST_F(IniFile, AKeyRefusedOnTheThirdOfFiveKeepsTheFirstTwo)
{
    // A name too long for the key path is refused like a failed key creation, without overrun.
    std::string tooLong(500, 'L');
    IniImportResult result = Import("[A1]\r\n[A2]\r\n[" + tooLong + "]\r\n[A4]\r\n[A5]\r\n");
    EXPECT_EQ(IMPORT_KEY_FAILED, result.outcome);
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, result.error);
    EXPECT_EQ(tooLong.substr(0, TOOL_TEXT_SIZE - 1), result.section);
    EXPECT_EQ((std::vector<std::string>{"A1", "A2", "Kept"}), Subkeys());
}

TEST_F(IniFile, ACutSectionListNeverYieldsACutName)
{
    // Whatever the list block's size, only whole names are imported.
    const std::string content = "[abc]\r\n[\x83\x5C\x83\x5C\x83\x5C]\r\n[de]\r\n[\x95\x5CX]\r\n";
    const DWORD full = 3 + 6 + 2 + 3 + 4; // the names with their zero bytes
    WriteFileBytes(file, content);
    for (DWORD size = 1; size <= full + 3; size++) {
        ClearToolsMenu();
        IniImportResult result;
        ImportIniSections(file.c_str(), size, &result);
        for (const std::string& name : Subkeys())
            EXPECT_NE(std::string::npos, content.find("[" + name + "]")) << size;
        EXPECT_EQ(size == full + 3 ? IMPORT_DONE : IMPORT_LIST_CUT,
                  result.outcome == IMPORT_NO_SECTIONS ? IMPORT_LIST_CUT : result.outcome);
    }
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

TEST_F(IniFile, RoundTripThroughTheRegistryLosesNothingItAccepts)
{
    int accepted = 0, refused = 0;
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
        // What cannot come back is left out of the file, and so out of the comparison.
        for (const ToolEntry& entry : StoredEntries()) {
            IniRefusal why = CheckIniEntry(&entry);
            if (why == INI_FITS && !ToolTextsFit(entry.name)) why = INI_TEXT_UNREAD;
            (why == INI_FITS ? accepted : refused)++;
            if (why != INI_FITS) {
                DeleteToolEntry(entry.name);
            } else {
                ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &entry));
            }
        }
        std::vector<std::string> before = Snapshot();
        ClearToolsMenu();
        IniImportResult result;
        ImportIniFile(file.c_str(), &result);
        EXPECT_EQ(IMPORT_DONE, result.outcome) << seed;
        EXPECT_EQ(before, Snapshot()) << seed;
    }
    EXPECT_GT(accepted, 250);
    EXPECT_GT(refused, 20) << accepted << " accepted";
}
