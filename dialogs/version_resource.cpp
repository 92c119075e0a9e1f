#include <windows.h>
#include <stdio.h>
#include "dialogs/dialogs.h"

DWORD ReadVersionResource(const char* path, VersionWork work, void* context)
{
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0) return GetLastError();
    void* block = GlobalAlloc(GPTR, size);
    if (!block) return GetLastError();
    DWORD error = ERROR_SUCCESS;
    if (GetFileVersionInfoA(path, 0, size, block))
        work(block, context);
    else
        error = GetLastError();
    GlobalFree(block);
    return error;
}

void VersionStringPrefix(WORD language, WORD codePage, char* prefix, DWORD size)
{
    snprintf(prefix, size, "\\StringFileInfo\\%04x%04x\\", language, codePage);
}

const char* QueryVersionString(const void* block, const char* prefix, const char* name)
{
    char query[128];
    if ((size_t)snprintf(query, sizeof query, "%s%s", prefix, name) >= sizeof query) return NULL;
    void* text = NULL;
    UINT length = 0;
    if (!VerQueryValueA(block, query, &text, &length) || !text) return NULL;
    // An empty value may come back with no text of its own: the pointer then lies on whatever
    // follows it in the resource.
    return length == 0 ? "" : (const char*)text;
}
