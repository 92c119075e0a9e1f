#include "tests/e2e/editing_helpers.h"
#include <shlobj.h>
#include <string.h>
#include "res/resource.h"

using namespace driver;

namespace editing
{

Question AnswerQuestion(HWND owner, int button, DWORD timeoutMs)
{
    Question question;
    HWND box = WaitForDialog(owner, timeoutMs);
    if (!box) return question;
    question.found = true;
    question.caption = Text(box);
    question.text = BoxText(box);
    question.yes = GetDlgItem(box, IDYES) != NULL;
    question.no = GetDlgItem(box, IDNO) != NULL;
    question.ok = GetDlgItem(box, IDOK) != NULL;
    PressButton(box, button);
    WaitUntilGone(box);
    Sync(owner);
    return question;
}

void Settle(HWND main)
{
    // The marker is a limit that no one uses, posted to a field, which lives on the same thread
    // and queue as the main window; posted messages are taken in order.
    HWND field = GetDlgItem(main, IDC_NAME);
    const WPARAM marker = 4321;
    PostMessageA(field, EM_SETLIMITTEXT, marker, 0);
    Eventually([&] {
        DWORD_PTR limit = 0;
        SendMessageTimeoutA(field, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &limit);
        return limit == marker;
    });
    DWORD_PTR result;
    SendMessageTimeoutA(field, EM_SETLIMITTEXT, 256, 0, SMTO_NORMAL, 5000, &result);
}

bool Eventually(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

std::string UnexpectedDialog(HWND owner, DWORD timeoutMs)
{
    Settle(owner);
    HWND box = WaitForDialog(owner, timeoutMs);
    if (!box) return "";
    std::string seen = Text(box) + ": " + BoxText(box);
    PressButton(box, IDOK);
    PressButton(box, IDCANCEL);
    WaitUntilGone(box);
    Sync(owner);
    return seen;
}

std::vector<std::string> Fields(const App& app)
{
    Sync(app.main);
    return {Field(app, IDC_NAME), Field(app, IDC_EXE_PATH), Field(app, IDC_MENU_TEXT),
            Field(app, IDC_STATUS_TEXT)};
}

void SetFields(const App& app, const std::string& name, const std::string& path,
               const std::string& menuText, const std::string& statusText)
{
    SetField(app, IDC_NAME, name);
    SetField(app, IDC_EXE_PATH, path);
    SetField(app, IDC_MENU_TEXT, menuText);
    SetField(app, IDC_STATUS_TEXT, statusText);
}

bool DropFiles(const App& app, const std::vector<std::string>& paths)
{
    std::string block(sizeof(DROPFILES), '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.pt = POINT{20, 20};
    header.fNC = FALSE;
    header.fWide = FALSE;
    memcpy(&block[0], &header, sizeof header);
    for (const std::string& path : paths)
        block += path + '\0';
    block += '\0';
    void* remote = VirtualAllocEx(app.process.hProcess, NULL, block.size(),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    SIZE_T written = 0;
    if (!WriteProcessMemory(app.process.hProcess, remote, block.data(), block.size(), &written) ||
        written != block.size())
        return false;
    PostMessageA(app.main, WM_DROPFILES, (WPARAM)remote, 0);
    Settle(app.main);
    return true;
}

HWND ClickBrowse(const App& app)
{
    Foreground(app.main);
    RECT r = WindowRect(GetDlgItem(app.main, IDC_BROWSE));
    Click(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return WaitForDialog(app.main, 5000, "ファイルを選択");
}

std::vector<std::string> FileTypes(HWND dialog, int& selected)
{
    std::vector<std::string> types;
    HWND combo = GetDlgItem(dialog, 0x470);
    DWORD_PTR count = 0, current = 0;
    SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    SendMessageTimeoutA(combo, CB_GETCURSEL, 0, 0, SMTO_NORMAL, 5000, &current);
    selected = (int)current;
    // The dialog's combo box holds Unicode, and Wine hands its items across processes unconverted.
    for (DWORD_PTR i = 0; i < count && i < 16; i++) {
        WCHAR wide[256] = L"";
        DWORD_PTR length = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, (LPARAM)wide, SMTO_NORMAL, 5000, &length);
        char text[512] = "";
        WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, NULL, NULL);
        types.push_back(text);
    }
    return types;
}

bool ChooseFile(const App& app, HWND dialog, const std::string& path)
{
    if (!AcceptFileDialog(dialog, path)) return false;
    bool gone = WaitUntilGone(dialog);
    Sync(app.main);
    return gone;
}

std::vector<std::string> SubkeyNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ToolsMenuKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; i++) {
        char name[300];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

std::string Value(const std::string& entry, const char* value)
{
    std::string text;
    return ReadValue(entry, value, text) ? text : "<missing>";
}

std::string SystemErrorText(DWORD number)
{
    char text[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, number, 0,
                   text, sizeof text - 1, NULL);
    return text;
}

std::string Repeat(const std::string& text, int times)
{
    std::string result;
    for (int i = 0; i < times; i++)
        result += text;
    return result;
}

std::string TestFolder(const std::string& relative)
{
    // Create every prefix that ends at a separator, walking by characters so that the second
    // byte of ソ or 表 is not taken for one.
    std::string full = "C:\\" + relative;
    for (size_t i = 3; i <= full.size(); i++) {
        if (i < full.size() && IsDBCSLeadByteEx(932, (BYTE)full[i])) {
            i++;
            continue;
        }
        if (i == full.size() || full[i] == '\\') CreateDirectoryA(full.substr(0, i).c_str(), NULL);
    }
    return full;
}

bool PutFile(const std::string& path, const std::string& bytes)
{
    return WriteFileBytes(path, bytes);
}

bool CopyFixture(const char* fixture, const std::string& to)
{
    return CopyFileA((TestDirectory() + fixture).c_str(), to.c_str(), FALSE) != 0;
}

} // namespace editing
