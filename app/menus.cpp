#include <windows.h>
#include "app/app.h"

void PrepareToolbarButtons() {}
void CreateToolbarAndStatusBar(HWND) {}
void CreateTooltips(HWND) {}
void DestroyTooltips() {}
void ApplyGreyingRule(HWND, HMENU) {}
void ShowMenuHelp(HWND, WPARAM, LPARAM) {}
DWORD CommonControlsVersion()
{
    return 0;
}
