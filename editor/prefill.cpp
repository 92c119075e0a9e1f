// Pre-filling the four fields from a program's file name and version resource.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string.h>
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

// A path longer than a field is read would be registered cut, naming no program.
static bool RefusedAsTooLong(HWND hwnd, size_t length)
{
    if (length < FIELD_SIZE) return false;
    ShowMessage(hwnd,
                "ファイルのパスが長すぎるため (255 バイトまで)、登録できません。\n"
                "ファイルをもっと短いパスのフォルダーに移してから選んでください。",
                "", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

static void FillFromChosenFile(HWND owner, const char* path, void* context)
{
    (void)context;
    if (!RefusedAsTooLong(owner, strlen(path))) FillFieldsFromFile(owner, path);
}

static const char ProgramFilter[] = "実行可能ファイル (*.exe)\0*.exe\0"
                                    "すべてのファイル (*.*)\0*.*\0";

void BrowseForProgram(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog;
    PrepareFileDialog(&dialog, hwnd, file, sizeof file, ProgramFilter, "ファイルを選択", NULL);
    RunFileDialogSpan(&dialog, false, FillFromChosenFile, NULL);
}

static void SetChosenFile(HWND owner, const char* path, void* field)
{
    if (!RefusedAsTooLong(owner, strlen(path))) SetDlgItemTextA(owner, (int)(INT_PTR)field, path);
}

void BrowseIntoField(HWND owner, int id, bool helpFile)
{
    static const char helpFilter[] = "ヘルプ ファイル (*.chm;*.hlp)\0*.chm;*.hlp\0"
                                     "すべてのファイル (*.*)\0*.*\0";
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog;
    PrepareFileDialog(&dialog, owner, file, sizeof file, helpFile ? helpFilter : ProgramFilter,
                      helpFile ? "ヘルプ ファイルを選択" : "ファイルを選択", NULL);
    RunFileDialogSpan(&dialog, false, SetChosenFile, (void*)(INT_PTR)id);
}

void TakeDroppedFile(HWND hwnd, HDROP drop)
{
    char path[MAX_PATH] = "";
    // Asked first: a path that does not fit the buffer would come back cut.
    UINT length = DragQueryFileA(drop, 0, NULL, 0);
    if (length > 0 && length < sizeof path) DragQueryFileA(drop, 0, path, sizeof path);
    DragFinish(drop);
    path[sizeof path - 1] = '\0';
    // A drop that names nothing must not wipe what the user has typed.
    if (length == 0) return;
    SetForegroundWindow(hwnd);
    if (!RefusedAsTooLong(hwnd, length)) FillFieldsFromFile(hwnd, path);
}
