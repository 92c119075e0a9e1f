#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "editor/editor.h"

static std::string BaseName(const char* path)
{
    char buffer[MAX_PATH];
    memset(buffer, 0x7F, sizeof buffer); // stale bytes after the terminator must not matter
    strcpy(buffer, path);
    BaseNameOf(buffer);
    return buffer;
}

TEST(BaseNameOf, CutsAtTheLastBackslashAndTheLastDotAfterIt)
{
    EXPECT_EQ("Editor", BaseName("C:\\Tools\\Editor.exe"));
    EXPECT_EQ("archive.tar", BaseName("C:\\Tools\\archive.tar.gz"));
    EXPECT_EQ("Editor", BaseName("C:\\Tools\\Editor"));
    EXPECT_EQ("Editor", BaseName("C:\\My.Tools\\Editor"));
    EXPECT_EQ("", BaseName("C:\\Tools\\.profile"));
    EXPECT_EQ("", BaseName("C:\\Tools\\"));
    EXPECT_EQ("Tools", BaseName("C:\\Tools"));
}

TEST(BaseNameOf, WithoutBackslashTheNameStartsAtTheFirstCharacter)
{
    EXPECT_EQ("Editor", BaseName("Editor.exe"));
    EXPECT_EQ("readme", BaseName("readme"));
    EXPECT_EQ("", BaseName(".profile"));
    EXPECT_EQ("", BaseName(""));
    // Only the backslash separates: a drive colon and forward slashes are ordinary characters.
    EXPECT_EQ("C:Editor", BaseName("C:Editor.exe"));
    EXPECT_EQ("C:/Tools/Editor", BaseName("C:/Tools/Editor.exe"));
    EXPECT_EQ("x/y", BaseName("C:\\Tools\\x/y.z"));
}

TEST(BaseNameOf, TrailByte5CIsNotASeparator)
{
    // C:\ソフト\表計算.exe
    EXPECT_EQ("\x95\x5C\x8C\x76\x8E\x5A",
              BaseName("C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8C\x76\x8E\x5A.exe"));
    // A folder C:\ソフト: the byte 0x5C inside ソ would otherwise leave only フト.
    EXPECT_EQ("\x83\x5C\x83\x74\x83\x67", BaseName("C:\\\x83\x5C\x83\x74\x83\x67"));
    // C:\表\a.exe: 表 ends in 0x5C right before a real separator.
    EXPECT_EQ("a", BaseName("C:\\\x95\x5C\\a.exe"));
    // C:\Tools\ソ.表 : the last dot is a real one even between two such characters.
    EXPECT_EQ("\x83\x5C", BaseName("C:\\Tools\\\x83\x5C.\x95\x5C"));
    // ソ alone, no backslash at all.
    EXPECT_EQ("\x83\x5C", BaseName("\x83\x5C"));
}

TEST(BaseNameOf, SingleByteKanaAndLoneLeadBytesAreOrdinary)
{
    // Half-width ｱ (0xB1) is a whole character, so the backslash after it separates.
    EXPECT_EQ("x", BaseName("\xB1\\x.exe"));
    // 0x83 followed by 0x83: the second byte is a trail byte, not a new lead byte.
    EXPECT_EQ("\x83\x83"
              "a",
              BaseName("C:\\\x83\x83"
                       "a.exe"));
    // A lead byte cut off by the terminator is kept and nothing beyond it is read.
    EXPECT_EQ("a\x83", BaseName("C:\\a\x83"));
}

TEST(VersionStringPrefix, EightLowercaseHexDigitsWithLeadingZeros)
{
    char prefix[VERSION_PREFIX_SIZE];
    VersionStringPrefix(0x0411, 0x04B0, prefix);
    EXPECT_STREQ("\\StringFileInfo\\041104b0\\", prefix);
    VersionStringPrefix(0x0C0A, 0x04E4, prefix);
    EXPECT_STREQ("\\StringFileInfo\\0c0a04e4\\", prefix);
    VersionStringPrefix(0, 0, prefix);
    EXPECT_STREQ("\\StringFileInfo\\00000000\\", prefix);
    VersionStringPrefix(0xFFFF, 0xFFFF, prefix);
    EXPECT_STREQ("\\StringFileInfo\\ffffffff\\", prefix);
}
