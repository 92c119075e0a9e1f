#include "tests/e2e/driver.h"
#include "tests/e2e/editing_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace editing;

typedef std::vector<std::string> Texts;

static const char RegeditPath[] = "C:\\windows\\regedit.exe";
static const char NotepadPath[] = "C:\\windows\\notepad.exe";
static const char Spreadsheet[] = "表計算ソフト";

// Files of every shape that a base name is taken from, below C:\kvtest of the test prefix.
class PrefillTest : public KorvanelTest
{
  protected:
    static void SetUpTestSuite()
    {
        PutFile(TestFolder("kvtest\\Tools") + "\\Editor.exe", "not a module");
        PutFile(TestFolder("kvtest\\Tools") + "\\archive.tar.gz", "not a module");
        PutFile(TestFolder("kvtest\\Tools") + "\\.profile", "not a module");
        PutFile(TestFolder("kvtest\\Plain") + "\\Editor", "not a module");
        PutFile(TestFolder("kvtest\\My.Tools") + "\\Editor", "not a module");
        PutFile(TestFolder("kvtest") + "\\readme.txt", "a document");
        CopyFixture("ja_unicode.exe", TestFolder("kvtest\\ソフト") + "\\表計算.exe");
    }
    static std::string Fixture(const char* name)
    {
        return TestDirectory() + name + ".exe";
    }
    // A drop onto the window, then the four fields it left.
    Texts Drop(const std::vector<std::string>& paths)
    {
        EXPECT_TRUE(DropFiles(app, paths));
        return Fields(app);
    }
};

TEST_F(PrefillTest, BrowseOpensEmptyCentredAndFillsFromTheChosenProgram)
{
    ASSERT_TRUE(Start(app));
    SetField(app, IDC_EXE_PATH, RegeditPath);
    HWND dialog = ClickBrowse(app);
    ASSERT_TRUE(dialog);
    EXPECT_EQ("", FileNameText(dialog)) << "the path field must not seed the dialog";
    int selected = -1;
    EXPECT_EQ((Texts{"実行可能ファイル (*.exe)", "すべてのファイル (*.*)"}),
              FileTypes(dialog, selected));
    EXPECT_EQ(0, selected);
    RECT main = WindowRect(app.main), box = WindowRect(dialog);
    EXPECT_NEAR((main.left + main.right) / 2, (box.left + box.right) / 2, 2);

    std::string path = Fixture("ja_unicode");
    ASSERT_TRUE(ChooseFile(app, dialog, path));
    Texts filled = {"ja_unicode", path, Spreadsheet, "著作権 表示 ソフト工房"};
    EXPECT_EQ(filled, Fields(app));

    // Cancelling leaves the fields as they were.
    PostMessageA(app.main, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                 (LPARAM)GetDlgItem(app.main, IDC_BROWSE));
    dialog = WaitForDialog(app.main, 5000, "ファイルを選択");
    ASSERT_TRUE(dialog);
    PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(dialog));
    EXPECT_EQ(filled, Fields(app));
}

TEST_F(PrefillTest, BrowseTakesTheBaseNameOfEveryShapeOfPath)
{
    struct Case {
        std::string path, baseName, menuText, statusText;
    } cases[] = {
        {"C:\\kvtest\\Tools\\Editor.exe", "Editor", "Editor", "Editor"},
        {"C:\\kvtest\\Tools\\archive.tar.gz", "archive.tar", "archive.tar", "archive.tar"},
        {"C:\\kvtest\\Plain\\Editor", "Editor", "Editor", "Editor"},
        {"C:\\kvtest\\My.Tools\\Editor", "Editor", "Editor", "Editor"},
        {"C:\\kvtest\\Tools\\.profile", "", "", ""},
        // ソ and 表 end in 0x5C; the file is a Japanese fixture, so its texts follow.
        {"C:\\kvtest\\ソフト\\表計算.exe", "表計算", Spreadsheet, "著作権 表示 ソフト工房"},
    };
    ASSERT_TRUE(Start(app));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        PostMessageA(app.main, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                     (LPARAM)GetDlgItem(app.main, IDC_BROWSE));
        HWND dialog = WaitForDialog(app.main, 5000, "ファイルを選択");
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(ChooseFile(app, dialog, c.path));
        EXPECT_EQ((Texts{c.baseName, c.path, c.menuText, c.statusText}), Fields(app));
    }
}

TEST_F(PrefillTest, DropReadsTheFirstTranslationsStringTable)
{
    const std::string longText = Repeat("ソ表", 135);
    struct Case {
        const char *fixture, *menuText, *statusText;
    } cases[] = {
        {"ja_unicode", Spreadsheet, "著作権 表示 ソフト工房"},
        {"us_english", "US English Tool", "Copyright (C) US English"},
        {"no_translation", "no_translation", "no_translation"},
        {"short_translation", "short_translation", "short_translation"},
        {"description_only", "Only A Description", "Only A Description"},
        {"empty_description", "", "empty_description"},
        // Stored with no text at all: the bytes after it must not be read as the description.
        {"zero_length_description", "", "zero_length_description"},
        {"copyright_only", "copyright_only", "Copyright (C) Only"},
        // Set as window text, a description is shown whole whatever the edits' limit.
        {"long_description", longText.c_str(), longText.c_str()},
    };
    ASSERT_TRUE(Start(app));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        std::string path = Fixture(c.fixture);
        EXPECT_EQ((Texts{c.fixture, path, c.menuText, c.statusText}), Drop({path}));
    }
    EXPECT_EQ((Texts{"notepad", NotepadPath, "notepad", "notepad"}), Drop({NotepadPath}));
    Texts regedit = Drop({RegeditPath});
    EXPECT_EQ("regedit", regedit[0]);
    EXPECT_EQ("Wine Registry Editor", regedit[2]);
    EXPECT_NE(std::string::npos, regedit[3].find("Wine")) << regedit[3];
}

TEST_F(PrefillTest, DropTakesTheFirstItemOnlyAndAcceptsFoldersAndDocuments)
{
    ASSERT_TRUE(Start(app));
    std::string english = Fixture("us_english"), japanese = Fixture("ja_unicode");
    EXPECT_EQ((Texts{"us_english", english, "US English Tool", "Copyright (C) US English"}),
              Drop({english, japanese, RegeditPath}));
    EXPECT_EQ(GetForegroundWindow(), app.main);

    std::string folder = "C:\\kvtest\\ソフト";
    EXPECT_EQ((Texts{"ソフト", folder, "ソフト", "ソフト"}), Drop({folder}));
    EXPECT_EQ((Texts{"My", "C:\\kvtest\\My.Tools", "My", "My"}), Drop({"C:\\kvtest\\My.Tools"}));
    std::string document = "C:\\kvtest\\readme.txt";
    EXPECT_EQ((Texts{"readme", document, "readme", "readme"}), Drop({document}));

    // A drop that names nothing keeps what the user typed.
    SetFields(app, "typed", "typed.exe", "Typed", "typed status");
    EXPECT_EQ((Texts{"typed", "typed.exe", "Typed", "typed status"}), Drop({}));
}

TEST_F(PrefillTest, LongDescriptionIsRegisteredCutBeforeAHalfCharacter)
{
    ASSERT_TRUE(Start(app));
    Drop({Fixture("long_description")});
    Command(app.main, IDM_REGISTER);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    // 540 bytes of ソ and 表 read as 255: the 128th character would be cut in half.
    std::string expected = Repeat("ソ表", 63) + "ソ";
    EXPECT_EQ(expected, Value("long_description", "MenuText"));
    EXPECT_EQ(expected, Value("long_description", "StatusBarText"));
    EXPECT_EQ(Fixture("long_description"), Value("long_description", "ExePath"));
}

TEST_F(PrefillTest, BrowseAndDropWriteNothingAndKeepTheSelection)
{
    PutEntry("Alpha", NotepadPath, "&Alpha", "Alpha status");
    PutEntry("Beta", RegeditPath, "&Beta", "Beta status");
    ASSERT_TRUE(Start(app));
    Texts names = ItemNames(app);
    SelectItem(app, 1);

    Drop({Fixture("us_english")});
    EXPECT_EQ(1, Selection(app));
    EXPECT_EQ(names, ItemNames(app));
    HWND dialog = ClickBrowse(app);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(ChooseFile(app, dialog, Fixture("ja_unicode")));
    EXPECT_EQ(1, Selection(app));
    EXPECT_EQ("ja_unicode", Field(app, IDC_NAME));

    Foreground(app.main);
    Keys({VK_F5});
    EXPECT_TRUE(Eventually([&] { return Fields(app) == Texts{"", "", "", ""}; }));
    EXPECT_EQ(names, ItemNames(app));
    EXPECT_EQ((Texts{"Alpha", "Beta"}), SubkeyNames());
    EXPECT_EQ(NotepadPath, Value("Alpha", "ExePath"));
    EXPECT_EQ("Beta status", Value("Beta", "StatusBarText"));
}
