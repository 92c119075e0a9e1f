// A backup of the whole Tools Menu key as a registry file ("Windows Registry Editor Version 5.00"),
// which the system's registry editor, or reg import, restores with every value and subkey.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include "dialogs/dialogs.h"
#include "exchange/exchange.h"
#include "exchange/exchange_private.h"
#include "version.h"

const char RegFilter[] = "登録ファイル (*.reg)\0*.reg\0すべてのファイル (*.*)\0*.*\0";

// The file's text, grown in one block: a thousand entries are one write, not one per value. The
// first failure to grow is kept and ends every later append.
struct WideText {
    wchar_t* text;
    DWORD length, capacity; // characters, and bytes
    DWORD error;
};

static void Put(WideText* out, const wchar_t* text, DWORD length)
{
    if (out->error != ERROR_SUCCESS) return;
    if (length > MAXDWORD / 4 - out->length) {
        out->error = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    out->error = GrowBlock((void**)&out->text, &out->capacity,
                           (out->length + length) * sizeof(wchar_t), 65536);
    if (out->error != ERROR_SUCCESS) return;
    memcpy(out->text + out->length, text, length * sizeof(wchar_t));
    out->length += length;
}

static void Put(WideText* out, const wchar_t* text)
{
    Put(out, text, (DWORD)wcslen(text));
}

// The registry editor's quoting of names and texts: only the backslash and the quote are escaped.
static void PutQuoted(WideText* out, const wchar_t* text, DWORD length)
{
    Put(out, L"\"");
    for (DWORD i = 0; i < length; i++) {
        if (text[i] == L'\\' || text[i] == L'"') Put(out, L"\\");
        Put(out, text + i, 1);
    }
    Put(out, L"\"");
}

// A REG_SZ that reads back the same from "text": one line, ending in its one terminator.
static bool IsPlainText(const BYTE* data, DWORD size)
{
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return false;
    DWORD characters = size / sizeof(wchar_t);
    wchar_t character = 0;
    for (DWORD i = 0; i < characters; i++) {
        memcpy(&character, data + i * sizeof(wchar_t), sizeof character);
        bool last = i == characters - 1;
        if ((character == 0) != last || character == L'\r' || character == L'\n') return false;
    }
    return true;
}

// Hex lines wrap as the registry editor wraps them: after the comma that takes a line to 77
// columns or more, a backslash, and the next line indented by two blanks.
static const DWORD HexWrapColumn = 77;

static void PutHex(WideText* out, const BYTE* data, DWORD size, DWORD column)
{
    for (DWORD i = 0; i < size; i++) {
        wchar_t pair[4];
        swprintf(pair, 4, L"%02x", data[i]);
        Put(out, pair, 2);
        if (i == size - 1) break;
        Put(out, L",");
        column += 3;
        if (column >= HexWrapColumn) {
            Put(out, L"\\\r\n  ");
            column = 2;
        }
    }
}

static void PutValue(WideText* out, const KeyItem& value)
{
    DWORD lineStart = out->length;
    if (value.nameCharacters == 0)
        Put(out, L"@");
    else
        PutQuoted(out, value.name, value.nameCharacters);
    Put(out, L"=");
    if (value.type == REG_SZ && IsPlainText(value.data, value.dataSize)) {
        PutQuoted(out, (const wchar_t*)value.data, value.dataSize / sizeof(wchar_t) - 1);
    } else if (value.type == REG_DWORD && value.dataSize == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, value.data, sizeof number);
        wchar_t text[16];
        swprintf(text, 16, L"dword:%08lx", number);
        Put(out, text);
    } else {
        wchar_t prefix[24];
        if (value.type == REG_BINARY)
            wcscpy(prefix, L"hex:");
        else
            swprintf(prefix, 24, L"hex(%lx):", value.type);
        Put(out, prefix);
        PutHex(out, value.data, value.dataSize, out->length - lineStart);
    }
    Put(out, L"\r\n");
}

// The deepest key the registry allows, with room to spare.
enum { MAX_KEY_DEPTH = 520 };

// A line break in a name would end the key's or the value's line, and the rest would be read as
// lines of their own.
static bool HasLineBreak(const wchar_t* name, DWORD length)
{
    for (DWORD i = 0; i < length; i++)
        if (name[i] == L'\r' || name[i] == L'\n') return true;
    return false;
}

// Puts a name with its line breaks shown as \r and \n.
static void PutEscaped(WideText* out, const wchar_t* text, DWORD length)
{
    for (DWORD i = 0; i < length; i++)
        Put(out,
            text[i] == L'\r'   ? L"\\r"
            : text[i] == L'\n' ? L"\\n"
                               : text + i,
            text[i] == L'\r' || text[i] == L'\n' ? 2 : 1);
}

// The name that kept the file from being written, in code page 932 for the warning: the key's path
// below the Tools Menu key, and the value's name after it.
static void NameRefused(const WideText& path, DWORD rootLength, const KeyItem* value, char* refused,
                        DWORD size)
{
    WideText shown = {};
    PutEscaped(&shown, path.text + rootLength, path.length - rootLength);
    if (value) {
        Put(&shown, L" : ");
        if (value->nameCharacters)
            PutEscaped(&shown, value->name, value->nameCharacters);
        else
            Put(&shown, L"@");
    }
    refused[0] = '\0';
    if (!shown.error && shown.length > 0) {
        // Two bytes at most a character: a long path is cut, never left out.
        DWORD characters = shown.length < (size - 1) / 2 ? shown.length : (size - 1) / 2;
        int length = WideCharToMultiByte(932, 0, shown.text, (int)characters, refused,
                                         (int)size - 1, NULL, NULL);
        refused[length > 0 ? length : 0] = '\0';
        DropDanglingLeadByte(refused);
    }
    if (shown.text) GlobalFree(shown.text);
}

// Text of the program's own, in code page 932 whatever the system's, into the file.
static void PutOwnText(WideText* out, const char* text)
{
    wchar_t wide[256];
    if (MultiByteToWideChar(932, 0, text, -1, wide, 256) > 0) Put(out, wide);
}

static DWORD BuildRegText(const KeyRecord* record, const wchar_t* rootPath, const char* menuName,
                          WideText* out, char* refused, DWORD refusedSize)
{
    // The mark first: the registry editor then reads the file as UTF-16. The comments say which
    // Cakewalk's menu the file restores, and by what it was written; the editor skips them.
    Put(out, L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n; ");
    PutOwnText(out, menuName);
    Put(out, L"\r\n; ");
    PutOwnText(out, KORVANEL_PRODUCT_NAME " (" KORVANEL_VERSION ")");
    Put(out, L"\r\n");
    DWORD rootLength = (DWORD)wcslen(rootPath);
    WideText path = {};
    DWORD pathLengths[MAX_KEY_DEPTH];
    int depth = 0;
    KeyItem item;
    for (DWORD position = 0; NextKeyItem(record, &position, &item) && !out->error;) {
        if (item.kind == KEY_BEGIN) {
            if (depth == MAX_KEY_DEPTH) {
                out->error = ERROR_INVALID_DATA;
                break;
            }
            pathLengths[depth++] = path.length;
            if (depth == 1) {
                Put(&path, rootPath);
            } else {
                Put(&path, L"\\");
                Put(&path, item.name, item.nameCharacters);
            }
            out->error = path.error;
            if (!out->error && HasLineBreak(item.name, item.nameCharacters)) {
                NameRefused(path, rootLength, NULL, refused, refusedSize);
                out->error = ERROR_INVALID_NAME;
                break;
            }
            Put(out, L"\r\n[");
            Put(out, path.text, path.length);
            Put(out, L"]\r\n");
        } else if (item.kind == KEY_VALUE) {
            if (HasLineBreak(item.name, item.nameCharacters)) {
                NameRefused(path, rootLength, &item, refused, refusedSize);
                out->error = ERROR_INVALID_NAME;
                break;
            }
            PutValue(out, item);
        } else if (item.kind == KEY_END && depth > 0) {
            path.length = pathLengths[--depth];
        }
    }
    Put(out, L"\r\n");
    if (path.text) GlobalFree(path.text);
    return out->error;
}

// Written whole beside the file, then moved over it: the old file goes only once the new one is
// complete on the disk.
static DWORD WriteFileReplacing(const char* file, const void* bytes, DWORD size)
{
    char temporary[MAX_PATH];
    if ((size_t)snprintf(temporary, sizeof temporary, "%s.tmp", file) >= sizeof temporary)
        return ERROR_FILENAME_EXCED_RANGE;
    HANDLE handle =
        CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    DWORD written = 0, error = ERROR_SUCCESS;
    if (!WriteFile(handle, bytes, size, &written, NULL) || !FlushFileBuffers(handle))
        error = LastErrorOr(ERROR_WRITE_FAULT);
    else if (written != size)
        error = ERROR_DISK_FULL;
    CloseHandle(handle);
    if (error == ERROR_SUCCESS &&
        !MoveFileExA(temporary, file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = LastErrorOr(ERROR_WRITE_FAULT);
    if (error != ERROR_SUCCESS) DeleteFileA(temporary);
    return error;
}

// "HKEY_LOCAL_MACHINE\" and the longest Tools Menu key with WOW6432Node.
enum { REGISTRY_PATH_CHARACTERS = 160 };

DWORD WriteRegistryBackup(const char* file, const char* menuName, char* refused, DWORD refusedSize)
{
    refused[0] = '\0';
    wchar_t rootPath[REGISTRY_PATH_CHARACTERS];
    DWORD error = ToolsMenuRegistryPath(THIS_VIEW, rootPath, REGISTRY_PATH_CHARACTERS);
    if (error != ERROR_SUCCESS) return error;
    KeyRecord record = {};
    error = RecordToolsMenu(THIS_VIEW, &record);
    if (error != ERROR_SUCCESS) return error;
    WideText text = {};
    error = BuildRegText(&record, rootPath, menuName, &text, refused, refusedSize);
    FreeKeyRecord(&record);
    if (error == ERROR_SUCCESS)
        error = WriteFileReplacing(file, text.text, text.length * sizeof(wchar_t));
    if (text.text) GlobalFree(text.text);
    return error;
}

// A name that holds a line break, shown with the warning about it.
enum { REFUSED_NAME_SIZE = 1024, REFUSED_TEXT_SIZE = REFUSED_NAME_SIZE + 512 };

static void SaveBackup(HWND owner, const char* file, void* menuName)
{
    char refused[REFUSED_NAME_SIZE];
    DWORD error = WriteRegistryBackup(file, (const char*)menuName, refused, sizeof refused);
    if (error == ERROR_INVALID_NAME && refused[0]) {
        char text[REFUSED_TEXT_SIZE];
        snprintf(text, sizeof text,
                 "'%s'\nこのキーまたは値の名前には改行があり、レジストリ ファイルに正しく書けない"
                 "ため、バックアップを作れません。何も保存していません。\nレジストリ エディター "
                 "(regedit) で名前を変えてから、もう一度バックアップしてください。",
                 refused);
        ShowMessage(owner, text, "", MB_OK | MB_ICONEXCLAMATION);
    } else if (error != ERROR_SUCCESS) {
        ReportSystemError(owner, error);
    } else {
        SayResult(owner, "[ツール] メニューを「%s」にバックアップしました。", FileNameOf(file));
    }
}

void BackupToolsMenu(HWND hwnd, const char* menuName)
{
    // The date as yyyy-MM-dd: the short date format may hold "/", which no file name takes.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char file[MAX_PATH];
    snprintf(file, sizeof file, "ToolsMenu-%dbit-%04u-%02u-%02u.reg", ViewBits(THIS_VIEW),
             now.wYear, now.wMonth, now.wDay);
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hwnd, file, sizeof file, RegFilter, "[ツール] メニューのバックアップ",
                      "reg");
    RunFileDialogSpan(&ofn, true, SaveBackup, (void*)menuName);
}
