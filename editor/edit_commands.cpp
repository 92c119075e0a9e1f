#include <windows.h>
#include <shellapi.h>
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"

void RegisterFields(HWND) {}
void DeleteSelectedEntry(HWND) {}
void OpenSelectedEntry(HWND) {}
void RegisterSelf(HWND) {}
void OpenWithShell(const char *path)
{
    HINSTANCE result = ShellExecuteA(MainWindow, NULL, path, NULL, NULL, SW_SHOWNORMAL);
    // The shell's launch results up to 32 are error numbers of their own kind, reported alike.
    if ((INT_PTR)result <= 32) ReportSystemError(MainWindow, (DWORD)(INT_PTR)result);
}
