#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <string.h>
#include "editor/editor.h"

static std::string Dropped(const std::string& text)
{
    char buffer[300];
    strcpy(buffer, text.c_str());
    DropDanglingLeadByte(buffer);
    return buffer;
}

TEST(DropDanglingLeadByte, WholeCharactersStay)
{
    EXPECT_EQ("", Dropped(""));
    EXPECT_EQ("abc", Dropped("abc"));
    EXPECT_EQ("\x83\x5C", Dropped("\x83\x5C"));   // ソ
    EXPECT_EQ("\x83\x83", Dropped("\x83\x83"));   // ャ: its trail byte is also a lead value
    EXPECT_EQ("\xB1\xB2", Dropped("\xB1\xB2"));   // half-width ｱｲ
    EXPECT_EQ("a\x95\x5C", Dropped("a\x95\x5C")); // a表
}

TEST(DropDanglingLeadByte, ALoneLeadByteAtTheEndGoes)
{
    EXPECT_EQ("", Dropped("\x83"));
    EXPECT_EQ("a", Dropped("a\x83"));
    EXPECT_EQ("\x83\x5C", Dropped("\x83\x5C\x83"));
    // Walked by characters: the middle 0x83 is a trail byte, the last one a lone lead byte.
    EXPECT_EQ("\x83\x83", Dropped("\x83\x83\x83"));
    EXPECT_EQ("\x83\x83\x83\x83", Dropped("\x83\x83\x83\x83"));
}

TEST(DropDanglingLeadByte, A255ByteCutOfDoubleByteText)
{
    // What a 256-byte read of 150 ソ may leave: 127 whole characters and one lead byte.
    std::string whole;
    for (int i = 0; i < 127; i++)
        whole += "\x83\x5C";
    EXPECT_EQ(whole, Dropped(whole + "\x83"));
    // With one single-byte character first, 255 bytes end on a whole character.
    EXPECT_EQ("a" + whole, Dropped("a" + whole));
}
