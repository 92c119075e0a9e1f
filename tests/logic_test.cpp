// Code page 932: 0x5C ends ソ (83 5C) and 表 (95 5C); a lead byte cut off by the terminator is
// half a character. And the centring arithmetic.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "dialogs/dialogs.h"
#include "editor/editor.h"

TEST(Cp932Text, BaseNameIsCutAtTheLastRealBackslashAndTheLastDotAfterIt)
{
    const char* rows[][2] = {
        {"C:\\My.Tools\\archive.tar.gz", "archive.tar"},
        {"C:\\Tools\\.profile", ""},
        {"C:/Tools/Editor.exe", "C:/Tools/Editor"}, // only the backslash separates
        {"C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8C\x76\x8E\x5A.exe", "\x95\x5C\x8C\x76\x8E\x5A"},
        {"C:\\T\\\x83\x5C.\x95\x5C", "\x83\x5C"}, // a dot between two
        {"\xB1\\x.exe", "x"},                     // half-width ｱ is a whole character
        {"C:\\\x83\x83.exe", "\x83\x83"},         // ャ: its trail byte is also a lead value
        {"C:\\a\x83", "a\x83"},                   // nothing past the terminator is read
    };
    for (const auto& row : rows) {
        char path[MAX_PATH];
        memset(path, '\\', sizeof path); // stale bytes after the terminator
        strcpy(path, row[0]);
        BaseNameOf(path);
        EXPECT_STREQ(row[1], path) << row[0];
    }
}

TEST(Cp932Text, AHalfCharacterAtTheEndIsDroppedAndNothingElse)
{
    std::string whole; // 127 ソ: what is left whole of 150 after a 255-byte read
    for (int i = 0; i < 127; i++)
        whole += "\x83\x5C";
    const std::string rows[][2] = {
        {"\x83\x83", "\x83\x83"},     {"a\x83", "a"},          {"\xB1\xB2", "\xB1\xB2"},
        {"\x83\x83\x83", "\x83\x83"}, {whole + "\x83", whole},
    };
    for (const auto& row : rows) {
        char text[300];
        strcpy(text, row[0].c_str());
        DropDanglingLeadByte(text);
        EXPECT_EQ(row[1], text) << row[0];
    }
}

TEST(Cp932Text, DirectoryIsCutAfterTheLastRealBackslashAndJoinedOnlyWhereItFits)
{
    const std::string rows[][2] = {
        {"C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.exe", "C:\\\x83\x5C\x83\x74\x83\x67\\"},
        {"C:\\\x95\x5C\\\x83\x5C", "C:\\\x95\x5C\\"},
        {"\x83\x5C\x95\x5C.exe", ""}, // no backslash at all: refused
        // A lone lead byte before the terminator must not lead the walk onto stale bytes.
        {std::string("C:\\a\\\x83\0\\stale", 14), "C:\\a\\"},
    };
    for (const auto& row : rows) {
        char path[MAX_PATH];
        memcpy(path, row[0].data(), row[0].size() + 1);
        DWORD error = CutToDirectory(path, (DWORD)strlen(path), MAX_PATH);
        EXPECT_EQ(row[1].empty() ? (DWORD)ERROR_PATH_NOT_FOUND : ERROR_SUCCESS, error) << row[0];
        EXPECT_EQ(row[1], path);
    }
    // A module path that filled the buffer was cut short by the system.
    char path[MAX_PATH + 8];
    memset(path, 'a', sizeof path);
    path[2] = '\\';
    path[MAX_PATH - 1] = '\0';
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, CutToDirectory(path, MAX_PATH, MAX_PATH));
    EXPECT_STREQ("", path);
    // 248 bytes of directory leave room for "history.txt" and the terminator, and no more.
    std::string directory = "C:\\" + std::string(244, 'd') + "\\";
    strcpy(path, directory.c_str());
    EXPECT_EQ((DWORD)ERROR_SUCCESS, AppendFileName(path, MAX_PATH, "history.txt"));
    EXPECT_EQ(259u, strlen(path));
    memset(path, '#', sizeof path);
    strcpy(path, (directory + "d").c_str());
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, AppendFileName(path, MAX_PATH, "history.txt"));
    EXPECT_EQ(std::string(8, '#'), std::string(path + MAX_PATH, 8));
}

TEST(Cp932Text, AProposedFileNameHoldsNoReservedCharacterAndAFolderHoldsWholeNames)
{
    const char* rows[][2] = {
        {"Wave:Edit", "Wave_Edit"},
        {"a\\b/c*d?e\"f<g>h|i\tj\x7F", "a_b_c_d_e_f_g_h_i_j\x7F"},
        {"\x95\x5C\x8C\x76\x8E\x5A \x83\x5C.v2", "\x95\x5C\x8C\x76\x8E\x5A \x83\x5C.v2"},
        {"\x95\x5C:", "\x95\x5C_"}, // 表 keeps its 0x5C, the colon after it goes
    };
    for (const auto& row : rows) {
        char name[MAX_PATH];
        strcpy(name, row[0]);
        MakeValidFileName(name);
        EXPECT_STREQ(row[1], name);
    }
    const char* temp = "C:\\Users\\ME\\AppData\\Local\\Temp\\";
    EXPECT_TRUE(PathIsInFolder("c:\\users\\me\\appdata\\local\\temp\\Temp1_k.zip\\k.exe", temp));
    EXPECT_FALSE(PathIsInFolder("C:\\Users\\ME\\AppData\\Local\\Temporary\\k.exe", temp));
    EXPECT_FALSE(PathIsInFolder("C:\\Temp2\\a.exe", "C:\\Temp"));
    // C:\表 ends in 0x5C, which is no separator: C:\表示\ is not inside it.
    EXPECT_FALSE(PathIsInFolder("C:\\\x95\x5C\x8E\xA6\\a.exe", "C:\\\x95\x5C"));
    EXPECT_TRUE(PathIsInFolder("C:\\\x95\x5C\\a.exe", "C:\\\x95\x5C"));
}

TEST(Centring, OriginIsCentredTruncatedTowardZeroAndKeptInsideTheLimits)
{
    const RECT screen = {0, 0, 1024, 768}, wide = {-2000, -2000, 2000, 2000};
    struct Row {
        SIZE window;
        RECT centre, limits;
        LONG x, y;
    } rows[] = {
        {{201, 101}, {100, 100, 501, 401}, screen, 200, 200}, // each half truncated on its own
        // Negative co-ordinates: a shift would floor -50.5 to -51.
        {{10, 20}, {-101, -101, 0, 0}, wide, -55, -60},
        {{200, 100}, {900, 300, 1300, 500}, screen, 824, 350}, // past the right edge
        {{200, 100}, {300, 700, 700, 1000}, screen, 400, 668}, // past the bottom
        {{200, 100}, {-300, -400, 100, -100}, screen, 0, 0},   // before the left and top
        {{200, 100}, {900, 300, 1300, 500}, {1024, 0, 2048, 768}, 1024, 350}, // a second monitor
        // Larger than the limits: left and top win when centring starts before them...
        {{2000, 1000}, screen, screen, 0, 0},
        // ...but a window that starts inside and ends past them is pulled back over them.
        {{2000, 1000}, {1000, 740, 1024, 768}, screen, -976, -232},
    };
    for (const Row& row : rows) {
        POINT origin = CentredOrigin(row.window, row.centre, row.limits);
        EXPECT_EQ(row.x, origin.x) << row.centre.left << "," << row.centre.top;
        EXPECT_EQ(row.y, origin.y) << row.centre.left << "," << row.centre.top;
    }
}

// A stored string as the registry holds it, terminated UTF-16.
static StoredValue Text(DWORD type, const char* text)
{
    StoredValue value{};
    value.present = value.textExact = true;
    value.type = type;
    lstrcpynA(value.text, text, sizeof value.text);
    return value;
}

static StoredValue Number(DWORD type, DWORD number)
{
    StoredValue value{};
    value.present = true;
    value.type = type;
    value.size = 4;
    value.number = number;
    value.numberExact = type == REG_DWORD;
    value.textFlaw = TEXT_NOT_TEXT;
    return value;
}

static std::string ProblemName(PropertyProblem problem)
{
    switch (problem) {
    case PROPERTY_FINE: return "PROPERTY_FINE";
    case PROPERTY_EMPTY: return "PROPERTY_EMPTY";
    case PROPERTY_TOO_LONG: return "PROPERTY_TOO_LONG";
    case PROPERTY_NOT_NUMBER: return "PROPERTY_NOT_NUMBER";
    }
    return std::to_string(problem);
}

TEST(Properties, OnlyWhatTheUserChangedIsWrittenAndBadFieldsAreRefused)
{
    static EntryValues values;
    values.known[VALUE_MENU_TEXT] = Text(REG_SZ, "&Wave");
    values.known[VALUE_EXE_PATH] = Text(REG_SZ, "C:\\wave.exe");
    values.known[VALUE_STATUS_TEXT] = Text(REG_SZ, "Edits waves");
    values.known[VALUE_TYPE] = Text(REG_SZ, "Custom");
    values.known[VALUE_MODAL] = Text(REG_SZ, "1");
    values.known[VALUE_CMD_ARGS] = Text(REG_EXPAND_SZ, "/a %TEMP%");
    values.known[VALUE_CURRENT_DIRECTORY] = Text(REG_SZ, std::string(300, 'd').c_str());
    values.known[VALUE_HELP_TOPIC] = Number(REG_DWORD, 7);
    static PropertyInput shown;
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++)
        ShownValueText((EntryValueId)i, values.known[i], shown.text[i], VALUE_TEXT_SIZE);
    shown.typeChoice = StoredChoice(VALUE_TYPE, values.known[VALUE_TYPE]);
    shown.modalChoice = StoredChoice(VALUE_MODAL, values.known[VALUE_MODAL]);
    EXPECT_EQ(CHOICE_KEEP, shown.typeChoice);
    EXPECT_EQ(CHOICE_KEEP, shown.modalChoice);
    // A change: the field, its new text, and what is written: "=text" sets, "-" removes, "#n" a
    // number, "!name" a problem, "" nothing at all.
    const std::string a255(255, 'a'), a256(256, 'a'), d299(299, 'd');
    const struct {
        EntryValueId field;
        std::string text, written;
        DWORD type;
    } rows[] = {
        {VALUE_STATUS_TEXT, "Edits waves", "", 0},
        {VALUE_STATUS_TEXT, "", "=", REG_SZ},
        {VALUE_CMD_ARGS, "", "-", 0},
        {VALUE_CMD_ARGS, "/b", "=/b", REG_EXPAND_SZ},
        {VALUE_HELP_TOPIC, "0012", "#12", 0},
        {VALUE_HELP_TOPIC, "", "-", 0},
        {VALUE_HELP_TOPIC, "4294967295", "#4294967295", 0},
        {VALUE_HELP_TOPIC, "12a", "!PROPERTY_NOT_NUMBER", 0},
        {VALUE_HELP_TOPIC, "-1", "!PROPERTY_NOT_NUMBER", 0},
        {VALUE_HELP_TOPIC, " 1", "!PROPERTY_NOT_NUMBER", 0},
        {VALUE_HELP_TOPIC, "4294967296", "!PROPERTY_NOT_NUMBER", 0},
        // Full-width digits, as an IME types them: "１９", then "1０", then "Ａ".
        {VALUE_HELP_TOPIC, "\x82\x50\x82\x58", "#19", 0},
        {VALUE_HELP_TOPIC, "1\x82\x4F", "#10", 0},
        {VALUE_HELP_TOPIC, "\x82\x60", "!PROPERTY_NOT_NUMBER", 0},
        {VALUE_MENU_TEXT, "", "!PROPERTY_EMPTY", 0},
        {VALUE_ARGS, a255, "=" + a255, REG_SZ},
        {VALUE_ARGS, a256, "!PROPERTY_TOO_LONG", 0},
        {VALUE_CURRENT_DIRECTORY, d299, "!PROPERTY_TOO_LONG", 0},
    };
    for (const auto& row : rows) {
        PropertyInput input = shown;
        lstrcpynA(input.text[row.field], row.text.c_str(), VALUE_TEXT_SIZE);
        ValueChange changes[ENTRY_VALUE_COUNT];
        int count = -1;
        EntryValueId where = VALUE_MENU_TEXT;
        PropertyProblem problem = DecideValueChanges(values, input, changes, &count, &where);
        std::string written = problem != PROPERTY_FINE ? "!" + ProblemName(problem)
                              : count == 0             ? ""
                              : changes[0].remove      ? "-"
                              : changes[0].type == REG_DWORD
                                  ? "#" + std::to_string(changes[0].number)
                                  : "=" + std::string(changes[0].text);
        EXPECT_EQ(row.written, written) << row.field << " " << row.text.substr(0, 12);
        EXPECT_EQ(problem != PROPERTY_FINE || row.written.empty() ? 0 : 1,
                  problem != PROPERTY_FINE ? 0 : count);
        if (problem != PROPERTY_FINE) {
            EXPECT_EQ(row.field, where);
        }
        if (row.type) {
            EXPECT_EQ(row.type, changes[0].type);
        }
    }
    // The stored value kept as it is unless another item is picked; the first problem counts.
    PropertyInput input = shown;
    ValueChange changes[ENTRY_VALUE_COUNT];
    int count = 0;
    EntryValueId where = VALUE_ARGS;
    input.typeChoice = 1;
    input.modalChoice = CHOICE_NONE;
    ASSERT_EQ(PROPERTY_FINE, DecideValueChanges(values, input, changes, &count, &where));
    ASSERT_EQ(2, count);
    EXPECT_STREQ("WaveEditor", changes[0].text);
    EXPECT_TRUE(changes[1].remove);
    input.text[VALUE_MENU_TEXT][0] = '\0';
    lstrcpynA(input.text[VALUE_HELP_TOPIC], "x", VALUE_TEXT_SIZE);
    EXPECT_EQ(PROPERTY_EMPTY, DecideValueChanges(values, input, changes, &count, &where));
    EXPECT_EQ(VALUE_MENU_TEXT, where);
}

TEST(Register, OverwriteQuestionNamesTheTypeItResetsAndTheValuesItKeeps)
{
    static EntryValues values;
    char notice[512];
    values.known[VALUE_TYPE] = Text(REG_SZ, "Generic");
    values.known[VALUE_CMD_ARGS] = Text(REG_SZ, "/x");
    values.known[VALUE_MODAL] = Number(REG_DWORD, 1);
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_STREQ("", notice);
    values.known[VALUE_TYPE] = StoredValue{};
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_STREQ("", notice);
    values.known[VALUE_TYPE] = Text(REG_SZ, "WaveEditor");
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_NE(nullptr, strstr(notice, "WaveEditor から Generic")) << notice;
    EXPECT_NE(nullptr, strstr(notice, "[プロパティ] を使ってください。\n")) << notice;
    values.known[VALUE_TYPE] = Text(REG_SZ, "Custom");
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_NE(nullptr, strstr(notice, "「Custom」から Generic")) << notice;
    // Padded with zeros after its terminator, a Type still reads as its text up to the first.
    values.known[VALUE_TYPE] = Text(REG_SZ, "Generic");
    values.known[VALUE_TYPE].textExact = false;
    values.known[VALUE_TYPE].textFlaw = TEXT_CONTROL;
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_STREQ("", notice);
    lstrcpynA(values.known[VALUE_TYPE].text, "SysxEditor", VALUE_TEXT_SIZE);
    OverwriteNotice(values, notice, sizeof notice);
    EXPECT_NE(nullptr, strstr(notice, "SysxEditor から Generic")) << notice;
}
