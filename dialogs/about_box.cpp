#include <windows.h>
#include "dialogs/dialogs.h"

void ShowAboutBox(HWND) {}
INT_PTR CALLBACK AboutBoxProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
