#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "exchange/exchange.h"
#include "tests/support.h"

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

    std::string file = support::TempFile("korvanel-tool.cal"), longer(2000, 'x');
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), longer.c_str()));
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), "short"));
    EXPECT_EQ("short", support::ReadFileBytes(file));
    // Refused: the error number, and the file left as it was.
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, WriteCalFile((file + "\\x.cal").c_str(), "x"));
    EXPECT_EQ("short", support::ReadFileBytes(file));
}
