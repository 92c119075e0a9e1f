// The Tools-menu entries in HKEY_LOCAL_MACHINE: reading, writing and deleting them.
#include <windows.h>
#include <shellapi.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

LONG LiveToolEntryCount;
LONG LiveToolIconCount;

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

// The key's own name, read in UTF-16, in the form the rest of the program uses. A name whose
// code page 932 form does not come back as the same UTF-16 would name another key, or none.
static NameState NameOfKey(const wchar_t* keyName, char* name, DWORD size)
{
    if (!NarrowName(keyName, (DWORD)wcslen(keyName), name, size)) return NAME_UNREAD;
    wchar_t back[KEY_NAME_CHARACTERS];
    if (ToWide(name, back, KEY_NAME_CHARACTERS) != ERROR_SUCCESS) return NAME_NOT_CP932;
    return wcscmp(back, keyName) == 0 ? NAME_EXACT : NAME_NOT_CP932;
}

static void ReadEntryValues(HKEY menuKey, const wchar_t* keyName, ToolEntry* entry)
{
    HKEY key;
    // By the UTF-16 name: the texts are those of this key even when its listed name is not. Read
    // only: an installer's key that refuses its deletion still shows what it holds.
    if (RegOpenKeyExW(menuKey, keyName, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    ReadText(key, EntryValueNames[VALUE_EXE_PATH], entry->path, sizeof entry->path);
    ReadText(key, EntryValueNames[VALUE_MENU_TEXT], entry->menuText, sizeof entry->menuText);
    ReadText(key, EntryValueNames[VALUE_STATUS_TEXT], entry->statusText, sizeof entry->statusText);
    RegCloseKey(key);
}

DWORD ReadToolEntries(ToolEntrySink sink, void* context)
{
    HKEY key;
    DWORD error = OpenToolsMenuKey(THIS_VIEW, KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS) return error;
    // A single failing index still counts as an entry, but a key deleted under the walk fails for
    // every index after it, so a run of failures ends the walk. A name too long for the buffer
    // is no such failure: the key is there, and the ones after it are listed too.
    const int failuresEndingTheWalk = 8;
    int failuresInARow = 0;
    for (DWORD index = 0; failuresInARow < failuresEndingTheWalk; index++) {
        wchar_t keyName[KEY_NAME_CHARACTERS] = L"";
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(key, index, keyName, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS || result == ERROR_KEY_DELETED) break;
        if (result == ERROR_SUCCESS)
            failuresInARow = 0;
        else if (result != ERROR_MORE_DATA)
            failuresInARow++;
        ToolEntry* entry = (ToolEntry*)GlobalAlloc(GPTR, sizeof(ToolEntry));
        if (!entry) break;
        LiveToolEntryCount++;
        entry->nameState = NAME_UNREAD;
        if (result == ERROR_SUCCESS) {
            entry->nameState = NameOfKey(keyName, entry->name, sizeof entry->name);
            ReadEntryValues(key, keyName, entry);
        }
        sink(entry, context);
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

// A text that the list holds as the registry does: a string that fits the field and comes back
// from code page 932 as the same UTF-16 text.
static bool TextFits(HKEY key, EntryValueId value)
{
    const char* valueName = EntryValueNames[value];
    wchar_t wideValueName[32];
    if (ToWide(valueName, wideValueName, 32) != ERROR_SUCCESS) return false;
    char text[TOOL_TEXT_SIZE];
    DWORD size = sizeof text, type = REG_NONE;
    LONG result = RegQueryValueExA(key, valueName, NULL, &type, (BYTE*)text, &size);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS || !IsText(type)) return false;
    if (size < TOOL_TEXT_SIZE)
        text[size] = '\0';
    else if (text[TOOL_TEXT_SIZE - 1] != '\0')
        return false;
    // As many characters as the field holds bytes, and a terminator the value may lack.
    wchar_t stored[TOOL_TEXT_SIZE + 1], listed[TOOL_TEXT_SIZE];
    ZeroMemory(stored, sizeof stored);
    size = sizeof stored - sizeof stored[0];
    if (RegQueryValueExW(key, wideValueName, NULL, NULL, (BYTE*)stored, &size) != ERROR_SUCCESS)
        return false;
    return ToWide(text, listed, TOOL_TEXT_SIZE) == ERROR_SUCCESS && wcscmp(stored, listed) == 0;
}

bool ToolTextsFit(const char* name)
{
    char path[TOOL_KEY_PATH_SIZE];
    HKEY key;
    if (BuildToolKeyPath(name, path, sizeof path) != ERROR_SUCCESS) return false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool fits = TextFits(key, VALUE_EXE_PATH) && TextFits(key, VALUE_MENU_TEXT) &&
                TextFits(key, VALUE_STATUS_TEXT);
    RegCloseKey(key);
    return fits;
}

void FreeToolEntry(ToolEntry* entry)
{
    if (!entry) return;
    FreeProgramIcon(entry->icon);
    GlobalFree(entry);
    LiveToolEntryCount--;
}

HICON ReadProgramIcon(const wchar_t* path)
{
    SHFILEINFOW info;
    ZeroMemory(&info, sizeof info);
    // The shell answers an empty path with a folder's icon. A missing file may leave garbage in
    // hIcon: only the result says whether there is an icon.
    if (!path[0] || !SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ICON) || !info.hIcon)
        return NULL;
    InterlockedIncrement(&LiveToolIconCount);
    return info.hIcon;
}

void FreeProgramIcon(HICON icon)
{
    if (icon && DestroyIcon(icon)) InterlockedDecrement(&LiveToolIconCount);
}

// Not examined: a key that could be created or opened for its values takes them.
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
    // Only what the values need: an installer's key that refuses its deletion still takes them.
    result = (DWORD)RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, NULL, &key, NULL);
    if (result != ERROR_SUCCESS) return result;
    WriteText(key, EntryValueNames[VALUE_EXE_PATH], path);
    WriteText(key, EntryValueNames[VALUE_MENU_TEXT], menuText);
    WriteText(key, EntryValueNames[VALUE_STATUS_TEXT], statusText);
    WriteText(key, EntryValueNames[VALUE_TYPE], ToolTypes[0]);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

DWORD DeleteToolEntry(const char* name)
{
    char keyPath[TOOL_KEY_PATH_SIZE];
    DWORD result = BuildToolKeyPath(name, keyPath, sizeof keyPath);
    if (result != ERROR_SUCCESS) return result;
    wchar_t widePath[TOOL_KEY_PATH_SIZE];
    result = ToWide(keyPath, widePath, TOOL_KEY_PATH_SIZE);
    return result == ERROR_SUCCESS ? DeleteKeyTree(HKEY_LOCAL_MACHINE, widePath, THIS_VIEW)
                                   : result;
}
