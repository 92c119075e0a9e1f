#include <random>
#include "tests/e2e/driver.h"
#include "tests/cal_expected.h"
#include "tests/e2e/exchange_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace exchange;

static const char ExportTitle[] = "テキスト ファイルへの書き出し";
static const char ImportTitle[] = "テキスト ファイルの取り込み";
static const char CalTitle[] = "ツール起動用 CAL ファイルの保存";
static const char OverwriteText[] = "ファイルは既に存在します。\n上書きしますか?";
static const char NoToolsText[] = "Cakewalk に登録されているツールは、1つもありません。";

struct Tool {
    std::string name, path, menuText, statusText;
};

// The entries as they stand in the registry, in the list's order.
static std::vector<Tool> ListedTools(const App& app)
{
    std::vector<Tool> tools;
    for (int i = 0; i < ItemCount(app); i++) {
        ToolEntry entry{};
        if (ReadItem(app, i, entry))
            tools.push_back({entry.name, entry.path, entry.menuText, entry.statusText});
    }
    return tools;
}

static std::string Registry(const std::string& name, const char* value)
{
    std::string text;
    return ReadValue(name, value, text) ? text : "<missing>";
}

class ExchangeTest : public KorvanelTest
{
  protected:
    void SetUp() override
    {
        KorvanelTest::SetUp();
        folder = FreshFolder("korvanel-exchange");
    }
    void TearDown() override
    {
        KorvanelTest::TearDown();
        RemoveFolder(folder);
    }
    std::string folder;
};

TEST_F(ExchangeTest, ExportWritesEveryEntryInListOrderWithCrLf)
{
    PutEntry("Editor", "C:\\windows\\notepad.exe", "&Editor", "");
    PutEntry("\x95\x5C\x8E\xA6", " C:\\padded.exe ", "\"quoted\"", "a=b;c [d]");
    PutEntry("br]ack", "C:\\x.exe", "'single'", "status");
    ASSERT_TRUE(Start(app));
    SelectItem(app, 1);
    std::string file = folder + "tools.ini";

    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ASSERT_TRUE(dialog);
    EXPECT_EQ("", FileNameText(dialog));
    ChooseFile(dialog, file);
    // Asked to create a file that does not exist yet, Wine's save dialog asks nothing.
    EXPECT_TRUE(NoDialogFor(dialog, 700));
    AfterDialog(app, dialog);
    EXPECT_TRUE(NoDialogFor(app.main, 300));

    std::string expected;
    for (const Tool& tool : ListedTools(app)) {
        auto quoted = [](const std::string& text) {
            bool edges =
                !text.empty() && (text[0] == ' ' || text.back() == ' ' ||
                                  (text.size() > 1 && (text[0] == '"' || text[0] == '\'') &&
                                   text.back() == text[0]));
            return edges ? "\"" + text + "\"" : text;
        };
        expected += "[" + tool.name + "]\r\nExePath=" + quoted(tool.path) +
                    "\r\nMenuText=" + quoted(tool.menuText) +
                    "\r\nStatusBarText=" + quoted(tool.statusText) + "\r\n";
    }
    ASSERT_EQ(3u, ListedTools(app).size());
    EXPECT_EQ(expected, ReadFileBytes(file));
    EXPECT_EQ(std::string::npos, ReadFileBytes(file).find("Type"));
    // The list was rebuilt once the file was chosen.
    EXPECT_EQ(-1, Selection(app));
    EXPECT_EQ("", Field(app, IDC_NAME));
}

TEST_F(ExchangeTest, ExportIntoExistingFileAsksAndKeepsOtherSections)
{
    PutEntry("Tool", "C:\\new.exe", "New", "new status");
    std::string file = folder + "existing.ini";
    std::string before = "; kept comment\r\n"
                         "[Other]\r\n"
                         "Key=kept\r\n"
                         "[TOOL]\r\n"
                         "Type=Custom\r\n"
                         "ExePath=C:\\old.exe\r\n";
    ASSERT_TRUE(WriteFileBytes(file, before));
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    Snapshot selected = TakeSnapshot(app);

    // Refusing the overwrite leaves the dialog open; cancelling it changes nothing at all.
    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ASSERT_TRUE(dialog);
    Box prompt;
    ChooseFile(dialog, file, &prompt, IDNO);
    ASSERT_TRUE(prompt.found);
    EXPECT_EQ(ExportTitle, prompt.caption);
    EXPECT_EQ(OverwriteText, prompt.text);
    EXPECT_TRUE(IsWindowVisible(dialog));
    PressButton(dialog, IDCANCEL);
    AfterDialog(app, dialog);
    EXPECT_EQ(before, ReadFileBytes(file));
    EXPECT_TRUE(selected == TakeSnapshot(app));

    dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ChooseFile(dialog, file, &prompt, IDYES);
    ASSERT_TRUE(prompt.found);
    AfterDialog(app, dialog);
    EXPECT_EQ("; kept comment\r\n"
              "[Other]\r\n"
              "Key=kept\r\n"
              "[TOOL]\r\n"
              "Type=Custom\r\n"
              "ExePath=C:\\new.exe\r\n"
              "MenuText=New\r\n"
              "StatusBarText=new status\r\n",
              ReadFileBytes(file));
}

TEST_F(ExchangeTest, ExportOfEmptyMenuWarnsAfterTheDialogAndCreatesNoFile)
{
    ASSERT_TRUE(Start(app));
    SetField(app, IDC_NAME, "typed name");
    SetField(app, IDC_STATUS_TEXT, "typed status");
    std::string file = folder + "empty.ini";

    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ASSERT_TRUE(dialog) << "the warning must wait until a file is chosen";
    ChooseFile(dialog, file);
    Box box = TakeBox(app, "警告");
    ASSERT_TRUE(box.found);
    EXPECT_EQ(NoToolsText, box.text);
    AfterDialog(app, dialog);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
    EXPECT_EQ("", Field(app, IDC_NAME));
    EXPECT_EQ("", Field(app, IDC_STATUS_TEXT));
}

TEST_F(ExchangeTest, ExportLeavesOutAndNamesEntriesThatCouldNotComeBack)
{
    PutEntry("Good", "C:\\good.exe", "Good", "");
    PutEntry("Broken", "C:\\broken.exe", "line one\r\n[Injected]\r\nExePath=evil", "");
    PutEntry("Long", std::string(257, 'p'), "Long", "");
    // Too long for the list, which shows it empty: exporting it so would lose it unseen.
    PutEntry("Hidden", "C:\\hidden.exe", "Hidden", std::string(300, 's'));
    ASSERT_TRUE(Start(app));
    std::string file = folder + "partial.ini";

    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ChooseFile(dialog, file);
    Box box = TakeBox(app, "警告");
    ASSERT_TRUE(box.found);
    EXPECT_NE(std::string::npos, box.text.find("'Broken' : "));
    EXPECT_NE(std::string::npos, box.text.find("'Long' : "));
    EXPECT_NE(std::string::npos, box.text.find("'Hidden' : "));
    EXPECT_EQ(std::string::npos, box.text.find("'Good'"));
    AfterDialog(app, dialog);
    EXPECT_EQ("[Good]\r\nExePath=C:\\good.exe\r\nMenuText=Good\r\nStatusBarText=\r\n",
              ReadFileBytes(file));
}

TEST_F(ExchangeTest, ExportToVanishedFolderOrLockedFileReportsTheError)
{
    PutEntry("Tool", "C:\\t.exe", "Tool", "");
    ASSERT_TRUE(Start(app));

    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ChooseFile(dialog, folder + "gone\\tools.ini");
    Box box = TakeBox(app, "エラー");
    ASSERT_TRUE(box.found);
    EXPECT_EQ(0u, box.text.find("パスが見つかりません。"));
    AfterDialog(app, dialog);

    std::string file = folder + "locked.ini";
    ASSERT_TRUE(WriteFileBytes(file, "[Other]\r\nKey=kept\r\n"));
    HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    Box prompt;
    ChooseFile(dialog, file, &prompt, IDYES);
    box = TakeBox(app, "エラー");
    CloseHandle(locked);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(0u, box.text.find("共有違反です。"));
    AfterDialog(app, dialog);
    EXPECT_EQ("[Other]\r\nKey=kept\r\n", ReadFileBytes(file));
}

// Names and texts that INI files tend to break, and double-byte text with 0x5C second bytes.
static std::vector<Tool> GeneratedTools(unsigned seed, int count)
{
    static const char* const pieces[] = {" ",  "\"", "'",  "=",        ";",        "[",
                                         "]",  "#",  "a",  "\x83\x5C", "\x95\x5C", "\x81\x40",
                                         "\t", ".",  "\\", "&"};
    std::mt19937 random(seed);
    auto text = [&](int maxLength, bool name) {
        std::string t;
        int length = std::uniform_int_distribution<int>(0, maxLength)(random);
        while ((int)t.size() < length) {
            const char* piece = pieces[std::uniform_int_distribution<int>(0, 15)(random)];
            if (name && (piece[0] == '\\' || piece[0] == '\t' || piece[0] == ' ')) continue;
            t += piece;
        }
        return t;
    };
    std::vector<Tool> tools;
    for (int i = 0; i < count; i++)
        tools.push_back({text(20, true) + "#" + std::to_string(i), text(250, false),
                         text(60, false), text(250, false)});
    return tools;
}

TEST_F(ExchangeTest, ExportThenImportIntoEmptyMenuRecreatesEveryEntry)
{
    std::vector<Tool> tools = GeneratedTools(7, 24);
    for (const Tool& tool : tools)
        PutEntry(tool.name, tool.path, tool.menuText, tool.statusText);
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(tools.size(), (size_t)ItemCount(app));
    std::string file = folder + "round trip.ini";

    HWND dialog = OpenFileDialog(app, IDM_EXPORT, ExportTitle);
    ChooseFile(dialog, file);
    AfterDialog(app, dialog);
    EXPECT_TRUE(NoDialogFor(app.main, 300));

    ClearToolsMenu();
    Command(app.main, IDM_REFRESH);
    Sync(app.main);
    ASSERT_EQ(0, ItemCount(app));
    dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    ASSERT_TRUE(dialog);
    ChooseFile(dialog, file);
    AfterDialog(app, dialog);
    EXPECT_TRUE(NoDialogFor(app.main, 300));

    EXPECT_EQ(tools.size(), (size_t)ItemCount(app));
    for (const Tool& tool : tools) {
        EXPECT_EQ(tool.path, Registry(tool.name, "ExePath")) << tool.name;
        EXPECT_EQ(tool.menuText, Registry(tool.name, "MenuText")) << tool.name;
        EXPECT_EQ(tool.statusText, Registry(tool.name, "StatusBarText")) << tool.name;
        EXPECT_EQ("Generic", Registry(tool.name, "Type")) << tool.name;
    }
}

TEST_F(ExchangeTest, ImportOfFileWithoutSectionsWarnsAndLeavesTheListAlone)
{
    PutEntry("Kept", "C:\\kept.exe", "Kept", "");
    std::string file = folder + "empty.ini";
    ASSERT_TRUE(WriteFileBytes(file, ""));
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    Snapshot selected = TakeSnapshot(app);

    HWND dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    ChooseFile(dialog, file);
    Box box = TakeBox(app, "警告");
    ASSERT_TRUE(box.found);
    EXPECT_EQ("'" + file +
                  "'\nこのファイルには、取り込めるツールの情報 ([セクション]) がありません。",
              box.text);
    AfterDialog(app, dialog);
    EXPECT_TRUE(selected == TakeSnapshot(app));

    // Random bytes are not taken for entries either.
    std::string bytes(65536, '\0');
    unsigned state = 99;
    for (char& byte : bytes)
        byte = (char)((state = state * 1103515245 + 12345) >> 16);
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    ChooseFile(dialog, file);
    box = TakeBox(app, "警告");
    ASSERT_TRUE(box.found);
    EXPECT_NE(std::string::npos,
              box.text.find("ツールの情報を書き出したテキスト ファイルではない"));
    AfterDialog(app, dialog);
    EXPECT_TRUE(selected == TakeSnapshot(app));
}

TEST_F(ExchangeTest, ImportStopsAtTheThirdOfFiveAndShowsTheErrorAfterTheRebuild)
{
    std::string file = folder + "five.ini";
    ASSERT_TRUE(WriteFileBytes(file, "[One]\r\nExePath=1\r\n[Two]\r\nExePath=2\r\n[" +
                                         std::string(500, 'L') +
                                         "]\r\nExePath=3\r\n[Four]\r\n[Five]\r\n"));
    ASSERT_TRUE(Start(app));
    HWND dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    ChooseFile(dialog, file);
    HWND box = WaitForDialog(app.main, 5000, "エラー");
    ASSERT_TRUE(box);
    // The list already shows the two entries while the error is on screen.
    EXPECT_EQ(std::vector<std::string>({"One", "Two"}), ItemNames(app));
    EXPECT_EQ(0u, BoxText(box).find("ファイル名が長すぎます。"));
    PressButton(box, IDOK);
    AfterDialog(app, dialog);
    EXPECT_FALSE(KeyExists("Four"));
    EXPECT_EQ("1", Registry("One", "ExePath"));
}

TEST_F(ExchangeTest, ImportOfMissingOrLockedFileImportsNothing)
{
    std::string file = folder + "locked.ini";
    ASSERT_TRUE(WriteFileBytes(file, "[Tool]\r\nExePath=x\r\n"));
    ASSERT_TRUE(Start(app));
    // The open dialog itself refuses a file that does not exist; the import never starts.
    HWND dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    Box prompt;
    ChooseFile(dialog, folder + "missing.ini", &prompt, IDOK);
    EXPECT_TRUE(prompt.found);
    EXPECT_TRUE(IsWindowVisible(dialog));
    PressButton(dialog, IDCANCEL);
    AfterDialog(app, dialog);
    EXPECT_TRUE(NoDialogFor(app.main, 300));

    HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    dialog = OpenFileDialog(app, IDM_IMPORT, ImportTitle);
    ChooseFile(dialog, file);
    Box box = TakeBox(app, "エラー");
    CloseHandle(locked);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(0u, box.text.find("共有違反です。"));
    AfterDialog(app, dialog);
    EXPECT_FALSE(KeyExists("Tool"));
}

TEST_F(ExchangeTest, CalWithoutSelectionWarnsAndOpensNoDialog)
{
    PutEntry("Tool", "C:\\t.exe", "Tool", "");
    ASSERT_TRUE(Start(app));
    Command(app.main, IDT_CAL);
    Box box = TakeBox(app, "警告");
    ASSERT_TRUE(box.found);
    EXPECT_EQ("ツールを「登録リスト」から選択してください。", box.text);
    EXPECT_TRUE(NoDialogFor(app.main, 500));
}

TEST_F(ExchangeTest, CalFilesHoldTheExactScriptAndChangeNothingInTheWindow)
{
    // A 259-byte name: 129 double-byte characters (the registry counts characters) and one byte.
    std::string longName;
    for (int i = 0; i < 129; i++)
        longName += "\x83\x5C";
    longName += "x";
    std::string longPath = "C:\\" + std::string(252, 'p') + ".exe";
    ASSERT_EQ(259u, longName.size());
    ASSERT_EQ(259u, longPath.size());
    PutEntry("NoPath", "", "No path", "");
    PutEntry("say \"hi\"", "C:\\a \"b\"\\c.exe", "Quotes", "");
    PutEntry(longName, longPath, "Long", "");
    ASSERT_TRUE(Start(app));
    std::vector<Tool> tools = ListedTools(app);
    ASSERT_EQ(3u, tools.size());

    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        SelectItem(app, i);
        Snapshot before = TakeSnapshot(app);
        Foreground(app.main);
        Keys({VK_CONTROL, 'E'});
        HWND dialog = WaitForDialog(app.main, 5000, CalTitle);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(tools[i].name, FileNameText(dialog));
        std::string file = folder + "launcher" + std::to_string(i);
        ChooseFile(dialog, file); // the dialog adds ".cal"
        AfterDialog(app, dialog);
        std::string bytes = ReadFileBytes(file + ".cal");
        EXPECT_EQ(CalBytes(tools[i].name, tools[i].path), bytes);
        EXPECT_EQ(248 + tools[i].name.size() + tools[i].path.size(), bytes.size());
        EXPECT_TRUE(before == TakeSnapshot(app));
    }
}

TEST_F(ExchangeTest, CalOverExistingFileAsksThenReplacesItWhole)
{
    PutEntry("Tool", "C:\\t.exe", "Tool", "");
    std::string file = folder + "tool.cal";
    ASSERT_TRUE(WriteFileBytes(file, std::string(5000, 'x')));
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    HWND dialog = OpenFileDialog(app, IDT_CAL, CalTitle);
    ASSERT_TRUE(dialog);
    Box prompt;
    ChooseFile(dialog, file, &prompt, IDYES);
    ASSERT_TRUE(prompt.found);
    EXPECT_EQ(CalTitle, prompt.caption);
    EXPECT_EQ(OverwriteText, prompt.text);
    AfterDialog(app, dialog);
    EXPECT_EQ(CalBytes("Tool", "C:\\t.exe"), ReadFileBytes(file));

    // A folder that has gone: the creation fails and nothing is written.
    dialog = OpenFileDialog(app, IDM_CAL, CalTitle);
    ChooseFile(dialog, folder + "gone\\tool.cal");
    Box box = TakeBox(app, "エラー");
    ASSERT_TRUE(box.found);
    EXPECT_EQ(0u, box.text.find("パスが見つかりません。"));
    AfterDialog(app, dialog);
}
