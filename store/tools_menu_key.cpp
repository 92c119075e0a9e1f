// The Tools Menu key itself: its path from the program's resources, the registry views that hold
// one each, opening and creating it, what an entry's name may be and the path it makes below the
// key, and deleting a key tree.
#include <windows.h>
#include <string.h>
#include <wchar.h>
#include "res/resource.h"
#include "store/store.h"
#include "store/store_private.h"

DWORD LoadToolsMenuKey(char* buffer, DWORD size)
{
    buffer[0] = '\0';
    // The key is a resource of the program's own module, whoever asks for it.
    if (LoadStringA(GetModuleHandleA(NULL), IDS_TOOLS_MENU_KEY, buffer, (int)size) > 0)
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_RESOURCE_NAME_NOT_FOUND;
}

DWORD LoadToolsMenuKeyW(wchar_t* buffer, DWORD characters)
{
    char key[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(key, sizeof key);
    return error == ERROR_SUCCESS ? ToWide(key, buffer, characters) : error;
}

DWORD ToWide(const char* text, wchar_t* out, DWORD characters)
{
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out, (int)characters) > 0)
        return ERROR_SUCCESS;
    out[0] = L'\0';
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_NO_UNICODE_TRANSLATION;
}

const char* NextAnsiCharacter(const char* p)
{
    return IsDBCSLeadByte((BYTE)p[0]) && p[1] ? p + 2 : p + 1;
}

RegistryView OtherView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    // IsWow64Process's own documentation hedges on ARM64; its successor names the process's
    // machine, unknown when it runs natively. Windows before 10 1511 has only the old one.
    typedef BOOL(WINAPI * MachinesOf)(HANDLE, USHORT*, USHORT*);
    MachinesOf machinesOf =
        (MachinesOf)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2");
    USHORT process = IMAGE_FILE_MACHINE_UNKNOWN, native = IMAGE_FILE_MACHINE_UNKNOWN;
    if (machinesOf && machinesOf(GetCurrentProcess(), &process, &native))
        return process != IMAGE_FILE_MACHINE_UNKNOWN ? KEY_WOW64_64KEY : 0;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

int ViewBits(RegistryView view)
{
    if (view == KEY_WOW64_32KEY) return 32;
    if (view == KEY_WOW64_64KEY) return 64;
    return sizeof(void*) == 8 ? 64 : 32;
}

// RegDeleteKeyEx is documented only with a view's flag: this build's own is named too. 32-bit
// Windows ignores it.
static REGSAM DeletedView(RegistryView view)
{
    if (view != THIS_VIEW) return view;
    return sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

DWORD OpenToolsMenuKey(RegistryView view, REGSAM access, HKEY* key)
{
    char name[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(name, sizeof name);
    if (error != ERROR_SUCCESS) return error;
    return (DWORD)RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, access | view, key);
}

DWORD CreateToolsMenuKey(RegistryView view, REGSAM access, HKEY* key)
{
    char name[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(name, sizeof name);
    if (error != ERROR_SUCCESS) return error;
    return (DWORD)RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  access | view, NULL, key, NULL);
}

bool CutLastKey(char* path)
{
    char* lastBackslash = NULL;
    for (char* p = path; *p; p = (char*)NextAnsiCharacter(p))
        if (*p == '\\') lastBackslash = p;
    if (lastBackslash) *lastBackslash = '\0';
    return lastBackslash != NULL;
}

int MissingMenuKeys(RegistryView view)
{
    char path[TOOLS_MENU_KEY_SIZE];
    if (LoadToolsMenuKey(path, sizeof path) != ERROR_SUCCESS) return 0;
    // From the Tools Menu key up: each key that is missing was made by whatever writes first.
    for (int missing = 0;; missing++) {
        HKEY key;
        LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key);
        if (result == ERROR_SUCCESS) RegCloseKey(key);
        // "Software" itself is never counted: the system makes it.
        if (result != ERROR_FILE_NOT_FOUND || !CutLastKey(path)) return missing;
    }
}

DWORD RemoveMadeMenuKeys(RegistryView view, int count)
{
    char path[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(path, sizeof path);
    for (int removed = 0; error == ERROR_SUCCESS && removed < count; removed++) {
        HKEY key;
        error = (DWORD)RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key);
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
        if (error != ERROR_SUCCESS) break;
        DWORD subkeys = 0, values = 0;
        error = (DWORD)RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL,
                                        NULL, NULL, NULL);
        RegCloseKey(key);
        // Whatever another program has put there since keeps the key, and every key above it.
        if (error != ERROR_SUCCESS || subkeys > 0 || values > 0) break;
        wchar_t widePath[TOOLS_MENU_KEY_SIZE];
        error = ToWide(path, widePath, TOOLS_MENU_KEY_SIZE);
        if (error == ERROR_SUCCESS)
            error = (DWORD)RegDeleteKeyExW(HKEY_LOCAL_MACHINE, widePath, DeletedView(view), 0);
        if (!CutLastKey(path)) break;
    }
    return error;
}

DWORD ToolsMenuRegistryPath(RegistryView view, wchar_t* path, DWORD characters)
{
    wchar_t wideKey[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKeyW(wideKey, TOOLS_MENU_KEY_SIZE);
    if (error != ERROR_SUCCESS) return error;
    // On 64-bit Windows the 32-bit view lies below Software\WOW6432Node, where the registry
    // editor of the system, a 64-bit program, names it.
    bool redirected = ViewBits(view) == 32 && (sizeof(void*) == 8 || OtherView() != 0);
    const wchar_t* rest = wcschr(wideKey, L'\\');
    size_t first = rest ? (size_t)(rest - wideKey) : wcslen(wideKey);
    const wchar_t root[] = L"HKEY_LOCAL_MACHINE\\", wow[] = L"\\WOW6432Node";
    size_t length = wcslen(root) + wcslen(wideKey) + (redirected ? wcslen(wow) : 0);
    if (length >= characters) return ERROR_INSUFFICIENT_BUFFER;
    wcscpy(path, root);
    wcsncat(path, wideKey, first);
    if (redirected) wcscat(path, wow);
    if (rest) wcscat(path, rest);
    return ERROR_SUCCESS;
}

// An empty part would make the path name the Tools Menu key itself ("", "\"), or a key that
// Windows and Wine read differently ("a\\b").
static bool HasEmptyPart(const char* name)
{
    bool partEmpty = true;
    for (const char* p = name; *p; p = NextAnsiCharacter(p)) {
        if (*p == '\\') {
            if (partEmpty) return true;
            partEmpty = true;
        } else {
            partEmpty = false;
        }
    }
    return partEmpty;
}

static bool HasBackslash(const char* name)
{
    for (const char* p = name; *p; p = NextAnsiCharacter(p))
        if (*p == '\\') return true;
    return false;
}

NameProblem CheckEntryName(const char* name, NameUse use)
{
    if (!name[0]) return NAME_EMPTY;
    // The list reads names into TOOL_TEXT_SIZE bytes: a longer one could not be named again.
    if (use == NAME_NESTS) {
        if (HasEmptyPart(name)) return NAME_EMPTY_PART;
        return strlen(name) >= TOOL_TEXT_SIZE ? NAME_TOO_LONG : NAME_OK;
    }
    if (HasBackslash(name)) return NAME_HAS_BACKSLASH;
    // By bytes: no character of code page 932 holds one below 0x20, whole or broken.
    for (const unsigned char* p = (const unsigned char*)name; *p; p++)
        if (*p < 0x20) return NAME_CONTROL_CHARACTER;
    // The registry counts a key's name in UTF-16 characters, 255 at most.
    int characters = MultiByteToWideChar(CP_ACP, 0, name, -1, NULL, 0);
    if (strlen(name) >= TOOL_TEXT_SIZE || characters > KEY_NAME_CHARACTERS) return NAME_TOO_LONG;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, NULL, 0) == 0)
        return NAME_NOT_TEXT;
    return NAME_OK;
}

DWORD EntryNameError(const char* name, NameUse use)
{
    switch (CheckEntryName(name, use)) {
    case NAME_OK: return ERROR_SUCCESS;
    case NAME_TOO_LONG: return ERROR_FILENAME_EXCED_RANGE;
    case NAME_NOT_TEXT: return ERROR_NO_UNICODE_TRANSLATION;
    default: return ERROR_INVALID_NAME;
    }
}

bool EntryKeyName(const char* name, wchar_t* out)
{
    if (CheckEntryName(name, NAME_NESTS) != NAME_OK) return false;
    size_t length = strlen(name);
    for (const char* p = name; *p; p = NextAnsiCharacter(p)) {
        if (*p == '\\') {
            length = (size_t)(p - name);
            break;
        }
    }
    char part[TOOL_TEXT_SIZE];
    memcpy(part, name, length);
    part[length] = '\0';
    return ToWide(part, out, KEY_NAME_CHARACTERS) == ERROR_SUCCESS;
}

bool NarrowName(const wchar_t* name, DWORD characters, char* out, DWORD size)
{
    int length =
        WideCharToMultiByte(CP_ACP, 0, name, (int)characters, out, (int)size - 1, NULL, NULL);
    out[length > 0 ? length : 0] = '\0';
    return length > 0 || characters == 0;
}

DWORD BuildToolKeyPath(const char* name, char* path, DWORD size)
{
    ZeroMemory(path, size);
    DWORD error = EntryNameError(name, NAME_NESTS);
    if (error != ERROR_SUCCESS) return error;
    char key[TOOLS_MENU_KEY_SIZE];
    error = LoadToolsMenuKey(key, sizeof key);
    if (error != ERROR_SUCCESS) return error;
    size_t keyLength = strlen(key), nameLength = strlen(name);
    if (keyLength + 1 + nameLength + 1 > size) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(path, key, keyLength);
    path[keyLength] = '\\';
    memcpy(path + keyLength + 1, name, nameLength + 1);
    return ERROR_SUCCESS;
}

DWORD DeleteKeyTree(HKEY parent, const wchar_t* name, RegistryView view)
{
    // An empty name would open parent itself and delete everything below it.
    if (!name[0]) return ERROR_INVALID_NAME;
    HKEY key;
    // Only what the walk needs: a key that refuses its own deletion is still walked, and what
    // can go below it goes.
    DWORD result = (DWORD)RegOpenKeyExW(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | view, &key);
    if (result != ERROR_SUCCESS) return result;
    // Always ask for index 0: every subkey found is deleted before the next call.
    for (;;) {
        wchar_t subkey[KEY_NAME_CHARACTERS];
        DWORD length = KEY_NAME_CHARACTERS;
        result = (DWORD)RegEnumKeyExW(key, 0, subkey, &length, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS) break;
        result = DeleteKeyTree(key, subkey, view);
        if (result != ERROR_SUCCESS) break;
    }
    if (result == ERROR_NO_MORE_ITEMS || result == ERROR_BADKEY)
        result = (DWORD)RegDeleteKeyExW(parent, name, DeletedView(view), 0);
    RegCloseKey(key);
    return result;
}
