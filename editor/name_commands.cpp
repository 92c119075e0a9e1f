// 名前の変更 and 複製: the selected entry moved or copied under a new name with every value and
// subkey, each one step of 元に戻す.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "editor/editor_private.h"

// What a new name for an entry must not be, told by a warning over the name dialog.
struct NameRules {
    const char* oldName;
    bool renaming;
};

static bool Refuse(HWND dialog, const char* text)
{
    ShowMessage(dialog, text, "", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

static bool CheckNewName(HWND dialog, const char* name, void* context)
{
    const NameRules* rules = (const NameRules*)context;
    switch (CheckEntryName(name, NAME_ONE_KEY)) {
    case NAME_EMPTY: return Refuse(dialog, "「新しい登録名」欄が入力されていません。");
    case NAME_HAS_BACKSLASH: return Refuse(dialog, "登録名には「\\」を使えません。");
    case NAME_CONTROL_CHARACTER: return Refuse(dialog, "登録名に制御文字は使えません。");
    case NAME_TOO_LONG:
        return Refuse(dialog, "登録名が長すぎます。半角で 255 文字、全角で 129 文字までにして"
                              "ください。");
    default: break; // a broken character is refused by the command, as the system's error
    }
    // The registry, not the list, so that a row shown with a look-alike name does not count.
    if (EntryKeyExists(THIS_VIEW, name) &&
        !(rules->renaming && SameEntryKey(rules->oldName, name))) {
        char text[2 * TOOL_TEXT_SIZE + 256];
        snprintf(text, sizeof text,
                 "'%s'\nこの名前のツールは、すでに Cakewalk の [ツール] メニューに登録されて"
                 "います。\n別の名前を入力してください。",
                 name);
        return Refuse(dialog, text);
    }
    return true;
}

// The name dialog reads twice the longest name, so that one too long is seen whole.
enum { NEW_NAME_SIZE = 2 * TOOL_TEXT_SIZE };

// Explorer's Japanese form, "<name> - コピー", then " - コピー (2)" and on, the first that no key
// holds; a base too long for a key name with it is cut on a character's end.
static void ProposeCopyName(const char* name, char* proposal, DWORD size)
{
    for (int number = 1; number < 1000; number++) {
        char suffix[32];
        snprintf(suffix, sizeof suffix, number == 1 ? " - コピー" : " - コピー (%d)", number);
        char base[TOOL_TEXT_SIZE];
        lstrcpynA(base, name, sizeof base);
        for (;;) {
            snprintf(proposal, size, "%s%s", base, suffix);
            size_t length = strlen(base);
            if (CheckEntryName(proposal, NAME_ONE_KEY) != NAME_TOO_LONG || length == 0) break;
            base[length - 1] = '\0';
            DropDanglingLeadByte(base);
        }
        if (!EntryKeyExists(THIS_VIEW, proposal)) return;
    }
}

// 名前の変更 and 複製 differ in their words and in what they record: a rename both keys, a
// duplicate only the copy's absence, so that its undo deletes the copy and never rewrites the
// source.
struct NameCommand {
    UndoKind kind;
    const char *noSelection, *action, *caption, *note, *result;
};

static const NameCommand RenameCommand = {
    UNDO_RENAME,
    "名前を変更するツールを「登録リスト」から選択してください。",
    "名前を変更",
    "名前の変更",
    "Cakewalk のメニューには「メニュー項目」が表示され、登録名はメニューの並び順だけを決めます。"
    "インストーラーが登録したツールは、名前を変えるとアンインストール後もメニューに残ります。",
    "「%s」の名前を「%s」に変更しました。"};
static const NameCommand DuplicateCommand = {
    UNDO_DUPLICATE,
    "複製するツールを「登録リスト」から選択してください。",
    "複製",
    "複製",
    "値とサブキーをすべて写した、新しいツールを登録します。Cakewalk のメニューには同じ"
    "「メニュー項目」が 2 つ並ぶので、プロパティで変えてください。",
    "「%s」を「%s」として複製しました。"};

// A rename that failed and could not put the old key back either: both names may now be there,
// and only the user can tell which one to keep.
static void ReportHalfRename(HWND hwnd, const char* name, const char* newName, DWORD error,
                             DWORD cleanUp)
{
    // Each error in the system's own words, as every other failure box gives it.
    char first[256], second[256], text[2 * TOOL_TEXT_SIZE + 1024];
    SystemErrorText(error, first, sizeof first);
    SystemErrorText(cleanUp, second, sizeof second);
    snprintf(text, sizeof text,
             "「%s」の名前を「%s」に変更する途中で失敗しました。\n%s\n元の状態にも戻せません"
             "でした。\n%s\n両方の名前でツールが残っている場合は、レジストリ エディター "
             "(regedit) でどちらかを削除してください。",
             name, newName, first, second);
    ShowMessage(hwnd, text, "", MB_OK | MB_ICONHAND);
}

static void RunNameCommand(HWND hwnd, const NameCommand& command)
{
    char name[TOOL_TEXT_SIZE];
    if (!TakeSelectedName(hwnd, command.noSelection, command.action, name)) return;
    bool renaming = command.kind == UNDO_RENAME;
    char newName[NEW_NAME_SIZE];
    if (renaming)
        lstrcpynA(newName, name, sizeof newName);
    else
        ProposeCopyName(name, newName, sizeof newName);
    NameRules rules = {name, renaming};
    if (!AskForEntryName(hwnd, command.caption, name, command.note, newName, sizeof newName,
                         CheckNewName, &rules))
        return;
    if (renaming && strcmp(newName, name) == 0) return;
    const char* names[] = {newName, name};
    if (!BeginUndoStep(hwnd, command.kind, name, THIS_VIEW, names, renaming ? 2 : 1)) return;
    DWORD cleanUp = ERROR_SUCCESS;
    DWORD error =
        renaming ? RenameEntryKey(name, newName, &cleanUp) : DuplicateEntryKey(name, newName);
    EndUndoStep(error == ERROR_SUCCESS);
    RefreshToolList(hwnd);
    if (error != ERROR_SUCCESS && cleanUp != ERROR_SUCCESS) {
        ReportHalfRename(hwnd, name, newName, error, cleanUp);
        return;
    }
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        return;
    }
    SelectEntryNamed(hwnd, newName);
    // The format is the command's own, with the two names in this order.
    SayResult(hwnd, command.result, name, newName);
}

void RenameSelectedEntry(HWND hwnd)
{
    RunNameCommand(hwnd, RenameCommand);
}

void DuplicateSelectedEntry(HWND hwnd)
{
    RunNameCommand(hwnd, DuplicateCommand);
}
