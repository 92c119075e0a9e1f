#include "tests/e2e/driver.h"
#include "tests/e2e/editing_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace editing;

static const char NotepadPath[] = "C:\\windows\\notepad.exe";
static const char RegeditPath[] = "C:\\windows\\regedit.exe";
static const char OverwriteQuestion[] =
    "'\nこのツールは、すでに Cakewalk の [ツール] メニューに登録されています。\n"
    "上書きしてもよろしいですか？";
static const char DeleteQuestion[] =
    "'\nこのツールを Cakewalk の [ツール] メニューから削除してもよろしいですか？";
static const char NothingToDelete[] = "削除するツールを「登録リスト」から選択してください。";

static const std::vector<std::string> NoFields = {"", "", "", ""};

TEST_F(KorvanelTest, RegisterWarnsAboutEmptyFieldsInOrderAndFocusesEach)
{
    ASSERT_TRUE(Start(app));
    Foreground(app.main);
    struct Step {
        const char *name, *path, *menuText;
        const char* warning;
        int focused;
    } steps[] = {
        {"", "", "", "「登録リスト」欄が入力されていません。", IDC_NAME},
        {"Tool", "", "", "「メニュー項目」欄が入力されていません。", IDC_MENU_TEXT},
        {"Tool", RegeditPath, "", "「メニュー項目」欄が入力されていません。", IDC_MENU_TEXT},
        {"Tool", "", "&Tool", "「実行ファイル」欄が入力されていません。", IDC_EXE_PATH},
        // From the path field back to the name field: the focus really moves.
        {"", RegeditPath, "&Tool", "「登録リスト」欄が入力されていません。", IDC_NAME},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.warning);
        SetFields(app, step.name, step.path, step.menuText, "status");
        Command(app.main, IDM_REGISTER);
        Question box = AnswerQuestion(app.main, IDOK);
        ASSERT_TRUE(box.found);
        EXPECT_EQ("警告", box.caption);
        EXPECT_EQ(step.warning, box.text);
        EXPECT_TRUE(box.ok && !box.yes && !box.no);
        EXPECT_EQ(GetDlgItem(app.main, step.focused), FocusedControl(app));
        EXPECT_EQ((std::vector<std::string>{step.name, step.path, step.menuText, "status"}),
                  Fields(app));
    }
    EXPECT_FALSE(KeyExists("")) << "a warning must not touch the registry";

    // The status-bar text may be empty.
    SetFields(app, "Tool", RegeditPath, "&Tool", "");
    Command(app.main, IDM_REGISTER);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    EXPECT_EQ(std::vector<std::string>{"Tool"}, ItemNames(app));
    EXPECT_EQ(RegeditPath, Value("Tool", "ExePath"));
    EXPECT_EQ("&Tool", Value("Tool", "MenuText"));
    EXPECT_EQ("", Value("Tool", "StatusBarText"));
    EXPECT_EQ("Generic", Value("Tool", "Type"));
    EXPECT_EQ(NoFields, Fields(app));
    EXPECT_EQ(-1, Selection(app));
}

TEST_F(KorvanelTest, OverwriteQuestionNamesTheTypedNameAndNoChangesNothing)
{
    PutEntry("MyTool", NotepadPath, "Old", "Old status");
    PutEntry("Other", NotepadPath, "Other", "");
    ASSERT_TRUE(Start(app));
    std::vector<std::string> typed = {"MYTOOL", RegeditPath, "New", "New status"};
    SetFields(app, typed[0], typed[1], typed[2], typed[3]);
    Command(app.main, IDT_REGISTER);
    Question box = AnswerQuestion(app.main, IDNO);
    ASSERT_TRUE(box.found);
    EXPECT_EQ("上書き保存の確認", box.caption);
    EXPECT_EQ(std::string("'MYTOOL") + OverwriteQuestion, box.text);
    EXPECT_TRUE(box.yes && box.no && !box.ok);
    EXPECT_EQ(typed, Fields(app));
    EXPECT_EQ(NotepadPath, Value("MyTool", "ExePath"));
    EXPECT_EQ("Old", Value("MyTool", "MenuText"));
    EXPECT_EQ("Old status", Value("MyTool", "StatusBarText"));
    EXPECT_EQ((std::vector<std::string>{"MyTool", "Other"}), SubkeyNames());

    Command(app.main, IDM_REGISTER);
    box = AnswerQuestion(app.main, IDYES);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(std::string("'MYTOOL") + OverwriteQuestion, box.text);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    // Rewritten in place: the key keeps the letter case it had.
    EXPECT_EQ((std::vector<std::string>{"MyTool", "Other"}), SubkeyNames());
    EXPECT_EQ(RegeditPath, Value("MyTool", "ExePath"));
    EXPECT_EQ("New", Value("MyTool", "MenuText"));
    EXPECT_EQ("New status", Value("MyTool", "StatusBarText"));
    EXPECT_EQ((std::vector<std::string>{"MyTool", "Other"}), ItemNames(app));
    EXPECT_EQ(NoFields, Fields(app));
}

TEST_F(KorvanelTest, CtrlRReregistersTheSelectedEntryAfterAskingAboutItself)
{
    PutEntry("Alpha", NotepadPath, "&Alpha", "Alpha status");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    SetField(app, IDC_MENU_TEXT, "&Changed");
    Foreground(app.main);
    Keys({VK_CONTROL, 'R'});
    Question box = AnswerQuestion(app.main, IDYES);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(std::string("'Alpha") + OverwriteQuestion, box.text);
    EXPECT_EQ("&Changed", Value("Alpha", "MenuText"));
    EXPECT_EQ("Alpha status", Value("Alpha", "StatusBarText"));
    EXPECT_EQ(NoFields, Fields(app));
    EXPECT_EQ(-1, Selection(app));
}

TEST_F(KorvanelTest, LongFieldsRegisterTheirFirst255BytesWithoutHalfCharacters)
{
    const std::string so = "\x83\x5C"; // ソ
    ASSERT_TRUE(Start(app));
    // Longer than the edits take from the keyboard, as a selection or a pre-fill may put there.
    SetFields(app, "Long", Repeat("p", 300), Repeat(so, 200), "a" + Repeat(so, 200));
    Command(app.main, IDM_REGISTER);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    EXPECT_EQ(Repeat("p", 255), Value("Long", "ExePath"));
    // 255 bytes would end in the first half of the 128th ソ: it is left out.
    EXPECT_EQ(Repeat(so, 127), Value("Long", "MenuText"));
    EXPECT_EQ("a" + Repeat(so, 127), Value("Long", "StatusBarText"));
    Close(app);

    // Texts of 259 bytes written by another program reach the fields through a selection.
    ClearToolsMenu();
    PutEntry("Long", NotepadPath, Repeat("m", 259), "bb" + Repeat(so, 128) + "c");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    EXPECT_EQ(259u, Field(app, IDC_MENU_TEXT).size());
    Command(app.main, IDM_REGISTER);
    ASSERT_TRUE(AnswerQuestion(app.main, IDYES).found);
    EXPECT_EQ(Repeat("m", 255), Value("Long", "MenuText"));
    EXPECT_EQ("bb" + Repeat(so, 126), Value("Long", "StatusBarText"));
}

TEST_F(KorvanelTest, RefusedKeyCreationIsReportedAndNothingIsRefreshed)
{
    PutEntry("Other", NotepadPath, "&Other", "");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    // Wine refuses key paths longer than 260 characters, and this name makes one.
    std::vector<std::string> typed = {Repeat("n", 300), RegeditPath, "&Long", "status"};
    SetFields(app, typed[0], typed[1], typed[2], typed[3]);
    Command(app.main, IDM_REGISTER);
    Question box = AnswerQuestion(app.main, IDOK);
    ASSERT_TRUE(box.found);
    EXPECT_EQ("エラー", box.caption);
    EXPECT_NE("", box.text);
    EXPECT_TRUE(box.ok && !box.yes && !box.no);
    EXPECT_EQ(std::vector<std::string>{"Other"}, SubkeyNames());
    // Without a refresh the selection and the typed fields stay.
    EXPECT_EQ(0, Selection(app));
    std::vector<std::string> shown = Fields(app);
    EXPECT_EQ(300u, shown[0].size());
    EXPECT_EQ(typed[2], shown[2]);
}

TEST_F(KorvanelTest, NameWithBackslashCreatesANestedKeyShownByItsFirstComponent)
{
    ASSERT_TRUE(Start(app));
    SetFields(app, "Outer\\Inner", RegeditPath, "&Nested", "Nested status");
    Command(app.main, IDM_REGISTER);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    EXPECT_EQ(RegeditPath, Value("Outer\\Inner", "ExePath"));
    EXPECT_EQ("&Nested", Value("Outer\\Inner", "MenuText"));
    EXPECT_EQ("<missing>", Value("Outer", "ExePath"));
    EXPECT_EQ(std::vector<std::string>{"Outer"}, ItemNames(app));
}

TEST_F(KorvanelTest, DeleteWithNothingSelectedWarnsEvenOnAnEmptyList)
{
    ASSERT_TRUE(Start(app));
    Command(app.main, IDM_DELETE);
    Question box = AnswerQuestion(app.main, IDOK);
    EXPECT_EQ("警告", box.caption);
    EXPECT_EQ(NothingToDelete, box.text);
    Close(app);

    PutEntry("Kept", NotepadPath, "Kept", "");
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(-1, Selection(app));
    Command(app.main, IDT_DELETE);
    box = AnswerQuestion(app.main, IDOK);
    EXPECT_EQ("警告", box.caption);
    EXPECT_EQ(NothingToDelete, box.text);
    EXPECT_TRUE(KeyExists("Kept"));
}

TEST_F(KorvanelTest, DeleteAsksAndNoKeepsEntrySelectionAndFields)
{
    PutEntry("Keep", NotepadPath, "&Keep", "Keep status");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    Command(app.main, IDM_DELETE);
    Question box = AnswerQuestion(app.main, IDNO);
    ASSERT_TRUE(box.found);
    EXPECT_EQ("削除の確認", box.caption);
    EXPECT_EQ(std::string("'Keep") + DeleteQuestion, box.text);
    EXPECT_TRUE(box.yes && box.no && !box.ok);
    EXPECT_TRUE(KeyExists("Keep"));
    EXPECT_EQ(0, Selection(app));
    EXPECT_EQ((std::vector<std::string>{"Keep", NotepadPath, "&Keep", "Keep status"}), Fields(app));
}

TEST_F(KorvanelTest, CtrlDDeletesTheWholeKeyTreeOfTheSelectedEntry)
{
    PutEntry("Deep", NotepadPath, "&Deep", "");
    PutEntry("Deep\\Child\\Grandchild", NotepadPath, "x", "");
    PutEntry("Deep\\Sibling", NotepadPath, "y", "");
    PutEntry("Neighbour", RegeditPath, "&Neighbour", "");
    ASSERT_TRUE(Start(app));
    ASSERT_EQ((std::vector<std::string>{"Deep", "Neighbour"}), ItemNames(app));
    SelectItem(app, 0);
    Keys({VK_CONTROL, 'D'});
    Question box = AnswerQuestion(app.main, IDYES);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(std::string("'Deep") + DeleteQuestion, box.text);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    EXPECT_FALSE(KeyExists("Deep"));
    EXPECT_EQ(std::vector<std::string>{"Neighbour"}, SubkeyNames());
    EXPECT_EQ(std::vector<std::string>{"Neighbour"}, ItemNames(app));
    EXPECT_EQ(-1, Selection(app));
    EXPECT_EQ(NoFields, Fields(app));
}

TEST_F(KorvanelTest, OpenOfAMissingProgramShowsTheSystemTextForError2)
{
    PutEntry("Gone", "C:\\nowhere\\gone.exe", "&Gone", "");
    ASSERT_TRUE(Start(app));
    // With nothing selected, open does nothing at all.
    Command(app.main, IDM_OPEN);
    EXPECT_EQ("", UnexpectedDialog(app.main));

    SelectItem(app, 0);
    Command(app.main, IDM_OPEN);
    Question box = AnswerQuestion(app.main, IDOK);
    ASSERT_TRUE(box.found);
    EXPECT_EQ("エラー", box.caption);
    EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND), box.text);
    EXPECT_NE("", box.text);
    EXPECT_TRUE(box.ok && !box.yes && !box.no);
    EXPECT_EQ(0, Selection(app));
}

// A file type whose default action leaves a marker instead of opening a window.
class OpenTest : public KorvanelTest
{
  protected:
    void SetUp() override
    {
        KorvanelTest::SetUp();
        folder = TestFolder("kvtest\\open");
        marker = folder + "\\opened.marker";
        DeleteFileA(marker.c_str());
        SetClassesValue(".kvtest", "kvtestfile");
        SetClassesValue("kvtestfile\\shell\\open\\command", "cmd.exe /c echo %1> " + marker);
        PutFile(folder + "\\stored.kvtest", "stored");
        PutFile(folder + "\\edited.kvtest", "edited");
    }
    void TearDown() override
    {
        KorvanelTest::TearDown();
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "kvtestfile");
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "kvtestfile");
        RegDeleteKeyA(HKEY_CLASSES_ROOT, ".kvtest");
    }
    static void SetClassesValue(const char* key, const std::string& text)
    {
        RegSetKeyValueA(HKEY_CLASSES_ROOT, key, NULL, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
    }
    std::string WaitForMarker()
    {
        for (int i = 0; i < 100; i++) {
            std::string text = ReadFileBytes(marker);
            if (!text.empty()) return text;
            Sleep(100);
        }
        return "";
    }
    std::string folder, marker;
};

TEST_F(OpenTest, OpenLaunchesTheStoredPathNotTheEditedField)
{
    PutEntry("Doc", folder + "\\stored.kvtest", "&Doc", "");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    SetField(app, IDC_EXE_PATH, folder + "\\edited.kvtest");
    Command(app.main, IDM_OPEN);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    std::string opened = WaitForMarker();
    EXPECT_NE(std::string::npos, opened.find("stored.kvtest")) << opened;
    EXPECT_EQ(std::string::npos, opened.find("edited")) << opened;

    // A double-click opens the same way.
    DeleteFileA(marker.c_str());
    DoubleClick(ItemCentre(app, 0));
    opened = WaitForMarker();
    EXPECT_NE(std::string::npos, opened.find("stored.kvtest")) << opened;
}

TEST_F(KorvanelTest, RegisterSelfCreatesKorvanelAndEmptiesTheFields)
{
    PutEntry("Other", NotepadPath, "&Other", "");
    ASSERT_TRUE(Start(app));
    SetFields(app, "typed", "typed.exe", "typed", "typed");
    Command(app.main, IDM_REGISTER_SELF);
    EXPECT_EQ("", UnexpectedDialog(app.main));
    EXPECT_EQ((std::vector<std::string>{"Korvanel", "Other"}), SubkeyNames());
    EXPECT_EQ(0, lstrcmpiA(KorvanelPath().c_str(), Value("Korvanel", "ExePath").c_str()))
        << Value("Korvanel", "ExePath");
    EXPECT_EQ("コルヴァネル(&T)", Value("Korvanel", "MenuText"));
    EXPECT_EQ("コルヴァネルを起動します。", Value("Korvanel", "StatusBarText"));
    EXPECT_EQ("Generic", Value("Korvanel", "Type"));
    EXPECT_EQ((std::vector<std::string>{"Korvanel", "Other"}), ItemNames(app));
    EXPECT_EQ(NoFields, Fields(app));
}

TEST_F(KorvanelTest, RegisterSelfAsksBeforeOverwritingAnExistingEntry)
{
    PutEntry("KORVANEL", NotepadPath, "Old", "Old status");
    ASSERT_TRUE(Start(app));
    Command(app.main, IDM_REGISTER_SELF);
    Question box = AnswerQuestion(app.main, IDNO);
    ASSERT_TRUE(box.found);
    EXPECT_EQ("上書き保存の確認", box.caption);
    EXPECT_EQ(std::string("'Korvanel") + OverwriteQuestion, box.text);
    EXPECT_EQ(NotepadPath, Value("KORVANEL", "ExePath"));
    EXPECT_EQ("Old", Value("KORVANEL", "MenuText"));
    EXPECT_EQ(NoFields, Fields(app));

    Command(app.main, IDM_REGISTER_SELF);
    ASSERT_TRUE(AnswerQuestion(app.main, IDYES).found);
    EXPECT_EQ(std::vector<std::string>{"KORVANEL"}, SubkeyNames());
    EXPECT_EQ(0, lstrcmpiA(KorvanelPath().c_str(), Value("KORVANEL", "ExePath").c_str()));
    EXPECT_EQ("コルヴァネル(&T)", Value("KORVANEL", "MenuText"));
    EXPECT_EQ(NoFields, Fields(app));
}
