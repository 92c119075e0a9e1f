// The help documents, readme.txt and history.txt, opened from the program's own folder.
#include <windows.h>
#include <string.h>
#include "dialogs/dialogs.h"

DWORD AppendFileName(char* directory, DWORD size, const char* fileName)
{
    size_t used = strlen(directory), added = strlen(fileName);
    if (used + added >= size) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(directory + used, fileName, added + 1);
    return ERROR_SUCCESS;
}

// The program's directory, ending in a backslash; an empty buffer when it cannot be had.
static DWORD ModuleDirectory(char* buffer, DWORD size)
{
    DWORD length = GetModuleFileNameA(NULL, buffer, size);
    DWORD error = length ? CutToDirectory(buffer, length, size) : GetLastError();
    if (!length && error == ERROR_SUCCESS) error = ERROR_PATH_NOT_FOUND;
    if (error != ERROR_SUCCESS) buffer[0] = '\0';
    return error;
}

void OpenHelpDocument(HWND owner, const char* fileName)
{
    char path[MAX_PATH];
    DWORD error = ModuleDirectory(path, sizeof path);
    if (error == ERROR_SUCCESS) error = AppendFileName(path, sizeof path, fileName);
    // A path that would not fit is refused here rather than handed to the shell cut short.
    if (error != ERROR_SUCCESS) {
        ReportSystemError(owner, error);
        return;
    }
    OpenWithShell(owner, path);
}
