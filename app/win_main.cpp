// The process's entry point.
#include <windows.h>
#include "app/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The command line and the show command are deliberately ignored: the window always opens
    // the same way.
    return RunKorvanel(instance);
}
