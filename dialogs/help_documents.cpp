#include <windows.h>
#include "dialogs/dialogs.h"

bool ModuleDirectory(char *buffer)
{
    buffer[0] = '\0';
    return false;
}
void OpenHelpDocument(const char *) {}
