// The help documents as they are installed beside the built exe: what Notepad on a Japanese
// Windows opens.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>

static std::string BuiltDocument(const char* name)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, sizeof path);
    strcpy(strrchr(path, '\\') + 1, name);
    std::string bytes;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

static std::wstring Decoded(const std::string& bytes)
{
    int length =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), NULL, 0);
    std::wstring text(length, L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), &text[0],
                        length);
    return text;
}

TEST(HelpFiles, AreCodePage932WithCrLfAndNoByteOrderMark)
{
    for (const char* name : {"readme.txt", "history.txt"}) {
        std::string bytes = BuiltDocument(name);
        ASSERT_GT(bytes.size(), 100u) << name;
        EXPECT_NE(0, memcmp(bytes.data(), "\xEF\xBB\xBF", 3)) << name;
        EXPECT_FALSE(Decoded(bytes).empty()) << name << " is not valid code page 932";
        EXPECT_EQ(std::string::npos, bytes.find('\0')) << name;
        size_t lines = 0;
        for (size_t i = 0; i < bytes.size(); i++) {
            if (bytes[i] != '\n') continue;
            lines++;
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << name << ": bare LF at byte " << i;
            EXPECT_FALSE(i > 1 && bytes[i - 2] == '\r') << name << ": CR CR LF at byte " << i;
        }
        EXPECT_GT(lines, 10u) << name;
        EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2)) << name;
    }
}

TEST(HelpFiles, HistoryNamesThisVersionAndReadmeBothBuilds)
{
    std::wstring history = Decoded(BuiltDocument("history.txt"));
    EXPECT_NE(std::wstring::npos, history.find(L"1.2.2000.316"));
    std::wstring readme = Decoded(BuiltDocument("readme.txt"));
    EXPECT_NE(std::wstring::npos, readme.find(L"Korvanel-1.2.2000.316-i686.zip"));
    EXPECT_NE(std::wstring::npos, readme.find(L"Korvanel-1.2.2000.316-x86_64.zip"));
    EXPECT_NE(std::wstring::npos, readme.find(L"WOW6432Node"));
    EXPECT_NE(std::wstring::npos,
              readme.find(L"HKEY_LOCAL_MACHINE\\Software\\Cakewalk Music Software\\Tools Menu"));
}
