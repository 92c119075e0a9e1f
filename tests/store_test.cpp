#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include "app/app.h"
#include "editor/editor.h"
#include "res/resource.h"
#include "tests/support.h"

using namespace support;

static const char MenuKeyPath[] = "Software\\Cakewalk Music Software\\Tools Menu";

TEST(Store, OddValuesNeverYieldUnterminatedText)
{
    ClearToolsMenu();
    HKEY key = CreateKey("Odd");
    std::string x260(260, 'x'), y300(300, 'y'), z259(259, 'z');
    // Fills the 260-byte field exactly, leaving no room for a terminator.
    RegSetValueExA(key, "ExePath", 0, REG_BINARY, (const BYTE*)x260.data(), 260);
    RegSetValueExA(key, "StatusBarText", 0, REG_SZ, (const BYTE*)y300.c_str(), 301);
    RegCloseKey(key);
    key = CreateKey("Fits");
    RegSetValueExA(key, "ExePath", 0, REG_SZ, (const BYTE*)z259.c_str(), 260);
    RegCloseKey(key);
    std::vector<ToolEntry> entries = StoredEntries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(z259, entries[0].path);
    EXPECT_STREQ("", entries[1].path);
    EXPECT_STREQ("", entries[1].statusText);
}

TEST(Store, NamesReachOnlyTheirOwnKeyAndDeleteTheirWholeTree)
{
    ClearToolsMenu();
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Group\\Tool", "p", "m", "s"));
    ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("Keep", "p", "m", "s"));
    EXPECT_STREQ("Group", StoredEntries()[0].name);
    EXPECT_EQ("p", Value("Group\\Tool", "ExePath"));
    // An empty part would write onto, or delete, the Tools Menu key itself.
    for (const char* name : {"", "\\", "\\a", "a\\\\b", "a\\"}) {
        EXPECT_EQ((DWORD)ERROR_INVALID_NAME, WriteToolEntry(name, "p", "m", "s")) << name;
        EXPECT_EQ((DWORD)ERROR_INVALID_NAME, DeleteToolEntry(name)) << name;
    }
    EXPECT_EQ("<missing>", Value("", "ExePath"));
    // The list reads names into 260 bytes: a longer one is never made.
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE,
              WriteToolEntry(std::string(TOOL_TEXT_SIZE, 'n').c_str(), "p", "m", "s"));
    // 255 表: a legal key name of 510 bytes in code page 932, which stops no delete half-way.
    std::string kanji;
    for (int i = 0; i < 255; i++)
        kanji += "\x95\x5C";
    RegCloseKey(CreateKey("Group\\" + kanji));
    EXPECT_EQ(ERROR_SUCCESS, DeleteToolEntry("GROUP"));
    EXPECT_EQ(Strings{"Keep"}, Subkeys());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteToolEntry("Group"));
}

TEST(Store, TheWalkGoesOnPastNamesItCannotGiveAndMarksThem)
{
    ClearToolsMenu();
    // 280 bytes each in code page 932: too long for the list's 260, and sorted before "Z".
    for (int i = 0; i < 9; i++) {
        std::string name = "A" + std::to_string(i);
        for (int k = 0; k < 139; k++)
            name += "\x95\x5C";
        RegCloseKey(CreateKey(name));
    }
    HKEY key = NULL;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Cakewalk Music Software\\Tools Menu\\Caf\u00e9",
                    0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL); // é: no code page 932 character
    RegCloseKey(key);
    WriteToolEntry("Z", "p", "m", "s");
    std::vector<ToolEntry> entries = StoredEntries();
    ASSERT_EQ(11u, entries.size());
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(NAME_UNREAD, entries[i].nameState);
        EXPECT_STREQ("", entries[i].name);
    }
    EXPECT_EQ(NAME_NOT_CP932, entries[9].nameState);
    EXPECT_STREQ("Z", entries[10].name);
    EXPECT_EQ(NAME_EXACT, entries[10].nameState);
    EXPECT_STREQ("p", entries[10].path);
}

static int Seen;
static void ClearAtTheFirst(ToolEntry* entry, void*)
{
    if (Seen++ == 0) ClearToolsMenu();
    FreeToolEntry(entry);
}
static DWORD WINAPI Walk(void*)
{
    return ReadToolEntries(ClearAtTheFirst, NULL);
}

TEST(Store, WalkEndsWhenTheKeyIsDeletedUnderIt)
{
    ClearToolsMenu();
    for (int i = 0; i < 20; i++)
        WriteToolEntry(("E" + std::to_string(i)).c_str(), "p", "m", "s");
    // On a thread of its own: a walk that never ended would hang the test rather than fail it.
    HANDLE walk = CreateThread(NULL, 0, Walk, NULL, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(walk, 10000));
    CloseHandle(walk);
    EXPECT_EQ(1, Seen); // the entry read before the key went, and none made up after it
    EXPECT_EQ(0, LiveToolEntryCount);
}

// The rows of window's list that hold an icon, once the icon thread has sent them all (at most
// twenty seconds of its messages).
static int IconsWhenSettled(HWND window, int expected)
{
    auto count = [&] {
        int icons = 0;
        for (int i = 0; i < ToolEntryCount(window); i++)
            icons += ToolEntryAt(window, i)->icon != NULL;
        return icons;
    };
    DWORD start = GetTickCount();
    do {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
        for (MSG msg; PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
    } while (count() < expected && GetTickCount() - start < 20000);
    return count();
}

static void WriteTools(int count, bool withPrograms)
{
    // Half of them a program with an icon; the missing programs have none, nor the empty path.
    for (int i = 0; i < count; i++)
        WriteToolEntry(("Tool" + std::to_string(i)).c_str(),
                       i % 2 && withPrograms ? "C:\\windows\\notepad.exe"
                       : i                   ? "C:\\missing\\tool.exe"
                                             : "",
                       "m", "s");
}

// The main window runs in this process, so that the list's records and icons can be counted: the
// icons of a list refreshed or closed while they are read are destroyed, never drawn or held.
TEST(Store, ARefreshOfTheListKeepsRecordsAndIconsBalanced)
{
    ClearToolsMenu();
    WriteTools(40, true);
    AppInstance = GetModuleHandleA(NULL);
    HWND window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                     MainDialogProc, 0);
    ASSERT_NE((HWND)NULL, window);
    EXPECT_EQ(40, LiveToolEntryCount);
    // Shown, the window has its icons read at once. F5 while the first list's icons are on their
    // way, over programs that have gone since.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    RefreshToolList(window);
    MSG msg;
    for (DWORD start = GetTickCount();
         GetTickCount() - start < 20000 &&
         !PeekMessageA(&msg, window, WM_TOOL_ICON, WM_TOOL_ICON, PM_NOREMOVE);)
        Sleep(1);
    WriteTools(40, false);
    RefreshToolList(window);
    EndIconReading();
    EXPECT_EQ(0, IconsWhenSettled(window, 0));
    EXPECT_EQ(0, LiveToolIconCount);
    WriteTools(40, true);
    RefreshToolList(window);
    EXPECT_EQ(40, LiveToolEntryCount);
    EXPECT_EQ(20, IconsWhenSettled(window, 20));
    EXPECT_EQ(20, LiveToolIconCount);
    // Closed while they are read again: none arrives, and the thread ends.
    RefreshToolList(window);
    DestroyWindow(window);
    EndIconReading();
    EXPECT_EQ(0, LiveToolEntryCount);
    EXPECT_EQ(0, LiveToolIconCount);
}

typedef std::vector<std::pair<FindingKind, std::string>> Findings;

static Findings FindingsOf(const MenuDiagnosis& diagnosis)
{
    Findings found;
    for (int i = 0; i < diagnosis.count; i++)
        found.push_back({diagnosis.findings[i].kind, diagnosis.findings[i].name});
    std::sort(found.begin(), found.end());
    return found;
}

// Both views and the per-user copy are ordinary keys of the test prefix.
TEST(Store, DiagnosisNamesWhatKeepsEntriesFromEitherCakewalksMenu)
{
    const char copyKey[] = "Software\\Classes\\VirtualStore\\MACHINE\\Software\\WOW6432Node\\"
                           "Cakewalk Music Software\\Tools Menu";
    RegDeleteTreeA(HKEY_CURRENT_USER, copyKey);
    View = KEY_WOW64_32KEY;
    ClearToolsMenu();
    PutEntry("Fine", "C:\\windows\\regedit.exe", "&Fine", "");
    PutEntry("Only32", "C:\\windows\\notepad.exe", "&Only", "");
    View = 0;
    ClearToolsMenu();
    PutEntry("Fine", "C:\\windows\\notepad.exe", "&Fine", "");
    PutEntry("Gone", "C:\\nowhere\\gone.exe", "Gone", "");
    PutEntry("Quoted", "\"C:\\windows\\notepad.exe\"", "Q", "");
    PutEntry("Server", "\\\\server\\share\\tool.exe", "S", "");
    PutEntry("NoDrive", "Q:\\tool.exe", "N", "");
    PutEntry("Bare", "notepad", "", "");           // found on the search path, ".exe" added
    PutEntry("Beside", "unit_tests.exe", "b", ""); // this program's folder is none of the host's
    PutEntry("Slash", "C:/windows/notepad.exe", "/", "");
    PutEntry("Server2", "//server/share/tool.exe", "S", "");
    PutEntry("Stale", "stale", "St", "");
    // 139 characters in 269 bytes: short enough to start, too long for the list's buffers.
    std::string japanese = "C:\\";
    for (int i = 0; i < 130; i++)
        japanese += "\x82\xA0";
    PutEntry("Long", japanese + "\\x.exe", "L", "");
    HKEY key = CreateKey("Typed");
    RegSetValueExA(key, "ExePath", 0, REG_EXPAND_SZ, (const BYTE*)"%SystemRoot%\\notepad.exe", 25);
    RegSetValueExA(key, "MenuText", 0, REG_DWORD, (const BYTE*)"\x01\0\0\0", 4);
    RegCloseKey(key);
    RegCloseKey(CreateKey("Nested\\Tool"));
    // Left behind by an uninstaller: App Paths still sends the name to a file that is gone.
    const char staleKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\stale.exe";
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, staleKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)"C:\\nowhere\\stale.exe", 21);
    RegCloseKey(key);
    for (const char* name : {"Only32", "Copied"}) {
        RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(copyKey) + "\\" + name).c_str(), 0, NULL, 0,
                        KEY_ALL_ACCESS, NULL, &key, NULL);
        RegCloseKey(key);
    }

    MenuDiagnosis diagnosis;
    ASSERT_EQ(ERROR_SUCCESS, DiagnoseToolsMenu(&diagnosis));
    EXPECT_EQ(ERROR_SUCCESS, diagnosis.access);
    EXPECT_EQ(13, diagnosis.entries);
    EXPECT_EQ(2, diagnosis.otherEntries);
    EXPECT_EQ(2, diagnosis.virtualEntries);
    EXPECT_STREQ("HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Cakewalk Music Software\\Tools Menu",
                 diagnosis.otherPath);
    Findings expected = {{FOUND_ONLY_OTHER, "Only32"},       {FOUND_VIRTUAL_ENTRY, "Copied"},
                         {FOUND_VIRTUAL_HIDES, "Only32"},    {FOUND_OTHER_PATH, "Fine"},
                         {FOUND_ONLY_SUBKEYS, "Nested"},     {FOUND_QUOTED_PATH, "Quoted"},
                         {FOUND_NETWORK_PATH, "Server"},     {FOUND_NETWORK_PATH, "Server2"},
                         {FOUND_NO_DRIVE, "NoDrive"},        {FOUND_NO_PROGRAM, "Gone"},
                         {FOUND_NO_PROGRAM, "Long"},         {FOUND_BARE_NOT_FOUND, "Beside"},
                         {FOUND_APP_PATHS_MISSING, "Stale"}, {FOUND_BARE_ON_SEARCH_PATH, "Bare"},
                         {FOUND_EMPTY_MENU_TEXT, "Bare"},    {FOUND_NOT_TEXT, "Typed"},
                         {FOUND_SHOWN_EMPTY, "Long"}};
    for (const char* name : {"Bare", "Beside", "Gone", "Long", "Nested", "NoDrive", "Quoted",
                             "Server", "Server2", "Slash", "Stale", "Typed"})
        expected.push_back({FOUND_ONLY_HERE, name});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FindingsOf(diagnosis));
    FreeDiagnosis(&diagnosis);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, staleKey);
    // An account that may only read the menu: it is there, with its entries, and not writable.
    {
        AccessList readOnly("", "O:BAD:(A;;0x60019;;;WD)");
        HKEY refused = NULL;
        ASSERT_EQ(ERROR_ACCESS_DENIED,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, MenuKeyPath, 0, KEY_ALL_ACCESS, &refused));
        ASSERT_EQ(ERROR_SUCCESS, DiagnoseToolsMenu(&diagnosis));
        EXPECT_TRUE(diagnosis.exists);
        EXPECT_EQ(13, diagnosis.entries);
        EXPECT_EQ(ERROR_ACCESS_DENIED, diagnosis.access);
        FreeDiagnosis(&diagnosis);
    }
    // No menu yet: whether it may be written is asked of the nearest key there is.
    ClearToolsMenu();
    ASSERT_EQ(ERROR_SUCCESS, DiagnoseToolsMenu(&diagnosis));
    EXPECT_FALSE(diagnosis.exists);
    EXPECT_EQ(ERROR_SUCCESS, diagnosis.access);
    FreeDiagnosis(&diagnosis);
    RegDeleteTreeA(HKEY_CURRENT_USER, copyKey);
    View = KEY_WOW64_32KEY;
    ClearToolsMenu();
    View = 0;
}

// Through the registry functions as another program would use them: a string without its
// terminator keeps exactly its bytes (the data is followed by bytes that are not zero).
static void SetRaw(HKEY key, const wchar_t* name, const std::string& bytes)
{
    std::string data = bytes + "\xFF\xFF";
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)data.data(), (DWORD)bytes.size());
}

static HWND MainWindowHere()
{
    AppInstance = GetModuleHandleA(NULL);
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                              MainDialogProc, 0);
}

// The main window runs in this process, so that each step is the command's own.
TEST(Undo, RestoresInPlaceAroundASubkeyThatRefusesDeletionAndKeepsUnterminatedStrings)
{
    ClearToolsMenu();
    PutEntry("Wave", "C:\\windows\\regedit.exe", "&Wave", "");
    for (const char* name : {"A", "Locked", "Z"}) {
        HKEY key = CreateKey(std::string("Wave\\") + name);
        RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE*)name, 2);
        RegCloseKey(key);
    }
    // An even and an odd length, the odd one ending in 00 and last before a subkey in the record.
    PutEntry("Text", "p", "m", "s");
    HKEY key = CreateKey("Text\\Sub");
    RegCloseKey(key);
    key = CreateKey("Text");
    SetRaw(key, L"Even", std::string("a\0b\0", 4));
    SetRaw(key, L"zOdd", std::string("a\0b\0\0", 5));
    RegCloseKey(key);
    EXPECT_EQ(std::string::npos, Tree("Text").find("\"zOdd\"=1:61006200\n")) << Tree("Text");
    ASSERT_NE(std::string::npos, Tree("Text").find("\"zOdd\"=1:6100620000\n"));
    AccessList locked("Wave\\Locked", "O:SYD:(D;;0x10000;;;WD)(A;;KA;;;WD)");
    key = NULL;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(MenuKeyPath) + "\\Wave").c_str(), 0,
                  KEY_ALL_ACCESS, &key);
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyExA(key, "Locked", 0, 0));
    RegCloseKey(key);
    const std::string before = Tree();

    HWND window = MainWindowHere();
    ASSERT_NE((HWND)NULL, window);
    BoxAnswers boxes(IDNO);
    const char* wave[] = {"Wave"};
    const char* text[] = {"Text"};
    // A delete that stops half-way is one step, undone whole; so is a register over the entry.
    ASSERT_TRUE(BeginUndoStep(window, UNDO_DELETE, "Wave", THIS_VIEW, wave, 1));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, DeleteToolEntry("Wave"));
    EndUndoStep(false);
    EXPECT_EQ((Strings{"Locked", "Z"}), Subkeys("Wave"));
    UndoLastStep(window);
    EXPECT_EQ(before, Tree());
    ASSERT_TRUE(BeginUndoStep(window, UNDO_REGISTER, "Wave", THIS_VIEW, wave, 1));
    EXPECT_EQ(ERROR_SUCCESS, WriteToolEntry("Wave", "C:\\new.exe", "New", ""));
    EndUndoStep(true);
    UndoLastStep(window);
    EXPECT_EQ(before, Tree());
    ASSERT_TRUE(BeginUndoStep(window, UNDO_DELETE, "Text", THIS_VIEW, text, 1));
    EXPECT_EQ(ERROR_SUCCESS, DeleteToolEntry("Text"));
    EndUndoStep(true);
    UndoLastStep(window);
    EXPECT_EQ(before, Tree());
    EXPECT_EQ(ERROR_SUCCESS, CopyEntryKey("Text", OtherView()));
    EXPECT_EQ(Tree("Text"), Tree("Text", OtherView()));
    // A rename of the letters alone that cannot delete the old key puts it back whole.
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, RenameEntryKey("Wave", "WAVE"));
    EXPECT_EQ(before, Tree());
    // When the old key takes nothing back either, the new one is the whole entry that is left.
    {
        const std::string wave = Tree("Wave");
        AccessList noSubkeys("Wave", "O:BAD:(D;;0x4;;;WD)(A;;KA;;;WD)");
        DWORD cleanUp = ERROR_SUCCESS;
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, RenameEntryKey("Wave", "New", &cleanUp));
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, cleanUp);
        EXPECT_EQ(wave, Tree("New"));
    }
    // A first registration made the Tools Menu key: its undo takes that away too.
    {
        AccessList unlocked("Wave\\Locked", "O:BAD:(A;;KA;;;WD)");
    }
    ClearToolsMenu();
    ASSERT_TRUE(BeginUndoStep(window, UNDO_REGISTER, "First", THIS_VIEW, text, 1));
    EXPECT_EQ(ERROR_SUCCESS, WriteToolEntry("Text", "p", "m", ""));
    EndUndoStep(true);
    UndoLastStep(window);
    EXPECT_EQ("<missing>", Tree());
    EXPECT_EQ(Strings(), boxes.texts);
    DestroyWindow(window);
    View = OtherView();
    ClearToolsMenu();
    View = 0;
}

// Another program may write while undo's question is open: that is asked about before anything
// is taken back, and a no then keeps the step.
TEST(Undo, AsksAgainAboutWhatChangedWhileItsQuestionWasOpen)
{
    ClearToolsMenu();
    PutEntry("A", "a.exe", "A", "");
    PutEntry("B", "b.exe", "B", "");
    const std::string before = Tree();
    HWND window = MainWindowHere();
    ASSERT_NE((HWND)NULL, window);
    const char* names[] = {"A", "B"};
    char menu[UNDO_MENU_TEXT_SIZE];
    for (int last : {IDYES, IDNO}) {
        ASSERT_TRUE(BeginUndoStep(window, UNDO_IMPORT, "tools.ini", THIS_VIEW, names, 2));
        ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("A", "import.exe", "A", ""));
        ASSERT_EQ(ERROR_SUCCESS, WriteToolEntry("B", "import.exe", "B", ""));
        EndUndoStep(true);
        PutEntry("A", "later.exe", "A", "");
        BoxAnswers boxes(IDYES);
        boxes.whileOpen = [&] {
            if (boxes.texts.size() == 1) PutEntry("B", "meanwhile.exe", "B", "");
            if (boxes.texts.size() == 2) boxes.button = last;
        };
        UndoLastStep(window);
        ASSERT_EQ(2u, boxes.texts.size()) << last;
        EXPECT_EQ(0u, boxes.texts[0].find("'A'\nこれらのツールは、この操作のあとで"));
        EXPECT_EQ(0u, boxes.texts[1].find("'B'\nこれらのツールは、前の確認を"));
        if (last == IDYES) {
            EXPECT_EQ(before, Tree());
        } else {
            EXPECT_EQ("meanwhile.exe", Value("B", "ExePath"));
        }
        EXPECT_EQ(last == IDNO, UndoMenuText(menu, sizeof menu) && strstr(menu, "tools.ini"));
    }
    DestroyWindow(window);
}

// A name that code page 932 lacks is listed with a look-alike, here another entry's name: a rename
// by it would move that one, so it is refused before the name dialog opens.
TEST(Store, ARenameByALookAlikeNameIsRefusedAndReachesNoKey)
{
    ClearToolsMenu();
    PutEntry("Tool?", "C:\\other.exe", "Other", "");
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              L"Software\\Cakewalk Music Software\\Tools Menu\\Tool\u0E01", 0, NULL,
                              0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegSetValueExW(key, L"ExePath", 0, REG_SZ, (const BYTE*)L"C:\\thai.exe",
                   sizeof L"C:\\thai.exe");
    RegCloseKey(key);
    const std::string before = Tree();
    HWND window = MainWindowHere();
    ASSERT_NE((HWND)NULL, window);
    RefreshToolList(window);
    int index = 0;
    while (ToolEntryAt(window, index) && ToolEntryAt(window, index)->nameState != NAME_NOT_CP932)
        index++;
    ASSERT_NE(nullptr, ToolEntryAt(window, index));
    ASSERT_STREQ("Tool?", ToolEntryAt(window, index)->name);
    SelectToolEntry(window, index);
    BoxAnswers boxes(IDOK);
    RenameSelectedEntry(window);
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_NE(std::string::npos, boxes.texts[0].find("日本語 (シフト JIS) にない文字"))
        << boxes.texts[0];
    EXPECT_EQ(before, Tree());
    DestroyWindow(window);
}

TEST(Store, RenameAndDuplicateKeepEveryByte)
{
    ClearToolsMenu();
    PutEntry("Wave", "C:\\\x95\x5C\\wave.exe", "&Wave", "");
    PutEntry("Other", "p", "m", "s");
    HKEY key = CreateKey("Wave");
    const DWORD modal = 1;
    RegSetValueExA(key, "Type", 0, REG_SZ, (const BYTE*)"WaveEditor", 11);
    RegSetValueExA(key, "CmdArgs", 0, REG_EXPAND_SZ, (const BYTE*)"/ParentWnd$ %TEMP%", 19);
    RegSetValueExA(key, "Modal", 0, REG_DWORD, (const BYTE*)&modal, 4);
    RegSetValueExA(key, "Blob", 0, REG_BINARY, (const BYTE*)"\x00\xFF", 2);
    SetRaw(key, L"zUnterminated", std::string("a\0b\0", 4));
    RegCloseKey(key);
    key = CreateKey("Wave\\Sub\\Deeper");
    RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE*)"x", 2);
    RegCloseKey(key);
    std::string kanji; // 255 表: 510 bytes in code page 932
    for (int i = 0; i < 255; i++)
        kanji += "\x95\x5C";
    RegCloseKey(CreateKey("Wave\\" + kanji));
    const std::string tree = Tree("Wave");
    auto same = [](const std::string& a, const std::string& b) { return a == b; };

    EXPECT_EQ(ERROR_SUCCESS, DuplicateEntryKey("Wave", "01 Wave"));
    EXPECT_PRED2(same, tree, Tree("01 Wave"));
    EXPECT_PRED2(same, tree, Tree("Wave"));
    EXPECT_EQ(ERROR_SUCCESS, RenameEntryKey("01 Wave", "02 Wave"));
    EXPECT_EQ("<missing>", Tree("01 Wave"));
    EXPECT_PRED2(same, tree, Tree("02 Wave"));
    EXPECT_EQ(ERROR_SUCCESS, RenameEntryKey("02 Wave", "02 WAVE")); // the letters alone
    EXPECT_EQ((Strings{"02 WAVE", "Other", "Wave"}), Subkeys());
    EXPECT_PRED2(same, tree, Tree("02 WAVE"));
    const std::string all = Tree();
    const std::pair<std::string, DWORD> refused[] = {
        {"other", ERROR_ALREADY_EXISTS},
        {"", ERROR_INVALID_NAME},
        {"\\", ERROR_INVALID_NAME},
        {"a\\b", ERROR_INVALID_NAME},
        {"a\tb", ERROR_INVALID_NAME}, // a control character, as the command refuses it
        {std::string(260, 'n'), ERROR_FILENAME_EXCED_RANGE},
        {std::string(256, 'n'), ERROR_FILENAME_EXCED_RANGE}, // 256 UTF-16 characters
    };
    for (const auto& row : refused)
        EXPECT_EQ(row.second, RenameEntryKey("Wave", row.first.c_str())) << row.first;
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, DuplicateEntryKey("Wave", "WAVE"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, RenameEntryKey("Gone", "New"));
    EXPECT_EQ(all, Tree());
}

TEST(Store, PuttingBackAsksOnlyForTheAccessEachStepNeeds)
{
    ClearToolsMenu();
    PutEntry("Tool", "p", "m", "s");
    const std::string before = Tree();
    const char* names[] = {"Tool"};
    KeyRecord record = {};
    ASSERT_EQ(ERROR_SUCCESS, RecordEntryKeys(THIS_VIEW, names, 1, &record));
    {
        // Read and set-value only, as an installer may leave its key: no subkey can be made.
        AccessList valuesOnly("Tool", "O:BAD:(A;;KR;;;WD)(A;;0xC0002;;;WD)");
        EXPECT_EQ(ERROR_SUCCESS, WriteToolEntry("Tool", "C:\\new.exe", "New", ""));
        ValueChange modal = {VALUE_MODAL, false, REG_DWORD, "", 1};
        EXPECT_EQ(ERROR_SUCCESS, WriteEntryValues("Tool", &modal, 1));
        EXPECT_EQ(ERROR_SUCCESS, RestoreEntryKeys(THIS_VIEW, &record));
        EXPECT_EQ(before, Tree());
    }
    FreeKeyRecord(&record);
    // A name no key can have is refused, never cut to another key's name.
    const std::wstring tooLong(256, L'n');
    ASSERT_EQ(ERROR_SUCCESS, AppendRecordItem(&record, KEY_BEGIN, tooLong.c_str(), 256));
    ASSERT_EQ(ERROR_SUCCESS, AppendRecordItem(&record, KEY_END, NULL, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, RestoreEntryKeys(THIS_VIEW, &record));
    EXPECT_EQ(before, Tree());
    FreeKeyRecord(&record);
}

TEST(Store, ADigestSeesAValueChangeItsTypeAlone)
{
    ClearToolsMenu();
    PutEntry("Tool", "%WINDIR%\\notepad.exe", "m", "s");
    const char* names[] = {"Tool"};
    KeyRecord record = {};
    ASSERT_EQ(ERROR_SUCCESS, RecordEntryKeys(THIS_VIEW, names, 1, &record));
    UINT64 recorded = 0, now = 0;
    DigestRecordedKeys(&record, &recorded);
    ASSERT_EQ(ERROR_SUCCESS, DigestEntryKeys(THIS_VIEW, &record, &now));
    EXPECT_EQ(recorded, now);
    // An installer's REG_SZ made REG_EXPAND_SZ, the bytes kept: undo must still ask before it.
    HKEY key = CreateKey("Tool");
    RegSetValueExA(key, "ExePath", 0, REG_EXPAND_SZ, (const BYTE*)"%WINDIR%\\notepad.exe", 21);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, DigestEntryKeys(THIS_VIEW, &record, &now));
    EXPECT_NE(recorded, now);
    FreeKeyRecord(&record);
}

TEST(Store, ArraysThatCouldNeverFitAreRefusedAsBlocksAre)
{
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    // Past 2 GB, and past half of what the process may address where that is less (i686).
    for (ULONGLONG bytes : {0x80000000ull, memory.ullTotalVirtual / 2 + 4096}) {
        if (bytes > 0x80000000ull) continue;
        void* block = NULL;
        DWORD capacity = 0;
        EXPECT_EQ((DWORD)ERROR_ARITHMETIC_OVERFLOW,
                  GrowBlock(&block, &capacity, (DWORD)bytes, 4096));
        EXPECT_EQ((DWORD)ERROR_ARITHMETIC_OVERFLOW, AllocateArray(&block, bytes / 16, 16));
        if (block) GlobalFree(block);
    }
}

TEST(Store, EntryValuesReadTheTenAndWriteOnlyWhatTheyAreGiven)
{
    ClearToolsMenu();
    PutEntry("Tool", "p", "m", "s");
    HKEY key = CreateKey("Tool");
    const DWORD seven = 7;
    RegDeleteValueA(key, "Type");
    RegSetValueExA(key, "TYPE", 0, REG_SZ, (const BYTE*)"Custom", 7);
    RegSetValueExA(key, "cmdargs", 0, REG_EXPAND_SZ, (const BYTE*)"%A%", 4);
    RegSetValueExA(key, "Modal", 0, REG_SZ, (const BYTE*)"1", 2);
    RegSetValueExA(key, "HelpFileTopic", 0, REG_DWORD, (const BYTE*)&seven, 4);
    RegSetValueExA(key, "Vendor", 0, REG_BINARY, (const BYTE*)"\x01\x02", 2);
    RegCloseKey(key);
    RegCloseKey(CreateKey("Tool\\Options"));
    const std::string options = Tree("Tool\\Options");
    EntryValues values;
    ASSERT_EQ(ERROR_SUCCESS, ReadEntryValues("TOOL", &values));
    EXPECT_STREQ("Tool", values.name);
    EXPECT_STREQ("Custom", values.known[VALUE_TYPE].text);
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, values.known[VALUE_CMD_ARGS].type);
    EXPECT_FALSE(values.known[VALUE_MODAL].numberExact);
    EXPECT_EQ(7u, values.known[VALUE_HELP_TOPIC].number);
    ASSERT_EQ(2, values.otherCount);
    EXPECT_STREQ("Vendor", values.others[0].name);
    EXPECT_TRUE(values.others[1].isKey);
    FreeEntryValues(&values);

    ValueChange changes[4] = {};
    changes[0] = {VALUE_ARGS, false, REG_SZ, "\x95\x5C $(FILE)", 0};
    changes[1] = {VALUE_MODAL, false, REG_DWORD, "", 1};
    changes[2] = {VALUE_HELP_TOPIC, true, 0, "", 0};
    changes[3] = {VALUE_CMD_ARGS, false, REG_EXPAND_SZ, "%B%", 0};
    const std::string before = Tree("Tool");
    EXPECT_EQ(ERROR_SUCCESS, WriteEntryValues("Tool", changes, 4));
    EXPECT_EQ("\x95\x5C $(FILE)", Value("Tool", "Args"));
    EXPECT_NE(std::string::npos, Tree("Tool").find("\"Modal\"=4:01000000\n"));
    EXPECT_EQ("<missing>", Value("Tool", "HelpFileTopic"));
    EXPECT_NE(std::string::npos, Tree("Tool").find("\"cmdargs\"=2:250042002500"));
    for (const char* kept : {"\"TYPE\"=1:", "\"Vendor\"=3:0102\n"}) {
        size_t at = before.find(kept);
        ASSERT_NE(std::string::npos, at) << kept;
        std::string line = before.substr(at, before.find('\n', at) - at);
        EXPECT_NE(std::string::npos, Tree("Tool").find(line)) << line;
    }
    EXPECT_EQ(options, Tree("Tool\\Options"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, WriteEntryValues("Gone", changes, 1));
    EXPECT_EQ("<missing>", Tree("Gone"));
}

// Each string that an edit would not give back as stored is named for what keeps it read-only.
TEST(Store, StringsThatAreNotPlainTextAreNamedForWhatTheyHold)
{
    ClearToolsMenu();
    PutEntry("Tool", "p", "m", "s");
    HKEY key = CreateKey("Tool");
    const std::string padded("G\0e\0n\0\0\0\0\0\0\0", 12), odd("a\0b\0\0", 5),
        hidden("a\0\0\0b\0\0\0", 8), control("a\0\n\0b\0\0\0", 8), plain("a\0\0\0", 4);
    SetRaw(key, L"Type", padded);
    SetRaw(key, L"CmdArgs", odd);
    SetRaw(key, L"Args", hidden);
    SetRaw(key, L"CurrentDirectory", control);
    SetRaw(key, L"HelpFilePath", plain);
    RegCloseKey(key);
    EntryValues values;
    ASSERT_EQ(ERROR_SUCCESS, ReadEntryValues("Tool", &values));
    const std::pair<EntryValueId, TextFlaw> expected[] = {
        {VALUE_TYPE, TEXT_PADDED},     {VALUE_CMD_ARGS, TEXT_ODD_SIZE},
        {VALUE_ARGS, TEXT_CONTROL},    {VALUE_CURRENT_DIRECTORY, TEXT_CONTROL},
        {VALUE_HELP_FILE, TEXT_EXACT},
    };
    for (const auto& row : expected)
        EXPECT_EQ(row.second, values.known[row.first].textFlaw) << EntryValueNames[row.first];
    EXPECT_STREQ("Gen", values.known[VALUE_TYPE].text);
    FreeEntryValues(&values);
}
