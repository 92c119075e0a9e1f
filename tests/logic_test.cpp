// Code page 932: 0x5C ends ソ (83 5C) and 表 (95 5C); a lead byte cut off by the terminator is
// half a character. And the centring arithmetic.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "dialogs/dialogs.h"

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
