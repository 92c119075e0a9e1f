#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <random>
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

static ToolEntry Entry(const std::string& name, const std::string& path,
                       const std::string& menuText, const std::string& statusText)
{
    ToolEntry entry{};
    lstrcpynA(entry.name, name.c_str(), sizeof entry.name);
    lstrcpynA(entry.path, path.c_str(), sizeof entry.path);
    lstrcpynA(entry.menuText, menuText.c_str(), sizeof entry.menuText);
    lstrcpynA(entry.statusText, statusText.c_str(), sizeof entry.statusText);
    return entry;
}

static std::string Encoded(const std::string& text)
{
    char out[TOOL_TEXT_SIZE + 2];
    int length = EncodeIniValue(text.c_str(), out, sizeof out);
    return length < 0 ? "<too small>" : std::string(out, length);
}

static void Collect(ToolEntry* entry, void* context)
{
    (*(std::map<std::string, ToolEntry>*)context)[entry->name] = *entry;
    FreeToolEntry(entry);
}

static std::map<std::string, ToolEntry> RegistryEntries()
{
    std::map<std::string, ToolEntry> entries;
    ReadToolEntries(Collect, &entries);
    return entries;
}

class IniFileTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "korvanel-ini\\";
        CreateDirectoryA(folder.c_str(), NULL);
        file = folder + "tools.ini";
        DeleteFileA(file.c_str());
        ClearToolsMenu();
    }
    void TearDown() override
    {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
        ClearToolsMenu();
    }
    std::string ReadFile()
    {
        HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(1 << 20, '\0');
        DWORD read = 0;
        ::ReadFile(h, &bytes[0], (DWORD)bytes.size(), &read, NULL);
        CloseHandle(h);
        bytes.resize(read);
        return bytes;
    }
    // What the import reads back of one value.
    std::string Value(const std::string& section, const char* key)
    {
        char value[INI_VALUE_SIZE] = {};
        GetPrivateProfileStringA(section.c_str(), key, "", value, sizeof value, file.c_str());
        return value;
    }
    std::string folder, file;
};

TEST(EncodeIniValue, QuotesOnlyWhatTheReaderWouldChange)
{
    struct Row {
        const char *text, *file;
    } rows[] = {
        {"", ""},
        {"C:\\Program Files\\tool.exe", "C:\\Program Files\\tool.exe"},
        {"a = b ; c [d]", "a = b ; c [d]"},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"\ttab", "\"\ttab\""},
        {"x\x1A", "\"x\x1A\""},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'single'", "\"'single'\""},
        {"\"\"", "\"\"\"\""},
        {"\"", "\""}, // a lone quotation mark is read as it is
        {"\"open", "\"open"},
        {"'mixed\"", "'mixed\""},
        {"\x81\x40wide blank\x81\x40", "\x81\x40wide blank\x81\x40"}, // not trimmed by the reader
        {"\x83\x5C", "\x83\x5C"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.file, Encoded(row.text)) << row.text;
}

TEST(EncodeIniValue, NeverWritesPastItsBuffer)
{
    char out[8];
    memset(out, '~', sizeof out);
    EXPECT_EQ(-1, EncodeIniValue(" abcde", out, 8)); // needs 8 + terminator
    EXPECT_EQ('~', out[0]);
    EXPECT_EQ(7, EncodeIniValue("abcdefg", out, 8));
    EXPECT_EQ(-1, EncodeIniValue("", out, 0));
}

TEST(CheckIniEntry, RefusesWhatCannotComeBack)
{
    std::string t256(256, 't'), t257(257, 't');
    struct Row {
        ToolEntry entry;
        IniRefusal expected;
    } rows[] = {
        {Entry("Tool", "C:\\t.exe", "&Tool", ""), INI_FITS},
        {Entry("a]b=c;d[", "\"q\"", " x ", "'s'"), INI_FITS},
        {Entry("\x83\x5C\x95\x5C", t256, t256, t256), INI_FITS},
        {Entry("", "p", "m", "s"), INI_NAME_EMPTY},
        {Entry(" Tool", "p", "m", "s"), INI_NAME_BLANKS},
        {Entry("Tool ", "p", "m", "s"), INI_NAME_BLANKS},
        {Entry("To\tol", "p", "m", "s"), INI_NAME_CONTROL},
        {Entry("Tool\x7F", "p", "m", "s"), INI_NAME_CONTROL},
        {Entry("Tool", "line\r\nbreak", "m", "s"), INI_TEXT_LINE_BREAK},
        {Entry("Tool", "p", "m", "bare\rreturn"), INI_TEXT_LINE_BREAK},
        {Entry("Tool", "p", "feed\n", "s"), INI_TEXT_LINE_BREAK},
        {Entry("Tool", t257, "m", "s"), INI_TEXT_TOO_LONG},
        // Quoted, 256 bytes come back as 255: the reader drops a byte with the closing quote.
        {Entry("Tool", "p", " " + t256.substr(1), "s"), INI_TEXT_TOO_LONG},
        {Entry("Tool", "p", " " + t256.substr(2), "s"), INI_FITS},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, CheckIniEntry(&row.entry)) << row.entry.name;
}

TEST_F(IniFileTest, NewFileHoldsSectionsInOrderWithCrLf)
{
    ToolEntry first = Entry("Editor", "C:\\windows\\notepad.exe", "&Editor", "");
    ToolEntry second = Entry("\x95\x5C", " padded ", "\"as is\"", "a=b;c");
    ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &first));
    ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &second));
    EXPECT_EQ("[Editor]\r\n"
              "ExePath=C:\\windows\\notepad.exe\r\n"
              "MenuText=&Editor\r\n"
              "StatusBarText=\r\n"
              "[\x95\x5C]\r\n"
              "ExePath=\" padded \"\r\n"
              "MenuText=\"\"as is\"\"\r\n"
              "StatusBarText=a=b;c\r\n",
              ReadFile());
}

TEST_F(IniFileTest, TrickyTextsComeBackByteForByte)
{
    const char* texts[] = {
        "  both  ",     "\t\x0B\x0C\x1A",
        "\"\"",         "''",
        "\"x\"",        "'y'",
        "\"",           "'",
        "\" \"",        "=",
        "==x",          ";comment",
        "[section]",    "]",
        "a\"b'c",       "\x83\x5C\x95\x5C\\",
        "\xB1\xB2\xB3", "x\x1Ay",
        "\x81\x40",     "\x01\x02",
    };
    const char* names[] = {"br]ack", "end]",  "[start",   "eq=ual", ";semi",
                           "#hash",  "\"q\"", "\x83\x5C", "]",      "a b"};
    int n = 0;
    for (const char* text : texts) {
        ToolEntry entry = Entry(names[n++ % 10], text, text, text);
        ASSERT_EQ(INI_FITS, CheckIniEntry(&entry)) << text;
        ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &entry));
        EXPECT_EQ(text, Value(entry.name, "ExePath")) << text;
        EXPECT_EQ(text, Value(entry.name, "MenuText")) << text;
        EXPECT_EQ(text, Value(entry.name, "StatusBarText")) << text;
    }
}

TEST_F(IniFileTest, ExistingFileKeepsItsOtherSectionsAndKeys)
{
    std::string before = "; backup\r\n"
                         "[Other]\r\n"
                         "Key=kept\r\n"
                         "[tool]\r\n"
                         "Type=Custom\r\n"
                         "ExePath=old\r\n";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(h, before.data(), (DWORD)before.size(), &written, NULL);
    CloseHandle(h);
    ToolEntry tool = Entry("Tool", "new", "m", "s");
    ToolEntry added = Entry("Added", "a", "", "");
    ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &tool));
    ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &added));
    EXPECT_EQ("; backup\r\n"
              "[Other]\r\n"
              "Key=kept\r\n"
              "[tool]\r\n"
              "Type=Custom\r\n"
              "ExePath=new\r\n"
              "MenuText=m\r\n"
              "StatusBarText=s\r\n"
              "[Added]\r\n"
              "ExePath=a\r\n"
              "MenuText=\r\n"
              "StatusBarText=\r\n",
              ReadFile());
}

TEST_F(IniFileTest, UnwritableTargetsReturnTheErrorAndChangeNothing)
{
    ToolEntry tool = Entry("Tool", "p", "m", "s");
    std::string gone = folder + "vanished\\tools.ini";
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, WriteIniEntry(gone.c_str(), &tool));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, WriteIniEntry(folder.c_str(), &tool));

    ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &tool));
    std::string before = ReadFile();
    // Another program holds the file without sharing it.
    HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    ToolEntry changed = Entry("Tool", "changed", "m", "s");
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, WriteIniEntry(file.c_str(), &changed));
    CloseHandle(locked);
    EXPECT_EQ(before, ReadFile());
}

// Text built from the pieces that break INI files: blanks the reader trims, quotation marks it
// strips, separators, brackets and double-byte characters whose second byte is 0x5C.
static std::string RandomText(std::mt19937& random, size_t maxLength, bool name)
{
    static const char* const pieces[] = {
        " ",        "\t",       "\x0B",     "\x0C",     "\x1A", "\"",   "'",    "=", ";",
        "[",        "]",        "#",        "&",        "a",    "Z",    "0",    ".", "\\",
        "\x83\x5C", "\x95\x5C", "\x82\xA0", "\x81\x40", "\xB1", "\x7F", "\x01",
    };
    static const char* const breaks[] = {"\r", "\n", "\r\n"};
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::string text;
    size_t length = std::uniform_int_distribution<size_t>(0, maxLength)(random);
    // Mostly short texts, some close to and over the 256-byte limit.
    if (!name && pick(5) == 0) length = 240 + length % 20;
    while (text.size() < length) {
        const char* piece = pieces[pick(sizeof pieces / sizeof pieces[0])];
        // A backslash would nest keys; control characters in names are refused anyway.
        if (name && (piece[0] == '\\' || (unsigned char)piece[0] < 0x20 || piece[0] == 0x7F))
            continue;
        if (text.size() + strlen(piece) > length) break;
        text += piece;
    }
    // A line break, as another program may have written it, now and then.
    if (!text.empty() && pick(40) == 0) text.insert(pick((int)text.size()), breaks[pick(3)]);
    if (name && text.empty()) text = "n";
    return text;
}

TEST_F(IniFileTest, RoundTripThroughRegistryIsLosslessForEveryAcceptedEntry)
{
    int accepted = 0, refused = 0;
    for (unsigned seed = 1; seed <= 4; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        ClearToolsMenu();
        DeleteFileA(file.c_str());
        std::map<std::string, bool> taken; // the registry ignores case
        for (int i = 0; i < 100; i++) {
            std::string name = RandomText(random, 24, true) + "#" + std::to_string(i);
            if (std::uniform_int_distribution<int>(0, 9)(random) == 0) name = " " + name;
            std::string lower = name;
            CharLowerBuffA(&lower[0], (DWORD)lower.size());
            if (taken[lower]) continue;
            taken[lower] = true;
            ASSERT_EQ(ERROR_SUCCESS,
                      WriteToolEntry(name.c_str(), RandomText(random, 259, false).c_str(),
                                     RandomText(random, 80, false).c_str(),
                                     RandomText(random, 259, false).c_str()));
        }
        std::map<std::string, ToolEntry> stored = RegistryEntries(), exported;
        for (auto& pair : stored) {
            IniRefusal why = CheckIniEntry(&pair.second);
            if (why == INI_FITS && !ToolTextsFit(pair.first.c_str())) why = INI_TEXT_UNREAD;
            if (why != INI_FITS) {
                refused++;
                continue;
            }
            accepted++;
            ASSERT_EQ((DWORD)NO_ERROR, WriteIniEntry(file.c_str(), &pair.second));
            exported[pair.first] = pair.second;
        }
        ClearToolsMenu();
        IniImportResult result;
        ImportIniFile(file.c_str(), &result);
        ASSERT_EQ(IMPORT_DONE, result.outcome);
        EXPECT_EQ((int)exported.size(), result.imported);
        std::map<std::string, ToolEntry> imported = RegistryEntries();
        ASSERT_EQ(exported.size(), imported.size());
        for (auto& pair : exported) {
            const ToolEntry &was = pair.second, &is = imported[pair.first];
            EXPECT_STREQ(was.name, is.name);
            EXPECT_STREQ(was.path, is.path) << was.name;
            EXPECT_STREQ(was.menuText, is.menuText) << was.name;
            EXPECT_STREQ(was.statusText, is.statusText) << was.name;
        }
    }
    // The generator must exercise both sides; most entries are meant to fit.
    EXPECT_GT(accepted, 250);
    EXPECT_GT(refused, 20);
    std::printf("round trip: %d entries accepted, %d refused\n", accepted, refused);
}

TEST_F(IniFileTest, TextsTooLongForTheListAreNotTakenAsEmpty)
{
    std::string long300(300, 'x');
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Long", "p", "m", "s"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(Key) + "\\Long").c_str(), 0,
                            KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, "StatusBarText", 0, REG_SZ, (const BYTE*)long300.c_str(), 301);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Short", "p", "m", "s"));
    std::map<std::string, ToolEntry> stored = RegistryEntries();
    // The list shows the text as empty; exporting it so would lose it without a word.
    EXPECT_STREQ("", stored["Long"].statusText);
    EXPECT_EQ(INI_FITS, CheckIniEntry(&stored["Long"]));
    EXPECT_FALSE(ToolTextsFit("Long"));
    EXPECT_TRUE(ToolTextsFit("Short"));
    EXPECT_FALSE(ToolTextsFit("Missing"));
}
