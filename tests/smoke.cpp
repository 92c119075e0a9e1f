// Drives the Korvanel.exe that KORVANEL_EXE names (a Unix path lies on drive Z:) like a user;
// KORVANEL_VIEW=32 says that it is the i686 build, which sees the 32-bit registry view.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "res/resource.h"
#include "tests/support.h"

using namespace support;
typedef std::vector<std::string> Strings;

struct App {
    PROCESS_INFORMATION process{};
    HWND main = NULL;
};

struct Box {
    std::string caption, text;
};

static std::string ProgramPath()
{
    std::string path = getenv("KORVANEL_EXE") ? getenv("KORVANEL_EXE") : "";
    if (path[0] != '/') return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

static bool Launch(App& app, const char* arguments = "")
{
    std::string line = "\"" + ProgramPath() + "\" " + arguments;
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

static void Sync(HWND main)
{
    // A sent message overtakes posted ones; a marker posted to the name field is taken only after
    // everything posted before it.
    HWND field = GetDlgItem(main, IDC_NAME);
    PostMessageA(field, EM_SETLIMITTEXT, 4321, 0);
    for (int i = 0; i < 1000 && Ask(field, EM_GETLIMITTEXT) != 4321; i++)
        Sleep(10);
    Ask(field, EM_SETLIMITTEXT, 256);
}

// A visible top-level dialog for which test holds: the main window, a box, a file dialog.
template <class Test> static HWND FindDialog(Test test)
{
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", NULL));)
        if (IsWindowVisible(w) && test(w)) return w;
    return NULL;
}

static bool Start(App& app)
{
    if (!Launch(app)) return false;
    for (int i = 0; i < 200 && !app.main; i++, Sleep(50)) {
        app.main = FindDialog([&](HWND w) {
            DWORD processId = 0;
            GetWindowThreadProcessId(w, &processId);
            return processId == app.process.dwProcessId && GetPropA(w, "Korvanel");
        });
    }
    if (app.main) Sync(app.main);
    return app.main != NULL;
}

static DWORD WaitForExit(App& app, DWORD timeoutMs = 10000)
{
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(app.process.hProcess, timeoutMs);
    GetExitCodeProcess(app.process.hProcess, &code);
    if (code == STILL_ACTIVE) return code;
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app = App();
    return code;
}

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
    Sleep(150);
}

static std::string Text(HWND window)
{
    char text[4096] = "";
    Ask(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return std::string(text, strnlen(text, sizeof text));
}

static HWND WaitForDialog(HWND owner, const char* caption = nullptr)
{
    HWND found = NULL;
    for (int i = 0; i < 500 && !found; i++, Sleep(10)) {
        found = FindDialog([&](HWND w) {
            return GetWindow(w, GW_OWNER) == owner && (!caption || Text(w) == caption);
        });
    }
    Sleep(250); // the dialog finishes its own set-up first
    return found;
}

static void PressAndWait(HWND dialog, int button)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, button));
    for (int i = 0; i < 500 && IsWindow(dialog) && IsWindowVisible(dialog); i++)
        Sleep(10);
}

static Box Answer(HWND owner, int button)
{
    HWND box = WaitForDialog(owner);
    if (!box) return Box{"<no box>", ""};
    Box read = {Text(box), Text(GetDlgItem(box, 0xFFFF))};
    PressAndWait(box, button);
    return read;
}

// The file-name box is an Edit inside a ComboBox inside a ComboBoxEx, all with the id 0x47C.
static HWND FileNameBox(HWND dialog)
{
    HWND item = GetDlgItem(dialog, 0x47C);
    for (char name[16] = ""; item; item = GetWindow(item, GW_CHILD))
        if (GetClassNameA(item, name, sizeof name) && _stricmp(name, "Edit") == 0) break;
    return item;
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

static Strings ItemNames(const App& app)
{
    // The list holds no text of its own: each item shows its name in the field when selected.
    Strings names;
    for (int i = 0, count = (int)Ask(GetDlgItem(app.main, IDC_TOOL_LIST), LB_GETCOUNT); i < count;
         i++) {
        SelectIndex(app, i);
        names.push_back(Fields(app)[0]);
    }
    return names;
}

static void Select(const App& app, const std::string& name)
{
    Strings names = ItemNames(app);
    SelectIndex(app, (int)(std::find(names.begin(), names.end(), name) - names.begin()));
}

static std::string CalBytes(const std::string& name, const std::string& path)
{
    return "; \x82\xB1\x82\xCC"
           "CAL\x83t\x83@\x83"
           "C\x83\x8B\x82\xF0"
           "Cakewalk\x82\xCC[\x83L\x81["
           "\x90\xDD\x92\xE8]\x82\xC5\x83V\x83\x87\x81[\x83g\x83J\x83"
           "b\x83g\x81"
           "E\x83L\x81["
           "\x82\xC9\x8A\xD6\x98"
           "A\x82\xC3\x82\xAF\x82\xE9\x82\xC6\x81"
           "A\"" +
           name +
           "\"\x82\xF0\x88\xEA\x94\xAD\x82\xC5\x8AJ\x82\xAD\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82"
           "\xAB\x82\xDC\x82\xB7\x81"
           "B\r\n"
           "; \x82\xC7\x82\xA4\x82\xE2\x82\xE7"
           "Cakewalk 6.0\x88\xC8\x8F\xE3\x82\xC5\x82\xB5\x82"
           "\xA9\x93\xAE\x8D\xEC\x82\xB5\x82\xC8\x82\xA2\x82\xE6\x82\xA4\x82\xC5\x82\xB7\x81"
           "B\r\n\r\n"
           "(DLL \"shell32\" \"ShellExecuteA\" (DLL \"user32\" \"GetDesktopWindow\") \"open\" \"" +
           path + "\" \"\" \"\" 1)";
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
        if (app.process.hProcess) TerminateProcess(app.process.hProcess, 99);
        WaitForExit(app);
    }
    App app;
};

static const char Notepad[] = "C:\\windows\\notepad.exe";
static const char Regedit[] = "C:\\windows\\regedit.exe";
static const Strings Empty(4, "");

TEST_F(Smoke, StartsListsInRegistryOrderAndStaysOneInstance)
{
    PutEntry("beta", Regedit, "&Beta", "Beta status");
    PutEntry("Alpha", Notepad, "&Alpha", "");
    PutEntry("Missing", "C:\\nowhere\\gone.exe", "Gone", "");
    ASSERT_TRUE(Start(app));
    EXPECT_EQ(GetDlgItem(app.main, IDC_NAME), Focused(app));
    EXPECT_EQ(Subkeys(), ItemNames(app));
    Select(app, "beta");
    EXPECT_EQ((Strings{"beta", Regedit, "&Beta", "Beta status"}), Fields(app));

    // A second instance, whatever its arguments, brings the minimized first one back and ends.
    ShowWindow(app.main, SW_MINIMIZE);
    Sync(app.main);
    App second;
    ASSERT_TRUE(Launch(second, "/import C:\\tools.ini"));
    EXPECT_EQ(0u, WaitForExit(second));
    Sync(app.main);
    EXPECT_FALSE(IsIconic(app.main));
    EXPECT_EQ(app.main, GetForegroundWindow());
    PostMessageA(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, WaitForExit(app));
}

TEST_F(Smoke, RegistersOverwritesAndDeletesWithRealKeys)
{
    PutEntry("MyTool", Notepad, "Old", "Old status");
    HKEY key = CreateKey("MyTool\\Child"); // what Cakewalk or the user added stays
    RegSetValueExA(key, "Kept", 0, REG_SZ, (const BYTE*)"yes", 4);
    RegCloseKey(key);
    ASSERT_TRUE(Start(app));
    SetForegroundWindow(app.main);
    // A warning names the first empty field, moves the focus there and writes nothing.
    SetFields(app, {"New", Regedit, "", ""});
    Keys({VK_CONTROL, 'R'});
    Box box = Answer(app.main, IDOK);
    EXPECT_EQ("警告", box.caption);
    EXPECT_EQ("「メニュー項目」欄が入力されていません。", box.text);
    EXPECT_EQ(GetDlgItem(app.main, IDC_MENU_TEXT), Focused(app));
    EXPECT_EQ(Strings{"MyTool"}, Subkeys());

    SetFields(app, {"New", Regedit, "&New", ""});
    Keys({VK_CONTROL, 'R'});
    Sync(app.main);
    EXPECT_EQ((Strings{"MyTool", "New"}), Subkeys());
    EXPECT_EQ("&New", Value("New", "MenuText"));
    EXPECT_EQ("", Value("New", "StatusBarText"));
    EXPECT_EQ("Generic", Value("New", "Type"));
    EXPECT_EQ(Empty, Fields(app));

    // The same name in other letters is asked about: No changes nothing, Yes rewrites in place.
    const Strings typed = {"MYTOOL", Regedit, "Changed", ""};
    const std::string question = "'MYTOOL'\nこのツールは、すでに Cakewalk の [ツール] メニューに"
                                 "登録されています。\n上書きしてもよろしいですか？";
    SetFields(app, typed);
    Keys({VK_CONTROL, 'R'});
    box = Answer(app.main, IDNO);
    EXPECT_EQ("上書き保存の確認", box.caption);
    EXPECT_EQ(question, box.text);
    Sync(app.main);
    EXPECT_EQ(typed, Fields(app));
    EXPECT_EQ("Old", Value("MyTool", "MenuText"));
    Keys({VK_CONTROL, 'R'});
    EXPECT_EQ(question, Answer(app.main, IDYES).text);
    Sync(app.main);
    EXPECT_EQ((Strings{"MyTool", "New"}), Subkeys());
    EXPECT_EQ("Changed", Value("MyTool", "MenuText"));
    EXPECT_EQ(Regedit, Value("MyTool", "ExePath"));
    EXPECT_EQ("yes", Value("MyTool\\Child", "Kept"));

    // Delete asks first and then takes the entry's whole key tree.
    RegCloseKey(CreateKey("New\\a\\b\\c"));
    RegCloseKey(CreateKey("New\\x"));
    Keys({VK_F5});
    Select(app, "New");
    Keys({VK_CONTROL, 'D'});
    box = Answer(app.main, IDNO);
    EXPECT_EQ("削除の確認", box.caption);
    EXPECT_EQ("'New'\nこのツールを Cakewalk の [ツール] メニューから削除してもよろしいですか？",
              box.text);
    Keys({VK_CONTROL, 'D'});
    Answer(app.main, IDYES);
    Sync(app.main);
    EXPECT_EQ(Strings{"MyTool"}, Subkeys());
    EXPECT_EQ(Strings{"MyTool"}, ItemNames(app));

    // A key that the accelerator table took types nothing once its box or dialog has closed.
    Select(app, "MyTool");
    SetFields(app, {"MyTool", Regedit, "", "s"});
    Keys({VK_MENU, 'R'});
    EXPECT_EQ(GetDlgItem(app.main, IDC_NAME), Focused(app));
    const Strings before = Fields(app);
    Keys({VK_CONTROL, 'R'});
    Answer(app.main, IDOK);
    Keys({VK_CONTROL, 'D'});
    Answer(app.main, IDNO);
    Keys({VK_CONTROL, 'E'});
    ChooseFile(app, WaitForDialog(app.main, "ツール起動用 CAL ファイルの保存"), "");
    EXPECT_EQ(before, Fields(app));

    // Self-registration from the File menu; the second time it asks before overwriting.
    for (int time = 0; time < 2; time++) {
        Keys({VK_MENU, 'F'});
        Keys({'T'});
        if (time == 1) {
            EXPECT_EQ(0u, Answer(app.main, IDYES).text.find("'Korvanel'\n"));
        }
        Sync(app.main);
        EXPECT_EQ(0, _stricmp(ProgramPath().c_str(), Value("Korvanel", "ExePath").c_str()));
        EXPECT_EQ("コルヴァネル(&T)", Value("Korvanel", "MenuText"));
        EXPECT_EQ(Empty, Fields(app));
    }
}

TEST_F(Smoke, ExportEmptyAndImportRestoreTheMenuAndCalFilesAreExact)
{
    // 表計算 in C:\ソフト: 0x5C as second bytes; blanks and quotes that the INI reader would eat.
    const std::string name = "\x95\x5C\x8C\x76\x8E\x5A";
    const std::string path = "C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.exe";
    PutEntry("Editor", Notepad, "&Editor", "");
    PutEntry(name, path, " padded ", "\"quoted\"");
    PutEntry("a]b=c", Regedit, "m;n", "#s");
    const Strings before = Snapshot();
    const std::string ini = TempFile("korvanel-smoke.ini"), cal = TempFile("korvanel-smoke.cal");
    ASSERT_TRUE(Start(app));
    SetForegroundWindow(app.main);
    // A path longer than the dialog's buffer fails the dialog, which the program says.
    Keys({VK_MENU, 'F'});
    Keys({'E'});
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルへの書き出し"),
               "C:\\users\\" + std::string(250, 'a') + ".ini");
    Box box = Answer(app.main, IDOK);
    EXPECT_EQ("警告", box.caption);
    EXPECT_EQ("入力されたパスが長すぎます。\n(ファイル ダイアログのエラー 0x3003)", box.text);

    Keys({VK_MENU, 'F'});
    Keys({'E'});
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルへの書き出し"), ini);
    std::string written = ReadFileBytes(ini);
    EXPECT_NE(std::string::npos, written.find("[" + name + "]\r\nExePath=" + path +
                                              "\r\nMenuText=\" padded \"\r\n"
                                              "StatusBarText=\"\"quoted\"\"\r\n"))
        << written;

    // Emptied behind the program's back: F5 shows it, and the import brings every byte back.
    ClearToolsMenu();
    Keys({VK_F5});
    EXPECT_EQ(Strings(), ItemNames(app));
    Keys({VK_MENU, 'F'});
    Keys({'I'});
    ChooseFile(app, WaitForDialog(app.main, "テキスト ファイルの取り込み"), ini);
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ(Subkeys(), ItemNames(app));

    // The launcher of the selected entry is offered under the entry's name.
    Select(app, name);
    Keys({VK_CONTROL, 'E'});
    HWND dialog = WaitForDialog(app.main, "ツール起動用 CAL ファイルの保存");
    EXPECT_EQ(name, Text(FileNameBox(dialog)));
    ChooseFile(app, dialog, cal);
    EXPECT_EQ(CalBytes(name, path), ReadFileBytes(cal));
}
