// プロパティ, 名前の変更 and 複製: what the entry's values show as, what the user changed of them,
// and an entry moved or copied under another name, each one step of 元に戻す.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "editor/editor_private.h"

static bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

bool ShownValueText(EntryValueId id, const StoredValue& value, char* text, DWORD size)
{
    text[0] = '\0';
    if (!value.present) return true;
    if (id == VALUE_HELP_TOPIC && value.numberExact) {
        snprintf(text, size, "%lu", (unsigned long)value.number);
        return true;
    }
    if (!IsStringType(value.type) || !value.textExact) return false;
    lstrcpynA(text, value.text, (int)size);
    return true;
}

int StoredChoice(EntryValueId id, const StoredValue& value)
{
    if (!value.present) return CHOICE_NONE;
    if (id == VALUE_MODAL)
        return value.numberExact && value.number <= 1 ? (int)value.number : CHOICE_KEEP;
    // The host may compare the words with regard to case: another case is kept as it is.
    if (value.type == REG_SZ && value.textExact)
        for (int i = 0; i < TOOL_TYPE_COUNT; i++)
            if (strcmp(value.text, ToolTypes[i]) == 0) return i;
    return CHOICE_KEEP;
}

static const char* TypeWord(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_QWORD: return "REG_QWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_NONE: return "REG_NONE";
    }
    return NULL;
}

void TypeName(DWORD type, char* text, DWORD size)
{
    const char* word = TypeWord(type);
    if (word)
        lstrcpynA(text, word, (int)size);
    else
        snprintf(text, size, "(種類 %lu)", (unsigned long)type);
}

// A text shown in a line of its own: cut at this many bytes, on a character's end.
enum { SHORT_TEXT_BYTES = 60 };

void ShortValueForm(const StoredValue& value, char* text, DWORD size)
{
    text[0] = '\0';
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
        char cut[SHORT_TEXT_BYTES + 1];
        lstrcpynA(cut, value.text, sizeof cut);
        DropDanglingLeadByte(cut);
        snprintf(text, size, "%s%s", cut, strlen(value.text) > strlen(cut) ? "…" : "");
    } else if ((value.type == REG_DWORD && value.size == sizeof(DWORD)) ||
               (value.type == REG_QWORD && value.size == sizeof(ULONGLONG))) {
        snprintf(text, size, value.type == REG_DWORD ? "0x%08llx (%llu)" : "0x%016llx (%llu)",
                 value.number, value.number);
    } else {
        size_t used = 0;
        DWORD shown = value.size < sizeof value.head ? value.size : sizeof value.head;
        for (DWORD i = 0; i < shown && used + 4 < size; i++)
            used += (size_t)snprintf(text + used, size - used, i ? " %02x" : "%02x", value.head[i]);
        snprintf(text + used, size - used, "%s(%lu バイト)", value.size > shown ? "… " : " ",
                 (unsigned long)value.size);
    }
}

// Decimal digits only, no sign and no blanks, up to 4294967295; leading zeros are fine.
static bool ParseTopic(const char* text, DWORD* number)
{
    if (!text[0]) return false;
    ULONGLONG value = 0;
    for (const char* p = text; *p; p++) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (ULONGLONG)(*p - '0');
        if (value > MAXDWORD) return false;
    }
    *number = (DWORD)value;
    return true;
}

static bool IsChoiceField(EntryValueId id)
{
    return id == VALUE_TYPE || id == VALUE_MODAL;
}

// A changed field: what to write, or the problem with it.
static PropertyProblem DecideField(EntryValueId id, const StoredValue& stored, const char* text,
                                   ValueChange* change)
{
    ZeroMemory(change, sizeof *change);
    change->value = id;
    bool required = id == VALUE_MENU_TEXT || id == VALUE_EXE_PATH;
    if (!text[0] && required) return PROPERTY_EMPTY;
    if (strlen(text) >= FIELD_SIZE) return PROPERTY_TOO_LONG;
    if (id == VALUE_HELP_TOPIC) {
        change->type = REG_DWORD;
        change->remove = !text[0];
        if (!change->remove && !ParseTopic(text, &change->number)) return PROPERTY_NOT_NUMBER;
        return PROPERTY_FINE;
    }
    // Emptied, an optional value goes; the status-bar text stays, empty, as 登録 stores it.
    change->remove = !text[0] && id != VALUE_STATUS_TEXT;
    change->type = stored.present && stored.type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ;
    lstrcpynA(change->text, text, sizeof change->text);
    return PROPERTY_FINE;
}

static bool DecideChoice(EntryValueId id, const StoredValue& stored, int choice,
                         ValueChange* change)
{
    ZeroMemory(change, sizeof *change);
    change->value = id;
    if (choice == CHOICE_KEEP || choice == StoredChoice(id, stored)) return false;
    if (choice == CHOICE_NONE) {
        change->remove = true;
    } else if (id == VALUE_MODAL) {
        change->type = REG_DWORD;
        change->number = (DWORD)choice;
    } else {
        change->type = REG_SZ;
        lstrcpynA(change->text, ToolTypes[choice], sizeof change->text);
    }
    return true;
}

PropertyProblem DecideValueChanges(const EntryValues& values, const PropertyInput& input,
                                   ValueChange* changes, int* count, EntryValueId* where)
{
    *count = 0;
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++) {
        EntryValueId id = (EntryValueId)i;
        const StoredValue& stored = values.known[i];
        ValueChange change;
        if (IsChoiceField(id)) {
            if (DecideChoice(id, stored, id == VALUE_TYPE ? input.typeChoice : input.modalChoice,
                             &change))
                changes[(*count)++] = change;
            continue;
        }
        char shown[VALUE_TEXT_SIZE];
        // A field that shows no exact text was never editable, and nothing typed reaches it.
        if (!ShownValueText(id, stored, shown, sizeof shown) || strcmp(shown, input.text[i]) == 0)
            continue;
        PropertyProblem problem = DecideField(id, stored, input.text[i], &change);
        if (problem != PROPERTY_FINE) {
            *where = id;
            return problem;
        }
        // Emptying what is not there changes nothing.
        if (change.remove && !stored.present) continue;
        changes[(*count)++] = change;
    }
    return PROPERTY_FINE;
}

void ApplyValueChanges(HWND hwnd, const char* name, const ValueChange* changes, int count)
{
    if (count == 0) return;
    const char* names[] = {name};
    if (!BeginUndoStep(hwnd, UNDO_PROPERTIES, name, THIS_VIEW, names, 1)) return;
    DWORD error = WriteEntryValues(name, changes, count);
    EndUndoStep(error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) ReportSystemError(hwnd, error);
    // The main fields show what is stored now, as after F5.
    RefreshToolList(hwnd);
    SelectEntryNamed(hwnd, name);
    if (error == ERROR_SUCCESS) SayResult(hwnd, "「%s」のプロパティを変更しました。", name);
}

void OverwriteNotice(const EntryValues& values, char* text, DWORD size)
{
    text[0] = '\0';
    const StoredValue& type = values.known[VALUE_TYPE];
    int choice = StoredChoice(VALUE_TYPE, type);
    if (choice == CHOICE_NONE || (choice == 0 && type.type == REG_SZ)) return;
    char first[VALUE_TEXT_SIZE + 128];
    if (choice == 1) {
        snprintf(first, sizeof first,
                 "登録すると、種類 (Type) が WaveEditor から Generic に変わり、Cakewalk で選んだ"
                 "オーディオをこのツールで編集できなくなります。");
    } else if (choice == 2) {
        snprintf(first, sizeof first,
                 "登録すると、種類 (Type) が SysxEditor から Generic に変わり、SysEx エディター"
                 "として使えなくなります。");
    } else {
        char shown[VALUE_TEXT_SIZE];
        ShortValueForm(type, shown, sizeof shown);
        snprintf(first, sizeof first, "登録すると、種類 (Type) が「%s」から Generic に変わります。",
                 shown);
    }
    snprintf(text, size,
             "%s\n種類を変えずにテキストだけを変えるには、[いいえ] を選んで [ツール] メニューの "
             "[プロパティ] を使ってください。\n",
             first);
}

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
    char text[2 * TOOL_TEXT_SIZE + 512];
    snprintf(
        text, sizeof text,
        "「%s」の名前を「%s」に変更する途中で失敗し (エラー番号 %lu)、元の状態にも戻せません"
        "でした (エラー番号 %lu)。\n両方の名前でツールが残っている場合は、レジストリ エディター "
        "(regedit) でどちらかを削除してください。",
        name, newName, (unsigned long)error, (unsigned long)cleanUp);
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
