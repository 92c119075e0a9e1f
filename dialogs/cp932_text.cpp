// Code page 932 text walked by characters: base names, directories, file names, cut texts.
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

bool HasCharacter(const char* text, char c)
{
    for (char* p = (char*)text; *p; p = NextCharacter(p))
        if (*p == c) return true;
    return false;
}

const char* FileNameOf(const char* path)
{
    const char* name = path;
    for (char* p = (char*)path; *p; p = NextCharacter(p))
        if (*p == '\\') name = p + 1;
    return name;
}

void MakeValidFileName(char* name)
{
    for (char* p = name; *p; p = NextCharacter(p))
        if ((unsigned char)*p < 0x20 || strchr("\\/:*?\"<>|", *p)) *p = '_';
}

bool PathIsInFolder(const char* path, const char* folder)
{
    size_t length = strlen(folder);
    if (length == 0) return false;
    // The folder's characters must end where one of the path's ends, and the next one (or the
    // folder's own last one) must be a separator: C:\Temp holds C:\Temp\a, not C:\Temp2\a.
    const char* p = path;
    const char* last = path;
    while (*p && (size_t)(p - path) < length) {
        last = p;
        p = NextCharacter((char*)p);
    }
    if ((size_t)(p - path) != length || (*last != '\\' && *p != '\\')) return false;
    // The folder names on the disk compare without regard to case, in code page 932 whatever the
    // system's.
    const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT);
    return CompareStringA(japanese, NORM_IGNORECASE, path, (int)length, folder, (int)length) ==
           CSTR_EQUAL;
}
