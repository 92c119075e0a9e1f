// INI export and import: every entry to a profile file and each of its sections back.
#include <windows.h>
#include <commdlg.h>
#include <string.h>
#include <stdio.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"

static const char IniFilter[] = "設定ファイル (*.ini)\0*.ini\0すべてのファイル (*.*)\0*.*\0";
static const char* const IniKeys[] = {ExePathValue, MenuTextValue, StatusBarTextValue};

// What the import reads of one value: at most 256 bytes and the terminator.
enum { INI_VALUE_SIZE = 257 };

// The blanks that the profile functions trim from both ends of section names and values. None of
// them is ever the second byte of a double-byte character.
static bool IsIniBlank(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' ';
}

static bool HasControlCharacter(const char* text)
{
    for (const unsigned char* p = (const unsigned char*)text; *p; p++)
        if (*p < 0x20 || *p == 0x7F) return true;
    return false;
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
    const char* name = entry->name;
    size_t length = strlen(name);
    if (length == 0) return INI_NAME_EMPTY;
    if (HasControlCharacter(name)) return INI_NAME_CONTROL;
    if (IsIniBlank(name[0]) || IsIniBlank(name[length - 1])) return INI_NAME_BLANKS;
    const char* texts[] = {entry->path, entry->menuText, entry->statusText};
    for (const char* text : texts) {
        IniRefusal why = CheckIniText(text);
        if (why != INI_FITS) return why;
    }
    return INI_FITS;
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

// A failed call that left no error number must not be shown as the system's text for success.
static DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
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

// Walks the section-name list that the profile reader filled: count is what it returned, size the
// block's size. A list that the reader had to cut short may end in a cut name after a single zero
// byte, so the walk never goes past count, and the last name of a cut list is left out.
struct SectionWalk {
    const char* list;
    DWORD end;
    DWORD position;
    bool cut;
};

static void BeginSectionWalk(SectionWalk* walk, const char* list, DWORD count, DWORD size)
{
    walk->list = list;
    walk->position = 0;
    walk->end = count < size ? count : size;
    // A reader that had to cut the list returns two less than the block's size (Wine one less,
    // when a double-byte name did not fit), and the name it was copying may be cut anywhere, even
    // before a zero byte. A complete list leaves more room, as the block is larger than the file.
    walk->cut = size < 2 || count >= size - 2;
    if (!walk->cut) return;
    DWORD lastStart = 0;
    for (DWORD i = 1; i < walk->end; i++)
        if (list[i - 1] == '\0') lastStart = i;
    walk->end = lastStart;
}

// Null at the end or at an empty name.
static const char* NextSection(SectionWalk* walk)
{
    if (walk->position >= walk->end) return NULL;
    const char* name = walk->list + walk->position;
    const char* zero = (const char*)memchr(name, '\0', walk->end - walk->position);
    if (!zero || zero == name) {
        walk->position = walk->end;
        return NULL;
    }
    walk->position += (DWORD)(zero - name) + 1;
    return name;
}

static void ImportSections(const char* file, const char* list, DWORD count, DWORD size,
                           IniImportResult* result)
{
    SectionWalk walk;
    // Random bytes read as a profile yield a few "sections" full of control characters; a file
    // like that is refused before anything is written.
    BeginSectionWalk(&walk, list, count, size);
    while (const char* name = NextSection(&walk)) {
        if (HasControlCharacter(name)) {
            result->outcome = IMPORT_NOT_TOOL_FILE;
            return;
        }
    }
    BeginSectionWalk(&walk, list, count, size);
    result->outcome = walk.cut ? IMPORT_LIST_CUT : IMPORT_DONE;
    while (const char* name = NextSection(&walk)) {
        char values[3][INI_VALUE_SIZE] = {};
        for (int i = 0; i < 3; i++)
            GetPrivateProfileStringA(name, IniKeys[i], "", values[i], INI_VALUE_SIZE, file);
        DWORD error = WriteToolEntry(name, values[0], values[1], values[2]);
        if (error != ERROR_SUCCESS) {
            result->outcome = IMPORT_KEY_FAILED;
            result->error = error;
            lstrcpynA(result->section, name, sizeof result->section);
            return;
        }
        result->imported++;
    }
}

static void ImportIniSections(const char* file, DWORD listSize, IniImportResult* result)
{
    ZeroMemory(result, sizeof *result);
    char* list = (char*)GlobalAlloc(GPTR, listSize);
    if (!list) {
        result->outcome = IMPORT_NO_MEMORY;
        result->error = LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    DWORD count = GetPrivateProfileStringA(NULL, NULL, NULL, list, listSize, file);
    if (count == 0) {
        // The file has just been opened and read, so it simply holds no section, whatever number
        // the reader leaves: Windows leaves 2, file not found, for an empty file.
        result->outcome = IMPORT_NO_SECTIONS;
    } else {
        ImportSections(file, list, count, listSize, result);
    }
    GlobalFree(list);
}

void ImportIniFile(const char* file, IniImportResult* result)
{
    ZeroMemory(result, sizeof *result);
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        result->outcome = IMPORT_OPEN_FAILED;
        result->error = LastErrorOr(ERROR_OPEN_FAILED);
        return;
    }
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD size = GetFileSize(handle, &high);
    DWORD error = size == INVALID_FILE_SIZE ? GetLastError() : ERROR_SUCCESS;
    BYTE head[3] = {0, 0, 0};
    DWORD read = 0;
    if (error == ERROR_SUCCESS && !ReadFile(handle, head, sizeof head, &read, NULL))
        error = LastErrorOr(ERROR_READ_FAULT);
    CloseHandle(handle);
    if (error != ERROR_SUCCESS) {
        result->outcome = IMPORT_OPEN_FAILED;
        result->error = error;
        return;
    }
    // Windows' profile reader knows only the UTF-16 mark: in a UTF-8 file the mark would spoil
    // the first section and the rest would be read as code page 932, garbled.
    if (read == sizeof head && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        result->outcome = IMPORT_UTF8_FILE;
        return;
    }
    // The low 32 bits of a larger size could be any number, and the list would be cut anywhere.
    if (high != 0 || size > MAXDWORD - 2) {
        result->outcome = IMPORT_TOO_LARGE;
        return;
    }
    // Two bytes over the file's size: a file that is one section without a line break ("[a]")
    // needs them for the list's zero bytes, and an empty file still gets a real block.
    ImportIniSections(file, size + 2, result);
}

// A quoted path and the longest warning about it.
enum { FILE_MESSAGE_SIZE = MAX_PATH + 512 };

static void ShowFileMessage(HWND owner, const char* file, const char* text)
{
    char message[FILE_MESSAGE_SIZE];
    snprintf(message, sizeof message, "'%s'\n%s", file, text);
    ShowMessage(owner, message, "", MB_ICONEXCLAMATION);
}

static void ImportChosenFile(HWND owner, const char* file, void*)
{
    IniImportResult result;
    ImportIniFile(file, &result);
    switch (result.outcome) {
    case IMPORT_OPEN_FAILED:
    case IMPORT_NO_MEMORY: ReportSystemError(owner, result.error); return;
    case IMPORT_NO_SECTIONS:
        ShowFileMessage(owner, file,
                        "このファイルには、取り込めるツールの情報 ([セクション]) がありません。");
        return;
    case IMPORT_UTF8_FILE:
        ShowFileMessage(owner, file,
                        "このファイルは UTF-8 で保存されているため、取り込めません。\n"
                        "メモ帳などで文字コードを Shift_JIS (ANSI) にして保存し直してから、"
                        "取り込んでください。");
        return;
    case IMPORT_TOO_LARGE:
        ShowFileMessage(owner, file, "このファイルは大きすぎるため、取り込めません。");
        return;
    case IMPORT_NOT_TOOL_FILE:
        ShowFileMessage(owner, file,
                        "このファイルは、ツールの情報を書き出したテキスト ファイルではないため、"
                        "取り込めません。");
        return;
    default: break;
    }
    RefreshToolList(owner);
    if (result.outcome == IMPORT_KEY_FAILED) {
        ReportSystemError(owner, result.error);
    } else if (result.outcome == IMPORT_LIST_CUT) {
        ShowFileMessage(owner, file,
                        "読み取っている間にファイルが変わったため、一部のツールを取り込めません"
                        "でした。もう一度取り込んでください。");
    }
}

void ImportEntries(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, IniFilter, "テキスト ファイルの取り込み",
                      OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, "ini");
    RunFileDialogSpan(&ofn, false, ImportChosenFile, NULL);
}

static const char* RefusalReason(IniRefusal why)
{
    switch (why) {
    case INI_NAME_EMPTY: return "名前が空です";
    case INI_NAME_BLANKS: return "名前の前後に空白があります";
    case INI_NAME_CONTROL: return "名前に制御文字があります";
    case INI_TEXT_LINE_BREAK: return "テキストに改行があります";
    case INI_TEXT_TOO_LONG: return "テキストが長すぎます (256 バイトまで)";
    case INI_TEXT_UNREAD: return "レジストリのテキストを読み取れません";
    case INI_FITS: break;
    }
    return "";
}

// Ten names make a box that still fits the screen; the rest are counted.
static const int ListedRefusals = 10;
// A quoted name and the longest reason.
enum { REFUSAL_LINE_SIZE = TOOL_TEXT_SIZE + 128 };

// Whatever does not fit in the text is cut off.
static void Append(IniRefusals* refusals, const char* text)
{
    size_t used = strlen(refusals->text);
    snprintf(refusals->text + used, sizeof refusals->text - used, "%s", text);
}

static void NoteRefusal(IniRefusals* refusals, const char* name, IniRefusal why)
{
    if (refusals->count == 0)
        Append(refusals,
               "次のツールは、取り込んだときに同じ内容に戻らないため、書き出していません。\n");
    if (refusals->count++ >= ListedRefusals) return;
    char line[REFUSAL_LINE_SIZE];
    snprintf(line, sizeof line, "\n'%s' : %s", name, RefusalReason(why));
    Append(refusals, line);
}

DWORD WriteIniEntries(const char* file, ToolEntryAtFunction at, void* context, int count,
                      IniRefusals* refusals)
{
    ZeroMemory(refusals, sizeof *refusals);
    DWORD error = ERROR_SUCCESS;
    for (int i = 0; i < count && error == ERROR_SUCCESS; i++) {
        const ToolEntry* entry = at(context, i);
        if (!entry) continue;
        IniRefusal why = CheckIniEntry(entry);
        // A text the list could not read would be exported empty, and a restore would empty it.
        if (why == INI_FITS && !ToolTextsFit(entry->name)) why = INI_TEXT_UNREAD;
        if (why != INI_FITS)
            NoteRefusal(refusals, entry->name, why);
        else
            error = WriteIniEntry(file, entry);
    }
    if (refusals->count > ListedRefusals) {
        char more[REFUSAL_LINE_SIZE];
        snprintf(more, sizeof more, "\nほか %d 件", refusals->count - ListedRefusals);
        Append(refusals, more);
    }
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
    if (refusals.count > 0) ShowMessage(owner, refusals.text, "", MB_ICONEXCLAMATION);
}

void ExportEntries(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(
        &ofn, hwnd, file, sizeof file, IniFilter, "テキスト ファイルへの書き出し",
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN, "ini");
    RunFileDialogSpan(&ofn, true, WriteExport, NULL);
}
