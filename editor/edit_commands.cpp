#include <windows.h>
#include "editor/editor.h"

void RegisterFields(HWND) {}
void DeleteSelectedEntry(HWND) {}
void OpenSelectedEntry(HWND) {}
void RegisterSelf(HWND) {}
void OpenWithShell(const char *) {}
