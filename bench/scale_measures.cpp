#include <windows.h>
#include <stdio.h>
#include <algorithm>
#include "bench/scale_bench.h"
#include "editor/editor.h"
#include "store/store.h"

static const char NewEntry[] = "Tool_registered";

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

LONGLONG Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double MillisecondsSince(LONGLONG start)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(Now() - start) * 1000.0 / (double)frequency.QuadPart;
}

void ClearToolsMenu()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ToolsKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, ToolsKey);
}

const char* EntryPath(int index)
{
    if (index % 25 == 7) return "C:\\missing\\tool.exe";
    return index % 2 ? "C:\\windows\\regedit.exe" : "C:\\windows\\notepad.exe";
}

static int EntriesPresent()
{
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ToolsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return (int)count;
}

void GrowToolsMenu(int count)
{
    for (int i = EntriesPresent(); i < count; i++) {
        char path[MAX_PATH], menuText[64], statusText[64];
        snprintf(path, sizeof path, "%s\\Tool%05d", ToolsKey, i);
        snprintf(menuText, sizeof menuText, "ツール %d(&T)", i);
        snprintf(statusText, sizeof statusText, "ツール %d を起動します。", i);
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                            NULL) != ERROR_SUCCESS)
            continue;
        PutText(key, "ExePath", EntryPath(i));
        PutText(key, "MenuText", menuText);
        PutText(key, "StatusBarText", statusText);
        PutText(key, "Type", "Generic");
        RegCloseKey(key);
    }
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int ExpectedIcons(HWND main)
{
    int expected = 0;
    for (int i = 0, count = ToolEntryCount(main); i < count; i++)
        expected += GetFileAttributesA(ToolEntryAt(main, i)->path) != INVALID_FILE_ATTRIBUTES;
    return expected;
}

void WaitForIcons(HWND main, int expected)
{
    DWORD began = GetTickCount();
    for (;;) {
        PumpMessages();
        int icons = 0;
        for (int i = 0, count = ToolEntryCount(main); i < count; i++)
            icons += ToolEntryAt(main, i)->icon != NULL;
        if (icons >= expected || GetTickCount() - began > 600000) return;
        // Not woken by each icon: counting the rows that often would slow the window that takes
        // them.
        Sleep(5);
    }
}

Samples MeasureRefresh(HWND main, int runs, Samples* floorWithoutIcons)
{
    Samples samples;
    // One untimed round each, so that neither side pays for first use of the shell's icon cache.
    RefreshToolList(main);
    int expected = ExpectedIcons(main);
    WaitForIcons(main, expected);
    FloorRefresh();
    for (int run = 0; run < runs; run++) {
        for (int side = 0; side < 2; side++) {
            bool ours = (run + side) % 2 == 0;
            LONGLONG start = Now();
            if (ours)
                RefreshToolList(main);
            else
                FloorRefresh();
            (ours ? samples.ours : samples.floor).push_back(MillisecondsSince(start));
            // Untimed: the icons of one side must not be read while the other side is timed.
            if (ours) WaitForIcons(main, expected);
        }
        if (floorWithoutIcons) {
            LONGLONG start = Now();
            FloorRefresh(nullptr, false);
            floorWithoutIcons->floor.push_back(MillisecondsSince(start));
            floorWithoutIcons->ours.push_back(samples.ours.back());
        }
    }
    return samples;
}

Samples MeasureIconsIn(HWND main, int runs)
{
    Samples samples;
    RefreshToolList(main);
    int expected = ExpectedIcons(main);
    WaitForIcons(main, expected);
    for (int run = 0; run < runs; run++) {
        for (int side = 0; side < 2; side++) {
            bool ours = (run + side) % 2 == 0;
            LONGLONG start = Now();
            if (ours) {
                RefreshToolList(main);
                WaitForIcons(main, expected);
            } else {
                FloorRefresh();
            }
            (ours ? samples.ours : samples.floor).push_back(MillisecondsSince(start));
        }
    }
    return samples;
}

void MeasureRegisterAndDelete(HWND main, int runs, Samples& registering, Samples& deleting)
{
    RefreshToolList(main);
    int expected = ExpectedIcons(main);
    WaitForIcons(main, expected);
    for (int run = 0; run < runs; run++) {
        for (int side = 0; side < 2; side++) {
            bool ours = (run + side) % 2 == 0;
            // What the register and delete commands do once their questions are answered.
            LONGLONG start = Now();
            if (ours) {
                WriteToolEntry(NewEntry, "C:\\windows\\notepad.exe", "登録(&R)",
                               "登録したツールです。");
                RefreshToolList(main);
            } else {
                FloorWrite(NewEntry);
                FloorRefresh();
            }
            (ours ? registering.ours : registering.floor).push_back(MillisecondsSince(start));
            if (ours) WaitForIcons(main, expected + 1);
            start = Now();
            if (ours) {
                DeleteToolEntry(NewEntry);
                RefreshToolList(main);
            } else {
                FloorDelete(NewEntry);
                FloorRefresh();
            }
            (ours ? deleting.ours : deleting.floor).push_back(MillisecondsSince(start));
            if (ours) WaitForIcons(main, expected);
        }
    }
}
