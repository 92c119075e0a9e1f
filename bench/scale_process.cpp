#include <windows.h>
#include <psapi.h>
#include <string.h>
#include "bench/scale_bench.h"

std::string ProgramPath(const char* exeName)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    return std::string(path) + exeName;
}

struct WindowSearch {
    DWORD processId;
    const char* property;
    HWND found;
};

static BOOL CALLBACK FindShownWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch* search = (WindowSearch*)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    if (processId == search->processId && GetPropA(hwnd, search->property) &&
        IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Start-up ends when the window is on the screen and its message loop answers: the moment a user
// could use the program.
bool LaunchAndWait(const std::string& exe, const char* property, Launched& launched)
{
    std::string commandLine = "\"" + exe + "\"";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    LONGLONG start = Now();
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &launched.process))
        return false;
    WaitForInputIdle(launched.process.hProcess, 120000);
    DWORD began = GetTickCount();
    while (!launched.window && GetTickCount() - began < 120000) {
        WindowSearch search = {launched.process.dwProcessId, property, NULL};
        EnumWindows(FindShownWindow, (LPARAM)&search);
        launched.window = search.found;
        if (!launched.window) {
            if (WaitForSingleObject(launched.process.hProcess, 2) == WAIT_OBJECT_0) break;
        }
    }
    DWORD_PTR answer;
    if (!launched.window ||
        !SendMessageTimeoutA(launched.window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &answer)) {
        CloseLaunched(launched);
        return false;
    }
    launched.startMs = MillisecondsSince(start);
    return true;
}

void CloseLaunched(Launched& launched)
{
    if (!launched.process.hProcess) return;
    if (launched.window) PostMessageA(launched.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(launched.process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(launched.process.hProcess, 99);
        WaitForSingleObject(launched.process.hProcess, 5000);
    }
    CloseHandle(launched.process.hProcess);
    CloseHandle(launched.process.hThread);
    launched.process = PROCESS_INFORMATION{};
    launched.window = NULL;
}

bool ReadWorkingSet(HANDLE process, double& peakKb, double& currentKb)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return false;
    peakKb = (double)counters.PeakWorkingSetSize / 1024.0;
    currentKb = (double)counters.WorkingSetSize / 1024.0;
    return true;
}
