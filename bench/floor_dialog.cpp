#include <windows.h>
#include "bench/floor_dialog.h"
#if defined FLOOR_ICONS || defined FLOOR_ENTRIES
#include "bench/scale_bench.h"
#endif
#ifdef FLOOR_ICONS

// Built a second time with FLOOR_ICONS, it also holds what Korvanel's list holds, without a list:
// every entry's registry values read and its shell icon kept until the window goes.
static std::vector<HICON> KeptIcons;
#endif

static INT_PTR CALLBACK FloorDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
#ifdef FLOOR_ICONS
        FloorRefresh(&KeptIcons);
#endif
#ifdef FLOOR_ENTRIES
        FloorRefresh(nullptr, false);
#endif
        return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return TRUE;
    case WM_DESTROY:
#ifdef FLOOR_ICONS
        for (HICON icon : KeptIcons)
            DestroyIcon(icon);
        KeptIcons.clear();
#endif
        RemovePropA(hwnd, FLOOR_PROPERTY);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

// Started the way Korvanel starts: a modeless dialog, a property, shown, painted, then the loop.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_FLOOR), GetDesktopWindow(),
                                     FloorDialogProc, 0);
    if (!window) return 1;
    SetPropA(window, FLOOR_PROPERTY, (HANDLE)1);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}
