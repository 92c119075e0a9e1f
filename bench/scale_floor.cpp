#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include "bench/scale_bench.h"

const char ToolsKey[] = "Software\\Cakewalk Music Software\\Tools Menu";

void PutText(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}

void FloorRefresh(std::vector<HICON>* kept, bool icons)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ToolsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; index++) {
        char name[260];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        char path[520];
        snprintf(path, sizeof path, "%s\\%s", ToolsKey, name);
        HKEY entry;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &entry) != ERROR_SUCCESS)
            continue;
        char exePath[260], text[260];
        DWORD size = sizeof exePath;
        if (RegQueryValueExA(entry, "ExePath", NULL, NULL, (BYTE*)exePath, &size) != 0)
            exePath[0] = '\0';
        SHFILEINFOA info;
        if (icons && SHGetFileInfoA(exePath, 0, &info, sizeof info, SHGFI_ICON)) {
            if (kept)
                kept->push_back(info.hIcon);
            else
                DestroyIcon(info.hIcon);
        }
        size = sizeof text;
        RegQueryValueExA(entry, "MenuText", NULL, NULL, (BYTE*)text, &size);
        size = sizeof text;
        RegQueryValueExA(entry, "StatusBarText", NULL, NULL, (BYTE*)text, &size);
        RegCloseKey(entry);
    }
    RegCloseKey(key);
}

void FloorWrite(const char* name)
{
    char path[520];
    snprintf(path, sizeof path, "%s\\%s", ToolsKey, name);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    PutText(key, "ExePath", "C:\\windows\\notepad.exe");
    PutText(key, "MenuText", "登録(&R)");
    PutText(key, "StatusBarText", "登録したツールです。");
    PutText(key, "Type", "Generic");
    RegCloseKey(key);
}

void FloorDelete(const char* name)
{
    char path[520];
    snprintf(path, sizeof path, "%s\\%s", ToolsKey, name);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}
