#include <windows.h>
#include "app/app.h"
#include "res/resource.h"

HINSTANCE AppInstance;
HWND MainWindow;

const char InstanceName[] = "Korvanel";

static void ActivateFirstInstance()
{
    // The first instance may still be starting and have no window yet; then there is nothing to
    // bring forward and this instance just ends.
    HWND window = GetWindow(GetDesktopWindow(), GW_CHILD);
    for (; window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropA(window, InstanceName)) break;
    }
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

static int RunMessageLoop(HACCEL accelerators)
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(MainWindow, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (msg.wParam == VK_TAB) {
            // Tab and Shift+Tab are in the table only so that the dialog manager moves the focus
            // with them. Enter and Esc are not, and stay with the focused control.
            if (!IsDialogMessageA(MainWindow, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            // The key has done its work as a command. Translated into a character now, once the
            // command's box has closed and Ctrl is up, it would be typed as a plain letter into
            // the field that had the focus. It still reaches that field as a key, or the window
            // would take Alt+R's Alt for Alt pressed alone and open the menu bar.
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}

int RunKorvanel(HINSTANCE instance)
{
    // The handle stays open until the process ends, so that the name stays taken.
    HANDLE mutex = CreateMutexA(NULL, TRUE, InstanceName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateFirstInstance();
        return 0;
    }
    if (mutex) ReleaseMutex(mutex);

    AppInstance = instance;
    MainWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                    MainDialogProc, 0);
    if (!MainWindow) return 1; // without a window the loop would never see WM_QUIT
    SetPropA(MainWindow, InstanceName, (HANDLE)1);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    UpdateWindow(MainWindow);

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return RunMessageLoop(accelerators);
}
