// CAL launcher files: a four-line script that opens an entry's program through the shell.
#include <windows.h>
#include <commdlg.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"

// The script around the entry's name and path. Cakewalk reads it as code page 932 with CR LF
// lines; the last line has no line break after it.
static const char CalHead[] =
    "; このCALファイルをCakewalkの[キー設定]でショートカット・キーに関連づけると、\"";
static const char CalMiddle[] = "\"を一発で開くことができます。\r\n"
                                "; どうやらCakewalk 6.0以上でしか動作しないようです。\r\n"
                                "\r\n"
                                "(DLL \"shell32\" \"ShellExecuteA\" (DLL \"user32\" "
                                "\"GetDesktopWindow\") \"open\" \"";
static const char CalTail[] = "\" \"\" \"\" 1)";

static const char CalFilter[] = "CAL ファイル (*.cal)\0*.cal\0すべてのファイル (*.*)\0*.*\0";

DWORD BuildCalText(const char* name, const char* path, char* out, DWORD size)
{
    const char* pieces[] = {CalHead, name, CalMiddle, path, CalTail};
    size_t lengths[5], total = 0;
    for (int i = 0; i < 5; i++) {
        lengths[i] = strlen(pieces[i]);
        total += lengths[i];
    }
    if (total >= size) return ERROR_INSUFFICIENT_BUFFER;
    char* p = out;
    for (int i = 0; i < 5; i++) {
        memcpy(p, pieces[i], lengths[i]);
        p += lengths[i];
    }
    *p = '\0';
    return ERROR_SUCCESS;
}

DWORD WriteCalFile(const char* file, const char* text)
{
    HANDLE handle = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_ARCHIVE, NULL);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD written = 0, error = ERROR_SUCCESS;
    if (!WriteFile(handle, text, (DWORD)lstrlenA(text), &written, NULL)) error = GetLastError();
    CloseHandle(handle);
    return error;
}

static void SaveScript(HWND owner, const char* file, void* context)
{
    DWORD error = WriteCalFile(file, (const char*)context);
    if (error != ERROR_SUCCESS)
        ReportSystemError(owner, error);
    else
        SayResult(owner, "起動用 CAL ファイル「%s」を作成しました。", FileNameOf(file));
}

void SaveCalLauncher(HWND hwnd)
{
    const ToolEntry* entry = SelectedToolEntry(hwnd);
    if (!entry) {
        ShowMessage(hwnd, "ツールを「登録リスト」から選択してください。", "", MB_ICONEXCLAMATION);
        return;
    }
    // Built before the dialog: the texts are those the list read at its last refresh. The
    // buffer holds the longest name and path there are.
    char script[CAL_TEXT_SIZE];
    DWORD error = BuildCalText(entry->name, entry->path, script, sizeof script);
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        return;
    }
    char file[MAX_PATH] = "";
    lstrcpynA(file, entry->name, sizeof file);
    // Windows opens no save dialog at all for a proposed name such as "Wave:Edit"; the script
    // itself keeps the name as it is.
    MakeValidFileName(file);
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, CalFilter, "ツール起動用 CAL ファイルの保存",
                      "cal");
    RunFileDialogSpan(&ofn, true, SaveScript, script);
}
