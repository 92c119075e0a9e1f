#pragma once
// dialogs/dialogs_private.h: what the services share among themselves and no other folder calls.
#include <windows.h>

// The one centring hook of the thread: installed around every modal call, 0 while none is open.
extern HHOOK CentringHookHandle;
void InstallCentringHook();
// Removes the hook whatever the handle holds (a null one is refused without effect).
void RemoveCentringHook();

// The module that made the window, which holds the resources it shows.
HINSTANCE InstanceOf(HWND window);
