#include <atomic>
#include <functional>
#include <thread>
#include "tests/e2e/driver.h"
#include "tests/e2e/editing_helpers.h"
#include "tests/e2e/endurance_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace endurance;

static const char RegeditPath[] = "C:\\windows\\regedit.exe";
static const char FileExistsQuestion[] = "ファイルは既に存在します。\n上書きしますか?";

// Another program (this test) gets in the way of the command: it changes the registry behind the
// program's back or holds a file open without sharing. The program must report the failure or
// finish the work, and never crash, hang or lose an entry it was not asked to remove.
class FaultTest : public KorvanelTest
{
  protected:
    // Selects the entry and asks to delete it; returns the question, unanswered. The selection
    // is made as the list's own notification makes it: clicks on the same item in quick
    // succession would be a double click, which opens the entry's program.
    HWND AskToDelete(const std::string& name)
    {
        int index = IndexOf(app, name);
        if (index < 0) return NULL;
        Select(app, index);
        Command(app.main, IDT_DELETE);
        return WaitForBox(app.main, 5000, "削除の確認");
    }

    // Rebuilt, the list must show exactly what the registry holds.
    void ExpectListShowsTheRegistry()
    {
        Command(app.main, IDM_REFRESH);
        editing::Settle(app.main);
        EXPECT_EQ(editing::SubkeyNames(), ItemNames(app));
    }

    bool Alive()
    {
        return WaitForSingleObject(app.process.hProcess, 0) == WAIT_TIMEOUT && IsWindow(app.main);
    }

    long OpenKeys()
    {
        return OpenKeyCount(app.process.dwProcessId);
    }

    static std::string File(const char* name)
    {
        return editing::TestFolder("korvanel-fault") + "\\" + name;
    }

    // Opens the file dialog of the command and accepts the path in it; answers the dialog's own
    // question about replacing an existing file with yes.
    ::testing::AssertionResult ChooseInFileDialog(int command, const char* title,
                                                  const std::string& path, bool exists)
    {
        Command(app.main, command);
        HWND dialog = WaitForBox(app.main, 5000, title);
        if (!dialog) return ::testing::AssertionFailure() << "no file dialog " << title;
        Sleep(250); // the dialog fills its controls after it is shown
        if (!AcceptFileDialog(dialog, path))
            return ::testing::AssertionFailure() << "no file-name box in " << title;
        if (exists) {
            HWND question = WaitForBox(dialog, 5000);
            if (!question) return ::testing::AssertionFailure() << "no question about " << path;
            std::string text = BoxText(question);
            Dismiss(question, IDYES);
            if (text != FileExistsQuestion)
                return ::testing::AssertionFailure() << "asked instead: " << text;
        }
        if (!WaitUntilGone(dialog)) return ::testing::AssertionFailure() << "dialog stays open";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(FaultTest, DeleteReportsOrFinishesWhenAnotherProgramChangedTheEntryAfterTheQuestion)
{
    struct Case {
        const char* meddling;
        std::function<void()> meddle;
        DWORD error; // 0: the delete goes through
    } cases[] = {
        {"entry deleted with its subkeys",
         [] {
             RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Gone").c_str());
             RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Gone").c_str());
         },
         ERROR_FILE_NOT_FOUND},
        {"subkeys deleted",
         [] {
             RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                            (std::string(ToolsMenuKey) + "\\Gone\\Sub").c_str());
             RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Gone\\Sub").c_str());
         },
         0},
        {"subkeys added", [] { PutNestedKeys("Gone\\More", 40); }, 0},
        {"entry deleted and made again",
         [] {
             RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Gone").c_str());
             RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Gone").c_str());
             PutNestedKeys("Gone", 3, "again");
         },
         0},
    };
    ASSERT_TRUE(Start(app));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.meddling);
        ClearToolsMenu();
        PutEntry("Gone", RegeditPath, "消える(&G)", "");
        ASSERT_TRUE(PutNestedKeys("Gone\\Sub", 3, "Leaf"));
        PutEntry("Stay 1", RegeditPath, "残る 1(&1)", "");
        PutEntry("Stay 2", RegeditPath, "残る 2(&2)", "");
        Command(app.main, IDM_REFRESH);
        editing::Settle(app.main);
        long keysBefore = OpenKeys();

        HWND question = AskToDelete("Gone");
        ASSERT_TRUE(question);
        c.meddle();
        ASSERT_TRUE(Dismiss(question, IDYES));
        Box report = Answer(app.main, IDOK, 1500);
        ASSERT_TRUE(Alive());
        if (c.error) {
            EXPECT_TRUE(report.found);
            EXPECT_EQ("エラー", report.caption);
            EXPECT_EQ(editing::SystemErrorText(c.error), report.text);
            // Not rebuilt after a failure, but every item still holds a readable entry.
            EXPECT_EQ(std::vector<std::string>({"Gone", "Stay 1", "Stay 2"}), ItemNames(app));
        } else {
            EXPECT_FALSE(report.found) << report.caption << ": " << report.text;
            EXPECT_FALSE(KeyExists("Gone"));
            EXPECT_EQ(std::vector<std::string>({"Stay 1", "Stay 2"}), ItemNames(app));
        }
        EXPECT_TRUE(KeyExists("Stay 1") && KeyExists("Stay 2"));
        EXPECT_EQ(keysBefore, OpenKeys()) << "every key opened by the delete is closed";
        ExpectListShowsTheRegistry();
    }
}

TEST_F(FaultTest, DeleteWhileAnotherProgramKeepsAddingSubkeysEndsWithoutHangOrLoss)
{
    PutEntry("Churn", RegeditPath, "増える(&C)", "");
    for (int i = 0; i < 300; i++)
        ASSERT_TRUE(PutNestedKeys("Churn\\k" + std::to_string(i), 1));
    PutEntry("Stay", RegeditPath, "残る(&S)", "");
    ASSERT_TRUE(Start(app));
    long keysBefore = OpenKeys();
    HWND question = AskToDelete("Churn");
    ASSERT_TRUE(question);

    // Adds subkeys through its own handle of the entry while the program deletes it, until the
    // entry is gone (the creation then fails) or a few thousand have been added.
    HKEY churn;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(ToolsMenuKey) + "\\Churn").c_str(), 0,
                            KEY_ALL_ACCESS, &churn));
    std::atomic<int> added(0);
    std::atomic<LONG> stop(0);
    std::thread adder([&] {
        for (int i = 0; i < 10000; i++) {
            HKEY sub;
            std::string name = "n" + std::to_string(i);
            LONG result =
                RegCreateKeyExA(churn, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL);
            if (result != ERROR_SUCCESS) {
                stop = result;
                return;
            }
            RegCloseKey(sub);
            added++;
        }
    });
    Dismiss(question, IDYES);

    // Either the delete wins and the list is rebuilt without the entry, or it stops at a
    // subkey that appeared too late and says why.
    bool ended = SettleWithin(app.main, 60000);
    Box report = Answer(app.main, IDOK, 1000);
    adder.join();
    RegCloseKey(churn);
    ASSERT_TRUE(ended) << "the delete neither ended nor reported after a minute";
    ASSERT_TRUE(Alive());
    SCOPED_TRACE("added " + std::to_string(added) + ", then creation gave " + std::to_string(stop));
    if (report.found) {
        EXPECT_EQ("エラー", report.caption);
        EXPECT_NE("", report.text);
    } else {
        EXPECT_FALSE(KeyExists("Churn"));
    }
    EXPECT_TRUE(KeyExists("Stay"));
    EXPECT_EQ(keysBefore, OpenKeys());
    ExpectListShowsTheRegistry();
}

TEST_F(FaultTest, EntryWithThreeHundredNestedLevelsIsListedOverwrittenAndDeleted)
{
    PutEntry("Deep", RegeditPath, "深い(&D)", "");
    ASSERT_TRUE(PutNestedKeys("Deep", 300));
    ASSERT_EQ(300, NestedDepth("Deep"));
    PutEntry("Stay", RegeditPath, "残る(&S)", "");
    ASSERT_TRUE(Start(app));
    EXPECT_EQ(std::vector<std::string>({"Deep", "Stay"}), ItemNames(app));
    long keysBefore = OpenKeys();

    // Registering over it rewrites its values and leaves its subkeys alone.
    editing::SetFields(app, "Deep", RegeditPath, "上書き(&O)", "深いまま");
    Command(app.main, IDM_REGISTER);
    Box question = Answer(app.main, IDYES);
    EXPECT_EQ("上書き保存の確認", question.caption);
    editing::Settle(app.main);
    EXPECT_EQ("上書き(&O)", editing::Value("Deep", "MenuText"));
    EXPECT_EQ("深いまま", editing::Value("Deep", "StatusBarText"));
    EXPECT_EQ(300, NestedDepth("Deep"));

    // Deleting it removes all 301 keys, depth first, and nothing else.
    HWND deleteQuestion = AskToDelete("Deep");
    ASSERT_TRUE(deleteQuestion);
    Dismiss(deleteQuestion, IDYES);
    ASSERT_TRUE(SettleWithin(app.main, 30000));
    Box report = Answer(app.main, IDOK, 1000);
    EXPECT_FALSE(report.found) << report.caption << ": " << report.text;
    ASSERT_TRUE(Alive());
    EXPECT_FALSE(KeyExists("Deep"));
    EXPECT_TRUE(KeyExists("Stay"));
    EXPECT_EQ(std::vector<std::string>({"Stay"}), ItemNames(app));
    EXPECT_EQ(keysBefore, OpenKeys());
}

TEST_F(FaultTest, CalFileHeldOpenByAnotherProgramReportsTheSharingViolation)
{
    PutEntry("Tool", RegeditPath, "ツール(&T)", "ツールを起動します。");
    std::string path = File("held.cal");
    ASSERT_TRUE(WriteFileBytes(path, "held by another program"));
    ASSERT_TRUE(Start(app));
    SelectItem(app, 0);
    std::vector<std::string> fields = editing::Fields(app);

    HeldFile held(path);
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(ChooseInFileDialog(IDM_CAL, "ツール起動用 CAL ファイルの保存", path, true));
    Box report = Answer(app.main, IDOK);
    EXPECT_TRUE(report.found);
    EXPECT_EQ("エラー", report.caption);
    EXPECT_EQ(editing::SystemErrorText(ERROR_SHARING_VIOLATION), report.text);
    ASSERT_TRUE(Alive());
    held.Release();

    EXPECT_EQ("held by another program", ReadFileBytes(path));
    EXPECT_EQ(0, Selection(app));
    EXPECT_EQ(fields, editing::Fields(app));
    EXPECT_EQ(std::vector<std::string>({"Tool"}), ItemNames(app));
}

TEST_F(FaultTest, IniFileHeldOpenByAnotherProgramIsNotImportedAndNothingIsLost)
{
    PutEntry("Existing", RegeditPath, "前から(&E)", "前からある。");
    std::string path = File("held.ini");
    ASSERT_TRUE(WriteFileBytes(path,
                               "[New]\r\nExePath=C:\\new.exe\r\nMenuText=New\r\n"
                               "[Existing]\r\nExePath=C:\\changed.exe\r\nMenuText=Changed\r\n"));
    ASSERT_TRUE(Start(app));

    HeldFile held(path);
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(ChooseInFileDialog(IDM_IMPORT, "テキスト ファイルの取り込み", path, false));
    Box report = Answer(app.main, IDOK);
    EXPECT_TRUE(report.found);
    EXPECT_EQ("エラー", report.caption);
    EXPECT_EQ(editing::SystemErrorText(ERROR_SHARING_VIOLATION), report.text);
    EXPECT_EQ("", editing::UnexpectedDialog(app.main)) << "one report only";
    ASSERT_TRUE(Alive());

    EXPECT_FALSE(KeyExists("New"));
    EXPECT_EQ(RegeditPath, editing::Value("Existing", "ExePath"));
    EXPECT_EQ("前から(&E)", editing::Value("Existing", "MenuText"));
    EXPECT_EQ(std::vector<std::string>({"Existing"}), ItemNames(app));

    // Released, the same file imports: the lock was all that stood in the way.
    held.Release();
    ASSERT_TRUE(ChooseInFileDialog(IDM_IMPORT, "テキスト ファイルの取り込み", path, false));
    EXPECT_EQ("", editing::UnexpectedDialog(app.main));
    EXPECT_EQ("C:\\new.exe", editing::Value("New", "ExePath"));
    EXPECT_EQ("Changed", editing::Value("Existing", "MenuText"));
    EXPECT_EQ(std::vector<std::string>({"Existing", "New"}), ItemNames(app));
}

TEST_F(FaultTest, ExportToAnIniFileHeldOpenByAnotherProgramReportsTheSharingViolation)
{
    PutEntry("First", RegeditPath, "一番目(&1)", "");
    PutEntry("Second", RegeditPath, "二番目(&2)", "");
    std::string path = File("held-export.ini");
    const std::string before = "[Other]\r\nkey=value\r\n";
    ASSERT_TRUE(WriteFileBytes(path, before));
    ASSERT_TRUE(Start(app));

    HeldFile held(path);
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(ChooseInFileDialog(IDM_EXPORT, "テキスト ファイルへの書き出し", path, true));
    Box report = Answer(app.main, IDOK);
    EXPECT_TRUE(report.found);
    EXPECT_EQ("エラー", report.caption);
    EXPECT_EQ(editing::SystemErrorText(ERROR_SHARING_VIOLATION), report.text);
    EXPECT_EQ("", editing::UnexpectedDialog(app.main)) << "one report only";
    ASSERT_TRUE(Alive());
    held.Release();

    EXPECT_EQ(before, ReadFileBytes(path));
    EXPECT_TRUE(KeyExists("First") && KeyExists("Second"));
    EXPECT_EQ(std::vector<std::string>({"First", "Second"}), ItemNames(app));
}
