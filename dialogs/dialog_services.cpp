// Message boxes, error reports, centred dialogs, file dialogs and the shell, for every command.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "dialogs/dialogs_private.h"

HINSTANCE InstanceOf(HWND window)
{
    return (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE);
}

DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

HMODULE LoadSystemLibrary(const char* name)
{
    HMODULE module = LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A system without the search flags refuses them; its system folder is then named in full.
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return NULL;
    if (AppendFileName(path, sizeof path, "\\") != ERROR_SUCCESS ||
        AppendFileName(path, sizeof path, name) != ERROR_SUCCESS)
        return NULL;
    return LoadLibraryA(path);
}

static const char* DefaultCaption(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND: return "エラー";
    case MB_ICONQUESTION: return "確認";
    case MB_ICONEXCLAMATION: return "警告";
    case MB_ICONASTERISK: return "情報";
    }
    return "";
}

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    MSGBOXPARAMSA params;
    ZeroMemory(&params, sizeof params);
    params.cbSize = sizeof params;
    params.hwndOwner = owner;
    params.hInstance = InstanceOf(owner);
    params.lpszText = text;
    params.lpszCaption = caption && caption[0] ? caption : DefaultCaption(style);
    params.dwStyle = style;
    params.dwLanguageId = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    if (!CentringHookHandle) InstallCentringHook();
    int result = MessageBoxIndirectA(&params);
    // Also a hook it did not install: a box inside a file-dialog span ends the span's centring,
    // and the span's own removal then finds nothing to remove.
    RemoveCentringHook();
    return result;
}

// The longest text the system gives for an error number, with room to spare.
enum { ERROR_TEXT_SIZE = 1024 };

bool SystemErrorText(DWORD number, char* text, DWORD size)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  number, 0, text, size - 1, NULL);
    if (length == 0) snprintf(text, size, "エラー番号 %lu", number);
    text[size - 1] = '\0';
    // The system ends its texts in a line break, which a sentence around one must not inherit.
    for (size_t end = strlen(text); end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n');)
        text[--end] = '\0';
    return length != 0;
}

void ReportSystemError(HWND owner, DWORD number)
{
    char text[ERROR_TEXT_SIZE];
    // The system has no text for some numbers; the box still has to say what went wrong.
    if (!SystemErrorText(number, text, sizeof text)) {
        char reason[64];
        lstrcpynA(reason, text, sizeof reason);
        snprintf(text, sizeof text, "エラーが発生しました (%s)。", reason);
    }
    ShowMessage(owner, text, "", MB_OK | MB_ICONHAND);
}

INT_PTR RunCentredDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM param)
{
    if (!CentringHookHandle) InstallCentringHook();
    INT_PTR result =
        DialogBoxParamA(InstanceOf(owner), MAKEINTRESOURCEA(templateId), owner, proc, param);
    RemoveCentringHook();
    return result;
}

// The shell's own failure numbers that are not Win32 error numbers (0 and 26 to 32) as the error
// they mean; the others (2, 3, 5, 8, 11) already are one.
static DWORD ShellResultError(INT_PTR result)
{
    switch (result) {
    case 0: return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    }
    return (DWORD)result;
}

void OpenWithShell(HWND owner, const char* path)
{
    INT_PTR result = (INT_PTR)ShellExecuteA(owner, NULL, path, NULL, NULL, SW_SHOWNORMAL);
    if (result <= 32) ReportSystemError(owner, ShellResultError(result));
}

// Started elevated from some places, the program's current directory is the system folder, where
// a file dialog would otherwise open and a user's file would be saved among the system's.
static bool StartedInSystemFolder()
{
    char current[MAX_PATH + 1], folder[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) return false;
    // Ended by a separator, the folder itself counts as lying in it.
    if (current[length - 1] != '\\') lstrcatA(current, "\\");
    UINT system = GetSystemDirectoryA(folder, sizeof folder);
    if (system > 0 && system < sizeof folder && PathIsInFolder(current, folder)) return true;
    system = GetSystemWow64DirectoryA(folder, sizeof folder);
    return system > 0 && system < sizeof folder && PathIsInFolder(current, folder);
}

void PrepareFileDialog(OPENFILENAMEA* ofn, HWND owner, char* file, DWORD fileSize,
                       const char* filter, const char* title, const char* defaultExtension)
{
    // The user's Documents, for as long as the program runs; Windows then opens each dialog in
    // the folder last chosen in it, once there is one.
    static char documents[MAX_PATH];
    ZeroMemory(ofn, sizeof *ofn);
    if (StartedInSystemFolder() &&
        (documents[0] ||
         SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_PERSONAL, NULL, SHGFP_TYPE_CURRENT, documents))))
        ofn->lpstrInitialDir = documents;
    // The record without the later members: 76 bytes on 32-bit Windows, its own size on 64-bit.
    ofn->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn->hwndOwner = owner;
    ofn->lpstrFilter = filter;
    ofn->nFilterIndex = 0;
    ofn->lpstrFile = file;
    ofn->nMaxFile = fileSize;
    ofn->lpstrTitle = title;
    ofn->lpstrDefExt = defaultExtension;
}

static const char* FileDialogCause(DWORD error)
{
    switch (error) {
    case FNERR_BUFFERTOOSMALL: return "入力されたパスが長すぎます。";
    case FNERR_INVALIDFILENAME:
        return "ファイル名に使えない文字があるか、ファイル名が正しくありません。";
    case CDERR_MEMALLOCFAILURE:
    case CDERR_MEMLOCKFAILURE: return "メモリが足りません。";
    }
    return "ファイル ダイアログを開けないか、続けられませんでした。";
}

// The longest cause and the number's line.
enum { FILE_DIALOG_TEXT_SIZE = 256 };

// A cancel leaves no extended error and stays silent; anything else would otherwise look like one.
static void ReportFileDialogFailure(HWND owner, DWORD error)
{
    char text[FILE_DIALOG_TEXT_SIZE];
    snprintf(text, sizeof text, "%s\n(ファイル ダイアログのエラー 0x%04lX)", FileDialogCause(error),
             error);
    ShowMessage(owner, text, "", MB_OK | MB_ICONEXCLAMATION);
}

void RunFileDialogSpan(OPENFILENAMEA* ofn, bool saving, FileDialogWork work, void* context)
{
    // An open dialog takes only an existing file; a save dialog asks before replacing one and
    // refuses a read-only file or folder.
    ofn->Flags =
        saving ? OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN
               : OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    InstallCentringHook();
    BOOL chosen = saving ? GetSaveFileNameA(ofn) : GetOpenFileNameA(ofn);
    if (chosen == TRUE) {
        work(ofn->hwndOwner, ofn->lpstrFile, context);
    } else {
        DWORD error = CommDlgExtendedError();
        if (error != 0) ReportFileDialogFailure(ofn->hwndOwner, error);
    }
    // After a box of the work's, or the failure's, there is nothing left to remove.
    RemoveCentringHook();
}

int ShowWideMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    if (!CentringHookHandle) InstallCentringHook();
    int result = MessageBoxW(owner, text, caption, style);
    RemoveCentringHook();
    return result;
}
