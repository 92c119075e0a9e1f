#include "tests/e2e/about_helpers.h"
#include "tests/e2e/driver.h"
#include "res/resource.h"

using namespace driver;
using namespace about;

class HelpDocumentsTest : public KorvanelTest
{
};

TEST_F(HelpDocumentsTest, ReadmeAndHistoryOpenBesideTheProgramWhateverTheCurrentDirectory)
{
    MarkerAssociation association;
    // The test's own directory holds documents too; the program must not look there.
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA("C:\\windows");
    bool started = Start(app, "", ProgramPath());
    SetCurrentDirectoryA(saved);
    ASSERT_TRUE(started);

    struct {
        int command;
        const char* name;
    } documents[] = {{IDM_README, "readme.txt"}, {IDM_HISTORY, "history.txt"}};
    for (auto& document : documents) {
        DeleteFileA(MarkerAssociation::OpenedPath().c_str());
        Command(app.main, document.command);
        std::string expected = ProgramDirectory() + document.name;
        EXPECT_EQ(0, _stricmp(expected.c_str(), association.WaitForOpenedPath().c_str()))
            << expected;
        std::string bytes = ReadFileBytes(expected);
        EXPECT_FALSE(bytes.empty()) << expected;
        EXPECT_EQ(bytes, ReadFileBytes(MarkerAssociation::CopiedDocument())) << expected;
        EXPECT_FALSE(WaitForDialog(app.main, 300)) << "no message box after a good open";
    }
}

TEST_F(HelpDocumentsTest, MissingHistoryReportsFileNotFoundCentredAndChangesNothing)
{
    std::string directory = FreshDirectory("bare");
    ASSERT_TRUE(CopyInto(ProgramPath(), directory));
    ASSERT_TRUE(Start(app, "", directory + "Korvanel.exe"));
    SetWindowPos(app.main, NULL, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetField(app, IDC_NAME, "keep me");
    Sync(app.main);
    RECT before = WindowRect(app.main);

    for (int command : {IDM_HISTORY, IDM_README}) {
        Command(app.main, command);
        Box box = AnswerBox(app.main, IDOK);
        ASSERT_TRUE(box.found) << command;
        EXPECT_EQ("エラー", box.caption);
        EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND), box.text);
        POINT boxCentre = Centre(box.rect), mainCentre = Centre(before);
        EXPECT_NEAR(mainCentre.x, boxCentre.x, 1);
        EXPECT_NEAR(mainCentre.y, boxCentre.y, 1);

        Sync(app.main);
        RECT after = WindowRect(app.main);
        EXPECT_TRUE(EqualRect(&before, &after));
        EXPECT_TRUE(IsWindowEnabled(app.main));
        EXPECT_EQ("keep me", Field(app, IDC_NAME));
        EXPECT_EQ("コルヴァネル for Cakewalk", Text(app.main));
        EXPECT_FALSE(WaitForDialog(app.main, 300)) << "one box only";
    }
}

TEST_F(HelpDocumentsTest, ProgramNamedWithTrailByte5CStillFindsItsDocuments)
{
    MarkerAssociation association;
    // ソ is 83 5C and 表 is 95 5C. In the program's own name they come after the real last
    // backslash, where a byte search would cut the path inside them.
    std::string directory = FreshDirectory("\x83\x5C\x83\x74\x83\x67\x95\x5C");
    std::string program = directory + "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67.exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), program.c_str(), FALSE));
    std::string readme = directory + "readme.txt";
    ASSERT_TRUE(WriteFileBytes(readme, "readme in \x83\x5C\x83\x74\x83\x67\x95\x5C\r\n"));
    ASSERT_TRUE(Start(app, "", program));

    Command(app.main, IDM_README);
    EXPECT_EQ(readme, association.WaitForOpenedPath());
    EXPECT_EQ(ReadFileBytes(readme), ReadFileBytes(MarkerAssociation::CopiedDocument()));
    EXPECT_FALSE(WaitForDialog(app.main, 300));
}
