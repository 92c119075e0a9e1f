#include "tests/e2e/driver.h"
#include <string.h>

namespace driver
{

const char ToolsMenuKey[] = "Software\\Cakewalk Music Software\\Tools Menu";

std::string TestDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    return path;
}

std::string KorvanelPath()
{
    return TestDirectory() + "Korvanel.exe";
}

void Wait(DWORD ms)
{
    Sleep(ms);
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindByProperty(HWND hwnd, LPARAM lParam)
{
    WindowSearch* search = (WindowSearch*)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->processId && GetPropA(hwnd, "Korvanel") && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindMainWindow(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        WindowSearch search = {processId, NULL};
        EnumWindows(FindByProperty, (LPARAM)&search);
        if (search.found) return search.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool Launch(App& app, const std::string& arguments, const std::string& path)
{
    std::string exe = path.empty() ? KorvanelPath() : path;
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &app.process))
        return false;
    return true;
}

bool Start(App& app, const std::string& arguments, const std::string& path)
{
    if (!Launch(app, arguments, path)) return false;
    WaitForInputIdle(app.process.hProcess, 10000);
    app.main = FindMainWindow(app.process.dwProcessId);
    if (app.main) Sync(app.main);
    return app.main != NULL;
}

DWORD WaitForExit(App& app, DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (!app.process.hProcess) return code;
    WaitForSingleObject(app.process.hProcess, timeoutMs);
    GetExitCodeProcess(app.process.hProcess, &code);
    if (code != STILL_ACTIVE) {
        CloseHandle(app.process.hProcess);
        CloseHandle(app.process.hThread);
        app.process = PROCESS_INFORMATION{};
        app.main = NULL;
    }
    return code;
}

DWORD Close(App& app)
{
    if (app.main) PostMessageA(app.main, WM_CLOSE, 0, 0);
    DWORD code = WaitForExit(app, 5000);
    if (code == STILL_ACTIVE) Kill(app);
    return code;
}

void Kill(App& app)
{
    if (!app.process.hProcess) return;
    TerminateProcess(app.process.hProcess, 99);
    WaitForSingleObject(app.process.hProcess, 5000);
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app.process = PROCESS_INFORMATION{};
    app.main = NULL;
}

static BOOL CALLBACK CollectPrograms(HWND hwnd, LPARAM lParam)
{
    if (GetPropA(hwnd, "Korvanel")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        ((std::vector<DWORD>*)lParam)->push_back(pid);
    }
    return TRUE;
}

void KillStrayPrograms()
{
    std::vector<DWORD> pids;
    EnumWindows(CollectPrograms, (LPARAM)&pids);
    for (DWORD pid : pids) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process) continue;
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

void Sync(HWND hwnd)
{
    DWORD_PTR result;
    SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    // A sent message overtakes posted ones, so the answer above can come before a posted command
    // has run. A marker posted to the name field, on the same thread and queue, is taken only
    // after everything posted before it.
    HWND field = GetDlgItem(hwnd, 1000);
    if (!field) return;
    const WPARAM marker = 4321;
    PostMessageA(field, EM_SETLIMITTEXT, marker, 0);
    DWORD start = GetTickCount();
    do {
        DWORD_PTR limit = 0;
        SendMessageTimeoutA(field, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &limit);
        if (limit == marker) break;
        Sleep(10);
    } while (GetTickCount() - start < 20000);
    SendMessageTimeoutA(field, EM_SETLIMITTEXT, 256, 0, SMTO_NORMAL, 5000, &result);
}

void Command(HWND main, int id)
{
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

struct DialogSearch {
    HWND owner;
    const char* caption;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lParam)
{
    DialogSearch* search = (DialogSearch*)lParam;
    char className[64] = "";
    GetClassNameA(hwnd, className, sizeof className);
    if (strcmp(className, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
    if (search->caption && Text(hwnd) != search->caption) return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND WaitForDialog(HWND owner, DWORD timeoutMs, const char* caption, DWORD settleMs)
{
    DWORD start = GetTickCount();
    do {
        DialogSearch search = {owner, caption, NULL};
        EnumWindows(FindDialog, (LPARAM)&search);
        if (search.found) {
            Sleep(settleMs);
            return search.found;
        }
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(30);
    }
    return true;
}

std::string Text(HWND window)
{
    char text[4096] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 5000,
                             &length))
        return "";
    text[sizeof text - 1] = '\0';
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? Text(item) : "";
}

std::string BoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

RECT WindowRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

Box AnswerBox(HWND owner, int button, DWORD timeoutMs)
{
    Box box;
    HWND hwnd = WaitForDialog(owner, timeoutMs);
    if (!hwnd) return box;
    box.found = true;
    box.caption = Text(hwnd);
    box.text = BoxText(hwnd);
    box.rect = WindowRect(hwnd);
    PressButton(hwnd, button);
    WaitUntilGone(hwnd);
    return box;
}

HWND FileNameBox(HWND dialog)
{
    HWND item = GetDlgItem(dialog, 0x47C);
    if (!item) item = GetDlgItem(dialog, 0x480);
    for (int depth = 0; item && depth < 3; depth++) {
        char className[64] = "";
        GetClassNameA(item, className, sizeof className);
        if (_stricmp(className, "Edit") == 0) return item;
        HWND child = GetWindow(item, GW_CHILD);
        item = child;
    }
    return NULL;
}

std::string FileNameText(HWND dialog)
{
    HWND edit = FileNameBox(dialog);
    return edit ? Text(edit) : "<no file-name box>";
}

bool AcceptFileDialog(HWND dialog, const std::string& path)
{
    HWND edit = FileNameBox(dialog);
    if (!edit) return false;
    DWORD_PTR result;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, (LPARAM)path.c_str(), SMTO_NORMAL, 5000, &result);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDOK));
    return true;
}

void Foreground(HWND window)
{
    SetForegroundWindow(window);
    Sleep(100);
}

static void SendKey(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (vk == VK_APPS || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    SendInput(1, &input, sizeof input);
}

void Keys(std::initializer_list<WORD> chord)
{
    for (WORD vk : chord)
        SendKey(vk, false);
    for (auto it = chord.end(); it != chord.begin();)
        SendKey(*--it, true);
    Sleep(150);
}

static void SendMouse(POINT screen, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (LONG)(((LONGLONG)screen.x * 65535 + (width - 1) / 2) / (width - 1));
    input.mi.dy = (LONG)(((LONGLONG)screen.y * 65535 + (height - 1) / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    SendInput(1, &input, sizeof input);
}

void Click(POINT screen, bool right)
{
    SendMouse(screen, 0);
    Sleep(30);
    SendMouse(screen, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Sleep(30);
    SendMouse(screen, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Sleep(150);
}

void DoubleClick(POINT screen)
{
    SendMouse(screen, 0);
    Sleep(30);
    SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
    SendMouse(screen, MOUSEEVENTF_LEFTUP);
    Sleep(90);
    SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
    SendMouse(screen, MOUSEEVENTF_LEFTUP);
    Sleep(200);
}

static HWND List(const App& app)
{
    return GetDlgItem(app.main, 1001);
}

static LRESULT Ask(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL, 5000, &result)) return -1;
    return (LRESULT)result;
}

int ItemCount(const App& app)
{
    return (int)Ask(List(app), LB_GETCOUNT);
}

int Selection(const App& app)
{
    return (int)Ask(List(app), LB_GETCURSEL);
}

bool ReadItem(const App& app, int index, ToolEntry& entry)
{
    LRESULT data = Ask(List(app), LB_GETITEMDATA, (WPARAM)index);
    if (data == LB_ERR || data == 0) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(app.process.hProcess, (const void*)data, &entry, sizeof entry,
                             &read) &&
           read == sizeof entry;
}

std::vector<std::string> ItemNames(const App& app)
{
    std::vector<std::string> names;
    int count = ItemCount(app);
    for (int i = 0; i < count; i++) {
        ToolEntry entry{};
        names.push_back(ReadItem(app, i, entry) ? entry.name : "<unreadable>");
    }
    return names;
}

POINT ItemCentre(const App& app, int index)
{
    HWND list = List(app);
    int top = (int)Ask(list, LB_GETTOPINDEX);
    int height = (int)Ask(list, LB_GETITEMHEIGHT, 0);
    RECT client;
    GetClientRect(list, &client);
    POINT point = {client.right / 2, (index - top) * height + height / 2};
    ClientToScreen(list, &point);
    return point;
}

void SelectItem(const App& app, int index)
{
    Foreground(app.main);
    Click(ItemCentre(app, index));
    Sync(app.main);
}

std::string Field(const App& app, int id)
{
    return ItemText(app.main, id);
}

void SetField(const App& app, int id, const std::string& text)
{
    DWORD_PTR result;
    SendMessageTimeoutA(GetDlgItem(app.main, id), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_NORMAL,
                        5000, &result);
}

HWND FocusedControl(const App& app)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(app.process.dwThreadId, &info);
    return info.hwndFocus;
}

void ClearToolsMenu()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ToolsMenuKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, ToolsMenuKey);
}

void PutEntry(const std::string& name, const std::string& path, const std::string& menuText,
              const std::string& statusText)
{
    std::string keyPath = std::string(ToolsMenuKey) + "\\" + name;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    auto put = [&](const char* value, const std::string& text) {
        RegSetValueExA(key, value, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    };
    put("ExePath", path);
    put("MenuText", menuText);
    put("StatusBarText", statusText);
    put("Type", "Generic");
    RegCloseKey(key);
}

bool KeyExists(const std::string& relativePath)
{
    std::string keyPath = std::string(ToolsMenuKey);
    if (!relativePath.empty()) keyPath += "\\" + relativePath;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ReadValue(const std::string& relativePath, const char* value, std::string& text)
{
    std::string keyPath = std::string(ToolsMenuKey) + "\\" + relativePath;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[4096];
    DWORD size = sizeof buffer - 1, type = 0;
    LONG result = RegQueryValueExA(key, value, NULL, &type, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    buffer[size] = '\0';
    text.assign(buffer, size && buffer[size - 1] == '\0' ? size - 1 : size);
    return true;
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

} // namespace driver
