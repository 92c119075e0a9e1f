#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "dialogs/dialogs.h"

static DWORD Cut(char* path)
{
    return CutToDirectory(path, (DWORD)strlen(path), MAX_PATH);
}

TEST(CutToDirectory, KeepsEverythingUpToTheLastBackslash)
{
    struct {
        const char *path, *directory;
    } rows[] = {
        {"C:\\Program Files\\Korvanel\\Korvanel.exe", "C:\\Program Files\\Korvanel\\"},
        {"C:\\Korvanel.exe", "C:\\"},
        {"\\\\server\\share\\k.exe", "\\\\server\\share\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        // C:\ソフト\表示.exe: both trail bytes 5C lie in the directory and the file name.
        {"C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.exe", "C:\\\x83\x5C\x83\x74\x83\x67\\"},
        // C:\表\ソ: the name ends in a trail byte 5C, which is not a separator.
        {"C:\\\x95\x5C\\\x83\x5C", "C:\\\x95\x5C\\"},
        // Half-width katakana (A1-DF) are single bytes: the backslash after them counts.
        {"C:\\\xB6\xC0\\a.exe", "C:\\\xB6\xC0\\"},
    };
    for (auto& row : rows) {
        char path[MAX_PATH];
        strcpy(path, row.path);
        EXPECT_EQ((DWORD)ERROR_SUCCESS, Cut(path)) << row.path;
        EXPECT_STREQ(row.directory, path);
    }
}

TEST(CutToDirectory, RefusesAPathWithoutAnyBackslash)
{
    // The only 5C bytes here are trail bytes of ソ and 表.
    const char* rows[] = {"Korvanel.exe", "", "\x83\x5C\x95\x5C.exe", "C:Korvanel.exe"};
    for (const char* row : rows) {
        char path[MAX_PATH];
        strcpy(path, row);
        EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, Cut(path)) << row;
        EXPECT_STREQ("", path);
    }
}

TEST(CutToDirectory, StopsAtTheTerminatorAfterALoneLeadByte)
{
    // A lead byte just before the terminator must not carry the walk past the end, where a
    // backslash left over from earlier use of the buffer would otherwise be taken.
    char path[MAX_PATH];
    memcpy(path, "C:\\a\\\x83\0\\stale", 14);
    EXPECT_EQ((DWORD)ERROR_SUCCESS, Cut(path));
    EXPECT_STREQ("C:\\a\\", path);
    memcpy(path, "abc\x83\0\\stale", 11);
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, Cut(path));
}

TEST(CutToDirectory, RefusesAModulePathThatFilledTheBuffer)
{
    // GetModuleFileNameA returns the buffer size when the path was cut short to fit.
    char path[MAX_PATH];
    memset(path, 'a', sizeof path);
    path[2] = '\\';
    path[MAX_PATH - 1] = '\0';
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, CutToDirectory(path, MAX_PATH, MAX_PATH));
    EXPECT_STREQ("", path);

    // 259 bytes is the longest path that fits with its terminator.
    memset(path, 'a', sizeof path);
    path[250] = '\\';
    path[MAX_PATH - 1] = '\0';
    EXPECT_EQ((DWORD)ERROR_SUCCESS, CutToDirectory(path, MAX_PATH - 1, MAX_PATH));
    EXPECT_EQ(251u, strlen(path));
}

TEST(AppendFileName, JoinsOnlyWhatFitsWithItsTerminator)
{
    char path[MAX_PATH];
    strcpy(path, "C:\\\x83\x5C\x83\x74\x83\x67\\");
    EXPECT_EQ((DWORD)ERROR_SUCCESS, AppendFileName(path, sizeof path, "readme.txt"));
    EXPECT_STREQ("C:\\\x83\x5C\x83\x74\x83\x67\\readme.txt", path);

    // history.txt is 11 bytes: a directory of 248 bytes leaves exactly room for it and the
    // terminator; one byte more and the path is refused, the buffer left as it was.
    std::string directory = "C:\\" + std::string(244, 'd') + "\\";
    ASSERT_EQ(248u, directory.size());
    strcpy(path, directory.c_str());
    EXPECT_EQ((DWORD)ERROR_SUCCESS, AppendFileName(path, sizeof path, "history.txt"));
    EXPECT_EQ(259u, strlen(path));

    directory.insert(3, "d");
    char guarded[MAX_PATH + 8];
    memset(guarded, '#', sizeof guarded);
    strcpy(guarded, directory.c_str());
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, AppendFileName(guarded, MAX_PATH, "history.txt"));
    EXPECT_EQ(directory, guarded);
    for (size_t i = MAX_PATH; i < sizeof guarded; i++)
        EXPECT_EQ('#', guarded[i]);
}

TEST(ModuleDirectory, IsTheDirectoryOfTheRunningProgram)
{
    char expected[MAX_PATH] = "", directory[MAX_PATH] = "";
    GetModuleFileNameA(NULL, expected, sizeof expected);
    *(strrchr(expected, '\\') + 1) = '\0';
    ASSERT_TRUE(ModuleDirectory(directory));
    EXPECT_STREQ(expected, directory);
}
