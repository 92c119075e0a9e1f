#include <windows.h>
#include <string.h>
#include "dialogs/dialogs.h"

static bool IsLeadByte(char c)
{
    return IsDBCSLeadByteEx(932, (BYTE)c) != FALSE;
}

// The one walk over code page 932 text: a lead byte and its trail byte are one character, and a
// lead byte before the terminator is one (broken) character that the walk ends after.
static char* NextCharacter(char* p)
{
    return IsLeadByte(p[0]) && p[1] ? p + 2 : p + 1;
}

void BaseNameOf(char* path)
{
    char *lastBackslash = NULL, *lastDot = NULL;
    for (char* p = path; *p; p = NextCharacter(p)) {
        if (*p == '\\')
            lastBackslash = p;
        else if (*p == '.')
            lastDot = p;
    }
    char* start = lastBackslash ? lastBackslash + 1 : path;
    char* end = lastDot && lastDot >= start ? lastDot : start + strlen(start);
    size_t length = (size_t)(end - start);
    memmove(path, start, length);
    path[length] = '\0';
}

void DropDanglingLeadByte(char* text)
{
    for (char* p = text; *p; p = NextCharacter(p)) {
        if (IsLeadByte(*p) && !p[1]) {
            *p = '\0';
            return;
        }
    }
}

DWORD CutToDirectory(char* path, DWORD length, DWORD size)
{
    // GetModuleFileNameA fills the whole buffer when the path does not fit: what it holds then is
    // a cut-off path whose last backslash may belong to some other directory.
    if (length >= size) {
        path[0] = '\0';
        return ERROR_FILENAME_EXCED_RANGE;
    }
    char* afterBackslash = NULL;
    for (char* p = path; *p; p = NextCharacter(p))
        if (*p == '\\') afterBackslash = p + 1;
    if (!afterBackslash) {
        path[0] = '\0';
        return ERROR_PATH_NOT_FOUND;
    }
    *afterBackslash = '\0';
    return ERROR_SUCCESS;
}
