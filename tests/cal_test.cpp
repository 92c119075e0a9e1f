#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "exchange/exchange.h"
#include "tests/support.h"

// The script's bytes are checked in the saved file by the smoke; here its limits.
TEST(Cal, TheLongestTextFillsItsBufferAndAFileIsReplacedWhole)
{
    std::string name(259, 'n'), path(259, 'p');
    std::vector<char> out(CAL_TEXT_SIZE + 8, '~');
    EXPECT_EQ(766, BuildCalText(name.c_str(), path.c_str(), out.data(), CAL_TEXT_SIZE));
    EXPECT_EQ('\0', out[766]);
    EXPECT_EQ('~', out[767]);
    // One byte short: nothing is claimed and nothing written past the buffer.
    std::fill(out.begin(), out.end(), '~');
    EXPECT_EQ(0, BuildCalText(name.c_str(), path.c_str(), out.data(), 766));
    EXPECT_EQ('~', out[766]);

    std::string file = support::TempFile("korvanel-tool.cal"), longer(2000, 'x');
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), longer.data(), (int)longer.size()));
    ASSERT_EQ((DWORD)NO_ERROR, WriteCalFile(file.c_str(), "short", 5));
    EXPECT_EQ("short", support::ReadFileBytes(file));
    // Refused: the error number, and the file left as it was.
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, WriteCalFile((file + "\\x.cal").c_str(), "x", 1));
    EXPECT_EQ("short", support::ReadFileBytes(file));
}
