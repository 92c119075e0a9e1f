#pragma once
// Helpers of the unit tests and the smoke, for the registry view the program under test sees.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "store/store.h"

namespace support
{
typedef std::vector<std::string> Strings;

extern REGSAM View; // 0, or KEY_WOW64_32KEY when the program under test is the i686 build

void ClearToolsMenu();
HKEY CreateKey(
    const std::string& path); // below the Tools Menu key, with its parents; caller closes
// bytes as the value's data, followed in memory by bytes that are not zero, so that a string
// without its terminator is stored without one.
void SetValue(HKEY key, const wchar_t* name, DWORD type, const std::string& bytes);
void PutEntry(const std::string& name, const std::string& exePath, const std::string& menuText,
              const std::string& statusText);
Strings Subkeys(const std::string& path = "");                 // in the registry's order
std::string Value(const std::string& entry, const char* name); // "<missing>" when absent
Strings Snapshot(); // every entry's name and four values, five lines an entry
// Every key, value name, type and byte below the Tools Menu key\path, read through the UTF-16
// functions, one line each: two trees compare byte for byte.
std::string Tree(const std::string& path = "", REGSAM view = View);

// An access list (SDDL) on the key below the Tools Menu key, for as long as it lives: Wine's server
// checks one once it is set, administrators included. The key is left open to everyone after.
struct AccessList {
    AccessList(const std::string& path, const char* sddl);
    ~AccessList();
    std::string path;
};
// Answers each box that this thread opens, while it lives, with button; texts are what they said.
// whileOpen, when set, runs in each box before it is answered, as another program might then.
struct BoxAnswers {
    explicit BoxAnswers(int button);
    ~BoxAnswers();
    int button;
    Strings texts;
    std::function<void()> whileOpen;
    HWND last = NULL; // answered already
};

// Runs a command line of the prefix's programs to its end (at most 30 s).
void RunProgram(std::string line);
// Imports a registry file as the system's registry editor does, a 64-bit program.
void ImportRegistryFile(const std::string& file);

std::string TempFile(const char* name); // a path in the temporary folder, no file there yet
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// What the store yields, copied: the icons are gone, but whether there was one still shows. Inline,
// so that the smoke, which links none of the program, does not need the store.
inline std::vector<ToolEntry> StoredEntries()
{
    std::vector<ToolEntry> entries;
    ReadToolEntries(
        [](ToolEntry* entry, void* context) {
            ((std::vector<ToolEntry>*)context)->push_back(*entry);
            FreeToolEntry(entry);
        },
        &entries);
    return entries;
}
} // namespace support
