// Centring every modal window of the thread on its owner, through a window-procedure hook.
#include <windows.h>
#include "dialogs/dialogs.h"
#include "dialogs/dialogs_private.h"

HHOOK CentringHookHandle;

// Lets an owner name another window to centre its dialogs on; none of ours answers it.
enum { WM_QUERYCENTERWND = 0x036B };

POINT CentredOrigin(SIZE window, const RECT& centre, const RECT& limits)
{
    // Halve separately, truncating toward zero; a shift would floor negative co-ordinates instead.
    int x = (centre.left + centre.right) / 2 - window.cx / 2;
    int y = (centre.top + centre.bottom) / 2 - window.cy / 2;
    if (x < limits.left)
        x = limits.left;
    else if (x + window.cx > limits.right)
        x = limits.right - window.cx;
    if (y < limits.top)
        y = limits.top;
    else if (y + window.cy > limits.bottom)
        y = limits.bottom - window.cy;
    return POINT{x, y};
}

// The work area of the monitor that shows most of the window, so that a box stays beside its
// owner on a second monitor; the primary monitor's when there is no window.
static RECT WorkAreaNear(HWND window)
{
    RECT area = {0, 0, 0, 0};
    MONITORINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : NULL;
    if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

static void CentreOnOwner(HWND window, HWND centreOn)
{
    LONG style = GetWindowLongA(window, GWL_STYLE);
    bool child = (style & WS_CHILD) != 0;
    if (!centreOn) {
        centreOn = child ? GetParent(window) : GetWindow(window, GW_OWNER);
        if (centreOn) {
            HWND other = (HWND)SendMessageA(centreOn, WM_QUERYCENTERWND, 0, 0);
            if (other) centreOn = other;
        }
    }
    RECT rect;
    GetWindowRect(window, &rect);
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};

    RECT limits, centre;
    if (!child) {
        if (centreOn) {
            LONG ownerStyle = GetWindowLongA(centreOn, GWL_STYLE);
            if (!(ownerStyle & WS_VISIBLE) || (ownerStyle & WS_MINIMIZE)) centreOn = NULL;
        }
        limits = WorkAreaNear(centreOn);
        if (centreOn)
            GetWindowRect(centreOn, &centre);
        else
            centre = limits;
    } else {
        HWND parent = GetParent(window);
        GetClientRect(parent, &limits);
        if (centreOn) {
            GetClientRect(centreOn, &centre);
            MapWindowPoints(centreOn, parent, (POINT*)&centre, 2);
        } else {
            centre = limits;
        }
    }
    POINT origin = CentredOrigin(size, centre, limits);
    SetWindowPos(window, NULL, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The hook acts when WM_INITDIALOG returns rather than before it arrives: a message box centres
// itself on the screen while handling that message, which would undo an earlier move.
static LRESULT CALLBACK CentringHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0) return CallNextHookEx(CentringHookHandle, code, wParam, lParam);
    const CWPRETSTRUCT* call = (const CWPRETSTRUCT*)lParam;
    if (call->message == WM_INITDIALOG) CentreOnOwner(call->hwnd, GetParent(call->hwnd));
    return 0;
}

void InstallCentringHook()
{
    CentringHookHandle =
        SetWindowsHookExA(WH_CALLWNDPROCRET, CentringHook, NULL, GetCurrentThreadId());
}

void RemoveCentringHook()
{
    UnhookWindowsHookEx(CentringHookHandle);
    CentringHookHandle = NULL;
}
