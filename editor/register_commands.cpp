// 登録, 削除, 開く and 自己登録: the commands that act on the four fields and the selected entry.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "editor/editor_private.h"
#include "res/resource.h"

// Room for what an overwrite would change of the entry's type.
enum { NOTICE_SIZE = 512 };

// The entry the program registers itself as, by which users find it in Cakewalk's Tools menu.
static const char SelfEntryName[] = "Korvanel";

// False when the user declined to overwrite an entry of the same name, or it cannot be named.
// keyName (TOOL_TEXT_SIZE bytes) takes the name the write lands on: the listed entry's letters,
// which the key keeps, or name itself.
static bool ConfirmOverwrite(HWND hwnd, const char* name, char* keyName)
{
    lstrcpynA(keyName, name, TOOL_TEXT_SIZE);
    int count = ToolEntryCount(hwnd);
    const ToolEntry* selected = SelectedToolEntry(hwnd);
    for (int index = 0; index < count; index++) {
        const ToolEntry* entry = ToolEntryAt(hwnd, index);
        if (!entry || lstrcmpiA(entry->name, name) != 0) continue;
        // A row shown with a look-alike of its name is another key, which the write does not
        // reach; only when it is the selected one was it meant, and then it is refused, as a write
        // by its shown name would make a second key beside it.
        if (entry->nameState != NAME_EXACT && entry != selected) continue;
        if (RefuseUnnamable(hwnd, entry, "上書き")) return false;
        // The write makes Type "Generic": an entry of another type is told what it loses.
        char notice[NOTICE_SIZE] = "", rest[NOTICE_SIZE + 256];
        EntryValues values;
        if (ReadEntryValues(entry->name, &values) == ERROR_SUCCESS) {
            OverwriteNotice(values, notice, sizeof notice);
            FreeEntryValues(&values);
        }
        snprintf(rest, sizeof rest,
                 "'\nこのツールは、すでに Cakewalk の [ツール] メニューに登録されています。\n%s"
                 "上書きしてもよろしいですか？",
                 notice);
        char question[QUESTION_SIZE + NOTICE_SIZE];
        BuildQuestion(question, sizeof question, name, rest);
        // A box that could not be shown is no Yes.
        if (ShowMessage(hwnd, question, "上書き保存の確認", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return false;
        lstrcpynA(keyName, entry->name, TOOL_TEXT_SIZE);
    }
    return true;
}

void RegisterFields(HWND hwnd)
{
    char name[FIELD_SIZE], path[FIELD_SIZE], menuText[FIELD_SIZE], statusText[FIELD_SIZE];
    ReadField(hwnd, IDC_NAME, name, sizeof name);
    ReadField(hwnd, IDC_EXE_PATH, path, sizeof path);
    ReadField(hwnd, IDC_MENU_TEXT, menuText, sizeof menuText);
    ReadField(hwnd, IDC_STATUS_TEXT, statusText, sizeof statusText);

    if (!name[0]) {
        WarnAboutField(hwnd, "「登録リスト」欄が入力されていません。", IDC_NAME);
        return;
    }
    if (!menuText[0]) {
        WarnAboutField(hwnd, "「メニュー項目」欄が入力されていません。", IDC_MENU_TEXT);
        return;
    }
    if (!path[0]) {
        WarnAboutField(hwnd, "「実行ファイル」欄が入力されていません。", IDC_EXE_PATH);
        return;
    }
    char keyName[TOOL_TEXT_SIZE];
    if (!ConfirmOverwrite(hwnd, name, keyName)) return;

    const char* names[] = {name};
    if (!BeginUndoStep(hwnd, UNDO_REGISTER, name, THIS_VIEW, names, 1)) return;
    DWORD result = WriteToolEntry(name, path, menuText, statusText);
    EndUndoStep(result == ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) {
        ReportSystemError(hwnd, result);
        return;
    }
    RefreshToolList(hwnd);
    SayResult(hwnd, "「%s」を登録しました。", keyName);
}

void DeleteSelectedEntry(HWND hwnd)
{
    char name[TOOL_TEXT_SIZE];
    if (!TakeSelectedName(hwnd, "削除するツールを「登録リスト」から選択してください。", "削除",
                          name))
        return;
    char question[QUESTION_SIZE];
    BuildQuestion(question, sizeof question, name,
                  "'\nこのツールを Cakewalk の [ツール] メニューから削除してもよろしいですか？");
    if (ShowMessage(hwnd, question, "削除の確認", MB_YESNO | MB_ICONQUESTION) != IDYES) return;

    const char* names[] = {name};
    if (!BeginUndoStep(hwnd, UNDO_DELETE, name, THIS_VIEW, names, 1)) return;
    DWORD result = DeleteToolEntry(name);
    EndUndoStep(result == ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) {
        ReportSystemError(hwnd, result);
        return;
    }
    RefreshToolList(hwnd);
    SayResult(hwnd, "「%s」を削除しました。", name);
}

void OpenSelectedEntry(HWND hwnd)
{
    const ToolEntry* entry = SelectedToolEntry(hwnd);
    if (!entry) return;
    // The stored path, not the field: the user may have edited the field without registering.
    char path[TOOL_TEXT_SIZE];
    lstrcpynA(path, entry->path, sizeof path);
    OpenWithShell(hwnd, path);
}

// The long form of a path, or the path as it is when the system cannot give one.
static void LongPath(const char* path, char* out, DWORD size)
{
    DWORD length = GetLongPathNameA(path, out, size);
    if (length == 0 || length >= size) lstrcpynA(out, path, (int)size);
}

// Run from inside the zip, Explorer copies the exe alone into the temporary folder, where the
// registered path soon vanishes and the help documents are missing.
static bool RunsFromTemporaryFolder(const char* program)
{
    char temp[MAX_PATH], longTemp[MAX_PATH], longProgram[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return false;
    // GetTempPathA may give the short form of a long user name, the module path the long one.
    LongPath(temp, longTemp, sizeof longTemp);
    LongPath(program, longProgram, sizeof longProgram);
    return PathIsInFolder(longProgram, longTemp);
}

// Unpacked, the documents lie beside the program. Run from inside the zip, Explorer copies the exe
// alone into a temporary folder, which need not be the TEMP of the elevated process (Windows 11's
// administrator protection gives it another).
static bool DocumentsBesideProgram(const char* program)
{
    char readme[MAX_PATH];
    lstrcpynA(readme, program, sizeof readme);
    return CutToDirectory(readme, (DWORD)strlen(readme), sizeof readme) == ERROR_SUCCESS &&
           AppendFileName(readme, sizeof readme, "readme.txt") == ERROR_SUCCESS &&
           GetFileAttributesA(readme) != INVALID_FILE_ATTRIBUTES;
}

static bool ConfirmUnpackedPath(HWND hwnd, const char* program, bool temporary)
{
    char question[QUESTION_SIZE];
    BuildQuestion(question, sizeof question, program,
                  temporary ? "'\nコルヴァネルは一時フォルダーから起動されています。このパスは zip "
                              "ファイルを閉じると消えてしまい、ヘルプの文書もありません。\n"
                              "zip ファイルをフォルダーに展開してから、展開したコルヴァネルで"
                              "登録し直してください。\n\nこの一時フォルダーのパスで登録しますか？"
                            : "'\nコルヴァネルと同じフォルダーに、ヘルプの文書 (readme.txt) が"
                              "ありません。zip ファイルを展開せずに、その中から起動していません"
                              "か？ そのときは、このパスは zip ファイルを閉じると消えてしまい"
                              "ます。\nzip ファイルをフォルダーに展開してから、展開したコルヴァネル"
                              "で登録し直してください。\n\nこのパスで登録しますか？");
    return ShowMessage(hwnd, question, "登録の確認", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
           IDYES;
}

void RegisterSelf(HWND hwnd)
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    path[sizeof path - 1] = '\0';
    // A path cut to fit the field would name no program: refused rather than registered cut.
    if (length == 0 || length >= FIELD_SIZE) {
        ReportSystemError(hwnd,
                          length ? ERROR_FILENAME_EXCED_RANGE : LastErrorOr(ERROR_PATH_NOT_FOUND));
        return;
    }
    bool temporary = RunsFromTemporaryFolder(path);
    if ((temporary || !DocumentsBesideProgram(path)) && !ConfirmUnpackedPath(hwnd, path, temporary))
        return;
    SetDlgItemTextA(hwnd, IDC_NAME, SelfEntryName);
    SetDlgItemTextA(hwnd, IDC_EXE_PATH, path);
    SetDlgItemTextA(hwnd, IDC_MENU_TEXT, "コルヴァネル(&T)");
    SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, "コルヴァネルを起動します。");
    // Through the command, as a click on the toolbar's register button would send it, so that the
    // warnings and the overwrite question are those of any other entry.
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDT_REGISTER, 0), 0);
    SetDlgItemTextA(hwnd, IDC_NAME, "");
    SetDlgItemTextA(hwnd, IDC_EXE_PATH, "");
    SetDlgItemTextA(hwnd, IDC_MENU_TEXT, "");
    SetDlgItemTextA(hwnd, IDC_STATUS_TEXT, "");
}
