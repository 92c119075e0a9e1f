// The list's icons, read on a thread of their own after each refresh and handed to the window one
// by one: a program on a server that does not answer delays its own icon, never the window.
#include <windows.h>
#include <objbase.h>
#include "editor/editor.h"
#include "editor/editor_private.h"
#include "res/resource.h"

// The programs of one refresh, in list order: count terminated UTF-16 paths one after another.
struct IconJob {
    LONG generation;
    HWND window;
    int count;
    wchar_t paths[1];
};

// One icon on its way to the window, which frees the record; what never reaches it, the sender
// frees.
struct ArrivedIcon {
    LONG generation;
    int index;
    HICON icon;
};

// Guards the pending job, the generation and the end. A post happens under it too, so that once
// a refresh or the window's end has moved the generation on, no icon of the older list is posted.
static CRITICAL_SECTION IconLock;
static bool IconLockReady;
static HANDLE IconThread, IconWake;
static IconJob* PendingJob;
// Moved on by each refresh and by the window's end: an icon of another generation is stale.
static LONG IconGeneration;
static bool IconThreadEnding;

static bool StillWanted(const IconJob* job)
{
    EnterCriticalSection(&IconLock);
    bool wanted = !IconThreadEnding && job->generation == IconGeneration;
    LeaveCriticalSection(&IconLock);
    return wanted;
}

static void SendIcon(const IconJob* job, int index, HICON icon)
{
    ArrivedIcon* arrived = (ArrivedIcon*)GlobalAlloc(GPTR, sizeof(ArrivedIcon));
    bool posted = false;
    if (arrived) {
        arrived->generation = job->generation;
        arrived->index = index;
        arrived->icon = icon;
        EnterCriticalSection(&IconLock);
        if (!IconThreadEnding && job->generation == IconGeneration)
            posted = PostMessageA(job->window, WM_TOOL_ICON, 0, (LPARAM)arrived) != FALSE;
        LeaveCriticalSection(&IconLock);
    }
    if (posted) return;
    FreeProgramIcon(icon);
    if (arrived) GlobalFree(arrived);
}

static void ReadIcons(const IconJob* job)
{
    const wchar_t* path = job->paths;
    for (int index = 0; index < job->count && StillWanted(job); index++) {
        HICON icon = path[0] ? ReadProgramIcon(path) : NULL;
        if (icon) SendIcon(job, index, icon);
        path += lstrlenW(path) + 1;
    }
}

static DWORD WINAPI IconThreadMain(void*)
{
    // The shell's icon handlers and shortcuts want COM on the thread that asks.
    bool com = SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    for (;;) {
        WaitForSingleObject(IconWake, INFINITE);
        EnterCriticalSection(&IconLock);
        IconJob* job = PendingJob;
        PendingJob = NULL;
        bool ending = IconThreadEnding;
        LeaveCriticalSection(&IconLock);
        if (job && !ending) ReadIcons(job);
        if (job) GlobalFree(job);
        if (ending) break;
    }
    if (com) CoUninitialize();
    return 0;
}

// The paths of the entries as listed now; null when there is no memory for them, and then the
// list simply shows no icons.
static IconJob* MakeJob(HWND hwnd)
{
    int count = ToolEntryCount(hwnd);
    if (count < 0) count = 0;
    size_t characters = 0;
    for (int i = 0; i < count; i++) {
        const ToolEntry* entry = ToolEntryAt(hwnd, i);
        int length = entry ? MultiByteToWideChar(CP_ACP, 0, entry->path, -1, NULL, 0) : 0;
        characters += length > 0 ? (size_t)length : 1;
    }
    IconJob* job = NULL;
    if (AllocateArray((void**)&job, 1, sizeof(IconJob) + characters * sizeof(wchar_t)) !=
        ERROR_SUCCESS)
        return NULL;
    job->window = hwnd;
    job->count = count;
    wchar_t* out = job->paths;
    for (int i = 0; i < count; i++) {
        const ToolEntry* entry = ToolEntryAt(hwnd, i);
        int length = entry ? MultiByteToWideChar(CP_ACP, 0, entry->path, -1, out,
                                                 (int)(characters - (size_t)(out - job->paths)))
                           : 0;
        if (length <= 0) *out = L'\0';
        out += length > 0 ? length : 1;
    }
    return job;
}

// The thread is made with its event on first use; false when the system would not.
static bool IconThreadReady()
{
    if (!IconLockReady) {
        InitializeCriticalSection(&IconLock);
        IconLockReady = true;
    }
    if (!IconWake) IconWake = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (IconWake && !IconThread) IconThread = CreateThread(NULL, 0, IconThreadMain, NULL, 0, NULL);
    return IconThread != NULL;
}

void StartIconReading(HWND hwnd)
{
    IconJob* job = MakeJob(hwnd);
    bool ready = IconThreadReady();
    EnterCriticalSection(&IconLock);
    IconGeneration++;
    IconJob* replaced = PendingJob;
    PendingJob = NULL;
    if (job && ready) {
        job->generation = IconGeneration;
        PendingJob = job;
        job = NULL;
    }
    LeaveCriticalSection(&IconLock);
    if (replaced) GlobalFree(replaced);
    if (job) GlobalFree(job);
    if (!ready) return;
    // The list of a window that is still being made: the shell's first icon loads much of the
    // shell, which would hold up the window's first showing. A timer comes only once the window
    // has been painted and nothing else is waiting.
    if (IsWindowVisible(hwnd) || !SetTimer(hwnd, ICON_START_TIMER, USER_TIMER_MINIMUM, NULL))
        SetEvent(IconWake);
}

void OnIconStartTimer(HWND hwnd)
{
    KillTimer(hwnd, ICON_START_TIMER);
    if (IconWake) SetEvent(IconWake);
}

void TakeToolIcon(HWND hwnd, LPARAM lParam)
{
    ArrivedIcon* arrived = (ArrivedIcon*)lParam;
    HWND list = GetDlgItem(hwnd, IDC_TOOL_LIST);
    // Only the main thread moves the generation, so it is read here without the lock.
    LRESULT data = arrived->generation == IconGeneration
                       ? SendMessageA(list, LB_GETITEMDATA, (WPARAM)arrived->index, 0)
                       : LB_ERR;
    ToolEntry* entry = data == LB_ERR ? NULL : (ToolEntry*)data;
    if (entry && !entry->icon) {
        entry->icon = arrived->icon;
        RECT row;
        // The row alone, drawn whole over its own background: nothing else of the list flickers.
        if (SendMessageA(list, LB_GETITEMRECT, (WPARAM)arrived->index, (LPARAM)&row) != LB_ERR)
            InvalidateRect(list, &row, FALSE);
    } else {
        FreeProgramIcon(arrived->icon);
    }
    GlobalFree(arrived);
}

void StopIconReading(HWND hwnd)
{
    if (!IconLockReady) return;
    KillTimer(hwnd, ICON_START_TIMER);
    EnterCriticalSection(&IconLock);
    IconGeneration++;
    LeaveCriticalSection(&IconLock);
    // Posted before the generation moved, and never to be taken now that the window goes.
    MSG msg;
    while (PeekMessageA(&msg, hwnd, WM_TOOL_ICON, WM_TOOL_ICON, PM_REMOVE))
        TakeToolIcon(hwnd, msg.lParam);
}

void EndIconReading()
{
    if (!IconThread) return;
    EnterCriticalSection(&IconLock);
    IconThreadEnding = true;
    LeaveCriticalSection(&IconLock);
    SetEvent(IconWake);
    // The icon being read when the window closed is the last: a server that does not answer
    // holds the ended process that long, not the window, which is gone.
    WaitForSingleObject(IconThread, INFINITE);
    CloseHandle(IconThread);
    CloseHandle(IconWake);
    IconThread = IconWake = NULL;
    IconThreadEnding = false;
}
