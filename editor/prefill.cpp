// Pre-filling the four fields from a program's file name and version resource.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "res/resource.h"

static void FillFromVersionData(const void* data, void* context)
{
    HWND hwnd = (HWND)context;
    WORD language = 0, codePage = 0;
    if (!FirstTranslation(data, &language, &codePage)) return;
    char prefix[VERSION_PREFIX_SIZE];
    VersionStringPrefix(language, codePage, prefix, sizeof prefix);

    const char* description = QueryVersionString(data, prefix, "FileDescription");
    if (description) SetDlgItemTextA(hwnd, IDC_MENU_TEXT, description);
    const char* copyright = QueryVersionString(data, prefix, "LegalCopyright");
    if (copyright)
        SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, copyright);
    else if (description && description[0])
        SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, description);
}

static void FillFieldsFromFile(HWND hwnd, const char* path)
{
    char baseName[MAX_PATH];
    lstrcpynA(baseName, path, sizeof baseName);
    BaseNameOf(baseName);
    SetDlgItemTextA(hwnd, IDC_NAME, baseName);
    SetDlgItemTextA(hwnd, IDC_EXE_PATH, path);
    SetDlgItemTextA(hwnd, IDC_MENU_TEXT, baseName);
    SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, baseName);
    ReadVersionResource(path, FillFromVersionData, hwnd);
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
    PrepareFileDialog(&dialog, hwnd, file, sizeof file, filter, "ファイルを選択",
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
