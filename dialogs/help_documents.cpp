#include <windows.h>
#include <string.h>
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"

DWORD CutToDirectory(char* path, DWORD length, DWORD size)
{
    // GetModuleFileNameA fills the whole buffer when the path does not fit: what it holds then is
    // a cut-off path whose last backslash may belong to some other directory.
    if (length >= size) {
        path[0] = '\0';
        return ERROR_FILENAME_EXCED_RANGE;
    }
    char* afterSlash = NULL;
    for (char* p = path; *p;) {
        if (IsDBCSLeadByteEx(932, (BYTE)*p)) {
            // A lead byte before the terminator is a broken character; never step over the end.
            if (!p[1]) break;
            p += 2;
            continue;
        }
        if (*p == '\\') afterSlash = p + 1;
        p++;
    }
    if (!afterSlash) {
        path[0] = '\0';
        return ERROR_PATH_NOT_FOUND;
    }
    *afterSlash = '\0';
    return ERROR_SUCCESS;
}

DWORD AppendFileName(char* directory, DWORD size, const char* fileName)
{
    size_t used = strlen(directory), added = strlen(fileName);
    if (used + added >= size) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(directory + used, fileName, added + 1);
    return ERROR_SUCCESS;
}

bool ModuleDirectory(char* buffer)
{
    DWORD length = GetModuleFileNameA(NULL, buffer, MAX_PATH);
    DWORD error = length ? CutToDirectory(buffer, length, MAX_PATH) : GetLastError();
    if (!length && error == ERROR_SUCCESS) error = ERROR_PATH_NOT_FOUND;
    if (error == ERROR_SUCCESS) return true;
    buffer[0] = '\0';
    SetLastError(error);
    return false;
}

void OpenHelpDocument(const char* fileName)
{
    char path[MAX_PATH];
    DWORD error =
        ModuleDirectory(path) ? AppendFileName(path, sizeof path, fileName) : GetLastError();
    // A path that would not fit is refused here rather than handed to the shell cut short.
    if (error != ERROR_SUCCESS) {
        ReportSystemError(MainWindow, error);
        return;
    }
    OpenWithShell(path);
}
