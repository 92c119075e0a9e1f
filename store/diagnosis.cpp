// Why a registered entry may not show in Cakewalk's menu: both views' menus, the per-user copy of
// the 32-bit one, and each entry's values. Nothing here writes.
#include <windows.h>
#include <ctype.h>
#include <string.h>
#include <wchar.h>
#include "store/store.h"
#include "store/store_private.h"

// What is compared of one entry of a menu: its key's name and its ExePath as Cakewalk reads it.
struct ListedEntry {
    wchar_t name[KEY_NAME_CHARACTERS];
    char path[TOOL_TEXT_SIZE];
};
struct Listing {
    ListedEntry* entries; // a block of the global heap
    int count;
    bool exists;
};

// Room for the Tools Menu key below VirtualStore, with WOW6432Node.
enum { LONG_KEY_PATH_CHARACTERS = 200 };
// A stored path and its expansion; a longer one is not probed.
enum { PROBED_PATH_SIZE = 1024 };

static void AddFinding(MenuDiagnosis* diagnosis, FindingKind kind, const wchar_t* name,
                       const char* detail = "", DWORD type = 0)
{
    if (GrowBlock((void**)&diagnosis->findings, &diagnosis->capacity,
                  (diagnosis->count + 1) * sizeof(Finding),
                  64 * sizeof(Finding)) != ERROR_SUCCESS) {
        diagnosis->error = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    Finding* finding = &diagnosis->findings[diagnosis->count++];
    ZeroMemory(finding, sizeof *finding);
    finding->kind = kind;
    // Cut to fit; a character that code page 932 lacks shows as "?".
    WideCharToMultiByte(CP_ACP, 0, name, -1, finding->name, sizeof finding->name - 1, NULL, NULL);
    lstrcpynA(finding->detail, detail, sizeof finding->detail);
    finding->type = type;
}

static void ReadPath(HKEY entry, char* path, DWORD size)
{
    DWORD read = size - 1;
    ZeroMemory(path, size);
    if (RegQueryValueExA(entry, "ExePath", NULL, NULL, (BYTE*)path, &read) != ERROR_SUCCESS)
        path[0] = '\0';
}

// Every entry of the Tools Menu key at root\path in view, with its ExePath.
static DWORD ListMenu(HKEY root, const wchar_t* path, RegistryView view, Listing* listing)
{
    ZeroMemory(listing, sizeof *listing);
    HKEY menuKey;
    DWORD error = (DWORD)RegOpenKeyExW(root, path, 0, KEY_READ | view, &menuKey);
    if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    listing->exists = true;
    DWORD subkeys = 0;
    error = (DWORD)RegQueryInfoKeyW(menuKey, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL,
                                    NULL, NULL, NULL);
    if (error == ERROR_SUCCESS) {
        listing->entries =
            (ListedEntry*)GlobalAlloc(GPTR, (subkeys ? subkeys : 1) * sizeof(ListedEntry));
        if (!listing->entries) error = ERROR_NOT_ENOUGH_MEMORY;
    }
    for (DWORD index = 0; error == ERROR_SUCCESS && index < subkeys; index++) {
        ListedEntry* entry = &listing->entries[listing->count];
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(menuKey, index, entry->name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        HKEY key;
        if (RegOpenKeyExW(menuKey, entry->name, 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
            ReadPath(key, entry->path, sizeof entry->path);
            RegCloseKey(key);
        }
        listing->count++;
    }
    RegCloseKey(menuKey);
    return error;
}

static void FreeListing(Listing* listing)
{
    if (listing->entries) GlobalFree(listing->entries);
    ZeroMemory(listing, sizeof *listing);
}

static const ListedEntry* FindEntry(const Listing& listing, const wchar_t* name)
{
    for (int i = 0; i < listing.count; i++)
        if (CompareStringOrdinal(listing.entries[i].name, -1, name, -1, TRUE) == CSTR_EQUAL)
            return &listing.entries[i];
    return NULL;
}

// Opens the Tools Menu key, or the nearest parent that exists, as the list opens it, and creates
// nothing: without that access the list is empty by design.
static DWORD WriteAccess(bool* exists)
{
    char path[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(path, sizeof path);
    *exists = false;
    if (error != ERROR_SUCCESS) return error;
    for (bool first = true;; first = false) {
        HKEY key;
        error = (DWORD)RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
        if (error == ERROR_SUCCESS) {
            *exists = first;
            RegCloseKey(key);
            return ERROR_SUCCESS;
        }
        char* lastBackslash = NULL;
        for (char* p = path; *p; p = (char*)NextAnsiCharacter(p))
            if (*p == '\\') lastBackslash = p;
        if (error != ERROR_FILE_NOT_FOUND || !lastBackslash) return error;
        *lastBackslash = '\0';
    }
}

// root and path as the report names them, in code page 932 and cut to fit.
static void NamePath(const wchar_t* root, const wchar_t* path, char* out)
{
    int length = WideCharToMultiByte(CP_ACP, 0, root, -1, out, DIAGNOSIS_PATH_SIZE, NULL, NULL);
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, path, -1, out + length - 1, DIAGNOSIS_PATH_SIZE - length,
                            NULL, NULL);
    out[DIAGNOSIS_PATH_SIZE - 1] = '\0';
}

static void CompareWithOtherMenu(MenuDiagnosis* diagnosis, const Listing& here,
                                 const Listing& other)
{
    for (int i = 0; i < other.count; i++)
        if (!FindEntry(here, other.entries[i].name))
            AddFinding(diagnosis, FOUND_ONLY_OTHER, other.entries[i].name);
    for (int i = 0; i < here.count; i++) {
        const ListedEntry* twin = FindEntry(other, here.entries[i].name);
        if (!twin)
            AddFinding(diagnosis, FOUND_ONLY_HERE, here.entries[i].name);
        else if (lstrcmpiA(twin->path, here.entries[i].path) != 0)
            AddFinding(diagnosis, FOUND_OTHER_PATH, here.entries[i].name, twin->path);
    }
}

static bool IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Where the program lies, without waiting on a server: a network path is never probed.
static void CheckProgram(MenuDiagnosis* diagnosis, const wchar_t* name, const char* path)
{
    if (path[0] == '"') {
        AddFinding(diagnosis, FOUND_QUOTED_PATH, name, path);
        return;
    }
    if (path[0] == '\\' && path[1] == '\\') {
        AddFinding(diagnosis, FOUND_NETWORK_PATH, name, path);
        return;
    }
    if (isalpha((unsigned char)path[0]) && path[1] == ':') {
        char root[4] = {path[0], ':', '\\', '\0'};
        UINT drive = GetDriveTypeA(root);
        if (drive == DRIVE_NO_ROOT_DIR) {
            AddFinding(diagnosis, FOUND_NO_DRIVE, name, path);
            return;
        }
        if (drive == DRIVE_REMOTE) {
            AddFinding(diagnosis, FOUND_NETWORK_PATH, name, path);
            return;
        }
    }
    // A bare file name is looked for as the shell would, along the search path.
    char found[MAX_PATH];
    bool exists = strchr(path, '\\') ? GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES
                                     : SearchPathA(NULL, path, NULL, sizeof found, found, NULL) > 0;
    if (!exists) AddFinding(diagnosis, FOUND_NO_PROGRAM, name, path);
}

static void CheckEntry(MenuDiagnosis* diagnosis, HKEY menuKey, const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(menuKey, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    if (values == 0 && subkeys > 0) {
        AddFinding(diagnosis, FOUND_ONLY_SUBKEYS, name);
        RegCloseKey(key);
        return;
    }
    const char* valueNames[] = {"ExePath", "MenuText", "StatusBarText"};
    char texts[3][PROBED_PATH_SIZE];
    bool notText[3] = {false, false, false};
    for (int i = 0; i < 3; i++) {
        DWORD type = REG_NONE, size = sizeof texts[i] - 1;
        ZeroMemory(texts[i], sizeof texts[i]);
        LONG result = RegQueryValueExA(key, valueNames[i], NULL, &type, (BYTE*)texts[i], &size);
        notText[i] = result == ERROR_SUCCESS && !IsText(type);
        if (notText[i]) AddFinding(diagnosis, FOUND_NOT_TEXT, name, valueNames[i], type);
        if (result != ERROR_SUCCESS || notText[i]) texts[i][0] = '\0';
        // Stored for a profile the program runs under, not expanded by the registry.
        if (i == 0 && result == ERROR_SUCCESS && type == REG_EXPAND_SZ) {
            char expanded[PROBED_PATH_SIZE];
            DWORD length = ExpandEnvironmentStringsA(texts[0], expanded, sizeof expanded);
            if (length > 0 && length <= sizeof expanded)
                lstrcpynA(texts[0], expanded, sizeof texts[0]);
        }
    }
    RegCloseKey(key);
    // A value of another type has been named as such; it is not empty as well.
    if (texts[0][0])
        CheckProgram(diagnosis, name, texts[0]);
    else if (!notText[0])
        AddFinding(diagnosis, FOUND_EMPTY_PATH, name);
    if (!texts[1][0] && !notText[1]) AddFinding(diagnosis, FOUND_EMPTY_MENU_TEXT, name);
}

DWORD DiagnoseToolsMenu(MenuDiagnosis* diagnosis)
{
    ZeroMemory(diagnosis, sizeof *diagnosis);
    diagnosis->access = WriteAccess(&diagnosis->exists);
    wchar_t path[LONG_KEY_PATH_CHARACTERS], registryPath[LONG_KEY_PATH_CHARACTERS];
    Listing here = {}, other = {}, copy = {};
    DWORD error = LoadToolsMenuKeyW(path, LONG_KEY_PATH_CHARACTERS);
    if (error == ERROR_SUCCESS) error = ListMenu(HKEY_LOCAL_MACHINE, path, THIS_VIEW, &here);
    RegistryView otherView = OtherView();
    if (error == ERROR_SUCCESS && otherView != THIS_VIEW)
        error = ListMenu(HKEY_LOCAL_MACHINE, path, otherView, &other);
    // The per-user copy of the 32-bit menu, under the name the 32-bit Cakewalk's writes took.
    RegistryView view32 = ViewBits(THIS_VIEW) == 32 ? (RegistryView)THIS_VIEW : otherView;
    if (error == ERROR_SUCCESS)
        error = ToolsMenuRegistryPath(view32, registryPath, LONG_KEY_PATH_CHARACTERS);
    if (error == ERROR_SUCCESS) {
        wchar_t copyPath[LONG_KEY_PATH_CHARACTERS] = L"Software\\Classes\\VirtualStore\\MACHINE\\";
        const wchar_t* belowRoot = wcschr(registryPath, L'\\') + 1;
        if (wcslen(copyPath) + wcslen(belowRoot) < LONG_KEY_PATH_CHARACTERS) {
            wcscat(copyPath, belowRoot);
            // What cannot be read here is simply not shown.
            ListMenu(HKEY_CURRENT_USER, copyPath, THIS_VIEW, &copy);
            NamePath(L"HKEY_CURRENT_USER\\", copyPath, diagnosis->virtualPath);
        }
        if (ToolsMenuRegistryPath(THIS_VIEW, registryPath, LONG_KEY_PATH_CHARACTERS) ==
            ERROR_SUCCESS)
            NamePath(L"", registryPath, diagnosis->path);
        if (otherView != THIS_VIEW &&
            ToolsMenuRegistryPath(otherView, registryPath, LONG_KEY_PATH_CHARACTERS) ==
                ERROR_SUCCESS)
            NamePath(L"", registryPath, diagnosis->otherPath);
    }
    if (error == ERROR_SUCCESS) {
        diagnosis->entries = here.count;
        diagnosis->otherExists = other.exists;
        diagnosis->otherEntries = other.count;
        diagnosis->virtualExists = copy.exists;
        diagnosis->virtualEntries = copy.count;
        // Two menus whose Cakewalk is not installed compare to nothing useful.
        if (other.exists) CompareWithOtherMenu(diagnosis, here, other);
        const Listing& menu32 = view32 == THIS_VIEW ? here : other;
        for (int i = 0; i < copy.count; i++)
            AddFinding(diagnosis,
                       FindEntry(menu32, copy.entries[i].name) ? FOUND_VIRTUAL_HIDES
                                                               : FOUND_VIRTUAL_ENTRY,
                       copy.entries[i].name);
        HKEY menuKey;
        if (here.exists &&
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &menuKey) == ERROR_SUCCESS) {
            // A drive without its medium must answer "missing", not ask the user for a disk.
            DWORD errorMode = 0;
            SetThreadErrorMode(SEM_FAILCRITICALERRORS, &errorMode);
            for (int i = 0; i < here.count; i++)
                CheckEntry(diagnosis, menuKey, here.entries[i].name);
            SetThreadErrorMode(errorMode, NULL);
            RegCloseKey(menuKey);
        }
    }
    FreeListing(&here);
    FreeListing(&other);
    FreeListing(&copy);
    return error;
}

void FreeDiagnosis(MenuDiagnosis* diagnosis)
{
    if (diagnosis->findings) GlobalFree(diagnosis->findings);
    ZeroMemory(diagnosis, sizeof *diagnosis);
}
