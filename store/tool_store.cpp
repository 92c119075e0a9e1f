// The Tools-menu entries in HKEY_LOCAL_MACHINE: reading, writing and deleting them.
#include <windows.h>
#include <shellapi.h>
#include <string.h>
#include "res/resource.h"
#include "store/store.h"

const char ExePathValue[] = "ExePath";
const char MenuTextValue[] = "MenuText";
const char StatusBarTextValue[] = "StatusBarText";
static const char TypeValue[] = "Type";

// "Software\Cakewalk Music Software\Tools Menu" and its terminator, with room to spare.
enum { TOOLS_MENU_KEY_SIZE = 100 };
// The longest name the registry allows for a key, 255 characters, and its terminator.
enum { KEY_NAME_SIZE = 256 };

LONG LiveToolEntryCount;
LONG LiveToolIconCount;

// The Tools Menu key, the key below HKEY_LOCAL_MACHINE that Cakewalk builds its Tools menu from.
static DWORD LoadToolsMenuKey(char* buffer, DWORD size)
{
    buffer[0] = '\0';
    // The key is a resource of the program's own module, whoever asks for it.
    if (LoadStringA(GetModuleHandleA(NULL), IDS_TOOLS_MENU_KEY, buffer, (int)size) > 0)
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_RESOURCE_NAME_NOT_FOUND;
}

DWORD BuildToolKeyPath(const char* name, char* path, DWORD size)
{
    char key[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(key, sizeof key);
    if (error != ERROR_SUCCESS) return error;
    size_t keyLength = strlen(key), nameLength = strlen(name);
    ZeroMemory(path, size);
    if (keyLength + 1 + nameLength + 1 > size) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(path, key, keyLength);
    path[keyLength] = '\\';
    memcpy(path + keyLength + 1, name, nameLength + 1);
    return ERROR_SUCCESS;
}

// Another program may have stored a value of any type or one without its terminator; the field
// is always a terminated string, and a value that does not fit leaves it empty.
static void ReadText(HKEY key, const char* valueName, char* text, DWORD size)
{
    DWORD read = size;
    if (RegQueryValueExA(key, valueName, NULL, NULL, (BYTE*)text, &read) != ERROR_SUCCESS) {
        text[0] = '\0';
    } else if (read < size) {
        text[read] = '\0';
    } else if (text[size - 1] != '\0') {
        text[0] = '\0';
    }
}

static void ReadEntryValues(ToolEntry* entry)
{
    char path[TOOL_KEY_PATH_SIZE];
    HKEY key;
    if (BuildToolKeyPath(entry->name, path, sizeof path) != ERROR_SUCCESS) return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    ReadText(key, ExePathValue, entry->path, sizeof entry->path);
    SHFILEINFOA info;
    ZeroMemory(&info, sizeof info);
    // A missing file may leave garbage in hIcon: only the result says whether there is an icon.
    if (SHGetFileInfoA(entry->path, 0, &info, sizeof info, SHGFI_ICON)) {
        entry->icon = info.hIcon;
        if (entry->icon) LiveToolIconCount++;
    }
    ReadText(key, MenuTextValue, entry->menuText, sizeof entry->menuText);
    ReadText(key, StatusBarTextValue, entry->statusText, sizeof entry->statusText);
    RegCloseKey(key);
}

DWORD ReadToolEntries(ToolEntrySink sink, void* context)
{
    char keyName[TOOLS_MENU_KEY_SIZE];
    HKEY key;
    DWORD error = LoadToolsMenuKey(keyName, sizeof keyName);
    if (error != ERROR_SUCCESS) return error;
    error = (DWORD)RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS) return error;
    // A single failing index still counts as an entry, but a key deleted under the walk fails for
    // every index after it, so a run of failures ends the walk.
    const int failuresEndingTheWalk = 8;
    int failuresInARow = 0;
    for (DWORD index = 0; failuresInARow < failuresEndingTheWalk; index++) {
        char name[TOOL_TEXT_SIZE] = "";
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS || result == ERROR_KEY_DELETED) break;
        failuresInARow = result == ERROR_SUCCESS ? 0 : failuresInARow + 1;
        name[sizeof name - 1] = '\0';
        ToolEntry* entry = (ToolEntry*)GlobalAlloc(GPTR, sizeof(ToolEntry));
        if (!entry) break;
        LiveToolEntryCount++;
        lstrcpynA(entry->name, name, sizeof entry->name);
        if (result == ERROR_SUCCESS) ReadEntryValues(entry);
        sink(entry, context);
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

static bool TextFits(HKEY key, const char* valueName)
{
    char text[TOOL_TEXT_SIZE];
    DWORD size = sizeof text;
    LONG result = RegQueryValueExA(key, valueName, NULL, NULL, (BYTE*)text, &size);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) return false;
    return size < TOOL_TEXT_SIZE || text[TOOL_TEXT_SIZE - 1] == '\0';
}

bool ToolTextsFit(const char* name)
{
    char path[TOOL_KEY_PATH_SIZE];
    HKEY key;
    if (BuildToolKeyPath(name, path, sizeof path) != ERROR_SUCCESS) return false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    bool fits = TextFits(key, ExePathValue) && TextFits(key, MenuTextValue) &&
                TextFits(key, StatusBarTextValue);
    RegCloseKey(key);
    return fits;
}

void FreeToolEntry(ToolEntry* entry)
{
    if (!entry) return;
    if (entry->icon && DestroyIcon(entry->icon)) LiveToolIconCount--;
    GlobalFree(entry);
    LiveToolEntryCount--;
}

// Not examined: a key that could be created or opened with full access takes its values.
static void WriteText(HKEY key, const char* valueName, const char* text)
{
    RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}

DWORD WriteToolEntry(const char* name, const char* path, const char* menuText,
                     const char* statusText)
{
    char keyPath[TOOL_KEY_PATH_SIZE];
    HKEY key;
    DWORD result = BuildToolKeyPath(name, keyPath, sizeof keyPath);
    if (result != ERROR_SUCCESS) return result;
    result = (DWORD)RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, NULL, &key, NULL);
    if (result != ERROR_SUCCESS) return result;
    WriteText(key, ExePathValue, path);
    WriteText(key, MenuTextValue, menuText);
    WriteText(key, StatusBarTextValue, statusText);
    WriteText(key, TypeValue, "Generic");
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

static DWORD DeleteKeyTree(HKEY parent, const char* path)
{
    HKEY key;
    DWORD result = (DWORD)RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS) return result;
    // Always ask for index 0: every subkey found is deleted before the next call.
    for (;;) {
        char name[KEY_NAME_SIZE];
        DWORD length = sizeof name;
        result = (DWORD)RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS) break;
        result = DeleteKeyTree(key, name);
        if (result != ERROR_SUCCESS) break;
    }
    if (result == ERROR_NO_MORE_ITEMS || result == ERROR_BADKEY)
        result = (DWORD)RegDeleteKeyA(parent, path);
    RegCloseKey(key);
    return result;
}

DWORD DeleteToolEntry(const char* name)
{
    char keyPath[TOOL_KEY_PATH_SIZE];
    DWORD result = BuildToolKeyPath(name, keyPath, sizeof keyPath);
    return result == ERROR_SUCCESS ? DeleteKeyTree(HKEY_LOCAL_MACHINE, keyPath) : result;
}
