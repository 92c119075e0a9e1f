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

static const char AppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

static void AddFinding(MenuDiagnosis* diagnosis, FindingKind kind, const wchar_t* name,
                       const char* detail = "", DWORD type = 0)
{
    if ((size_t)diagnosis->count + 1 > MAXDWORD / sizeof(Finding) ||
        GrowBlock((void**)&diagnosis->findings, &diagnosis->capacity,
                  (DWORD)((diagnosis->count + 1) * sizeof(Finding)),
                  64 * sizeof(Finding)) != ERROR_SUCCESS) {
        diagnosis->error = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    Finding* finding = &diagnosis->findings[diagnosis->count++];
    ZeroMemory(finding, sizeof *finding);
    finding->kind = kind;
    // Cut to fit; a character that code page 932 lacks shows as "?".
    WideCharToMultiByte(CP_ACP, 0, name, -1, finding->name, sizeof finding->name - 1, NULL, NULL);
    // Cut between characters: half of one would show as another in the report.
    size_t length = 0;
    for (const char* p = detail; *p; p = NextAnsiCharacter(p)) {
        size_t next = (size_t)(NextAnsiCharacter(p) - detail);
        if (next >= sizeof finding->detail) break;
        length = next;
    }
    memcpy(finding->detail, detail, length);
    finding->type = type;
}

// A value whole, however long, as the A functions give it and terminated, into a block of the
// global heap that the caller frees; the registry's error, with the block null.
static DWORD ReadWholeValue(HKEY key, const char* name, DWORD* type, char** text)
{
    *text = NULL;
    for (;;) {
        DWORD size = 0;
        DWORD error = (DWORD)RegQueryValueExA(key, name, NULL, type, NULL, &size);
        if (error != ERROR_SUCCESS) return error;
        if (size > MAXDWORD - 2) return ERROR_ARITHMETIC_OVERFLOW;
        *text = (char*)GlobalAlloc(GPTR, size + 2);
        if (!*text) return ERROR_NOT_ENOUGH_MEMORY;
        error = (DWORD)RegQueryValueExA(key, name, NULL, type, (BYTE*)*text, &size);
        if (error == ERROR_SUCCESS) return ERROR_SUCCESS;
        GlobalFree(*text);
        *text = NULL;
        // Another program made it longer in between: measure again.
        if (error != ERROR_MORE_DATA) return error;
    }
}

// Every entry of the Tools Menu key at root\path in view, with its ExePath, read as a user who
// may only read it would.
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
    if (error == ERROR_SUCCESS)
        error = AllocateArray((void**)&listing->entries, subkeys, sizeof(ListedEntry));
    for (DWORD index = 0; error == ERROR_SUCCESS && index < subkeys; index++) {
        ListedEntry* entry = &listing->entries[listing->count];
        DWORD length = KEY_NAME_CHARACTERS;
        LONG result = RegEnumKeyExW(menuKey, index, entry->name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        HKEY key;
        char* path = NULL;
        DWORD type = REG_NONE;
        if (RegOpenKeyExW(menuKey, entry->name, 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
            if (ReadWholeValue(key, EntryValueNames[VALUE_EXE_PATH], &type, &path) == ERROR_SUCCESS)
                lstrcpynA(entry->path, path, sizeof entry->path);
            if (path) GlobalFree(path);
            RegCloseKey(key);
        }
        listing->count++;
    }
    RegCloseKey(menuKey);
    return error;
}

static DWORD ListToolsMenu(RegistryView view, Listing* listing)
{
    wchar_t path[LONG_KEY_PATH_CHARACTERS];
    DWORD error = LoadToolsMenuKeyW(path, LONG_KEY_PATH_CHARACTERS);
    return error == ERROR_SUCCESS ? ListMenu(HKEY_LOCAL_MACHINE, path, view, listing) : error;
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

// Whether this copy may write its menu: the Tools Menu key, or the nearest parent that exists,
// opened as the list opens it, and nothing created. Without that access the list is empty by
// design.
static DWORD WriteAccess()
{
    char path[TOOLS_MENU_KEY_SIZE];
    DWORD error = LoadToolsMenuKey(path, sizeof path);
    if (error != ERROR_SUCCESS) return error;
    for (;;) {
        HKEY key;
        error = (DWORD)RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
        if (error == ERROR_SUCCESS) {
            RegCloseKey(key);
            return ERROR_SUCCESS;
        }
        if (error != ERROR_FILE_NOT_FOUND || !CutLastKey(path)) return error;
    }
}

// An administrator's elevated session and the same user's ordinary one differ in what they may
// write and in which drive letters they see: the report's advice depends on which this is.
static bool RunsElevated()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated;
    CloseHandle(token);
    return elevated;
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

static void NameMenuPath(RegistryView view, char* out)
{
    wchar_t path[LONG_KEY_PATH_CHARACTERS];
    if (ToolsMenuRegistryPath(view, path, LONG_KEY_PATH_CHARACTERS) == ERROR_SUCCESS)
        NamePath(L"", path, out);
}

// This view's menu as a user who may only read it sees it, and whether this copy may write it.
static DWORD DiagnoseThisMenu(MenuDiagnosis* diagnosis, Listing* here)
{
    DWORD error = ListToolsMenu(THIS_VIEW, here);
    if (error != ERROR_SUCCESS) return error;
    diagnosis->exists = here->exists;
    diagnosis->entries = here->count;
    diagnosis->access = WriteAccess();
    NameMenuPath(THIS_VIEW, diagnosis->path);
    return ERROR_SUCCESS;
}

// 64-bit Windows: the other view's menu, and the entries that only one of the two holds.
static DWORD DiagnoseOtherMenu(MenuDiagnosis* diagnosis, const Listing& here, Listing* other)
{
    RegistryView otherView = OtherView();
    if (otherView == THIS_VIEW) return ERROR_SUCCESS;
    DWORD error = ListToolsMenu(otherView, other);
    if (error != ERROR_SUCCESS) return error;
    NameMenuPath(otherView, diagnosis->otherPath);
    diagnosis->otherExists = other->exists;
    diagnosis->otherEntries = other->count;
    // Two menus whose Cakewalk is not installed compare to nothing useful.
    if (!other->exists) return ERROR_SUCCESS;
    for (int i = 0; i < other->count; i++)
        if (!FindEntry(here, other->entries[i].name))
            AddFinding(diagnosis, FOUND_ONLY_OTHER, other->entries[i].name);
    for (int i = 0; i < here.count; i++) {
        const ListedEntry* twin = FindEntry(*other, here.entries[i].name);
        if (!twin)
            AddFinding(diagnosis, FOUND_ONLY_HERE, here.entries[i].name);
        else if (lstrcmpiA(twin->path, here.entries[i].path) != 0)
            AddFinding(diagnosis, FOUND_OTHER_PATH, here.entries[i].name, twin->path);
    }
    return ERROR_SUCCESS;
}

// The current user's per-user copy of the 32-bit menu, under the name the 32-bit Cakewalk's
// writes took, and the entries of the 32-bit menu it hides.
static void DiagnoseVirtualCopy(MenuDiagnosis* diagnosis, const Listing& here, const Listing& other)
{
    RegistryView view32 = ViewBits(THIS_VIEW) == 32 ? (RegistryView)THIS_VIEW : OtherView();
    wchar_t registryPath[LONG_KEY_PATH_CHARACTERS];
    if (ToolsMenuRegistryPath(view32, registryPath, LONG_KEY_PATH_CHARACTERS) != ERROR_SUCCESS)
        return;
    wchar_t copyPath[LONG_KEY_PATH_CHARACTERS] = L"Software\\Classes\\VirtualStore\\MACHINE\\";
    const wchar_t* belowRoot = wcschr(registryPath, L'\\') + 1;
    if (wcslen(copyPath) + wcslen(belowRoot) >= LONG_KEY_PATH_CHARACTERS) return;
    wcscat(copyPath, belowRoot);
    NamePath(L"HKEY_CURRENT_USER\\", copyPath, diagnosis->virtualPath);
    Listing copy = {};
    // What cannot be read here is simply not shown.
    ListMenu(HKEY_CURRENT_USER, copyPath, THIS_VIEW, &copy);
    diagnosis->virtualExists = copy.exists;
    diagnosis->virtualEntries = copy.count;
    const Listing& menu32 = view32 == THIS_VIEW ? here : other;
    for (int i = 0; i < copy.count; i++)
        AddFinding(diagnosis,
                   FindEntry(menu32, copy.entries[i].name) ? FOUND_VIRTUAL_HIDES
                                                           : FOUND_VIRTUAL_ENTRY,
                   copy.entries[i].name);
    FreeListing(&copy);
}

// The folders the host's launch looks along, whatever their order: the system folders and PATH.
// Korvanel's own folder and current directory are none of Cakewalk's. The caller frees the list.
static char* SearchFolders()
{
    char system[MAX_PATH], windows[MAX_PATH];
    UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    if (systemLength == 0 || systemLength >= sizeof system) system[0] = '\0';
    if (windowsLength == 0 || windowsLength >= sizeof windows) windows[0] = '\0';
    DWORD pathLength = GetEnvironmentVariableA("PATH", NULL, 0);
    DWORD size = (DWORD)(2 * strlen(windows) + strlen(system) + 16) + pathLength;
    char* list = (char*)GlobalAlloc(GPTR, size);
    if (!list) return NULL;
    lstrcpynA(list, system, (int)size);
    if (windows[0]) {
        strcat(list, ";");
        strcat(list, windows);
        strcat(list, "\\System;");
        strcat(list, windows);
    }
    DWORD used = (DWORD)strlen(list);
    if (pathLength > 0) {
        list[used] = ';';
        // A PATH that grew in between is cut, never overrun.
        if (GetEnvironmentVariableA("PATH", list + used + 1, size - used - 1) >= size - used - 1)
            list[used] = '\0';
    }
    return list;
}

// Windows takes "/" for "\" in a path; no second byte of a code page 932 character is "/".
static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A path's length as the system counts it, in UTF-16 characters; bytes that the code page cannot
// read count one each.
static int PathCharacters(const char* path)
{
    int characters = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, NULL, 0);
    return characters > 0 ? characters - 1 : (int)strlen(path);
}

// Where a path with a folder or a drive leads, without waiting on a server: a network path is
// never probed, nor one that depends on the host's own folders. False when the program is there.
static bool ProbePath(const char* path, FindingKind* kind)
{
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        *kind = FOUND_NETWORK_PATH;
        return true;
    }
    // Relative to a folder or drive of the host's: not what this program would find.
    bool drive = isalpha((unsigned char)path[0]) && path[1] == ':';
    if (!drive || !IsSeparator(path[2])) {
        *kind = FOUND_RELATIVE_PATH;
        return true;
    }
    char root[4] = {path[0], ':', '\\', '\0'};
    UINT driveType = GetDriveTypeA(root);
    if (driveType == DRIVE_NO_ROOT_DIR || driveType == DRIVE_REMOTE) {
        *kind = driveType == DRIVE_REMOTE ? FOUND_NETWORK_PATH : FOUND_NO_DRIVE;
        return true;
    }
    // The system starts no program by a longer path; a shorter one is probed in UTF-16, which
    // takes it whatever its length in bytes.
    wchar_t wide[MAX_PATH];
    if (PathCharacters(path) >= MAX_PATH ||
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0) {
        *kind = FOUND_PATH_TOO_LONG;
        return true;
    }
    *kind = FOUND_NO_PROGRAM;
    return GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES;
}

// Where App Paths (the current user's, then the machine's in the menu's own view) sends a
// program name, expanded and unquoted, into size bytes.
static bool FindInAppPaths(const char* name, char* found, DWORD size)
{
    char key[MAX_PATH + sizeof AppPathsKey];
    lstrcpynA(key, AppPathsKey, sizeof key);
    strncat(key, name, sizeof key - strlen(key) - 1);
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY root : roots) {
        HKEY appKey;
        if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &appKey) != ERROR_SUCCESS) continue;
        char* path = NULL;
        DWORD type = REG_NONE;
        DWORD error = ReadWholeValue(appKey, NULL, &type, &path);
        RegCloseKey(appKey);
        bool usable = error == ERROR_SUCCESS && IsText(type) && path[0];
        if (usable) {
            char* start = path[0] == '"' ? path + 1 : path;
            char* quote = start != path ? strchr(start, '"') : NULL;
            if (quote) *quote = '\0';
            DWORD length = ExpandEnvironmentStringsA(start, found, size);
            if (length == 0 || length > size) lstrcpynA(found, start, (int)size);
        }
        if (path) GlobalFree(path);
        if (usable) return true;
    }
    return false;
}

// A program named without a folder, as the host's launch may find it: App Paths, the system
// folders and PATH, with ".exe" added to a name without an extension.
static void CheckBareName(MenuDiagnosis* diagnosis, const wchar_t* name, const char* program)
{
    char found[TOOL_TEXT_SIZE * 4];
    char withExtension[TOOL_TEXT_SIZE + 8];
    lstrcpynA(withExtension, program, TOOL_TEXT_SIZE);
    if (!strchr(withExtension, '.')) strcat(withExtension, ".exe");
    if (FindInAppPaths(withExtension, found, sizeof found)) {
        // An uninstalled program often leaves its App Paths key behind; the launch then fails
        // even though a copy may lie along PATH.
        FindingKind kind;
        bool missing =
            ProbePath(found, &kind) && (kind == FOUND_NO_PROGRAM || kind == FOUND_NO_DRIVE);
        AddFinding(diagnosis, missing ? FOUND_APP_PATHS_MISSING : FOUND_BARE_IN_APP_PATHS, name,
                   found);
        return;
    }
    char* folders = SearchFolders();
    DWORD length = folders ? SearchPathA(folders, program, ".exe", sizeof found, found, NULL) : 0;
    if (folders) GlobalFree(folders);
    if (length > 0 && length < sizeof found)
        AddFinding(diagnosis, FOUND_BARE_ON_SEARCH_PATH, name, found);
    else
        AddFinding(diagnosis, FOUND_BARE_NOT_FOUND, name, program);
}

// The program as the host's launch takes it: quoted, named alone (and looked for), or probed.
static void CheckProgram(MenuDiagnosis* diagnosis, const wchar_t* name, const char* path)
{
    if (path[0] == '"') {
        AddFinding(diagnosis, FOUND_QUOTED_PATH, name, path);
        return;
    }
    // Walked by characters: ソ and 表 end in the backslash's byte.
    bool hasFolder = false;
    for (const char* p = path; *p && !hasFolder; p = NextAnsiCharacter(p))
        hasFolder = IsSeparator(*p);
    if (!hasFolder && !(isalpha((unsigned char)path[0]) && path[1] == ':')) {
        CheckBareName(diagnosis, name, path);
        return;
    }
    FindingKind kind;
    if (ProbePath(path, &kind)) AddFinding(diagnosis, kind, name, path);
}

// A stored path expanded for the profile the program runs under, as the registry does not.
static char* ExpandedPath(const char* path)
{
    DWORD size = ExpandEnvironmentStringsA(path, NULL, 0);
    char* expanded = size ? (char*)GlobalAlloc(GPTR, size + 1) : NULL;
    if (expanded && ExpandEnvironmentStringsA(path, expanded, size + 1) > size + 1) {
        GlobalFree(expanded);
        expanded = NULL;
    }
    return expanded;
}

static void CheckEntry(MenuDiagnosis* diagnosis, HKEY menuKey, const wchar_t* name)
{
    HKEY key;
    LONG opened = RegOpenKeyExW(menuKey, name, 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        AddFinding(diagnosis, FOUND_UNREADABLE, name, "", (DWORD)opened);
        return;
    }
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    if (values == 0 && subkeys > 0) {
        AddFinding(diagnosis, FOUND_ONLY_SUBKEYS, name);
        RegCloseKey(key);
        return;
    }
    const char* valueNames[] = {EntryValueNames[VALUE_EXE_PATH], EntryValueNames[VALUE_MENU_TEXT],
                                EntryValueNames[VALUE_STATUS_TEXT]};
    char* texts[3] = {NULL, NULL, NULL};
    bool notText[3] = {false, false, false}, shownEmpty[3] = {false, false, false};
    for (int i = 0; i < 3; i++) {
        DWORD type = REG_NONE;
        DWORD error = ReadWholeValue(key, valueNames[i], &type, &texts[i]);
        notText[i] = error == ERROR_SUCCESS && !IsText(type);
        if (notText[i]) AddFinding(diagnosis, FOUND_NOT_TEXT, name, valueNames[i], type);
        // The list reads each text into TOOL_TEXT_SIZE bytes, as stored; a path too long for the
        // system is named as that instead.
        shownEmpty[i] = error == ERROR_SUCCESS && !notText[i] &&
                        strlen(texts[i]) >= TOOL_TEXT_SIZE &&
                        (i != 0 || PathCharacters(texts[i]) < MAX_PATH);
        if (i == 0 && error == ERROR_SUCCESS && type == REG_EXPAND_SZ) {
            char* expanded = ExpandedPath(texts[0]);
            if (expanded) {
                GlobalFree(texts[0]);
                texts[0] = expanded;
            }
        }
    }
    RegCloseKey(key);
    // A value of another type has been named as such; it is not empty as well.
    bool pathGiven = texts[0] && texts[0][0] && !notText[0];
    if (pathGiven)
        CheckProgram(diagnosis, name, texts[0]);
    else if (!notText[0])
        AddFinding(diagnosis, FOUND_EMPTY_PATH, name);
    if ((!texts[1] || !texts[1][0]) && !notText[1])
        AddFinding(diagnosis, FOUND_EMPTY_MENU_TEXT, name);
    for (int i = 0; i < 3; i++)
        if (shownEmpty[i]) AddFinding(diagnosis, FOUND_SHOWN_EMPTY, name, valueNames[i]);
    for (char* text : texts)
        if (text) GlobalFree(text);
}

static void CheckEntries(MenuDiagnosis* diagnosis, const Listing& here)
{
    HKEY menuKey;
    if (!here.exists || OpenToolsMenuKey(THIS_VIEW, KEY_READ, &menuKey) != ERROR_SUCCESS) return;
    // A drive without its medium must answer "missing", not ask the user for a disk.
    DWORD errorMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &errorMode);
    for (int i = 0; i < here.count; i++)
        CheckEntry(diagnosis, menuKey, here.entries[i].name);
    SetThreadErrorMode(errorMode, NULL);
    RegCloseKey(menuKey);
}

DWORD DiagnoseToolsMenu(MenuDiagnosis* diagnosis)
{
    ZeroMemory(diagnosis, sizeof *diagnosis);
    diagnosis->elevated = RunsElevated();
    Listing here = {}, other = {};
    DWORD error = DiagnoseThisMenu(diagnosis, &here);
    if (error == ERROR_SUCCESS) error = DiagnoseOtherMenu(diagnosis, here, &other);
    if (error == ERROR_SUCCESS) {
        DiagnoseVirtualCopy(diagnosis, here, other);
        CheckEntries(diagnosis, here);
    }
    FreeListing(&here);
    FreeListing(&other);
    return error;
}

void FreeDiagnosis(MenuDiagnosis* diagnosis)
{
    if (diagnosis->findings) GlobalFree(diagnosis->findings);
    ZeroMemory(diagnosis, sizeof *diagnosis);
}
