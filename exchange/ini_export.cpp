// INI export: every entry to a profile file, leaving out and naming what would not come back.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "exchange/exchange_private.h"

// The blanks that the profile functions trim from both ends of section names and values. None of
// them is ever the second byte of a double-byte character.
static bool IsIniBlank(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' ';
}

// The reader would change such a value: it trims blanks at both ends and takes one pair of
// surrounding quotation marks away (a lone quotation mark stays).
static bool NeedsQuotes(const char* text, size_t length)
{
    if (length == 0) return false;
    char first = text[0], last = text[length - 1];
    if (IsIniBlank(first) || IsIniBlank(last)) return true;
    return length >= 2 && (first == '"' || first == '\'') && last == first;
}

static IniRefusal CheckIniText(const char* text)
{
    // The writer puts a line break into the file as it is: the value would end there and the
    // rest would become lines, keys or sections of their own.
    if (strpbrk(text, "\r\n")) return INI_TEXT_LINE_BREAK;
    size_t length = strlen(text);
    // A quoted value that fills the import's buffer loses its last byte with the quotes, so a
    // text to be quoted must leave that byte free.
    size_t limit = NeedsQuotes(text, length) ? INI_VALUE_SIZE - 2 : INI_VALUE_SIZE - 1;
    return length > limit ? INI_TEXT_TOO_LONG : INI_FITS;
}

IniRefusal CheckIniEntry(const ToolEntry* entry)
{
    // The section would name another key, or none.
    if (entry->nameState != NAME_EXACT) return INI_NAME_UNREAD;
    const char* name = entry->name;
    size_t length = strlen(name);
    if (length == 0) return INI_NAME_EMPTY;
    if (HasControlCharacter(name)) return INI_NAME_CONTROL;
    if (IsIniBlank(name[0]) || IsIniBlank(name[length - 1])) return INI_NAME_BLANKS;
    // Windows' reader ends a section name at its first "]" (Wine's at its last); the second byte
    // of ゾ is no bracket.
    if (HasCharacter(name, ']')) return INI_NAME_BRACKET;
    // A text that an import would cut is still written whole, but not when another text would
    // break the file.
    IniRefusal worst = INI_FITS;
    const char* texts[] = {entry->path, entry->menuText, entry->statusText};
    for (const char* text : texts) {
        IniRefusal why = CheckIniText(text);
        if (why == INI_TEXT_TOO_LONG)
            worst = why;
        else if (why != INI_FITS)
            return why;
    }
    return worst;
}

// The form of a text that the profile reader gives back unchanged: wrapped in double quotes when
// it starts or ends with a blank or is itself wrapped in a pair of quotes.
// ERROR_INSUFFICIENT_BUFFER, with nothing written, when it does not fit in size bytes.
static DWORD EncodeIniValue(const char* text, char* out, DWORD size)
{
    size_t length = strlen(text);
    bool quoted = NeedsQuotes(text, length);
    if (length + (quoted ? 2 : 0) >= size) return ERROR_INSUFFICIENT_BUFFER;
    char* p = out;
    if (quoted) *p++ = '"';
    memcpy(p, text, length);
    p += length;
    if (quoted) *p++ = '"';
    *p = '\0';
    return ERROR_SUCCESS;
}

// Writes the three values of one entry; the error number of the first write that failed.
static DWORD WriteIniEntry(const char* file, const ToolEntry* entry)
{
    const char* texts[] = {entry->path, entry->menuText, entry->statusText};
    for (int i = 0; i < 3; i++) {
        char value[TOOL_TEXT_SIZE + 2];
        DWORD error = EncodeIniValue(texts[i], value, sizeof value);
        if (error != ERROR_SUCCESS) return error;
        if (!WritePrivateProfileStringA(entry->name, IniKeys[i], value, file))
            return LastErrorOr(ERROR_WRITE_FAULT);
    }
    return ERROR_SUCCESS;
}

static const char* RefusalReason(IniRefusal why)
{
    switch (why) {
    case INI_NAME_EMPTY: return "名前が空です";
    case INI_NAME_BLANKS: return "名前の前後に空白があります";
    case INI_NAME_CONTROL: return "名前に制御文字があります";
    case INI_NAME_BRACKET: return "名前に ] があります";
    case INI_NAME_UNREAD: return "名前を読み取れないか、日本語 (シフト JIS) にない文字があります";
    case INI_TEXT_LINE_BREAK: return "テキストに改行があります";
    case INI_TEXT_TOO_LONG: return "テキストが 256 バイトを超えています";
    case INI_TEXT_UNREAD: return "レジストリのテキストを読み取れません";
    case INI_FITS: break;
    }
    return "";
}

// Ten names a group make a box that still fits the screen; the rest are counted.
static const int ListedNames = 10;
// A quoted name and the longest reason.
enum { REFUSAL_LINE_SIZE = TOOL_TEXT_SIZE + 128 };

// Whatever does not fit in the text is cut off.
static void Append(char* text, size_t size, const char* more)
{
    size_t used = strlen(text);
    snprintf(text + used, size - used, "%s", more);
}

struct NameGroup {
    char lines[REFUSALS_TEXT_SIZE / 2];
    int count;
};

static void NoteName(NameGroup* group, const char* name, IniRefusal why)
{
    if (group->count++ >= ListedNames) return;
    char line[REFUSAL_LINE_SIZE];
    snprintf(line, sizeof line, "\n'%s' : %s", name, RefusalReason(why));
    Append(group->lines, sizeof group->lines, line);
}

static void AppendGroup(IniRefusals* refusals, const char* heading, const NameGroup& group)
{
    if (group.count == 0) return;
    if (refusals->text[0]) Append(refusals->text, sizeof refusals->text, "\n\n");
    Append(refusals->text, sizeof refusals->text, heading);
    Append(refusals->text, sizeof refusals->text, group.lines);
    if (group.count > ListedNames) {
        char more[REFUSAL_LINE_SIZE];
        snprintf(more, sizeof more, "\nほか %d 件", group.count - ListedNames);
        Append(refusals->text, sizeof refusals->text, more);
    }
}

DWORD WriteIniEntries(const char* file, ToolEntryAtFunction at, void* context, int count,
                      IniRefusals* refusals)
{
    ZeroMemory(refusals, sizeof *refusals);
    NameGroup leftOut = {}, cut = {};
    DWORD error = ERROR_SUCCESS;
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++) {
        const ToolEntry* entry = at(context, i);
        if (!entry) continue;
        IniRefusal why = CheckIniEntry(entry);
        // A text the list could not read would be exported empty, and a restore would empty it.
        if ((why == INI_FITS || why == INI_TEXT_TOO_LONG) && !ToolTextsFit(entry->name))
            why = INI_TEXT_UNREAD;
        if (why != INI_FITS && why != INI_TEXT_TOO_LONG) {
            NoteName(&leftOut, entry->name, why);
            continue;
        }
        // Cut by an import, but the file keeps more of it than an entry left out would.
        if (why == INI_TEXT_TOO_LONG) NoteName(&cut, entry->name, why);
        error = WriteIniEntry(file, entry);
        if (error == ERROR_SUCCESS) refusals->written++;
    }
    refusals->leftOut = leftOut.count;
    refusals->cut = cut.count;
    AppendGroup(refusals,
                "次のツールは、取り込んだときに同じ内容に戻らないため、書き出していません。",
                leftOut);
    AppendGroup(refusals,
                "次のツールは書き出しましたが、取り込むときにはテキストが先頭の 256 バイトまでに"
                "切り詰められます。",
                cut);
    return error;
}

static const ToolEntry* ListEntryAt(void* context, int index)
{
    return ToolEntryAt((HWND)context, index);
}

static void WriteExport(HWND owner, const char* file, void*)
{
    RefreshToolList(owner);
    int count = ToolEntryCount(owner);
    if (count < 1) {
        ShowMessage(owner, "Cakewalk に登録されているツールは、1つもありません。", "",
                    MB_ICONEXCLAMATION);
        return;
    }
    IniRefusals refusals;
    DWORD error = WriteIniEntries(file, ListEntryAt, owner, count, &refusals);
    if (error != ERROR_SUCCESS) ReportSystemError(owner, error);
    if (refusals.text[0]) ShowMessage(owner, refusals.text, "", MB_ICONEXCLAMATION);
    if (error == ERROR_SUCCESS)
        SayResult(owner, "%d 件のツールを書き出しました。", refusals.written);
}

void ExportEntries(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, IniFilter, "テキスト ファイルへの書き出し",
                      "ini");
    RunFileDialogSpan(&ofn, true, WriteExport, NULL);
}
