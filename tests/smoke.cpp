// Drives the Korvanel.exe that KORVANEL_EXE names (a Unix path lies on drive Z:) like a user;
// KORVANEL_VIEW=32 says that it is the i686 build, which sees the 32-bit registry view. Each test
// starts the program anew on a registry of its own making, so that one failure hides no other.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include "res/resource.h"
#include "tests/support.h"

using namespace support;

struct App {
    PROCESS_INFORMATION process{};
    HWND main = NULL;
};

struct Box {
    std::string caption, text;
};

// Polls for at most five seconds: a step the program never takes fails the check that follows.
template <class Done> static bool Eventually(Done done)
{
    for (int i = 0; i < 500; i++, Sleep(10))
        if (done()) return true;
    return done();
}

// The exe that the variable names, as Windows names it.
static std::string ProgramPath(const char* variable = "KORVANEL_EXE")
{
    std::string path = getenv(variable) ? getenv(variable) : "";
    if (path.empty() || path[0] != '/') return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

static bool Launch(App& app, const char* arguments = "", const std::string& exe = ProgramPath())
{
    std::string line = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          &app.process) != FALSE;
}

// Sent with a time limit: a program stuck in a test must fail it, not hang it.
static DWORD_PTR Ask(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL, 5000, &result);
    return result;
}

// Returns once the program has handled everything posted to it before. Keystrokes are taken only
// after posted messages, so a key's effect is waited for with Eventually instead. Two markers: a
// character that the program posts itself as the first one is posted may come after it.
static void Sync(HWND main)
{
    HWND field = GetDlgItem(main, IDC_NAME);
    for (int marker = 4321; marker <= 4322; marker++) {
        PostMessageA(field, EM_SETLIMITTEXT, marker, 0);
        Eventually([&] { return Ask(field, EM_GETLIMITTEXT) == (DWORD_PTR)marker; });
    }
    Ask(field, EM_SETLIMITTEXT, 256);
}

// A visible top-level dialog for which test holds: the main window, a box, a file dialog.
template <class Test> static HWND FindDialog(Test test)
{
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", NULL));)
        if (IsWindowVisible(w) && test(w)) return w;
    return NULL;
}

static bool Start(App& app, const char* arguments = "", const std::string& exe = ProgramPath())
{
    if (!Launch(app, arguments, exe)) return false;
    Eventually([&] {
        app.main = FindDialog([&](HWND w) {
            DWORD processId = 0;
            GetWindowThreadProcessId(w, &processId);
            return processId == app.process.dwProcessId && GetPropA(w, "Korvanel");
        });
        return app.main != NULL;
    });
    if (!app.main) return false;
    Sync(app.main);
    SetForegroundWindow(app.main);
    return true;
}

static DWORD WaitForExit(App& app)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(app.process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(app.process.hProcess, &code);
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app = App();
    return code;
}

// Real keys into the input queue of the foreground window's thread.
static void Keys(std::initializer_list<WORD> chord)
{
    std::vector<INPUT> inputs(2 * chord.size());
    for (size_t i = 0; i < inputs.size(); i++) {
        bool up = i >= chord.size();
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = chord.begin()[up ? inputs.size() - 1 - i : i];
        inputs[i].ki.wScan = (WORD)MapVirtualKeyA(inputs[i].ki.wVk, MAPVK_VK_TO_VSC);
        inputs[i].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

static std::string Text(HWND window)
{
    char text[4096] = "";
    Ask(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return std::string(text, strnlen(text, sizeof text));
}

// The file-name box is an Edit inside a ComboBox inside a ComboBoxEx, all with the id 0x47C.
static HWND FileNameBox(HWND dialog)
{
    HWND item = GetDlgItem(dialog, 0x47C);
    for (char name[16] = ""; item; item = GetWindow(item, GW_CHILD))
        if (GetClassNameA(item, name, sizeof name) && _stricmp(name, "Edit") == 0) break;
    return item;
}

// A box of owner once it has its text, a file dialog once it has its file-name box, or a dialog
// of the program's own once it has its controls.
static HWND WaitForDialog(HWND owner, const char* caption = nullptr)
{
    HWND found = NULL;
    Eventually([&] {
        found = FindDialog([&](HWND w) {
            return GetWindow(w, GW_OWNER) == owner && (!caption || Text(w) == caption);
        });
        return found && (!Text(GetDlgItem(found, 0xFFFF)).empty() || FileNameBox(found) ||
                         GetDlgItem(found, IDC_HINT) || GetDlgItem(found, IDC_NEW_NAME) ||
                         GetDlgItem(found, IDC_PREVIEW_LIST));
    });
    return found;
}

static void PressAndWait(HWND dialog, int button)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, button));
    Eventually([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

static Box Answer(const App& app, int button, HWND owner = NULL)
{
    HWND box = WaitForDialog(owner ? owner : app.main);
    if (!box) return Box{"<no box>", ""};
    Box read = {Text(box), Text(GetDlgItem(box, 0xFFFF))};
    PressAndWait(box, button);
    Sync(app.main);
    return read;
}

static void ChooseFile(const App& app, HWND dialog, const std::string& path)
{
    Ask(FileNameBox(dialog), WM_SETTEXT, 0, (LPARAM)path.c_str());
    PressAndWait(dialog, path.empty() ? IDCANCEL : IDOK);
    Sync(app.main);
}

static const int FieldIds[] = {IDC_NAME, IDC_EXE_PATH, IDC_MENU_TEXT, IDC_STATUS_TEXT};

static Strings Fields(const App& app)
{
    Strings texts;
    for (int id : FieldIds)
        texts.push_back(Text(GetDlgItem(app.main, id)));
    return texts;
}

static void SetFields(const App& app, const Strings& texts)
{
    for (size_t i = 0; i < 4; i++)
        Ask(GetDlgItem(app.main, FieldIds[i]), WM_SETTEXT, 0, (LPARAM)texts[i].c_str());
}

static HWND Focused(const App& app)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(app.process.dwThreadId, &info);
    return info.hwndFocus;
}

// Selects an item as a click would: the program hears of it as of any change of selection.
static void SelectIndex(const App& app, int index)
{
    HWND list = GetDlgItem(app.main, IDC_TOOL_LIST);
    Ask(list, LB_SETCURSEL, index);
    Ask(app.main, WM_COMMAND, MAKEWPARAM(IDC_TOOL_LIST, LBN_SELCHANGE), (LPARAM)list);
}

// Each row's own text, read as a screen reader reads it: a dialog's list is a Unicode window, whose
// text only the W message gives across processes.
static Strings ItemNames(const App& app)
{
    Strings names;
    HWND list = GetDlgItem(app.main, IDC_TOOL_LIST);
    for (int i = 0, n = (int)Ask(list, LB_GETCOUNT); i < n; i++) {
        wchar_t wide[512] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 512) return {"<too long>"};
        SendMessageW(list, LB_GETTEXT, i, (LPARAM)wide);
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL);
        names.push_back(text);
    }
    return names;
}

static void Select(const App& app, const std::string& name)
{
    Strings names = ItemNames(app);
    SelectIndex(app, (int)(std::find(names.begin(), names.end(), name) - names.begin()));
}

// Alt+letter opens a menu of the menu bar, the next letter chooses its item.
static void Menu(WORD menu, WORD item)
{
    Keys({VK_MENU, menu});
    Keys({item});
}

// The first part of the status bar, read through memory of the program's own.
static std::string StatusText(const App& app)
{
    HWND bar = GetDlgItem(app.main, IDC_STATUS_BAR);
    char text[1024] = "";
    void* remote =
        VirtualAllocEx(app.process.hProcess, NULL, sizeof text, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return "<no memory>";
    if (Ask(bar, SB_GETTEXTLENGTHA, 0) < sizeof text) {
        Ask(bar, SB_GETTEXTA, 0, (LPARAM)remote);
        ReadProcessMemory(app.process.hProcess, remote, text, sizeof text - 1, NULL);
    }
    VirtualFreeEx(app.process.hProcess, remote, 0, MEM_RELEASE);
    return text;
}

// A popup menu that the program shows.
static HWND OpenPopup(const App& app)
{
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32768", NULL));) {
        DWORD processId = 0;
        GetWindowThreadProcessId(w, &processId);
        if (processId == app.process.dwProcessId && IsWindowVisible(w)) return w;
    }
    return NULL;
}

class Smoke : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const char* view = getenv("KORVANEL_VIEW");
        View = view && strcmp(view, "32") == 0 ? KEY_WOW64_32KEY : 0;
        ClearToolsMenu();
    }
    void TearDown() override
    {
        for (App* started : {&app, &other}) {
            if (!started->process.hProcess) continue;
            TerminateProcess(started->process.hProcess, 99);
            WaitForExit(*started);
        }
    }
    App app, other; // other: the other build, beside this one
};

static const char Notepad[] = "C:\\windows\\notepad.exe";
static const char Regedit[] = "C:\\windows\\regedit.exe";

TEST_F(Smoke, StartsListsInRegistryOrderLaunchesRegistersItselfAndStaysOneInstance)
{
    PutEntry("beta", Regedit, "&Beta", "Beta status");
    PutEntry("Alpha", Notepad, "&Alpha", "");
    PutEntry("Missing", "C:\\nowhere\\gone.exe", "Gone", "");
    // Arguments are ignored: the window opens as always.
    ASSERT_TRUE(Start(app, "/import C:\\tools.ini"));
    EXPECT_EQ(GetDlgItem(app.main, IDC_NAME), Focused(app));
    EXPECT_EQ(Subkeys(), ItemNames(app));
    Select(app, "beta");
    EXPECT_EQ((Strings{"beta", Regedit, "&Beta", "Beta status"}), Fields(app));

    // 開く on a program that is gone: the system's own text under "エラー".
    Select(app, "Missing");
    Menu('T', 'O');
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                   ERROR_FILE_NOT_FOUND, 0, text, sizeof text, NULL);
    text[strcspn(text, "\r\n")] = '\0'; // the line break it ends in is not the box's
    Box box = Answer(app, IDOK);
    EXPECT_EQ("エラー", box.caption);
    EXPECT_EQ(text, box.text);

    // Self-registration from the File menu, through the register command, question included.
    Menu('F', 'T');
    // Type is the last value written: the key and the values before it are all there then.
    ASSERT_TRUE(Eventually([&] { return Value("Korvanel", "Type") == "Generic"; }));
    EXPECT_EQ(0, _stricmp(ProgramPath().c_str(), Value("Korvanel", "ExePath").c_str()));
    EXPECT_EQ("コルヴァネル(&T)", Value("Korvanel", "MenuText"));
    EXPECT_EQ("コルヴァネルを起動します。", Value("Korvanel", "StatusBarText"));
    Sync(app.main);
    Menu('F', 'T');
    EXPECT_EQ(0u, Answer(app, IDYES).text.find("'Korvanel'\n"));

    // A second instance brings the minimized first one back and ends.
    ShowWindow(app.main, SW_MINIMIZE);
    Sync(app.main);
    App second;
    ASSERT_TRUE(Launch(second));
    EXPECT_EQ(0u, WaitForExit(second));
    EXPECT_TRUE(Eventually([&] { return !IsIconic(app.main); }));
    EXPECT_EQ(app.main, GetForegroundWindow());
    PostMessageA(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, WaitForExit(app));
}

// Each build edits its own Cakewalk's menu, so each runs beside the other.
TEST_F(Smoke, StartsBesideTheOtherBuild)
{
    const std::string otherExe = ProgramPath("KORVANEL_OTHER_EXE");
    if (getenv("KORVANEL_NO_32BIT") || otherExe.empty())
        GTEST_SKIP() << "the other build cannot run here";
    ASSERT_TRUE(Start(app));
    ASSERT_TRUE(Start(other, "", otherExe));
    // 1 is the i686 build's, 2 the x86_64 build's.
    EXPECT_EQ(View ? 1u : 2u, (UINT_PTR)GetPropA(app.main, "Korvanel"));
    EXPECT_EQ(View ? 2u : 1u, (UINT_PTR)GetPropA(other.main, "Korvanel"));
    // A second start of this build brings this build's window forward, not the other's.
    SetForegroundWindow(other.main);
    App second;
    ASSERT_TRUE(Launch(second));
    EXPECT_EQ(0u, WaitForExit(second));
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == app.main; }));
    PostMessageA(other.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(other));
}

TEST_F(Smoke, RegistersAfterWarningsInFieldOrderAndCutsLongTexts)
{
    ASSERT_TRUE(Start(app));
    Keys({VK_MENU, 'R'});
    EXPECT_TRUE(Eventually([&] { return Focused(app) == GetDlgItem(app.main, IDC_NAME); }));
    // Each warning names the first empty field and moves the focus there; Ctrl+R types nothing.
    const struct {
        Strings fields;
        const char* text;
        int focus;
    } rows[] = {
        {{"", Regedit, "&New", ""}, "「登録リスト」欄が入力されていません。", IDC_NAME},
        {{"New", "", "", ""}, "「メニュー項目」欄が入力されていません。", IDC_MENU_TEXT},
        {{"New", "", "&New", ""}, "「実行ファイル」欄が入力されていません。", IDC_EXE_PATH},
    };
    for (const auto& row : rows) {
        SetFields(app, row.fields);
        Keys({VK_CONTROL, 'R'});
        Box box = Answer(app, IDOK);
        EXPECT_EQ("警告", box.caption);
        EXPECT_EQ(row.text, box.text);
        EXPECT_EQ(GetDlgItem(app.main, row.focus), Focused(app));
        EXPECT_EQ(row.fields, Fields(app));
    }
    EXPECT_EQ(Strings(), Subkeys());

    // A text longer than a field is read is stored as its first 255 bytes.
    const std::string long300(300, 'x');
    SetFields(app, {"New", Regedit, "&New", long300});
    Keys({VK_CONTROL, 'R'});
    ASSERT_TRUE(Eventually([&] { return Value("New", "Type") == "Generic"; }));
    EXPECT_EQ(Strings{"New"}, Subkeys());
    EXPECT_EQ(long300.substr(0, 255), Value("New", "StatusBarText"));
    Sync(app.main);
    EXPECT_EQ(Strings(4, ""), Fields(app));
}

TEST_F(Smoke, RegistersOverASameNamedEntryAndDeletesAKeyTreeOnlyWhenAsked)
{
    PutEntry("MyTool", Notepad, "Old", "Old status");
    PutEntry("New", Regedit, "New", "");
    RegCloseKey(CreateKey("MyTool\\Child")); // what Cakewalk or the user added stays
    RegCloseKey(CreateKey("New\\a\\b\\c"));
    ASSERT_TRUE(Start(app));
    // The same name in other letters: No changes nothing, Yes rewrites the key in place.
    const Strings typed = {"MYTOOL", Regedit, "Changed", ""};
    const std::string question = "'MYTOOL'\nこのツールは、すでに Cakewalk の [ツール] メニューに"
                                 "登録されています。\n上書きしてもよろしいですか？";
    SetFields(app, typed);
    Keys({VK_CONTROL, 'R'});
    Box box = Answer(app, IDNO);
    EXPECT_EQ("上書き保存の確認", box.caption);
    EXPECT_EQ(question, box.text);
    EXPECT_EQ(typed, Fields(app));
    EXPECT_EQ("Old", Value("MyTool", "MenuText"));
    Keys({VK_CONTROL, 'R'});
    EXPECT_EQ(question, Answer(app, IDYES).text);
    EXPECT_EQ((Strings{"MyTool", "New"}), Subkeys());
    EXPECT_EQ("Changed", Value("MyTool", "MenuText"));
    EXPECT_EQ(Strings{"Child"}, Subkeys("MyTool"));

    // Delete asks first, then takes the entry's whole key tree.
    Select(app, "New");
    const Strings shown = Fields(app);
    Keys({VK_CONTROL, 'D'});
    box = Answer(app, IDNO);
    EXPECT_EQ(shown, Fields(app)); // no "d" typed once the box has closed
    EXPECT_EQ("削除の確認", box.caption);
    EXPECT_EQ("'New'\nこのツールを Cakewalk の [ツール] メニューから削除してもよろしいですか？",
              box.text);
    EXPECT_EQ((Strings{"MyTool", "New"}), Subkeys());
    Keys({VK_CONTROL, 'D'});
    Answer(app, IDYES);
    EXPECT_EQ(Strings{"MyTool"}, Subkeys());
    EXPECT_EQ(Strings{"MyTool"}, ItemNames(app));
}

TEST_F(Smoke, ExportEmptyAndImportRestoreTheMenuAndCalFilesAreExact)
{
    // 表計算 in C:\ソフト: 0x5C as second bytes; blanks and quotes that the INI reader would eat.
    const std::string name = "表計算", path = "C:\\ソフト\\表.exe";
    PutEntry("Editor", Notepad, "&Editor", "");
    PutEntry(name, path, " padded ", "\"quoted\"");
    PutEntry("a=b;c[d", Regedit, "m;n", "#s");
    const std::string ini = TempFile("korvanel-smoke.ini"), cal = TempFile("korvanel-smoke.cal");
    ASSERT_TRUE(Start(app));
    // Behind the program's back once it has listed the menu: the export reads it anew, and names
    // what it leaves out (Windows would read that section back as "Wave [x64").
    PutEntry("Late", Notepad, "Late", "");
    const Strings before = Snapshot();
    PutEntry("Wave [x64]", Regedit, "Wave", "");
    // A path longer than the dialog's buffer fails the dialog, which the program says.
    Menu('F', 'E');
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルへの書き出し"),
               "C:\\users\\" + std::string(250, 'a') + ".ini");
    Box box = Answer(app, IDOK);
    EXPECT_EQ("警告", box.caption);
    EXPECT_EQ("入力されたパスが長すぎます。\n(ファイル ダイアログのエラー 0x3003)", box.text);

    Menu('F', 'E');
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルへの書き出し"), ini);
    EXPECT_NE(std::string::npos,
              Answer(app, IDOK).text.find("\n'Wave [x64]' : 名前に ] があります"));
    EXPECT_EQ("4 件のツールを書き出しました。", StatusText(app));
    const std::string written = ReadFileBytes(ini);
    EXPECT_NE(std::string::npos,
              written.find("[" + name + "]\r\nExePath=" + path + "\r\nMenuText=\" padded \"\r\n"));
    EXPECT_NE(std::string::npos, written.find("[Late]"));
    EXPECT_EQ(std::string::npos, written.find("[Wave"));

    // Emptied behind the program's back: F5 shows it, and the import brings every byte back.
    ClearToolsMenu();
    Keys({VK_F5});
    EXPECT_TRUE(Eventually([&] { return ItemNames(app).empty(); }));
    Menu('F', 'I');
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルの取り込み"), ini);
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ("4 件のツールを取り込みました。", StatusText(app));
    EXPECT_EQ(Subkeys(), ItemNames(app));

    // The launcher of the selected entry is offered under the entry's name.
    Select(app, name);
    Keys({VK_CONTROL, 'E'});
    HWND dialog = WaitForDialog(app.main, "ツール起動用 CAL ファイルの保存");
    EXPECT_EQ(name, Text(FileNameBox(dialog)));
    ChooseFile(app, dialog, cal);
    EXPECT_EQ(name, Fields(app)[0]); // no "e" typed once the dialog has closed
    EXPECT_EQ("起動用 CAL ファイル「korvanel-smoke.cal」を作成しました。", StatusText(app));
    EXPECT_EQ("; このCALファイルをCakewalkの[キー設定]でショートカット・キーに関連づけると、"
              "\"表計算\"を一発で開くことができます。\r\n"
              "; どうやらCakewalk 6.0以上でしか動作しないようです。\r\n"
              "\r\n"
              "(DLL \"shell32\" \"ShellExecuteA\" (DLL \"user32\" \"GetDesktopWindow\") \"open\" "
              "\"C:\\ソフト\\表.exe\" \"\" \"\" 1)",
              ReadFileBytes(cal));

    // The backup names the key of the menu this build edits: restored by the system's registry
    // editor, a 64-bit program, it fills that menu again and no other.
    const std::string menu = Tree(), reg = TempFile("korvanel-smoke.reg");
    Menu('F', 'B');
    ChooseFile(app, WaitForDialog(app.main, "[ツール] メニューのバックアップ"), reg);
    EXPECT_EQ("[ツール] メニューを「korvanel-smoke.reg」にバックアップしました。", StatusText(app));
    ClearToolsMenu();
    ImportRegistryFile(reg);
    EXPECT_EQ(menu, Tree());
}

TEST_F(Smoke, UndoTakesBackAnImportThenADeleteByteForByte)
{
    // A wave editor's own entry: values and a subkey that Korvanel never shows.
    PutEntry("Wave", Regedit, "&Wave", "Edits waves");
    HKEY key = CreateKey("Wave");
    const DWORD modal = 1;
    RegSetValueExA(key, "Modal", 0, REG_DWORD, (const BYTE*)&modal, sizeof modal);
    RegSetValueExA(key, "Data", 0, REG_BINARY, (const BYTE*)"\x00\xFF\x10", 3);
    RegCloseKey(key);
    key = CreateKey("Wave\\Options");
    RegSetValueExA(key, "Type", 0, REG_SZ, (const BYTE*)"WaveEditor", 11);
    RegCloseKey(key);
    PutEntry("Other", Notepad, "&Other", "");
    const std::string before = Tree();
    const std::string ini = TempFile("korvanel-undo.ini");
    WriteFileBytes(ini,
                   "[WAVE]\r\nExePath=C:\\new.exe\r\nMenuText=New\r\n[Added]\r\nMenuText=y\r\n");
    ASSERT_TRUE(Start(app));

    Select(app, "Wave");
    Keys({VK_CONTROL, 'D'});
    Answer(app, IDYES);
    EXPECT_EQ(Strings{"Other"}, Subkeys());
    // An installer writes the entry again: undo names it and, told No, leaves it alone.
    PutEntry("Wave", Notepad, "Installed", "");
    const std::string installed = Tree("Wave");
    Menu('T', 'U');
    Box box = Answer(app, IDNO);
    EXPECT_EQ("元に戻す", box.caption);
    EXPECT_EQ(0u, box.text.find("'Wave'\nこれらのツールは、この操作のあとで")) << box.text;
    EXPECT_EQ(installed, Tree("Wave"));
    Menu('F', 'I');
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルの取り込み"), ini);
    EXPECT_EQ((Strings{"Added", "Other", "Wave"}), Subkeys());

    // Newest first: the import as one step, asking nothing, then the delete, brought back over
    // the installer's entry once the user says so, and selected.
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Subkeys() == (Strings{"Other", "Wave"}); }));
    EXPECT_EQ(installed, Tree("Wave"));
    Sync(app.main);
    Menu('T', 'U');
    EXPECT_EQ("元に戻す", Answer(app, IDYES).caption);
    EXPECT_TRUE(Eventually([&] { return Tree() == before; }));
    Sync(app.main);
    EXPECT_EQ("Wave", Fields(app)[0]);
    EXPECT_EQ("元に戻しました: 'Wave' の削除", StatusText(app));

    // Into the other build's menu, over an entry there in other letters, which keeps them; one
    // step of 元に戻す like any other.
    const REGSAM thisView = View, otherView = View ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    View = otherView;
    ClearToolsMenu();
    PutEntry("WAVE", Notepad, "Old", "");
    const std::string otherBefore = Tree();
    View = thisView;
    Menu('T', 'C');
    box = Answer(app, IDYES);
    EXPECT_EQ("コピーの確認", box.caption);
    EXPECT_NE(std::string::npos, box.text.find("ビット版 Cakewalk のメニューに登録されています"));
    EXPECT_EQ("情報", Answer(app, IDOK).caption);
    EXPECT_EQ("「Wave」を " + std::string(View ? "64" : "32") +
                  " ビット版 Cakewalk のメニューにコピーしました。",
              StatusText(app));
    EXPECT_EQ(Tree("Wave"), Tree("Wave", otherView));
    View = otherView;
    EXPECT_EQ(Strings{"WAVE"}, Subkeys());
    View = thisView;
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Tree("", otherView) == otherBefore; }));
    EXPECT_EQ(before, Tree());
}

// The whole tree without the lines of the values named, to see that nothing else was written.
static std::string Without(std::string tree, std::initializer_list<const char*> values)
{
    for (const char* value : values) {
        size_t at = tree.find("\"" + std::string(value) + "\"=");
        if (at != std::string::npos) tree.erase(at, tree.find('\n', at) + 1 - at);
    }
    return tree;
}

TEST_F(Smoke, PropertiesRenameAndDuplicateAreEachOneUndoStep)
{
    PutEntry("Wave", Regedit, "&Wave", "Edits waves");
    HKEY key = CreateKey("Wave");
    RegSetValueExA(key, "Type", 0, REG_SZ, (const BYTE*)"WaveEditor", 11);
    RegSetValueExA(key, "Data", 0, REG_BINARY, (const BYTE*)"\x00\xFF\x10", 3);
    RegCloseKey(key);
    RegCloseKey(CreateKey("Wave\\Options"));
    PutEntry("Other", Notepad, "&Other", "");
    key = CreateKey("Other");
    RegSetValueExA(key, "Modal", 0, REG_DWORD, (const BYTE*)"\x01\0\0\0", 4);
    RegCloseKey(key);
    const std::string before = Tree(), wave = Tree("Wave");
    ASSERT_TRUE(Start(app));

    // An untouched OK writes nothing: Modal absent stays absent, Modal 1 stays 1.
    for (const char* name : {"Wave", "Other"}) {
        Select(app, name);
        Keys({VK_MENU, VK_RETURN});
        HWND dialog = WaitForDialog(app.main, (std::string(name) + "のプロパティ").c_str());
        ASSERT_NE((HWND)NULL, dialog) << name;
        PressAndWait(dialog, IDOK);
        Sync(app.main);
        EXPECT_EQ(before, Tree()) << name;
    }

    // Alt+Enter: a refusal keeps the dialog open; OK writes the values that changed and nothing
    // else, full-width digits read as a number.
    Select(app, "Wave");
    Keys({VK_MENU, VK_RETURN});
    HWND dialog = WaitForDialog(app.main, "Waveのプロパティ");
    ASSERT_NE((HWND)NULL, dialog);
    EXPECT_EQ(0u, Text(GetDlgItem(dialog, IDC_TYPE)).find("WaveEditor"));
    Ask(GetDlgItem(dialog, IDC_CMD_ARGS), WM_SETTEXT, 0, (LPARAM) "/ParentWnd$");
    Ask(GetDlgItem(dialog, IDC_HELP_TOPIC), WM_SETTEXT, 0, (LPARAM) "x");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    Box box = Answer(app, IDOK, dialog);
    EXPECT_EQ("警告", box.caption);
    EXPECT_NE(std::string::npos, box.text.find("「トピック番号」欄には")) << box.text;
    EXPECT_TRUE(IsWindowVisible(dialog));
    Ask(GetDlgItem(dialog, IDC_HELP_TOPIC), WM_SETTEXT, 0, (LPARAM) "\x82\x50\x82\x52"); // １３
    PressAndWait(dialog, IDOK);
    Sync(app.main);
    EXPECT_EQ("/ParentWnd$", Value("Wave", "CmdArgs"));
    EXPECT_NE(std::string::npos, Tree("Wave").find("\"HelpFileTopic\"=4:0d000000\n"));
    EXPECT_EQ(before, Without(Tree(), {"CmdArgs", "HelpFileTopic"}));
    EXPECT_EQ("「Wave」のプロパティを変更しました。", StatusText(app));
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Tree() == before; }));
    Sync(app.main);

    // F2: a name another entry has, in other letters, is refused over the dialog.
    Keys({VK_F2});
    dialog = WaitForDialog(app.main, "名前の変更");
    ASSERT_NE((HWND)NULL, dialog);
    Ask(GetDlgItem(dialog, IDC_NEW_NAME), WM_SETTEXT, 0, (LPARAM) "other");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_NE(std::string::npos, Answer(app, IDOK, dialog).text.find("すでに"));
    Ask(GetDlgItem(dialog, IDC_NEW_NAME), WM_SETTEXT, 0, (LPARAM) "01 Wave");
    PressAndWait(dialog, IDOK);
    Sync(app.main);
    EXPECT_EQ((Strings{"01 Wave", "Other"}), Subkeys());
    EXPECT_EQ(wave, Tree("01 Wave"));
    EXPECT_EQ("01 Wave", Fields(app)[0]);
    EXPECT_EQ("「Wave」の名前を「01 Wave」に変更しました。", StatusText(app));

    // 複製 proposes Explorer's name and copies every byte.
    Menu('T', 'D');
    dialog = WaitForDialog(app.main, "複製");
    ASSERT_NE((HWND)NULL, dialog);
    EXPECT_EQ("01 Wave - コピー", Text(GetDlgItem(dialog, IDC_NEW_NAME)));
    PressAndWait(dialog, IDOK);
    Sync(app.main);
    EXPECT_EQ(wave, Tree("01 Wave - コピー"));
    EXPECT_EQ("「01 Wave」を「01 Wave - コピー」として複製しました。", StatusText(app));
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Subkeys() == (Strings{"01 Wave", "Other"}); }));
    Sync(app.main);
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Tree() == before; }));
}

TEST_F(Smoke, NamesEveryFieldAndRowForScreenReadersAndSaysWhatEachCommandDid)
{
    PutEntry("Notepad", Notepad, "&Notepad", "");
    PutEntry("表計算", Regedit, "表", "");
    // Too long for the list (280 bytes), and a name that code page 932 lacks.
    std::string tooLong;
    for (int i = 0; i < 140; i++)
        tooLong += "表";
    RegCloseKey(CreateKey(tooLong));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              L"Software\\Cakewalk Music Software\\Tools Menu\\Caf\u00e9", 0, NULL,
                              0, KEY_ALL_ACCESS | View, NULL, &key, NULL));
    RegCloseKey(key);
    ASSERT_TRUE(Start(app));

    // The label a screen reader takes for each control: the STATIC just before it, never shown.
    const struct {
        int control;
        const char* label;
    } labels[] = {{IDC_NAME, "登録リスト(&R)"},
                  {IDC_TOOL_LIST, "ツールの一覧"},
                  {IDC_MENU_TEXT, "メニュー項目(&M):"},
                  {IDC_EXE_PATH, "実行ファイル(&E):"},
                  {IDC_STATUS_TEXT, "ステータス バー(&S):"}};
    for (const auto& row : labels) {
        HWND label = GetWindow(GetDlgItem(app.main, row.control), GW_HWNDPREV);
        char className[16] = "";
        GetClassNameA(label, className, sizeof className);
        EXPECT_STREQ("Static", className) << row.label;
        EXPECT_EQ(row.label, Text(label));
        EXPECT_FALSE(GetWindowLongA(label, GWL_STYLE) & WS_VISIBLE) << row.label;
    }
    Strings rows = ItemNames(app), expected = {"Notepad", "表計算", "（名前を読み取れないツール）",
                                               "（名前を読み取れないツール）"};
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, rows);

    // Tab into the list; a letter selects the entry it begins, Shift+F10 opens the Tools menu.
    Keys({VK_TAB});
    ASSERT_TRUE(Eventually([&] { return Focused(app) == GetDlgItem(app.main, IDC_TOOL_LIST); }));
    Keys({'N'});
    EXPECT_TRUE(Eventually([&] { return Fields(app)[0] == "Notepad"; }));
    Keys({VK_SHIFT, VK_F10});
    EXPECT_TRUE(Eventually([&] { return OpenPopup(app) != NULL; }));
    Keys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return OpenPopup(app) == NULL; }));

    SetFields(app, {"New", Regedit, "&New", ""});
    Keys({VK_CONTROL, 'R'});
    EXPECT_TRUE(Eventually([&] { return StatusText(app) == "「New」を登録しました。"; }))
        << StatusText(app);
    Select(app, "New");
    Keys({VK_CONTROL, 'D'});
    Answer(app, IDYES);
    EXPECT_TRUE(Eventually([&] { return StatusText(app) == "「New」を削除しました。"; }))
        << StatusText(app);
}

// Whether the row's icon cell shows anything but the list's background: the icon is drawn. Read
// off the screen, as another process cannot read the pixels of the program's own window.
static bool RowShowsIcon(HWND list, int index)
{
    RECT row;
    if (Ask(list, LB_GETITEMRECT, index, (LPARAM)&row) == (DWORD_PTR)LB_ERR) return false;
    // Painted now, as the list knows the row: a scroll leaves the old pixels until then.
    UpdateWindow(list);
    POINT corner = {0, row.top};
    ClientToScreen(list, &corner);
    HDC screen = GetDC(NULL), cell = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 34, 34);
    HGDIOBJ previous = SelectObject(cell, bitmap);
    BitBlt(cell, 0, 0, 34, 34, screen, corner.x, corner.y, SRCCOPY);
    COLORREF background = GetSysColor(COLOR_WINDOW);
    bool drawn = false;
    for (int y = 4; y < 32 && !drawn; y += 4)
        for (int x = 4; x < 32 && !drawn; x += 4)
            drawn = GetPixel(cell, x, y) != background;
    SelectObject(cell, previous);
    DeleteObject(bitmap);
    DeleteDC(cell);
    ReleaseDC(NULL, screen);
    return drawn;
}

// The rows, page by page as the list scrolls, that show an icon.
static int RowsShowingIcons(const App& app)
{
    HWND list = GetDlgItem(app.main, IDC_TOOL_LIST);
    int count = (int)Ask(list, LB_GETCOUNT), shown = 0;
    RECT client;
    GetClientRect(list, &client);
    for (int top = 0; top < count;) {
        Ask(list, LB_SETTOPINDEX, top);
        Sync(app.main);
        int index = top;
        for (RECT row;
             index < count && Ask(list, LB_GETITEMRECT, index, (LPARAM)&row) != (DWORD_PTR)LB_ERR &&
             row.bottom <= client.bottom;
             index++)
            shown += RowShowsIcon(list, index);
        top = index > top ? index : top + 1;
    }
    return shown;
}

TEST_F(Smoke, IconsComeAfterTheRowsAndNoneOfAnOlderListIsDrawn)
{
    const int count = 400;
    auto putAll = [&](const char* path) {
        for (int i = 0; i < count; i++) {
            char name[16];
            snprintf(name, sizeof name, "Tool%03d", i);
            PutEntry(name, path, name, "");
        }
    };
    putAll(Regedit);
    ASSERT_TRUE(Launch(app));
    ASSERT_TRUE(Eventually([&] {
        app.main = FindDialog([&](HWND w) { return GetPropA(w, "Korvanel") != NULL; });
        return app.main != NULL;
    }));
    // Every row is there and the window answers while the last icon is still to come.
    HWND list = GetDlgItem(app.main, IDC_TOOL_LIST);
    EXPECT_EQ((DWORD_PTR)count, Ask(list, LB_GETCOUNT));
    Ask(list, LB_SETTOPINDEX, count - 1);
    EXPECT_FALSE(RowShowsIcon(list, count - 1));
    // Icons come in list order: once the last is drawn, every row has its own.
    for (int i = 0; i < 6 && !RowShowsIcon(list, count - 1); i++)
        Eventually([&] { return RowShowsIcon(list, count - 1); });
    EXPECT_EQ(count, RowsShowingIcons(app));

    // F5 while the icons are read again, over programs that have gone: none of them is drawn.
    Keys({VK_F5});
    putAll("C:\\nowhere\\gone.exe");
    Sync(app.main);
    Keys({VK_F5});
    EXPECT_EQ(0, RowsShowingIcons(app));
}

// The preview's boxes: 0 for none, 1 unchecked, 2 checked.
static std::vector<int> CheckBoxes(HWND list)
{
    std::vector<int> boxes;
    for (int i = 0, n = (int)Ask(list, LVM_GETITEMCOUNT); i < n; i++)
        boxes.push_back((int)(Ask(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12));
    return boxes;
}

TEST_F(Smoke, RestoresABackupAfterItsPreviewAndCopiesEveryEntryAcrossEachAsOneStep)
{
    PutEntry("Added", Notepad, "&Added", "");
    PutEntry("Changed", Notepad, "&Changed", "");
    RegCloseKey(CreateKey("Changed\\Options"));
    PutEntry("Kept", Regedit, "&Kept", "");
    const std::string backupTree = Tree();
    // Exported by the registry's own editor, which names the key as the view holds it.
    const std::string menu = std::string("HKEY_LOCAL_MACHINE\\Software\\") +
                             (View ? "WOW6432Node\\" : "") + "Cakewalk Music Software\\Tools Menu";
    const std::string file = TempFile("korvanel-restore.reg");
    RunProgram("regedit.exe /e \"" + file + "\" \"" + menu + "\"");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\Cakewalk Music Software\\Tools Menu\\Added",
                    View, 0);
    PutEntry("Changed", Notepad, "Other", "");
    PutEntry("Gone", Notepad, "&Gone", "");
    const std::string before = Tree();
    ASSERT_TRUE(Start(app));

    Menu('F', 'R');
    ChooseFile(app, WaitForDialog(app.main, "バックアップ ファイルを開く"), file);
    HWND preview = WaitForDialog(app.main, "バックアップから戻す");
    HWND list = GetDlgItem(preview, IDC_PREVIEW_LIST);
    // 新規 and 変更あり checked, 同じ without a box, バックアップにない unchecked.
    EXPECT_EQ((std::vector<int>{2, 2, 0, 1}), CheckBoxes(list));
    // Space on the row that is the same changes nothing; on the one the backup lacks, checks it.
    Keys({VK_DOWN});
    Keys({VK_DOWN});
    Keys({VK_SPACE});
    Keys({VK_DOWN});
    Keys({VK_SPACE});
    EXPECT_TRUE(Eventually([&] { return CheckBoxes(list) == (std::vector<int>{2, 2, 0, 2}); }));
    PressAndWait(preview, IDOK);
    Sync(app.main);
    EXPECT_EQ(backupTree, Tree());
    EXPECT_EQ("3 件のツールをバックアップから戻しました。", StatusText(app));
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Tree() == before; }));
    Sync(app.main);

    // The other Cakewalk's menu goes into this one only when the user says so.
    std::string bytes = ReadFileBytes(file);
    std::wstring wide((const wchar_t*)bytes.data(), bytes.size() / 2);
    const std::wstring from = View ? L"\\WOW6432Node\\Cakewalk" : L"\\Cakewalk",
                       to = View ? L"\\Cakewalk" : L"\\WOW6432Node\\Cakewalk";
    for (size_t at = 0; (at = wide.find(from, at)) != std::wstring::npos; at += to.size())
        wide.replace(at, from.size(), to);
    WriteFileBytes(file, std::string((const char*)wide.data(), wide.size() * 2));
    Menu('F', 'R');
    ChooseFile(app, WaitForDialog(app.main, "バックアップ ファイルを開く"), file);
    Box box = Answer(app, IDNO);
    EXPECT_EQ("バックアップから戻す", box.caption);
    EXPECT_EQ(View ? "このバックアップは 64 ビット版 Cakewalk のメニューのものです。\n32 ビット版 "
                     "Cakewalk のメニューへ戻しますか？"
                   : "このバックアップは 32 ビット版 Cakewalk のメニューのものです。\n64 ビット版 "
                     "Cakewalk のメニューへ戻しますか？",
              box.text);
    EXPECT_EQ(before, Tree());

    // Every entry into the other menu, which keeps its own entries; one step of 元に戻す.
    const REGSAM thisView = View, otherView = View ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    View = otherView;
    ClearToolsMenu();
    PutEntry("Own", Notepad, "&Own", "");
    const std::string otherBefore = Tree();
    View = thisView;
    Menu('T', 'A');
    preview = WaitForDialog(app.main, "もう一方のメニューへコピー");
    EXPECT_EQ((std::vector<int>{2, 2, 2, 0}), CheckBoxes(GetDlgItem(preview, IDC_PREVIEW_LIST)));
    PressAndWait(preview, IDOK);
    Sync(app.main);
    EXPECT_EQ(Tree("Changed"), Tree("Changed", otherView));
    View = otherView;
    EXPECT_EQ((Strings{"Changed", "Gone", "Kept", "Own"}), Subkeys());
    View = thisView;
    Menu('T', 'U');
    EXPECT_TRUE(Eventually([&] { return Tree("", otherView) == otherBefore; }));
}
