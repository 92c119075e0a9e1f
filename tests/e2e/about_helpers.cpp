#include "tests/e2e/about_helpers.h"
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace about
{

static const char TestRoot[] = "C:\\korvanel-tests\\";
static const char MarkerClass[] = "KorvanelTestText";

std::string ProgramDirectory()
{
    const char* given = getenv("KORVANEL_PROGRAM_DIR");
    if (!given || !*given) return driver::TestDirectory();
    std::string directory = given;
    if (directory.back() != '\\') directory += '\\';
    return directory;
}

std::string ProgramPath()
{
    return ProgramDirectory() + "Korvanel.exe";
}

std::string FreshDirectory(const std::string& name)
{
    CreateDirectoryA(TestRoot, NULL);
    std::string directory = TestRoot + name + "\\";
    CreateDirectoryA(directory.c_str(), NULL);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((directory + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return directory;
}

bool CopyInto(const std::string& file, const std::string& directory)
{
    size_t slash = file.find_last_of('\\');
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return CopyFileA(file.c_str(), (directory + name).c_str(), FALSE) != 0;
}

HWND WaitForAboutBox(HWND main, DWORD timeoutMs)
{
    return driver::WaitForDialog(main, timeoutMs, "バージョン情報", 0);
}

bool HideVersionResource(const std::string& exe)
{
    std::string bytes = driver::ReadFileBytes(exe);
    if (bytes.size() < 0x400) return false;
    BYTE* image = (BYTE*)&bytes[0];
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(image + ((IMAGE_DOS_HEADER*)image)->e_lfanew);
    DWORD rva =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    for (int i = 0; i < headers->FileHeader.NumberOfSections; i++, section++) {
        if (rva < section->VirtualAddress ||
            rva >= section->VirtualAddress + section->SizeOfRawData)
            continue;
        BYTE* root = image + section->PointerToRawData + (rva - section->VirtualAddress);
        IMAGE_RESOURCE_DIRECTORY* directory = (IMAGE_RESOURCE_DIRECTORY*)root;
        IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = (IMAGE_RESOURCE_DIRECTORY_ENTRY*)(directory + 1);
        int count = directory->NumberOfNamedEntries + directory->NumberOfIdEntries;
        for (int j = 0; j < count; j++, entry++) {
            if (entry->Name != (DWORD)(ULONG_PTR)RT_VERSION) continue;
            entry->Name = 17;
            return driver::WriteFileBytes(exe, bytes);
        }
    }
    return false;
}

POINT Centre(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string SystemErrorText(DWORD number)
{
    char text[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, number, 0,
                   text, sizeof text - 1, NULL);
    return text;
}

std::string VersionString(const std::string& file, const char* name)
{
    DWORD handle = 0, size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (!size) return "<no version resource>";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return "<unreadable>";
    char* value = NULL;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\041104b0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), (void**)&value, &length) || !value)
        return "<missing>";
    return value;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(NULL)) return "<clipboard busy>";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data ? (const char*)GlobalLock(data) : NULL;
    if (bytes) {
        text = bytes;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

static void SetDefault(const std::string& key, const std::string& value)
{
    RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), (DWORD)value.size());
}

MarkerAssociation::MarkerAssociation()
{
    char value[260] = "";
    LONG size = sizeof value;
    hadPrevious = RegQueryValueA(HKEY_CLASSES_ROOT, ".txt", value, &size) == ERROR_SUCCESS;
    previous = value;
    CreateDirectoryA(TestRoot, NULL);
    DeleteFileA(CopiedDocument().c_str());
    DeleteFileA(OpenedPath().c_str());
    // The path is written last, so that once it is there the copy is complete.
    std::string command =
        "cmd.exe /c copy /y \"%1\" " + CopiedDocument() + " >nul & echo %1> " + OpenedPath();
    SetDefault(std::string(MarkerClass) + "\\shell\\open\\command", command);
    SetDefault(".txt", MarkerClass);
}

MarkerAssociation::~MarkerAssociation()
{
    if (hadPrevious)
        SetDefault(".txt", previous);
    else
        RegDeleteKeyA(HKEY_CLASSES_ROOT, ".txt");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, MarkerClass);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, MarkerClass);
}

std::string MarkerAssociation::CopiedDocument()
{
    return std::string(TestRoot) + "copied.txt";
}

std::string MarkerAssociation::OpenedPath()
{
    return std::string(TestRoot) + "opened.txt";
}

std::string MarkerAssociation::WaitForOpenedPath(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        std::string text = driver::ReadFileBytes(OpenedPath());
        size_t end = text.find_last_not_of("\r\n ");
        if (end != std::string::npos && text.back() == '\n') {
            text.erase(end + 1);
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            return text;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return "";
}

} // namespace about
