#include "tests/e2e/endurance_helpers.h"
#include <psapi.h>
#include <stdio.h>
#include <string.h>
#include <vector>
#include "res/resource.h"

using namespace driver;

namespace endurance
{

bool Resources::Complete() const
{
    return gdiObjects >= 0 && displayContexts >= 0 && windows >= 0 && menus >= 0 && icons >= 0 &&
           accelerators >= 0 && handles >= 0;
}

// Wine keeps every GDI object of a process in one table of 65536 entries, whose address the
// process's PEB holds (GdiSharedHandleTable), and gdi32 itself reads it to answer GetObjectType.
// An entry is in use while its type byte is non-zero. Icons count here too: each holds its
// colour and mask bitmaps.

enum { GDI_TABLE_SIZE = 0x10000, GDI_ENTRY_SIZE = 24, GDI_ENTRY_TYPE = 14, GDI_TYPE_DC = 1 };
#ifdef _WIN64
static const SIZE_T PebGdiTableOffset = 0xF8;
#else
static const SIZE_T PebGdiTableOffset = 0x94;
#endif

struct ProcessBasics {
    LONG_PTR exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG_PTR basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentProcessId;
};
typedef LONG(NTAPI* QueryProcess)(HANDLE, ULONG, void*, ULONG, ULONG*);
typedef LONG(NTAPI* QuerySystem)(ULONG, void*, ULONG, ULONG*);

static FARPROC Ntdll(const char* name)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
}

static void CountGdiObjects(HANDLE process, Resources& resources)
{
    QueryProcess query = (QueryProcess)(void*)Ntdll("NtQueryInformationProcess");
    ProcessBasics basics{};
    if (!query || query(process, 0 /* ProcessBasicInformation */, &basics, sizeof basics, NULL))
        return;
    void* table = NULL;
    if (!ReadProcessMemory(process, (BYTE*)basics.pebBaseAddress + PebGdiTableOffset, &table,
                           sizeof table, NULL) ||
        !table)
        return;
    std::vector<BYTE> entries((size_t)GDI_TABLE_SIZE * GDI_ENTRY_SIZE);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), NULL)) return;
    resources.gdiObjects = resources.displayContexts = 0;
    for (size_t i = 0; i < GDI_TABLE_SIZE; i++) {
        BYTE type = entries[i * GDI_ENTRY_SIZE + GDI_ENTRY_TYPE];
        if (type) resources.gdiObjects++;
        if (type == GDI_TYPE_DC) resources.displayContexts++;
    }
}

// The system-wide handle list (SystemExtendedHandleInformation) names each handle's owner, and
// Wine's server fills it in.

struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTrace;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};

static bool SystemHandles(std::vector<BYTE>& buffer, ULONG_PTR& count)
{
    QuerySystem query = (QuerySystem)(void*)Ntdll("NtQuerySystemInformation");
    if (!query) return false;
    for (ULONG size = 1 << 20; size <= (1u << 26); size *= 4) {
        buffer.assign(size, 0);
        ULONG needed = 0;
        LONG status = query(64 /* SystemExtendedHandleInformation */, buffer.data(), size, &needed);
        if (status == 0) {
            count = *(ULONG_PTR*)buffer.data();
            return count <= (size - 2 * sizeof(ULONG_PTR)) / sizeof(HandleEntry);
        }
    }
    return false;
}

static const HandleEntry* HandleEntries(const std::vector<BYTE>& buffer)
{
    return (const HandleEntry*)(buffer.data() + 2 * sizeof(ULONG_PTR));
}

static long KernelHandleCount(DWORD processId)
{
    std::vector<BYTE> buffer;
    ULONG_PTR count = 0;
    if (!SystemHandles(buffer, count)) return -1;
    long owned = 0;
    for (ULONG_PTR i = 0; i < count; i++)
        if (HandleEntries(buffer)[i].processId == processId) owned++;
    return owned;
}

long OpenKeyCount(DWORD processId)
{
    // The type index of a key is learnt from a key of our own.
    HKEY probe;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &probe) != ERROR_SUCCESS)
        return -1;
    std::vector<BYTE> buffer;
    ULONG_PTR count = 0;
    bool listed = SystemHandles(buffer, count);
    long keys = -1;
    if (listed) {
        int keyType = -1;
        for (ULONG_PTR i = 0; i < count; i++) {
            const HandleEntry& entry = HandleEntries(buffer)[i];
            if (entry.processId == GetCurrentProcessId() && entry.handle == (ULONG_PTR)probe)
                keyType = entry.typeIndex;
        }
        if (keyType >= 0) {
            keys = 0;
            for (ULONG_PTR i = 0; i < count; i++) {
                const HandleEntry& entry = HandleEntries(buffer)[i];
                if (entry.processId == processId && entry.typeIndex == keyType) keys++;
            }
        }
    }
    RegCloseKey(probe);
    return keys;
}

struct WindowTally {
    DWORD processId;
    long count;
};

static BOOL CALLBACK TallyChild(HWND hwnd, LPARAM lParam)
{
    WindowTally* tally = (WindowTally*)lParam;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == tally->processId) tally->count++;
    return TRUE;
}

static BOOL CALLBACK TallyTopLevel(HWND hwnd, LPARAM lParam)
{
    WindowTally* tally = (WindowTally*)lParam;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != tally->processId) return TRUE;
    tally->count++;
    EnumChildWindows(hwnd, TallyChild, lParam); // every descendant, hidden ones included
    return TRUE;
}

static long WindowCount(DWORD processId)
{
    WindowTally tally = {processId, 0};
    EnumWindows(TallyTopLevel, (LPARAM)&tally);
    for (HWND hwnd = FindWindowExA(HWND_MESSAGE, NULL, NULL, NULL); hwnd;
         hwnd = FindWindowExA(HWND_MESSAGE, hwnd, NULL, NULL))
        TallyTopLevel(hwnd, (LPARAM)&tally);
    return tally.count;
}

// These USER handles can only be asked about inside the process that made them. Wine numbers
// them 0x20, 0x22, ... 0xFFEE in the low word and takes a handle whose high word is 0 for any
// generation of that slot, so a walk over the low words finds every one. The walk is copied into
// the program and runs there on a thread of its own; it must therefore use nothing but its
// parameter: no globals, no constants in memory, no calls except through the pointers it is given.
//
// The thread is started once per program and then waits for requests. Wine starts a thread in
// another process from a signal handler when the process is busy, and a process interrupted inside
// malloc then deadlocks; started once, at a quiet moment, the risk is taken once instead of at
// every count.

struct UserCensus {
    DWORD(WINAPI* wait)(HANDLE, DWORD);
    BOOL(WINAPI* setEvent)(HANDLE);
    BOOL(WINAPI* isMenu)(HMENU);
    BOOL(WINAPI* getIconSize)(HICON, UINT, LONG*, LONG*);
    int(WINAPI* copyAccelerators)(HACCEL, ACCEL*, int);
    HANDLE request, done; // the program's own handles to the two events
    LONG menus, icons, accelerators;
};

// Kept in sections of their own, which the linker places in name order, so that the walk's code
// ends where the second function begins.
__attribute__((section(".text$census_a"), noinline)) static DWORD WINAPI CensusLoop(void* param)
{
    UserCensus* census = (UserCensus*)param;
    while (census->wait(census->request, INFINITE) == WAIT_OBJECT_0) {
        census->menus = census->icons = census->accelerators = 0;
        for (ULONG_PTR handle = 0x20; handle < 0xFFF0; handle += 2) {
            LONG width, height;
            if (census->isMenu((HMENU)handle)) census->menus++;
            if (census->getIconSize((HICON)handle, 0, &width, &height)) census->icons++;
            if (census->copyAccelerators((HACCEL)handle, NULL, 0) > 0) census->accelerators++;
        }
        census->setEvent(census->done);
    }
    return 0;
}

__attribute__((section(".text$census_b"), noinline)) static DWORD WINAPI CensusLoopEnd(void*)
{
    return 1;
}

static HMODULE RemoteModule(HANDLE process, const char* name)
{
    HMODULE modules[512];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &needed)) return NULL;
    for (DWORD i = 0; i < needed / sizeof modules[0] && i < 512; i++) {
        char base[MAX_PATH] = "";
        GetModuleBaseNameA(process, modules[i], base, sizeof base);
        if (_stricmp(base, name) == 0) return modules[i];
    }
    return NULL;
}

// The system DLLs may lie elsewhere in the program than here; the offset inside them does not.
// The module is the one that holds the code (kernel32 forwards much of itself to kernelbase).
static void* RemoteFunction(HANDLE process, const char* module, const char* name)
{
    HMODULE exporter = LoadLibraryA(module), holder = NULL;
    FARPROC function = exporter ? GetProcAddress(exporter, name) : NULL;
    char holderName[MAX_PATH] = "";
    if (!function ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCSTR)(void*)function, &holder) ||
        !GetModuleBaseNameA(GetCurrentProcess(), holder, holderName, sizeof holderName))
        return NULL;
    HMODULE remote = RemoteModule(process, holderName);
    if (!remote) return NULL;
    return (BYTE*)remote + ((BYTE*)(void*)function - (BYTE*)holder);
}

// The census thread of the program counted last, and our ends of its events.
static struct {
    DWORD processId = 0;
    HANDLE request = NULL, done = NULL;
    BYTE* block = NULL;
} Census;

static void ForgetCensus()
{
    if (Census.request) CloseHandle(Census.request);
    if (Census.done) CloseHandle(Census.done);
    Census.request = Census.done = NULL;
    Census.block = NULL;
    Census.processId = 0;
}

static bool StartCensus(HANDLE process, DWORD processId)
{
    ForgetCensus();
    UserCensus census{};
    census.wait =
        (decltype(census.wait))RemoteFunction(process, "kernel32.dll", "WaitForSingleObject");
    census.setEvent =
        (decltype(census.setEvent))RemoteFunction(process, "kernel32.dll", "SetEvent");
    census.isMenu = (decltype(census.isMenu))RemoteFunction(process, "user32.dll", "IsMenu");
    census.getIconSize =
        (decltype(census.getIconSize))RemoteFunction(process, "win32u.dll", "NtUserGetIconSize");
    census.copyAccelerators = (decltype(census.copyAccelerators))RemoteFunction(
        process, "user32.dll", "CopyAcceleratorTableA");
    if (!census.wait || !census.setEvent || !census.isMenu || !census.getIconSize ||
        !census.copyAccelerators)
        return false;

    Census.request = CreateEventA(NULL, FALSE, FALSE, NULL);
    Census.done = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!Census.request || !Census.done ||
        !DuplicateHandle(GetCurrentProcess(), Census.request, process, &census.request, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) ||
        !DuplicateHandle(GetCurrentProcess(), Census.done, process, &census.done, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        ForgetCensus();
        return false;
    }

    const BYTE* code = (const BYTE*)(void*)CensusLoop;
    SIZE_T codeSize = (const BYTE*)(void*)CensusLoopEnd - code;
    const SIZE_T codeOffset = 256, blockSize = 4096;
    if (codeSize == 0 || codeSize > blockSize - codeOffset) return false;
    // Left to the program for its lifetime: freeing it would need another call into the program.
    BYTE* block = (BYTE*)VirtualAllocEx(process, NULL, blockSize, MEM_COMMIT | MEM_RESERVE,
                                        PAGE_EXECUTE_READWRITE);
    if (!block || !WriteProcessMemory(process, block, &census, sizeof census, NULL) ||
        !WriteProcessMemory(process, block + codeOffset, code, codeSize, NULL)) {
        ForgetCensus();
        return false;
    }
    HANDLE thread = CreateRemoteThread(
        process, NULL, 0, (LPTHREAD_START_ROUTINE)(void*)(block + codeOffset), block, 0, NULL);
    if (!thread) {
        ForgetCensus();
        return false;
    }
    CloseHandle(thread);
    Census.block = block;
    Census.processId = processId;
    return true;
}

static bool TakeUserCensus(const App& app, UserCensus& census)
{
    if (Census.processId != app.process.dwProcessId &&
        !StartCensus(app.process.hProcess, app.process.dwProcessId))
        return false;
    SetEvent(Census.request);
    if (WaitForSingleObject(Census.done, 10000) != WAIT_OBJECT_0) return false;
    return ReadProcessMemory(app.process.hProcess, Census.block, &census, sizeof census, NULL) != 0;
}

Resources Count(const App& app)
{
    Resources resources;
    UserCensus census;
    if (TakeUserCensus(app, census)) {
        resources.menus = census.menus;
        resources.icons = census.icons;
        resources.accelerators = census.accelerators;
    }
    CountGdiObjects(app.process.hProcess, resources);
    resources.windows = WindowCount(app.process.dwProcessId);
    resources.handles = KernelHandleCount(app.process.dwProcessId);
    return resources;
}

std::string Describe(const Resources& r)
{
    char text[256];
    snprintf(text, sizeof text,
             "GDI %ld (display contexts %ld), USER %ld (windows %ld, menus %ld, icons %ld, "
             "accelerators %ld), handles %ld",
             r.gdiObjects, r.displayContexts, r.UserObjects(), r.windows, r.menus, r.icons,
             r.accelerators, r.handles);
    return text;
}

HWND WaitForBox(HWND owner, DWORD timeoutMs, const char* caption)
{
    return WaitForDialog(owner, timeoutMs, caption, 0);
}

static bool WaitUntilClosed(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
    return true;
}

bool Dismiss(HWND box, int button)
{
    PressButton(box, button);
    return WaitUntilClosed(box, 5000);
}

Box Answer(HWND owner, int button, DWORD timeoutMs)
{
    Box box;
    HWND hwnd = WaitForBox(owner, timeoutMs);
    if (!hwnd) return box;
    box.found = true;
    box.caption = Text(hwnd);
    box.text = BoxText(hwnd);
    box.rect = WindowRect(hwnd);
    Dismiss(hwnd, button);
    return box;
}

struct PopupSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindPopup(HWND hwnd, LPARAM lParam)
{
    PopupSearch* search = (PopupSearch*)lParam;
    char className[16] = "";
    GetClassNameA(hwnd, className, sizeof className);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId || strcmp(className, "#32768") != 0 || !IsWindowVisible(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

static HWND OpenPopupMenu(DWORD processId)
{
    PopupSearch search = {processId, NULL};
    EnumWindows(FindPopup, (LPARAM)&search);
    return search.found;
}

HWND WaitForPopupMenu(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        HWND popup = OpenPopupMenu(processId);
        if (popup) return popup;
        Sleep(5);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool WaitUntilNoPopupMenu(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (OpenPopupMenu(processId)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
    return true;
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

void RightClick(POINT screen)
{
    SendMouse(screen, 0);
    Sleep(20);
    SendMouse(screen, MOUSEEVENTF_RIGHTDOWN);
    Sleep(20);
    SendMouse(screen, MOUSEEVENTF_RIGHTUP);
}

void PressKey(WORD vk)
{
    INPUT input[2] = {};
    for (int i = 0; i < 2; i++) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = vk;
        input[i].ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    }
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

bool SettleWithin(HWND main, DWORD timeoutMs)
{
    // A limit that no one uses, posted to a field on the main window's thread: posted messages
    // are taken in order, by the main loop or by a modal one, so once it has arrived, whatever
    // command ran before it has ended or is waiting for the user.
    HWND field = GetDlgItem(main, IDC_NAME);
    const WPARAM marker = 4322;
    PostMessageA(field, EM_SETLIMITTEXT, marker, 0);
    DWORD start = GetTickCount();
    bool settled = false;
    while (!settled && GetTickCount() - start < timeoutMs) {
        DWORD_PTR limit = 0;
        settled = SendMessageTimeoutA(field, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 200, &limit) &&
                  limit == marker;
        if (!settled) Sleep(20);
    }
    DWORD_PTR result;
    SendMessageTimeoutA(field, EM_SETLIMITTEXT, 256, 0, SMTO_NORMAL, 5000, &result);
    return settled;
}

void Select(const App& app, int index)
{
    HWND list = GetDlgItem(app.main, IDC_TOOL_LIST);
    DWORD_PTR result;
    SendMessageTimeoutA(list, LB_SETCURSEL, (WPARAM)index, 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutA(app.main, WM_COMMAND, MAKEWPARAM(IDC_TOOL_LIST, LBN_SELCHANGE),
                        (LPARAM)list, SMTO_NORMAL, 5000, &result);
}

int IndexOf(const App& app, const std::string& name)
{
    std::vector<std::string> names = ItemNames(app);
    for (size_t i = 0; i < names.size(); i++)
        if (_stricmp(names[i].c_str(), name.c_str()) == 0) return (int)i;
    return -1;
}

bool PutNestedKeys(const std::string& entry, int levels, const char* name)
{
    std::string path = std::string(ToolsMenuKey) + "\\" + entry;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return false;
    bool made = true;
    for (int level = 0; made && level < levels; level++) {
        HKEY next;
        made = RegCreateKeyExA(key, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &next, NULL) ==
               ERROR_SUCCESS;
        RegCloseKey(key);
        key = made ? next : NULL;
    }
    if (key) RegCloseKey(key);
    return made;
}

int NestedDepth(const std::string& entry)
{
    std::string path = std::string(ToolsMenuKey) + "\\" + entry;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    int depth = 0;
    for (;;) {
        char name[256];
        DWORD length = sizeof name;
        HKEY next;
        if (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS ||
            RegOpenKeyExA(key, name, 0, KEY_READ, &next) != ERROR_SUCCESS)
            break;
        RegCloseKey(key);
        key = next;
        depth++;
    }
    RegCloseKey(key);
    return depth;
}

HeldFile::HeldFile(const std::string& path)
{
    handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
}

HeldFile::~HeldFile()
{
    Release();
}

void HeldFile::Release()
{
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

} // namespace endurance
