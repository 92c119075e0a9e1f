#include <windows.h>
#include <gtest/gtest.h>
#include "tests/cal_expected.h"
#include <string>
#include <vector>
#include "exchange/exchange.h"

static std::string Cal(const std::string& name, const std::string& path)
{
    char text[CAL_TEXT_SIZE];
    int length = BuildCalText(name.c_str(), path.c_str(), text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

static std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST(BuildCalText, FixedPiecesAre78And160And10Bytes)
{
    std::string empty = Cal("", "");
    ASSERT_EQ(248u, empty.size());
    std::string marked = Cal("N", "P");
    ASSERT_EQ(250u, marked.size());
    EXPECT_EQ('N', marked[78]);
    EXPECT_EQ(empty.substr(0, 78), marked.substr(0, 78));
    EXPECT_EQ('P', marked[78 + 1 + 160]);
    EXPECT_EQ(empty.substr(78, 160), marked.substr(79, 160));
    EXPECT_EQ(empty.substr(238), marked.substr(240));
    EXPECT_EQ("\" \"\" \"\" 1)", marked.substr(240));
}

TEST(BuildCalText, ExactBytesInCodePage932)
{
    // Name "表計算" and path "C:\ソフト\表計算.exe": both hold 0x5C as a second byte.
    std::string name = "\x95\x5C\x8C\x76\x8E\x5A";
    std::string path = "C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8C\x76\x8E\x5A.exe";
    EXPECT_EQ(CalBytes(name, path), Cal(name, path));
}

TEST(BuildCalText, FourLinesNoMarkNoFinalBreak)
{
    std::string name = "Tool \"quoted\"", path = "C:\\a \"b\"\\c.exe";
    std::string text = Cal(name, path);
    EXPECT_NE("\xEF\xBB\xBF", text.substr(0, 3));
    EXPECT_EQ(';', text[0]);
    EXPECT_EQ(')', text.back());
    EXPECT_EQ(std::string::npos, text.find('\0'));
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(107 + name.size(), lines[0].size());
    EXPECT_EQ(52u, lines[1].size());
    EXPECT_EQ("", lines[2]);
    EXPECT_EQ(83 + path.size(), lines[3].size());
    // Quotation marks go in unescaped, like every other byte.
    EXPECT_NE(std::string::npos, lines[0].find("\"" + name + "\""));
    EXPECT_NE(std::string::npos, lines[3].find("\"open\" \"" + path + "\" \"\" \"\" 1)"));
    // Bare LF or CR never appear on their own.
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\n') {
            EXPECT_EQ('\r', text[i - 1]);
        }
        if (text[i] == '\r') {
            EXPECT_EQ('\n', text[i + 1]);
        }
    }
}

TEST(BuildCalText, EmptyPathPassesAnEmptyString)
{
    std::vector<std::string> lines = Lines(Cal("Tool", ""));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("(DLL \"shell32\" \"ShellExecuteA\" (DLL \"user32\" \"GetDesktopWindow\") \"open\" "
              "\"\" \"\" \"\" 1)",
              lines[3]);
}

TEST(BuildCalText, LongestEntryFillsTheBufferAndNoMore)
{
    std::string name(259, 'n'), path(259, 'p');
    std::vector<char> out(CAL_TEXT_SIZE + 8, '~');
    EXPECT_EQ(766, BuildCalText(name.c_str(), path.c_str(), out.data(), CAL_TEXT_SIZE));
    EXPECT_EQ('\0', out[766]);
    EXPECT_EQ('~', out[767]);
    // Too small by the terminator: nothing is claimed, nothing written past the buffer.
    std::fill(out.begin(), out.end(), '~');
    EXPECT_EQ(0, BuildCalText(name.c_str(), path.c_str(), out.data(), 766));
    EXPECT_EQ('~', out[766]);
    EXPECT_EQ(0, BuildCalText("a", "b", out.data(), 0));
}

class CalFileTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "korvanel-cal\\";
        CreateDirectoryA(folder.c_str(), NULL);
        file = folder + "tool.cal";
        DeleteFileA(file.c_str());
    }
    void TearDown() override
    {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    std::string Read()
    {
        HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        char buffer[4096];
        DWORD read = 0;
        ReadFile(h, buffer, sizeof buffer, &read, NULL);
        CloseHandle(h);
        return std::string(buffer, read);
    }
    std::string folder, file;
};

TEST_F(CalFileTest, WritesExactlyTheTextAndReplacesALongerFile)
{
    std::string longer(2000, 'x');
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), longer.data(), (int)longer.size()));
    std::string text = Cal("Tool", "C:\\t.exe");
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), text.data(), (int)text.size()));
    EXPECT_EQ(text, Read());
    EXPECT_TRUE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(CalFileTest, FailuresReturnTheErrorAndWriteNothing)
{
    std::string text = Cal("Tool", "C:\\t.exe");
    std::string gone = folder + "no such folder\\tool.cal";
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, WriteCalFile(gone.c_str(), text.data(), 10));

    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, WriteCalFile(folder.c_str(), text.data(), 10));

    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), "old", 3));
    // Another program holds the file without sharing it.
    HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION,
              WriteCalFile(file.c_str(), text.data(), (int)text.size()));
    CloseHandle(locked);
    EXPECT_EQ("old", Read());
}
