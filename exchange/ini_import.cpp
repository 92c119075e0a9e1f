// INI import: each section of a profile file back into the registry as an entry.
#include <windows.h>
#include <commdlg.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "exchange/exchange_private.h"

const char IniFilter[] = "設定ファイル (*.ini)\0*.ini\0すべてのファイル (*.*)\0*.*\0";
const char* const IniKeys[3] = {EntryValueNames[VALUE_EXE_PATH], EntryValueNames[VALUE_MENU_TEXT],
                                EntryValueNames[VALUE_STATUS_TEXT]};

bool HasControlCharacter(const char* text)
{
    for (const unsigned char* p = (const unsigned char*)text; *p; p++)
        if (*p < 0x20 || *p == 0x7F) return true;
    return false;
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

// The gate is given every section name at once, before the first is written.
static bool PassGate(SectionWalk walk, ImportGate gate, void* context)
{
    int count = 0;
    for (SectionWalk counting = walk; NextSection(&counting);)
        count++;
    const char** names = NULL;
    if (AllocateArray((void**)&names, (size_t)count, sizeof *names) != ERROR_SUCCESS)
        return gate(NULL, -1, context);
    for (int i = 0; i < count; i++)
        names[i] = NextSection(&walk);
    bool open = gate(names, count, context);
    GlobalFree(names);
    return open;
}

static void ImportSections(const char* file, const char* list, DWORD count, DWORD size,
                           IniImportResult* result, ImportGate gate, void* context)
{
    SectionWalk walk;
    // Random bytes read as a profile yield a few "sections" full of control characters; a file
    // like that is refused before anything is written.
    BeginSectionWalk(&walk, list, count, size);
    int sections = 0;
    while (const char* name = NextSection(&walk)) {
        sections++;
        if (HasControlCharacter(name)) {
            result->outcome = IMPORT_NOT_TOOL_FILE;
            return;
        }
    }
    // "[]" first: the walk ends before it begins.
    if (sections == 0) {
        result->outcome = IMPORT_NO_SECTIONS;
        return;
    }
    BeginSectionWalk(&walk, list, count, size);
    if (gate && !PassGate(walk, gate, context)) {
        result->outcome = IMPORT_REFUSED;
        return;
    }
    result->outcome = walk.cut ? IMPORT_LIST_CUT : IMPORT_DONE;
    while (const char* name = NextSection(&walk)) {
        char values[3][INI_VALUE_SIZE] = {};
        for (int i = 0; i < 3; i++) {
            GetPrivateProfileStringA(name, IniKeys[i], "", values[i], INI_VALUE_SIZE, file);
            // A value cut at 256 bytes keeps no half of a double-byte character.
            DropDanglingLeadByte(values[i]);
        }
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

static void ImportIniSections(const char* file, DWORD listSize, IniImportResult* result,
                              ImportGate gate, void* context)
{
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
        ImportSections(file, list, count, listSize, result, gate, context);
    }
    GlobalFree(list);
}

// Windows' profile reader knows only the UTF-16 marks. A UTF-8 file, with a mark or (as Notepad
// saves one) without, would have its Japanese texts read as code page 932, garbled. Code page 932
// text is almost never valid UTF-8: its lead bytes 0x81 to 0x9F and its half-width kana cannot
// start a UTF-8 sequence.
bool IsUtf8File(const BYTE* bytes, DWORD size)
{
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return true;
    if (size >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        return false;
    DWORD i = 0;
    while (i < size && bytes[i] < 0x80)
        i++;
    return i < size && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, (const char*)bytes,
                                           (int)size, NULL, 0) > 0;
}

// A character of the file: a byte, or a UTF-16 unit of a file with the mark of either order.
struct FileText {
    const BYTE* bytes;
    bool wide, bigEndian;
};

static DWORD CharacterAt(const FileText& text, DWORD i)
{
    if (!text.wide) return text.bytes[i];
    return text.bigEndian ? (DWORD)(text.bytes[2 * i] << 8 | text.bytes[2 * i + 1])
                          : (DWORD)(text.bytes[2 * i] | text.bytes[2 * i + 1] << 8);
}

// Whether the name, as the file holds it, comes through the profile reader unchanged: code page
// 932 bytes that form whole characters, or UTF-16 that code page 932 holds every character of.
static bool NameIsCodePage932(const FileText& text, DWORD start, DWORD end)
{
    if (start == end) return true;
    if (!text.wide)
        return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, (const char*)text.bytes + start,
                                   (int)(end - start), NULL, 0) > 0;
    wchar_t name[TOOL_TEXT_SIZE];
    DWORD length = end - start < (DWORD)TOOL_TEXT_SIZE ? end - start : (DWORD)TOOL_TEXT_SIZE;
    for (DWORD i = 0; i < length; i++)
        name[i] = (wchar_t)CharacterAt(text, start + i);
    BOOL usedDefault = FALSE;
    return WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, name, (int)length, NULL, 0, NULL,
                               &usedDefault) > 0 &&
           !usedDefault;
}

// What the profile reader skips before a line's first character: every white space and ^Z.
static bool IsLeadingFiller(DWORD c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A;
}

// The number, from 1, of the first section whose name the profile reader would hand over with a
// look-alike ("・" or "?") for each broken character, which the registry would then store: 0 when
// every name is whole. A name runs up to the last "]" of its line, as the reader takes it, found
// by characters.
static int BrokenSectionName(const BYTE* bytes, DWORD size)
{
    FileText text = {bytes, false, false};
    if (size >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        text.wide = true;
        text.bigEndian = bytes[0] == 0xFE;
    }
    DWORD count = text.wide ? size / 2 : size;
    int sections = 0;
    for (DWORD i = text.wide ? 1 : 0; i < count;) {
        while (i < count && IsLeadingFiller(CharacterAt(text, i)))
            i++;
        bool section = i < count && CharacterAt(text, i) == '[';
        // Past the "[" only: a line of blanks ends where it is, and the next line is its own.
        DWORD start = section ? ++i : i, end = 0;
        for (; i < count && CharacterAt(text, i) != '\r' && CharacterAt(text, i) != '\n'; i++) {
            DWORD c = CharacterAt(text, i);
            if (c == ']') end = i;
            // A trail byte that is "]" belongs to its character (ゾ).
            if (!text.wide && IsDBCSLeadByteEx(932, (BYTE)c) && i + 1 < count &&
                CharacterAt(text, i + 1) != '\r' && CharacterAt(text, i + 1) != '\n')
                i++;
        }
        if (section && !NameIsCodePage932(text, start, end ? end : i)) return sections + 1;
        if (section) sections++;
        while (i < count && (CharacterAt(text, i) == '\r' || CharacterAt(text, i) == '\n'))
            i++;
    }
    return 0;
}

// The whole file in a block of its size (the caller frees it), or null with the outcome set.
static BYTE* ReadWholeFile(const char* file, DWORD* size, IniImportResult* result)
{
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        result->outcome = IMPORT_OPEN_FAILED;
        result->error = LastErrorOr(ERROR_OPEN_FAILED);
        return NULL;
    }
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    *size = GetFileSize(handle, &high);
    DWORD error = *size == INVALID_FILE_SIZE ? GetLastError() : ERROR_SUCCESS;
    BYTE* bytes = NULL;
    if (error != ERROR_SUCCESS) {
        result->outcome = IMPORT_OPEN_FAILED;
        result->error = error;
    } else if (high != 0 || *size > (DWORD)INT_MAX - 2) {
        // The low 32 bits of a larger size could be any number, and the list would be cut
        // anywhere; the UTF-8 check takes at most an int's worth.
        result->outcome = IMPORT_TOO_LARGE;
    } else if (!(bytes = (BYTE*)GlobalAlloc(GPTR, *size + 1))) {
        result->outcome = IMPORT_NO_MEMORY;
        result->error = LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    } else if (!ReadFile(handle, bytes, *size, size, NULL)) {
        result->outcome = IMPORT_OPEN_FAILED;
        result->error = LastErrorOr(ERROR_READ_FAULT);
        GlobalFree(bytes);
        bytes = NULL;
    }
    CloseHandle(handle);
    return bytes;
}

void ImportIniFile(const char* file, IniImportResult* result, ImportGate gate, void* context)
{
    ZeroMemory(result, sizeof *result);
    DWORD size = 0;
    BYTE* bytes = ReadWholeFile(file, &size, result);
    if (!bytes) return;
    bool utf8 = IsUtf8File(bytes, size);
    int broken = utf8 ? 0 : BrokenSectionName(bytes, size);
    GlobalFree(bytes);
    if (utf8) {
        result->outcome = IMPORT_UTF8_FILE;
        return;
    }
    if (broken) {
        result->outcome = IMPORT_NOT_CP932;
        result->sectionNumber = broken;
        return;
    }
    // Two bytes over the file's size: a file that is one section without a line break ("[a]")
    // needs them for the list's zero bytes, and an empty file still gets a real block.
    ImportIniSections(file, size + 2, result, gate, context);
}

// A quoted path and the longest warning about it.
enum { FILE_MESSAGE_SIZE = MAX_PATH + 512 };

static void ShowFileMessage(HWND owner, const char* file, const char* text)
{
    char message[FILE_MESSAGE_SIZE];
    snprintf(message, sizeof message, "'%s'\n%s", file, text);
    ShowMessage(owner, message, "", MB_ICONEXCLAMATION);
}

struct ImportCommand {
    HWND owner;
    const char* file;
    bool recorded;
};

// The import is one step of 元に戻す: every entry key that its sections name is recorded first.
static bool RecordBeforeImport(const char* const* sections, int count, void* context)
{
    ImportCommand* command = (ImportCommand*)context;
    if (count < 0) {
        ReportSystemError(command->owner, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    command->recorded = BeginUndoStep(command->owner, UNDO_IMPORT, FileNameOf(command->file),
                                      THIS_VIEW, sections, count);
    return command->recorded;
}

static void ImportChosenFile(HWND owner, const char* file, void*)
{
    ImportCommand command = {owner, file, false};
    IniImportResult result;
    ImportIniFile(file, &result, RecordBeforeImport, &command);
    if (command.recorded) EndUndoStep(result.outcome == IMPORT_DONE);
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
    case IMPORT_NOT_CP932: {
        char text[FILE_MESSAGE_SIZE];
        snprintf(text, sizeof text,
                 "このファイルの %d 番目のセクション名は、日本語 (シフト JIS) の文字として正しく"
                 "ないため、取り込めません。何も取り込んでいません。",
                 result.sectionNumber);
        ShowFileMessage(owner, file, text);
        return;
    }
    case IMPORT_REFUSED: return; // the recording said why
    default: break;
    }
    RefreshToolList(owner);
    if (result.outcome == IMPORT_KEY_FAILED) {
        ReportSystemError(owner, result.error);
    } else if (result.outcome == IMPORT_LIST_CUT) {
        ShowFileMessage(owner, file,
                        "読み取っている間にファイルが変わったため、一部のツールを取り込めません"
                        "でした。もう一度取り込んでください。");
    } else {
        SayResult(owner, "%d 件のツールを取り込みました。", result.imported);
    }
}

void ImportEntries(HWND hwnd)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, IniFilter, "テキスト ファイルの取り込み",
                      "ini");
    RunFileDialogSpan(&ofn, false, ImportChosenFile, NULL);
}
