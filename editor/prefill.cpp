#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "res/resource.h"

void BaseNameOf(char* path)
{
    // Code page 932 whatever the system's: ソ and 表 end in 0x5C, which must not cut the name.
    char *lastBackslash = NULL, *lastDot = NULL;
    for (char* p = path; *p;) {
        if (IsDBCSLeadByteEx(932, (BYTE)*p) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (*p == '\\')
            lastBackslash = p;
        else if (*p == '.')
            lastDot = p;
        p++;
    }
    char* start = lastBackslash ? lastBackslash + 1 : path;
    char* end = lastDot && lastDot >= start ? lastDot : start + strlen(start);
    size_t length = (size_t)(end - start);
    memmove(path, start, length);
    path[length] = '\0';
}

void VersionStringPrefix(WORD language, WORD codePage, char* prefix)
{
    sprintf(prefix, "\\StringFileInfo\\%04x%04x\\", language, codePage);
}

// An empty value may come back with no text of its own: the pointer then lies on whatever
// follows it in the resource.
static const char* QueryVersionString(void* data, const char* prefix, const char* name)
{
    char query[VERSION_PREFIX_SIZE + 32];
    lstrcpyA(query, prefix);
    lstrcatA(query, name);
    void* text = NULL;
    UINT length = 0;
    if (!VerQueryValueA(data, query, &text, &length) || !text) return NULL;
    return length == 0 ? "" : (const char*)text;
}

static void FillFromVersionData(HWND hwnd, void* data)
{
    void* translation = NULL;
    UINT length = 0;
    if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", &translation, &length) ||
        !translation || length < 2 * sizeof(WORD))
        return;
    // Only the first translation counts; a resource may list others after it.
    const WORD* first = (const WORD*)translation;
    char prefix[VERSION_PREFIX_SIZE];
    VersionStringPrefix(first[0], first[1], prefix);

    const char* description = QueryVersionString(data, prefix, "FileDescription");
    if (description) SetDlgItemTextA(hwnd, IDC_MENU_TEXT, description);
    const char* copyright = QueryVersionString(data, prefix, "LegalCopyright");
    if (copyright)
        SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, copyright);
    else if (description && description[0])
        SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, description);
}

void FillFieldsFromFile(HWND hwnd, const char* path)
{
    char baseName[MAX_PATH];
    lstrcpynA(baseName, path, sizeof baseName);
    BaseNameOf(baseName);
    SetDlgItemTextA(hwnd, IDC_NAME, baseName);
    SetDlgItemTextA(hwnd, IDC_EXE_PATH, path);
    SetDlgItemTextA(hwnd, IDC_MENU_TEXT, baseName);
    SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, baseName);

    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0) return;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return;
    void* data = GlobalLock(block);
    if (data) {
        if (GetFileVersionInfoA(path, 0, size, data)) FillFromVersionData(hwnd, data);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

static void FillFromChosenFile(HWND owner, const char* path, void* context)
{
    (void)context;
    FillFieldsFromFile(owner, path);
}

void BrowseForProgram(HWND hwnd)
{
    static const char filter[] = "実行可能ファイル (*.exe)\0*.exe\0"
                                 "すべてのファイル (*.*)\0*.*\0";
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog;
    PrepareFileDialog(&dialog, hwnd, file, filter, "ファイルを選択",
                      OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, NULL);
    RunFileDialogSpan(&dialog, false, FillFromChosenFile, NULL);
}

void TakeDroppedFile(HWND hwnd, HDROP drop)
{
    char path[MAX_PATH] = "";
    UINT length = DragQueryFileA(drop, 0, path, sizeof path);
    DragFinish(drop);
    path[sizeof path - 1] = '\0';
    // A drop that names nothing must not wipe what the user has typed.
    if (length == 0) return;
    SetForegroundWindow(hwnd);
    FillFieldsFromFile(hwnd, path);
}
