// Reads version resources, for the About box and the pre-fill, through the system's version.dll.
#include <windows.h>
#include <stdio.h>
#include "dialogs/dialogs.h"

typedef DWORD(WINAPI* GetSizeFunction)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* GetInfoFunction)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryFunction)(LPCVOID, LPCSTR, LPVOID*, PUINT);

static GetSizeFunction GetVersionInfoSize;
static GetInfoFunction GetVersionInfo;
static QueryFunction QueryVersionValue;

// version.dll is not one of the system's known DLLs: imported statically, a copy planted beside
// the exe, which runs elevated from wherever its zip was unpacked, would be loaded instead. The
// library stays loaded for the life of the process.
static DWORD LoadVersionFunctions()
{
    if (QueryVersionValue) return ERROR_SUCCESS;
    HMODULE module = LoadSystemLibrary("version.dll");
    if (!module) return GetLastError();
    GetVersionInfoSize = (GetSizeFunction)(void*)GetProcAddress(module, "GetFileVersionInfoSizeA");
    GetVersionInfo = (GetInfoFunction)(void*)GetProcAddress(module, "GetFileVersionInfoA");
    QueryFunction query = (QueryFunction)(void*)GetProcAddress(module, "VerQueryValueA");
    if (!GetVersionInfoSize || !GetVersionInfo || !query) return ERROR_PROC_NOT_FOUND;
    QueryVersionValue = query;
    return ERROR_SUCCESS;
}

DWORD ReadVersionResource(const char* path, VersionWork work, void* context)
{
    DWORD error = LoadVersionFunctions();
    if (error != ERROR_SUCCESS) return error;
    DWORD unused = 0;
    DWORD size = GetVersionInfoSize(path, &unused);
    if (size == 0) return LastErrorOr(ERROR_RESOURCE_TYPE_NOT_FOUND);
    void* block = GlobalAlloc(GPTR, size);
    if (!block) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    if (GetVersionInfo(path, 0, size, block))
        work(block, context);
    else
        error = LastErrorOr(ERROR_RESOURCE_DATA_NOT_FOUND);
    GlobalFree(block);
    return error;
}

bool FirstTranslation(const void* block, WORD* language, WORD* codePage)
{
    void* translation = NULL;
    UINT length = 0;
    if (!QueryVersionValue(block, "\\VarFileInfo\\Translation", &translation, &length) ||
        !translation || length < 2 * sizeof(WORD))
        return false;
    // A resource may list other translations after the first; only the first counts.
    *language = ((const WORD*)translation)[0];
    *codePage = ((const WORD*)translation)[1];
    return true;
}

void VersionStringPrefix(WORD language, WORD codePage, char* prefix, DWORD size)
{
    snprintf(prefix, size, "\\StringFileInfo\\%04x%04x\\", language, codePage);
}

// The prefix and the longest name asked for, with room to spare.
enum { VERSION_QUERY_SIZE = 128 };

const char* QueryVersionString(const void* block, const char* prefix, const char* name)
{
    char query[VERSION_QUERY_SIZE];
    if ((size_t)snprintf(query, sizeof query, "%s%s", prefix, name) >= sizeof query) return NULL;
    void* text = NULL;
    UINT length = 0;
    if (!QueryVersionValue(block, query, &text, &length) || !text) return NULL;
    // An empty value may come back with no text of its own: the pointer then lies on whatever
    // follows it in the resource.
    return length == 0 ? "" : (const char*)text;
}
