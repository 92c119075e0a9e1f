#include "tests/support.h"
#include <sddl.h>
#include <stdio.h>
#include <fstream>
#include <iterator>

namespace support
{
REGSAM View = 0;
static const std::string MenuKey = "Software\\Cakewalk Music Software\\Tools Menu";

void ClearToolsMenu()
{
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Cakewalk Music Software", 0,
                      KEY_ALL_ACCESS | View, &parent) != ERROR_SUCCESS)
        return;
    RegDeleteTreeA(parent, "Tools Menu");
    RegDeleteKeyExA(parent, "Tools Menu", View, 0);
    RegCloseKey(parent);
}

static HKEY OpenKey(const std::string& path)
{
    HKEY key = NULL;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, (MenuKey + (path.empty() ? "" : "\\" + path)).c_str(), 0,
                  KEY_READ | View, &key);
    return key;
}

HKEY CreateKey(const std::string& path)
{
    HKEY key = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (MenuKey + "\\" + path).c_str(), 0, NULL, 0,
                    KEY_ALL_ACCESS | View, NULL, &key, NULL);
    return key;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const std::string& bytes)
{
    std::string data = bytes + "\xFF\xFF";
    RegSetValueExW(key, name, 0, type, (const BYTE*)data.data(), (DWORD)bytes.size());
}

void PutEntry(const std::string& name, const std::string& exePath, const std::string& menuText,
              const std::string& statusText)
{
    HKEY key = CreateKey(name);
    const std::string values[][2] = {{"ExePath", exePath},
                                     {"MenuText", menuText},
                                     {"StatusBarText", statusText},
                                     {"Type", "Generic"}};
    for (const auto& value : values)
        RegSetValueExA(key, value[0].c_str(), 0, REG_SZ, (const BYTE*)value[1].c_str(),
                       (DWORD)value[1].size() + 1);
    RegCloseKey(key);
}

Strings Subkeys(const std::string& path)
{
    Strings names;
    HKEY key = OpenKey(path);
    char name[256];
    for (DWORD i = 0, length = sizeof name;
         RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         i++, length = sizeof name)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

std::string Value(const std::string& entry, const char* name)
{
    HKEY key = OpenKey(entry);
    char text[1024];
    DWORD size = sizeof text;
    LONG result = RegQueryValueExA(key, name, NULL, NULL, (BYTE*)text, &size);
    if (key) RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<missing>";
    // The program stores every text with its terminator; anything else shows.
    return size && text[size - 1] == '\0' ? std::string(text, size - 1)
                                          : std::string(text, size) + "<unterminated>";
}

Strings Snapshot()
{
    Strings lines;
    for (const std::string& name : Subkeys()) {
        lines.push_back("[" + name + "]");
        for (const char* value : {"ExePath", "MenuText", "StatusBarText", "Type"})
            lines.push_back(std::string(value) + "=" + Value(name, value));
    }
    return lines;
}

static std::string Utf8(const wchar_t* text, int length)
{
    char bytes[1024] = "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, NULL, NULL);
    return std::string(bytes, size > 0 ? size : 0);
}

static void DumpTree(HKEY key, const std::string& path, REGSAM view, std::string& out)
{
    out += "[" + path + "]\n";
    // Static: nothing of them is needed once a subkey's name has been taken.
    static wchar_t name[16384];
    static BYTE data[65536];
    for (DWORD i = 0;; i++) {
        DWORD nameLength = 16384, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, NULL, &type, data, &size) != ERROR_SUCCESS)
            break;
        char line[32];
        snprintf(line, sizeof line, "\"=%lu:", type);
        out += "\"" + Utf8(name, (int)nameLength) + line;
        for (DWORD b = 0; b < size; b++) {
            snprintf(line, sizeof line, "%02x", data[b]);
            out += line;
        }
        out += "\n";
    }
    for (DWORD i = 0;; i++) {
        DWORD length = 256;
        HKEY subkey;
        if (RegEnumKeyExW(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS ||
            RegOpenKeyExW(key, name, 0, KEY_READ | view, &subkey) != ERROR_SUCCESS)
            break;
        DumpTree(subkey, path + "\\" + Utf8(name, (int)length), view, out);
        RegCloseKey(subkey);
    }
}

std::string Tree(const std::string& path, REGSAM view)
{
    HKEY key = NULL;
    std::string out;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (MenuKey + (path.empty() ? "" : "\\" + path)).c_str(), 0,
                      KEY_READ | view, &key) != ERROR_SUCCESS)
        return "<missing>";
    DumpTree(key, "", view, out);
    RegCloseKey(key);
    return out;
}

static void SetAccessList(const std::string& path, const char* sddl)
{
    HKEY key = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, (MenuKey + (path.empty() ? "" : "\\" + path)).c_str(), 0,
                  WRITE_DAC | WRITE_OWNER | View, &key);
    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, NULL);
    RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    RegCloseKey(key);
}

AccessList::AccessList(const std::string& path, const char* sddl) : path(path)
{
    SetAccessList(path, sddl);
}

AccessList::~AccessList()
{
    SetAccessList(path, "O:BAD:(A;;KA;;;WD)");
}

static BoxAnswers* Answering;
static HHOOK AnswerHook;

// Boxes are taken at their activation, text and all, through a hook of another kind than the
// program's centring hook, which comes before this one in its chain: a box missed here would
// close unseen in this process (as IDOK), and a test that counts boxes would pass.
static LRESULT CALLBACK AnswerBox(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = (HWND)wParam;
    char name[16] = "";
    if (code == HCBT_ACTIVATE && Answering && box != Answering->last &&
        GetClassNameA(box, name, sizeof name) && strcmp(name, "#32770") == 0 &&
        GetDlgItem(box, 0xFFFF)) {
        char text[4096] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        Answering->last = box;
        Answering->texts.push_back(text);
        if (Answering->whileOpen) Answering->whileOpen();
        PostMessageA(box, WM_COMMAND, (WPARAM)(INT_PTR)Answering->button, 0);
    }
    return CallNextHookEx(AnswerHook, code, wParam, lParam);
}

BoxAnswers::BoxAnswers(int button) : button(button)
{
    Answering = this;
    AnswerHook = SetWindowsHookExA(WH_CBT, AnswerBox, NULL, GetCurrentThreadId());
}

BoxAnswers::~BoxAnswers()
{
    UnhookWindowsHookEx(AnswerHook);
    Answering = NULL;
}

void RunProgram(std::string line)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

void ImportRegistryFile(const std::string& file)
{
    RunProgram("regedit.exe /s \"" + file + "\"");
}

std::string TempFile(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + name;
    DeleteFileA(path.c_str());
    return path;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
} // namespace support
