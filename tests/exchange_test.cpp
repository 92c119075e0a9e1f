// The exchange: CAL launcher texts and files, INI export and import.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <random>
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
        {"a]b=c;d[\x83\x5C\x95\x5C", " x ", t256, INI_FITS},
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
        // Windows would lose the first section and garble the rest; Wine would convert it.
        {"\xEF\xBB\xBF[Utf8]\r\nExePath=C:\\utf8.exe\r\n", IMPORT_UTF8_FILE},
    };
    for (const auto& row : rows) {
        IniImportResult result = Import(row.first);
        EXPECT_EQ(row.second, result.outcome) << row.first.substr(0, 20);
        EXPECT_EQ(kept, Subkeys());
    }
}

TEST_F(IniFile, ImportCutsLongValuesTo256BytesAndTakesALoneSection)
{
    EXPECT_EQ(1, Import("[Long]\r\nExePath=" + std::string(256, 'a') + "bbb\r\n").imported);
    EXPECT_EQ(std::string(256, 'a'), Value("Long", "ExePath"));
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

// Through the program's own export and import: what it writes comes back, what it leaves out
// counts.
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
        std::vector<ToolEntry> entries = StoredEntries();
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
        for (auto line = after.begin(); line < after.end(); line += 5)
            EXPECT_NE(before.end(), std::search(before.begin(), before.end(), line, line + 5))
                << seed << " " << *line;
        EXPECT_EQ(entries.size(), after.size() / 5 + refusals.count) << seed;
        accepted += (int)after.size() / 5;
        refused += refusals.count;
    }
    EXPECT_GT(accepted, 250);
    EXPECT_GT(refused, 20) << accepted << " accepted";
}

TEST_F(IniFile, ExportLeavesOutAndNamesAnEntryWhoseStoredTextTheListCouldNotRead)
{
    // The list reads a 300-byte path as empty: exported, a restore would empty the stored one.
    PutEntry("Long", std::string(300, 'p'), "m", "s");
    std::vector<ToolEntry> entries = StoredEntries();
    IniRefusals refusals;
    ASSERT_EQ(ERROR_SUCCESS, WriteIniEntries(file.c_str(), VectorEntryAt, &entries,
                                             (int)entries.size(), &refusals));
    EXPECT_EQ(1, refusals.count);
    EXPECT_NE(nullptr, strstr(refusals.text, "\n'Long' : レジストリのテキストを読み取れません"))
        << refusals.text;
    ClearToolsMenu();
    IniImportResult result;
    ImportIniFile(file.c_str(), &result);
    EXPECT_EQ(kept, Subkeys());
}
