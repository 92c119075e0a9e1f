// The words of values and menus: what a stored value shows as in プロパティ, its type's name and
// its short form, each Cakewalk's menu by name, and what 登録 over an entry would change of its
// type.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"

const char* EditionName(RegistryView view)
{
    return ViewBits(view) == 64 ? "64 ビット版" : "32 ビット版";
}

const char* MenuName(RegistryView view)
{
    // One text for each view, made once and kept for the status bar, which shows it for good.
    static char names[2][64];
    char* name = names[ViewBits(view) == 64];
    if (!name[0]) snprintf(name, sizeof names[0], "%s Cakewalk のメニュー", EditionName(view));
    return name;
}

bool ShownValueText(EntryValueId id, const StoredValue& value, char* text, DWORD size)
{
    text[0] = '\0';
    if (!value.present) return true;
    if (id == VALUE_HELP_TOPIC && value.numberExact) {
        snprintf(text, size, "%lu", (unsigned long)value.number);
        return true;
    }
    if (!IsText(value.type) || !value.textExact) return false;
    lstrcpynA(text, value.text, (int)size);
    return true;
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

void OverwriteNotice(const EntryValues& values, char* text, DWORD size)
{
    text[0] = '\0';
    const StoredValue& type = values.known[VALUE_TYPE];
    if (!type.present) return;
    // The host reads the text up to its first terminator: zeros or bytes after it change nothing
    // of what the entry is, though プロパティ keeps them.
    int choice = CHOICE_KEEP;
    if (type.type == REG_SZ && type.textFlaw != TEXT_TOO_LONG)
        for (int i = 0; i < TOOL_TYPE_COUNT; i++)
            if (strcmp(type.text, ToolTypes[i]) == 0) choice = i;
    if (choice == 0) return;
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
